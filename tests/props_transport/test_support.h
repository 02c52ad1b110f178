// Helpers shared by the transport tests: locating the shared reference data, reading the reference CSV
// files, and EOS stand-ins for the correlations that need no equation of state.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "viscosity.h"

#ifndef CYCLESIM_SHARED_DIR
#define CYCLESIM_SHARED_DIR ""
#endif
#ifndef CYCLESIM_SOURCE_DIR
#define CYCLESIM_SOURCE_DIR ""
#endif

namespace transport_test {

// The team's data folder (../shared; $CYCLESIM_SHARED_DIR stands in for it
// when set, empty for none).
inline std::filesystem::path shared_dir() {
    const char* env = std::getenv("CYCLESIM_SHARED_DIR");
    return std::filesystem::path(env ? env : CYCLESIM_SHARED_DIR);
}

// A file of the data folder by its relative path; reference values missing
// there come from the compact subset the repository carries in tests/data.
inline std::filesystem::path located(const std::filesystem::path& rel) {
    if (!shared_dir().empty() && std::filesystem::exists(shared_dir() / rel)) return shared_dir() / rel;
    return std::filesystem::path(CYCLESIM_SOURCE_DIR) / "tests" / "data" / rel;
}

inline bool shared_file_exists(const std::filesystem::path& rel) { return std::filesystem::exists(located(rel)); }

struct CsvRow {
    std::string output, name1, value1, name2, value2, fluid;
    double result = 0.0;
    double v1() const { return std::stod(value1); }
    double v2() const { return std::stod(value2); }
    std::string input_key() const { return name1 + "|" + value1 + "|" + name2 + "|" + value2; }
};

inline std::vector<CsvRow> read_reference_csv(const std::filesystem::path& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open " + path.string());
    std::vector<CsvRow> rows;
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
        if (f.size() != 7) throw std::runtime_error("malformed row in " + path.string() + ": " + line);
        rows.push_back({f[0], f[1], f[2], f[3], f[4], f[5], std::stod(f[6])});
    }
    return rows;
}

// For correlations that must not consult the equation of state: any call is a fault.
class NoEosAccess : public fluidprops::ViscosityEosAccess {
public:
    double residual_molar_entropy(double, double) const override {
        throw std::logic_error("correlation asked for the residual entropy");
    }
    double dpdrho_T(double, double) const override { throw std::logic_error("correlation asked for dp/drho"); }
};

// Fixed answers, for exercising the EOS-based correlations without an equation of state.
class FixedEosAccess : public fluidprops::ViscosityEosAccess {
public:
    FixedEosAccess(double s_r, double dpdrho, double dpdrho_reference = 0.0)
        : s_r_(s_r), dpdrho_(dpdrho), dpdrho_ref_(dpdrho_reference) {}
    double residual_molar_entropy(double, double) const override { return s_r_; }
    double dpdrho_T(double T, double) const override { return T > 900.0 && dpdrho_ref_ != 0.0 ? dpdrho_ref_ : dpdrho_; }

private:
    double s_r_, dpdrho_, dpdrho_ref_;
};

}  // namespace transport_test
