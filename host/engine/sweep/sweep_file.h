// A sweep file: which model to run at which points, what to prepare per
// point, and what to collect. Read and checked here; every message names the
// file and the key.
//
//   {
//     "name": "envelope",
//     "model": "controlled_chiller.json",            (relative to the sweep file)
//     "stop_time": 300,                               (optional: the model's otherwise; the bound with "settle")
//     "settle": {"signals": [...], "window": 30},     (optional: replaces the model's solver.settle)
//     "sets": ["fan.values=[0.4,0.4]"],               (optional: the same for every point)
//     "variables": [
//       {"name": "ambient_C", "set": "ambient.value", "offset": 273.15, "values": [20, 30, 40]},
//       {"name": "water_C", "set": "water_inlet.value", "offset": 273.15,
//        "range": {"from": 10, "to": 20, "count": 4}}
//     ],
//     "points": "grid" | {"latin_hypercube": 20, "seed": 1} | {"csv": "points.csv"},
//     "prepare": ["python3", "start_state.py", "--air", "{ambient_C}"],
//     "metrics": ["COP", {"name": "balance", "expr": "(Q_cond - Q_evap) / Q_cond"}],
//     "limits": [{"signal": "speed", "above": 99.999, "label": "speed at 100 1/s"}],
//     "maps": [{"file": "cop.png", "metric": "COP", "x": "ambient_C", "lines": "water_C"}]
//   }
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cyclesim {

struct SweepVariable {
    std::string name;
    std::string set;            // BLOCK.PARAM[.FIELD] the value goes to; empty: only for "prepare"
    double scale = 1.0;         // the --set value is value * scale + offset (numbers only)
    double offset = 0.0;
    std::vector<nlohmann::json> values;      // listed values (grid), numbers or texts
    std::optional<double> from, to;          // a range
    int count = 0;                           // points of a range in a grid
};

struct SweepMetric {
    std::string name;
    std::string expr;  // empty: the final value of the logged signal `name`
};

struct SweepLimit {
    std::string signal;  // a final value (logged signal or metric)
    std::optional<double> above, below;
    std::string label;
};

struct SweepMap {
    std::string file, metric, x, lines, title, ylabel;
};

struct SweepPlan {
    std::filesystem::path file;         // the sweep file
    std::string name;
    std::filesystem::path model;        // absolute
    std::optional<double> stop_time;
    std::optional<nlohmann::json> settle;
    std::vector<std::string> sets;
    std::vector<SweepVariable> variables;
    std::vector<std::string> prepare;   // argument vector with {name} placeholders; empty: none
    std::vector<SweepMetric> metrics;
    std::vector<SweepLimit> limits;
    std::vector<SweepMap> maps;
    // The points: one value per variable, in the order of `variables`.
    std::vector<std::vector<nlohmann::json>> points;
};

// Reads, checks and expands a sweep file. Throws SimulationError.
// `points_csv`, when given, replaces the file's points with the rows of that
// CSV (the variables' own values and ranges are then not used).
SweepPlan load_sweep(const std::filesystem::path& file, const std::optional<std::filesystem::path>& points_csv = {});
SweepPlan parse_sweep(const nlohmann::json& doc, const std::filesystem::path& file,
                      const std::optional<std::filesystem::path>& points_csv = {});

// The --set arguments of point `index`: the fixed ones, then one per
// variable that has a "set".
std::vector<std::string> point_sets(const SweepPlan& plan, std::size_t index);

// A value as it appears in the table, the placeholders and the --sets:
// numbers with 12 significant digits, texts as they are.
std::string value_text(const nlohmann::json& value);

// `arg` with every {name} of a variable replaced by the point's value;
// {model} is the model file, {sweep_dir} the sweep file's folder.
std::string substitute(const SweepPlan& plan, std::size_t index, const std::string& arg);

}  // namespace cyclesim
