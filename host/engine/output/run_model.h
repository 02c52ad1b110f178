// One run of a model file into a run directory: what `cyclesim run` does.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "errors.h"
#include "model_file.h"
#include "simulation.h"

namespace cyclesim {

struct RunOptions {
    std::filesystem::path model;
    std::optional<std::filesystem::path> run_dir;   // default: out/<model name>
    std::optional<double> stop_time;
    std::optional<std::filesystem::path> props;     // default: default_property_library()
    std::vector<std::string> sets;                  // BLOCK.PARAM[.FIELD]=VALUE
    std::filesystem::path blocks_dir;               // plug-in folder
    bool progress = false;                          // progress line on standard error
    bool echo_prints = true;                        // block prints on standard error as well as run.log
    bool strict = false;                            // a broken S-function rule stops the run
    bool write_csv = true;                          // results.csv
    bool write_mat = true;                          // results.mat
    std::string command_line;                       // kept in the summary
    std::optional<nlohmann::json> settle;           // settle criterion replacing the model's
    std::optional<std::string> start_from;          // "dialog", "charge" or "steady", replacing the model's
    std::optional<double> charge;                   // kg, replacing the model's start.charge
    std::optional<double> approach, subcooling;     // K, replacing the model's start.approach, .subcooling
};

// The model-file overrides the options carry.
ModelOverrides model_overrides(const RunOptions& options);

struct RunOutcome {
    bool ok = false;
    std::string message;                 // the failure, empty on success
    std::filesystem::path run_dir;       // empty when the model could not be built
    RunStatistics stats;
    double final_time = 0.0;
    std::optional<double> settled_at;    // the run ended settled at this time
    std::optional<TripError::Trip> trip; // a protection ended the run (ok is false, message the alarm)
};

// Never throws for a model or run failure: the outcome carries the message.
// A model that cannot be read or built gets no run directory.
RunOutcome run_model(const RunOptions& options);

}  // namespace cyclesim
