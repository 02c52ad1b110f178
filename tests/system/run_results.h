// Reading a finished run for the system tests: results.csv by column name,
// summary.json, the model file that produced it, and property queries on our
// own library (loaded with dlopen, as the blocks load it).
#pragma once

#include <dlfcn.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "test_workdir.h"

namespace systemtest {

namespace fs = std::filesystem;
using json = nlohmann::json;

inline fs::path run_dir(const std::string& example) { return fs::path(SYSTEM_RUNS_DIR) / example; }
inline fs::path model_file(const std::string& example)
{
    return fs::path(EXAMPLES_DIR) / example / (example + ".json");
}

inline json read_json(const fs::path& file)
{
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return json::parse(in);
}

// results.csv: a header "time [s],name [unit],..." then one row per logged time.
class Results {
public:
    explicit Results(const fs::path& csv)
    {
        std::ifstream in(csv);
        if (!in) throw std::runtime_error("cannot read " + csv.string());
        std::string line;
        std::getline(in, line);
        for (auto& cell : split(line)) {
            auto bracket = cell.find(" [");
            names_.push_back(bracket == std::string::npos ? cell : cell.substr(0, bracket));
        }
        while (std::getline(in, line)) {
            if (line.empty()) continue;
            std::vector<double> row;
            for (auto& cell : split(line)) row.push_back(std::strtod(cell.c_str(), nullptr));
            if (row.size() != names_.size()) throw std::runtime_error("ragged row in " + csv.string());
            rows_.push_back(std::move(row));
        }
    }

    std::size_t rows() const { return rows_.size(); }
    std::size_t columns() const { return names_.size(); }
    const std::vector<std::string>& names() const { return names_; }
    double time(std::size_t row) const { return rows_.at(row).at(0); }
    double at(std::size_t row, std::size_t column) const { return rows_.at(row).at(column); }

    std::size_t column(const std::string& name) const
    {
        for (std::size_t i = 0; i < names_.size(); ++i)
            if (names_[i] == name) return i;
        throw std::runtime_error("no logged signal \"" + name + "\"");
    }
    // Value of a signal in the last logged row at or before time t.
    double value(const std::string& name, double t) const { return rows_.at(row_at(t)).at(column(name)); }
    std::size_t row_at(double t) const
    {
        std::size_t best = 0;
        for (std::size_t i = 0; i < rows_.size(); ++i)
            if (rows_[i][0] <= t + 1e-9) best = i;
        return best;
    }
    // Largest relative change of a signal over [t0, t1]: how steady it is.
    double relative_drift(const std::string& name, double t0, double t1) const
    {
        std::size_t c = column(name);
        double ref = std::fabs(value(name, t1)), lo = INFINITY, hi = -INFINITY;
        for (const auto& r : rows_)
            if (r[0] >= t0 - 1e-9 && r[0] <= t1 + 1e-9) lo = std::min(lo, r[c]), hi = std::max(hi, r[c]);
        return (hi - lo) / ref;
    }

private:
    static std::vector<std::string> split(const std::string& line)
    {
        std::vector<std::string> cells;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, ',')) cells.push_back(cell);
        return cells;
    }
    std::vector<std::string> names_;
    std::vector<std::vector<double>> rows_;
};

// Our property library, for recomputing quantities independently of the blocks.
class Props {
public:
    Props()
    {
        handle_ = dlopen(testsupport::real_library().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) throw std::runtime_error("cannot load " + testsupport::real_library().string());
        fn_ = reinterpret_cast<Fn>(dlsym(handle_, "PropsSI"));
        if (!fn_) throw std::runtime_error("no PropsSI in " + testsupport::real_library().string());
    }
    ~Props()
    {
        if (handle_) dlclose(handle_);
    }
    Props(const Props&) = delete;
    Props& operator=(const Props&) = delete;

    double operator()(const char* out, const char* k1, double v1, const char* k2, double v2,
                      const char* fluid = "R134a") const
    {
        double r = fn_(out, k1, v1, k2, v2, fluid);
        if (!std::isfinite(r) || std::fabs(r) > 1e300)
            throw std::runtime_error(std::string("PropsSI ") + out + " failed");
        return r;
    }

private:
    using Fn = double (*)(const char*, const char*, double, const char*, double, const char*);
    void* handle_ = nullptr;
    Fn fn_ = nullptr;
};

// Every PNG the model's "plots" section asks for, as drawn into the run
// directory at the end of the run: present, non-empty, a PNG. Returns the
// problems found (empty when all is well).
inline std::vector<std::string> missing_plots(const json& model, const fs::path& dir)
{
    std::vector<std::string> files, problems;
    const json& plots = model.at("plots");
    for (const auto& p : plots.value("time", json::array())) files.push_back(p.at("file").get<std::string>());
    if (plots.contains("ph")) files.push_back(plots["ph"].value("file", std::string("ph_diagram.png")));
    if (files.empty()) problems.push_back("the model asks for no plots");
    for (const auto& f : files) {
        std::ifstream in(dir / f, std::ios::binary);
        char magic[8] = {};
        if (!in.read(magic, 8) || std::string(magic + 1, 3) != "PNG")
            problems.push_back(f + " is missing, empty or not a PNG");
    }
    return problems;
}

// The dialog parameters of a named block in a model file.
inline const json& block_params(const json& model, const std::string& name)
{
    for (const auto& b : model.at("blocks"))
        if (b.at("name") == name) return b.at("params");
    throw std::runtime_error("no block " + name);
}
inline const json& block(const json& model, const std::string& name)
{
    for (const auto& b : model.at("blocks"))
        if (b.at("name") == name) return b;
    throw std::runtime_error("no block " + name);
}

}  // namespace systemtest
