// Reads a results.mat written by a run (mat_results_writer.h) back into the
// table the plots draw from: the log's names (from the names struct), units,
// one row per output time.
#pragma once

#include <filesystem>

#include "plotting.h"

namespace cyclesim {

// Throws SimulationError when the file is not a results.mat of a run.
ResultsTable read_mat_results(const std::filesystem::path& file);

}  // namespace cyclesim
