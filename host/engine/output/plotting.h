// Plots of a finished (or stopped) run with gnuplot: time plots of logged
// signals and a pressure-enthalpy diagram with the refrigerant's saturation
// dome and the cycle's state points.
//
// What to draw comes from the model's "plots" section (plot_spec.h), kept in
// the run directory as plots.json. Without it, one time plot per unit is
// drawn with every signal of that unit.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "plot_spec.h"

namespace cyclesim {

struct ResultsTable {
    std::vector<std::string> names;  // without the unit
    std::vector<std::string> units;
    std::vector<std::vector<double>> rows;  // rows[i][0] is the time
    int column(const std::string& name) const;  // -1 when absent
};

// Reads results.csv: "name [unit]" header cells, one row per output time
// (short rows are filled with NaN). Throws SimulationError.
ResultsTable read_results(const std::filesystem::path& csv);

// The pressure-enthalpy times of a plots section that fall outside
// [start_time, stop_time], as warnings for `check` and `run`. Such a cycle is
// drawn at the first or last state and labelled with that state's time.
std::vector<std::string> ph_time_warnings(const nlohmann::json& plots, double start_time, double stop_time);

// The results of a run directory: results.csv, or results.mat when the run
// wrote only that.
ResultsTable read_run_results(const std::filesystem::path& run_dir);

// Draws every plot of `run_dir` (using run_dir/plots.json when present) and
// returns the PNG files written. The pressure-enthalpy dome is computed with
// `property_library`, never with the library in run_dir/Tarvex_files (a run
// directory may come from anyone). Throws SimulationError when gnuplot is
// missing or fails.
std::vector<std::filesystem::path> make_plots(const std::filesystem::path& run_dir,
                                              const std::filesystem::path& property_library);

}  // namespace cyclesim
