#include "sweep_points.h"

#include "bounded_file.h"
#include "errors.h"

#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>

namespace cyclesim {

namespace {

using json = nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& reason)
{
    throw SimulationError(where + ": " + reason);
}

std::string trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

std::vector<std::string> split_commas(const std::string& line)
{
    std::vector<std::string> out;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, ',')) out.push_back(trim(cell));
    if (!line.empty() && line.back() == ',') out.push_back("");
    return out;
}

}  // namespace

std::vector<std::vector<json>> grid_points(const std::vector<SweepVariable>& variables, const std::string& where)
{
    std::vector<std::vector<json>> axes;
    double total = 1;
    for (const auto& v : variables) {
        std::vector<json> axis = v.values;
        if (axis.empty()) {
            if (v.count < 1)
                fail(where, "variable \"" + v.name + "\": a grid needs \"count\" in its range (or \"values\")");
            for (int i = 0; i < v.count; ++i)
                axis.push_back(v.count == 1 ? *v.from : *v.from + (*v.to - *v.from) * i / (v.count - 1));
        }
        total *= static_cast<double>(axis.size());
        axes.push_back(std::move(axis));
    }
    if (total > static_cast<double>(kMaxSweepPoints))
        fail(where, "the grid has " + std::to_string(static_cast<long long>(total)) + " points; at most " +
                        std::to_string(kMaxSweepPoints));
    std::vector<std::vector<json>> points;
    std::vector<std::size_t> at(axes.size(), 0);
    for (std::size_t n = 0; n < static_cast<std::size_t>(total); ++n) {
        std::vector<json> p;
        for (std::size_t k = 0; k < axes.size(); ++k) p.push_back(axes[k][at[k]]);
        points.push_back(std::move(p));
        for (std::size_t k = axes.size(); k-- > 0;) {
            if (++at[k] < axes[k].size()) break;
            at[k] = 0;
        }
    }
    return points;
}

std::vector<std::vector<json>> latin_hypercube_points(const std::vector<SweepVariable>& variables, int count,
                                                      std::uint64_t seed, const std::string& where)
{
    if (count < 1 || static_cast<std::size_t>(count) > kMaxSweepPoints)
        fail(where + ".latin_hypercube", "expected a number of points from 1 to " + std::to_string(kMaxSweepPoints));
    for (const auto& v : variables)
        if (!v.from) fail(where, "variable \"" + v.name + "\": a Latin hypercube needs a \"range\" (from, to)");
    std::mt19937_64 rng(seed);
    auto unit = [&rng]() { return static_cast<double>(rng() >> 11) * 0x1.0p-53; };  // [0, 1)
    std::vector<std::vector<json>> points(static_cast<std::size_t>(count));
    for (const auto& v : variables) {
        std::vector<int> strata(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) strata[static_cast<std::size_t>(i)] = i;
        for (int i = count - 1; i > 0; --i)  // Fisher-Yates
            std::swap(strata[static_cast<std::size_t>(i)],
                      strata[static_cast<std::size_t>(rng() % static_cast<std::uint64_t>(i + 1))]);
        for (int i = 0; i < count; ++i) {
            const double u = (strata[static_cast<std::size_t>(i)] + unit()) / count;
            points[static_cast<std::size_t>(i)].push_back(*v.from + (*v.to - *v.from) * u);
        }
    }
    return points;
}

std::vector<std::vector<json>> csv_points(const std::vector<SweepVariable>& variables,
                                          const std::filesystem::path& file, const std::string& where)
{
    const std::string text = read_bounded_file(file, kModelFileLimit, where + ": csv");
    std::stringstream ss(text);
    std::string line;
    std::vector<std::string> header;
    std::vector<std::size_t> column_of;  // variable k -> column
    std::vector<std::vector<json>> points;
    long line_no = 0;
    while (std::getline(ss, line)) {
        ++line_no;
        if (trim(line).empty()) continue;
        auto cells = split_commas(line);
        const std::string w = file.string() + ":" + std::to_string(line_no);
        if (header.empty()) {
            header = cells;
            for (const auto& h : header) {
                bool known = false;
                for (const auto& v : variables) known = known || v.name == h;
                if (!known) fail(w, "column \"" + h + "\" is not a variable of the sweep");
            }
            for (const auto& v : variables) {
                std::size_t c = 0;
                while (c < header.size() && header[c] != v.name) ++c;
                if (c == header.size()) fail(w, "no column for variable \"" + v.name + "\"");
                column_of.push_back(c);
            }
            continue;
        }
        if (cells.size() != header.size())
            fail(w, std::to_string(cells.size()) + " values, the header has " + std::to_string(header.size()));
        std::vector<json> p;
        for (std::size_t c : column_of) {
            const std::string& cell = cells[c];
            if (cell.empty()) fail(w, "empty value in column \"" + header[c] + "\"");
            if (cell.find('"') != std::string::npos) fail(w, "quotes are not read: write the value plainly");
            char* end = nullptr;
            const double d = std::strtod(cell.c_str(), &end);
            if (end && *end == '\0' && std::isfinite(d))
                p.push_back(d);
            else
                p.push_back(cell);
        }
        points.push_back(std::move(p));
        if (points.size() > kMaxSweepPoints) fail(w, "more than " + std::to_string(kMaxSweepPoints) + " points");
    }
    if (points.empty()) fail(file.string(), "no points (a header and at least one row are needed)");
    return points;
}

std::vector<std::vector<json>> expand_points(const std::vector<SweepVariable>& variables, const json& points,
                                             const std::filesystem::path& base, const std::string& where)
{
    if (points.is_string() && points.get<std::string>() == "grid") return grid_points(variables, where);
    if (!points.is_object())
        fail(where, "expected \"grid\", {\"latin_hypercube\": N, \"seed\": S} or {\"csv\": FILE}");
    if (points.contains("latin_hypercube")) {
        for (auto it = points.begin(); it != points.end(); ++it)
            if (it.key() != "latin_hypercube" && it.key() != "seed")
                fail(where, "unknown key \"" + it.key() + "\" (allowed here: latin_hypercube, seed)");
        const json& n = points["latin_hypercube"];
        if (!n.is_number_integer()) fail(where + ".latin_hypercube", "expected the number of points");
        std::uint64_t seed = 1;
        if (points.contains("seed")) {
            if (!points["seed"].is_number_integer() || points["seed"].get<long long>() < 0)
                fail(where + ".seed", "expected an integer >= 0");
            seed = points["seed"].get<std::uint64_t>();
        }
        return latin_hypercube_points(variables, n.get<int>(), seed, where);
    }
    if (points.contains("csv")) {
        if (points.size() != 1) fail(where, "{\"csv\": FILE} takes no other key");
        if (!points["csv"].is_string()) fail(where + ".csv", "expected a file name");
        for (const auto& v : variables)
            if (!v.values.empty() || v.from)
                fail(where + ".csv", "variable \"" + v.name + "\": its values come from the CSV; give no values or range");
        return csv_points(variables, base / points["csv"].get<std::string>(), where);
    }
    fail(where, "expected \"grid\", {\"latin_hypercube\": N, \"seed\": S} or {\"csv\": FILE}");
}

}  // namespace cyclesim
