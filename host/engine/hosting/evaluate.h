// Evaluation of one block at one operating point (cyclesim eval).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "plugin_library.h"

namespace cyclesim {

struct EvaluationRequest {
    std::string block;             // S-function name
    nlohmann::json params;         // dialog parameters, array in dialog order
    nlohmann::json inputs;         // one array per input port
    std::optional<std::vector<double>> states;       // overrides after initial conditions
    std::optional<std::vector<double>> disc_states;
    std::optional<std::vector<double>> rwork;
    double time = 0.0;
    bool update = false;
};

// Runs sizes, sample times, parameter check, start, initial conditions, the
// overrides, outputs, derivatives (if any), update (if asked), terminate, and
// returns {"outputs", "derivatives", "states", "disc_states", "rwork"} as left
// by the last callback, and for our four blocks "output_names" and
// "output_units" beside "outputs" (same shape). Throws SimulationError on any failure (the block is
// terminated first).
nlohmann::json evaluate_block(PluginRegistry& registry, const EvaluationRequest& request);

}  // namespace cyclesim
