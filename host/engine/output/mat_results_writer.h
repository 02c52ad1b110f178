// results.mat: the run's results as a MAT-file, version 7 (zlib-compressed
// level-5 format), for loading into the numerical environment or GNU Octave
// with load('results.mat'). It holds
//   time      column of output times [s]
//   signals   struct, one field per logged signal (a column like time)
//   units     struct, the unit of each field of signals (text)
//   names     struct, each field's name as written in the model's log
//   summary   struct, the run's summary.json (status, final_time, statistics,
//             model, command_line, sets, message of a failure, ...)
// Field names are the log names made valid identifiers (mat_names.h).
//
// The file is rebuilt in full beside itself (results.mat.part) and renamed
// over results.mat: at the start, now and then during the run, and at the
// end. A run killed at any moment leaves the last complete file. Rewrites
// during the run are spaced so that they cost at most about a fifth of the
// run's time, and at least a second apart.
#pragma once

#include <chrono>
#include <filesystem>

#include "result_writer.h"

namespace cyclesim {

class MatResultsWriter final : public ResultWriter {
public:
    // `summary` is what the file says until finish() (status "running").
    MatResultsWriter(const std::filesystem::path& file, const ResultColumns& columns, nlohmann::json summary);
    void row(double t, const std::vector<double>& values) override;
    void finish(const nlohmann::json& summary) override;

private:
    void write_file();

    std::filesystem::path file_;
    ResultColumns columns_;
    std::vector<std::string> fields_;
    std::vector<double> time_;
    std::vector<std::vector<double>> signals_;
    nlohmann::json summary_;
    std::chrono::steady_clock::time_point last_write_;
    std::chrono::steady_clock::duration write_cost_{};
};

}  // namespace cyclesim
