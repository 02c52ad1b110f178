// results.csv: "time [s]" and one "name [unit]" column per logged signal,
// numbers with 17 significant digits (every double reads back exactly);
// every row is flushed at once so that a run that stops early keeps its rows.
#pragma once

#include <cstdio>
#include <filesystem>

#include "result_writer.h"

namespace cyclesim {

class CsvResultsWriter final : public ResultWriter {
public:
    CsvResultsWriter(const std::filesystem::path& file, const ResultColumns& columns);
    ~CsvResultsWriter() override;
    CsvResultsWriter(const CsvResultsWriter&) = delete;
    CsvResultsWriter& operator=(const CsvResultsWriter&) = delete;
    void row(double t, const std::vector<double>& values) override;
    void finish(const nlohmann::json&) override {}

private:
    std::FILE* file_ = nullptr;
};

}  // namespace cyclesim
