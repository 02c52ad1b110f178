// The "plots" section of a model file: which time plots and which
// pressure-enthalpy diagram the run draws (see plotting.h for the drawing).
//
//   "plots": {
//     "time": [ {"file": "pressures.png", "title": "Pressures", "ylabel": "Pa",
//                "signals": ["p_evap", "p_cond"], "yrange": [0, 2e6]} , ... ],   (yrange optional)
//     "ph":   {"file": "ph.png", "fluid": "R134a", "times": [300, 600],
//              "points": [ ["p_suction", "h_suction"], ["p_discharge", "h_discharge"], ... ]}
//   }
//
// Signals are named as in results.csv (the log's names, without the unit).
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cyclesim {

// Checks a "plots" section against the logged names; throws SimulationError
// naming the entry on a mistake.
void validate_plot_spec(const nlohmann::json& spec, const std::vector<std::string>& logged_names,
                        const std::string& where);

}  // namespace cyclesim
