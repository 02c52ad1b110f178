// Runs gnuplot on a script without a shell: the program is started with an
// argument vector, so no text of a path or a model is ever interpreted as a
// command line.
#pragma once

#include <filesystem>

namespace cyclesim {

// Runs `gnuplot script` with `work_dir` as its working directory (the script
// names its files relative to it). Throws SimulationError when gnuplot is
// missing or fails, with gnuplot's own output.
void run_gnuplot(const std::filesystem::path& work_dir, const std::filesystem::path& script);

}  // namespace cyclesim
