// Reading files named by users: model files, table files, plot sections,
// JSON arguments. Only regular files are read (a FIFO would block, a device
// such as /dev/zero never ends), and only up to a size limit, so that a
// mistaken name fails at once with a message instead of hanging or eating
// memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace cyclesim {

constexpr std::uintmax_t kMegabyte = 1024 * 1024;
constexpr std::uintmax_t kModelFileLimit = 64 * kMegabyte;    // model files, plots.json, JSON arguments
constexpr std::uintmax_t kTableFileLimit = 256 * kMegabyte;   // CSV files of table sources
constexpr std::uintmax_t kResultsFileLimit = 8192 * kMegabyte; // results.csv read back for plots

// The whole file. Throws SimulationError "<what>: <path> ..." (without the
// prefix when `what` is empty) when it cannot be opened, is not a regular
// file or is larger than `limit` bytes.
std::string read_bounded_file(const std::filesystem::path& file, std::uintmax_t limit, const std::string& what);

// The same checks for a file that is then read as a stream, without opening
// it (so a FIFO is never opened at all).
void check_readable_file(const std::filesystem::path& file, std::uintmax_t limit, const std::string& what);

}  // namespace cyclesim
