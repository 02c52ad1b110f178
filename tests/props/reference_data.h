// Reading the reference query tables (output,name1,value1,name2,value2,fluid,result).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace props_test {

struct ReferenceRow {
    std::string output, name1, name2, fluid;
    double value1 = 0.0, value2 = 0.0, result = 0.0;
};

// The full tables in ../shared when present (or $CYCLESIM_SHARED_DIR, empty
// for none), else the compact subset the repository carries in tests/data.
inline std::filesystem::path reference_dir() {
    const char* env = std::getenv("CYCLESIM_SHARED_DIR");
    const std::filesystem::path shared = env ? env : CYCLESIM_SHARED_DIR;
    if (!shared.empty() && std::filesystem::is_directory(shared / "reference" / "props"))
        return shared / "reference" / "props";
    return std::filesystem::path(CYCLESIM_SOURCE_DIR) / "tests" / "data" / "reference" / "props";
}

// Empty when the file is absent.
inline std::vector<ReferenceRow> read_reference(const std::string& file) {
    std::vector<ReferenceRow> rows;
    std::ifstream in(reference_dir() / file);
    if (!in) return rows;
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;  // the subset's provenance line
        if (header) {
            header = false;
            continue;
        }
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, ',')) f.push_back(cell);
        if (line.back() == ',') f.push_back("");
        if (f.size() != 7) continue;
        ReferenceRow r;
        r.output = f[0];
        r.name1 = f[1];
        r.value1 = std::strtod(f[2].c_str(), nullptr);
        r.name2 = f[3];
        r.value2 = std::strtod(f[4].c_str(), nullptr);
        r.fluid = f[5];
        r.result = std::strtod(f[6].c_str(), nullptr);
        rows.push_back(r);
    }
    return rows;
}

}  // namespace props_test
