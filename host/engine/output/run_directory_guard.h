// Which directories a run may write into. A run writes results.csv,
// results.mat, summary.json, run.log, plots.json, Tarvex_files/ and its plots; into a
// folder of the user's that holds other things it could replace their files
// without a word. So a run takes only
//
//   - a directory that does not exist yet (created), or an empty one;
//   - a directory a previous run wrote, recognised by the marker file that
//     every run leaves (its files are replaced, nothing else is touched);
//   - a directory holding nothing but Tarvex_files/libCoolProp.so, the
//     property library a user placed there for the run.
//
// Anything else is refused before the run starts, naming the directory; so is
// a directory holding a symbolic link among its entries (see refuse_links).
#pragma once

#include <filesystem>

namespace cyclesim {

inline constexpr const char* kRunMarkerName = ".cyclesim-run";

// Checks `dir` against the rules above, creates it when missing and leaves
// the marker in it. Throws SimulationError when the directory is not ours to
// write.
void claim_run_directory(const std::filesystem::path& dir);

}  // namespace cyclesim
