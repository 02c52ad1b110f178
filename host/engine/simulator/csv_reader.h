// Comma-separated tables of numbers with an optional header line: the results
// a run writes (results.csv) and the time tables a model may read.
//
//   time [s],p_evap [Pa],"m, flow [kg/s]"
//   # a comment line
//   0,3.1e5,0.02
//
// Cells are split at commas outside double quotes; spaces and the quotes
// around a cell are dropped. Blank lines and lines starting with '#' are
// skipped. The first line that is not all numbers, before any row of
// numbers, is the header; any later line that is not all numbers is an error.
// Numbers are read as strtod reads them, so "NaN" and "Infinity" (any case)
// are numbers: whether they are acceptable is the caller's business.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "bounded_file.h"

namespace cyclesim {

struct CsvTable {
    std::vector<std::string> header;         // empty when the file has none
    std::vector<std::vector<double>> rows;   // as many cells as the line had
    std::vector<int> line_numbers;           // 1-based line of each row, for messages
};

// Splits one line into trimmed, unquoted cells.
std::vector<std::string> split_csv_line(const std::string& line);

// Throws SimulationError "<file> line N: ..." when the file cannot be read
// or a line after the first row of numbers is not a row of numbers. Only a
// regular file of at most `size_limit` bytes is read: a FIFO or a device
// (/dev/zero) would block or never end.
CsvTable read_csv(const std::filesystem::path& file, std::uintmax_t size_limit = kTableFileLimit);

}  // namespace cyclesim
