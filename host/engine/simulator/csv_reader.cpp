#include "csv_reader.h"

#include "errors.h"

#include <cstdlib>
#include <fstream>
#include <optional>

namespace cyclesim {

namespace {

std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::optional<double> parse_number(const std::string& cell)
{
    if (cell.empty()) return std::nullopt;
    char* end = nullptr;
    const double x = std::strtod(cell.c_str(), &end);
    if (end == cell.c_str() || *end != '\0') return std::nullopt;
    return x;
}

}  // namespace

std::vector<std::string> split_csv_line(const std::string& line)
{
    std::vector<std::string> cells;
    std::string cell;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            cells.push_back(trim(cell));
            cell.clear();
        } else if (c != '\r') {
            cell += c;
        }
    }
    cells.push_back(trim(cell));
    return cells;
}

CsvTable read_csv(const std::filesystem::path& file, std::uintmax_t size_limit)
{
    check_readable_file(file, size_limit, "");
    std::ifstream in(file);
    if (!in) throw SimulationError("cannot read " + file.string());
    CsvTable table;
    std::string line;
    int line_no = 0;
    while (std::getline(in, line)) {
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string content = trim(line);
        if (content.empty() || content.front() == '#') continue;
        const auto cells = split_csv_line(line);
        std::vector<double> numbers;
        for (const auto& cell : cells) {
            const auto x = parse_number(cell);
            if (!x) break;
            numbers.push_back(*x);
        }
        if (numbers.size() != cells.size()) {
            if (table.rows.empty() && table.header.empty()) {
                table.header = cells;
                continue;
            }
            throw SimulationError(file.string() + " line " + std::to_string(line_no) + ": not a row of numbers");
        }
        table.rows.push_back(std::move(numbers));
        table.line_numbers.push_back(line_no);
    }
    return table;
}

}  // namespace cyclesim
