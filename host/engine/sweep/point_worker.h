// One point of a sweep, in its own process: the preparation command (its
// printed --sets added), the run, and the collection of its results from the
// run's summary.json into the point's result file. Whatever happens, a
// result is written (a failed preparation or run is a result too); only a
// process that is killed leaves none, and a resumed sweep runs that point
// again.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cyclesim {

// The --set assignments a preparation printed: every non-empty line must be
// `--set ASSIGNMENT` (or `--set=ASSIGNMENT`). Throws SimulationError naming
// the first line that is not.
std::vector<std::string> parse_prepared_sets(const std::string& output);

// What a point's result says about a finished run: `summary` is the run's
// summary.json (null when there is none), `collect` the sweep's "metrics"
// and "limits" as written in the point file. Returns the result object:
// status (the run's own status; "settled" for a completed run that settled),
// settled, settled_time, final_time, message, limits (labels of the active
// ones), metrics (name -> value or null).
nlohmann::json collect_point(const nlohmann::json& summary, const nlohmann::json& collect,
                             const std::string& run_message);

// Runs point file `point_file` (written by the sweep) and writes its result
// next to it. `blocks_dir` empty: the default plug-in folder.
void run_point(const std::filesystem::path& point_file, const std::filesystem::path& blocks_dir);

// The name under which a preparation's --sets are kept (a hash of its
// arguments; the file holds the arguments too, so a collision is no match).
std::string preparation_key(const std::vector<std::string>& argv);

// The result file of a point file.
std::filesystem::path result_file_of(const std::filesystem::path& point_file);

}  // namespace cyclesim
