#include "csv_results_writer.h"

#include "errors.h"
#include "run_directory.h"

#include <cerrno>
#include <cstring>

namespace cyclesim {

CsvResultsWriter::CsvResultsWriter(const std::filesystem::path& file, const ResultColumns& columns)
{
    unlink_if_symlink(file);
    file_ = std::fopen(file.c_str(), "w");
    if (!file_) throw SimulationError("cannot write " + file.string() + ": " + std::strerror(errno));
    std::fputs("time [s]", file_);
    for (std::size_t i = 0; i < columns.names.size(); ++i) {
        std::fprintf(file_, ",%s", columns.names[i].c_str());
        if (i < columns.units.size() && !columns.units[i].empty())
            std::fprintf(file_, " [%s]", columns.units[i].c_str());
    }
    std::fputc('\n', file_);
    std::fflush(file_);
}

CsvResultsWriter::~CsvResultsWriter()
{
    if (file_) std::fclose(file_);
}

void CsvResultsWriter::row(double t, const std::vector<double>& values)
{
    std::fprintf(file_, "%.17g", t);
    for (double v : values) std::fprintf(file_, ",%.17g", v);  // exact round trip
    std::fputc('\n', file_);
    std::fflush(file_);
}

}  // namespace cyclesim
