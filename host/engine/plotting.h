// Plots of a finished (or stopped) run with gnuplot: time plots of logged
// signals and a pressure-enthalpy diagram with the refrigerant's saturation
// dome and the cycle's state points.
//
// What to draw comes from the model's "plots" section, kept in the run
// directory as plots.json:
//
//   "plots": {
//     "time": [ {"file": "pressures.png", "title": "Pressures", "ylabel": "Pa",
//                "signals": ["p_evap", "p_cond"], "yrange": [0, 2e6]} , ... ],   (yrange optional)
//     "ph":   {"file": "ph.png", "fluid": "R134a", "times": [300, 600],
//              "points": [ ["p_suction", "h_suction"], ["p_discharge", "h_discharge"], ... ]}
//   }
//
// Without it, one time plot per unit is drawn with every signal of that unit.
// Signals are named as in results.csv (the log's names, without the unit).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cyclesim {

struct ResultsTable {
    std::vector<std::string> names;  // without the unit
    std::vector<std::string> units;
    std::vector<std::vector<double>> rows;  // rows[i][0] is the time
    int column(const std::string& name) const;  // -1 when absent
};

ResultsTable read_results(const std::filesystem::path& csv);

// Checks a "plots" section against the logged names; throws SimulationError
// naming the entry on a mistake.
void validate_plot_spec(const nlohmann::json& spec, const std::vector<std::string>& logged_names,
                        const std::string& where);

// Draws every plot of `run_dir` (using run_dir/plots.json when present) and
// returns the PNG files written. Throws SimulationError when gnuplot is
// missing or fails.
std::vector<std::filesystem::path> make_plots(const std::filesystem::path& run_dir);

}  // namespace cyclesim
