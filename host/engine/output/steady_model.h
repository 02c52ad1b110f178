// The settled operating point of a model file into a run directory: what
// `cyclesim steady` does. The directory holds steady.json (the point: rating
// figures, every logged signal, every state with its derivative, the charge,
// controllers at a limit, solver figures), results.csv / results.mat with
// the point as one row at the start time, run.log, and the model's
// pressure-enthalpy diagram of the cycle at that point.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "run_model.h"
#include "simulation.h"

namespace cyclesim {

struct SteadyOutcome {
    bool ok = false;                     // a steady point was found and written
    std::string message;                 // the failure or the reason there is no steady point
    std::filesystem::path run_dir;       // empty when the model could not be built
    std::optional<SteadyPoint> point;
    nlohmann::json report;               // what steady.json holds
};

// Never throws for a model failure: the outcome carries the message. The
// options are those of a run (stop time, settle and start are not used: the
// point is found at the start time's inputs, from the model's start).
SteadyOutcome steady_model(const RunOptions& options);

// The start the model's "start" section (or --start, --charge) gives, alone:
// the condenser's start state and the charge it holds (`cyclesim start`).
// Throws SimulationError on a model or start failure.
Simulation::StartState start_state_model(const RunOptions& options);

// The text `cyclesim steady` prints: the rating figures, then every logged
// signal with its unit.
std::string steady_text(const nlohmann::json& report);

}  // namespace cyclesim
