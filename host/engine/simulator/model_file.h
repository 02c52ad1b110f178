// Model files: the blocks of a model, their wiring element by element, the
// signals to log and the solver settings, read from JSON.
//
//   {
//     "name": "cycle",                         (optional; default: file stem)
//     "comment": "...",                        (allowed in every object)
//     "blocks": [
//       {"name": "valve", "type": "sfunction", "sfunction": "Orvane", "params": [{"C_eev": 1e-6}, "R134a"]},
//       {"name": "p_evap", "type": "constant", "value": 3e5},
//       {"name": "speed", "type": "step", "time": 10, "before": 50, "after": 60},
//       {"name": "m", "type": "memory", "initial": [0, 0]},
//       ...
//     ],
//     "connections": [ {"from": "p_evap.0.0", "to": "valve.0.2"}, {"from": "a.0", "to": "b.1"} ],
//     "log": [ {"signal": "valve.0.0", "name": "m_valve", "unit": "kg/s"} ],
//     "loop_guesses": {"valve.0.0": 0.02, "compressor.0.0": 3.1e5},   (starting values of tear variables)
//     "plots": {"time": [...], "ph": {...}},     (what `cyclesim plot` draws; see plot_spec.h)
//     "interface": {"inputs": [...], "outputs": [...], "parameters": [...]},  (see model_interface.h)
//     "solver": {"start_time": 0, "stop_time": 100, "rtol": 1e-4, "atol": 1e-6, "max_step": 1,
//                "output_interval": 0.5, "method": "BDF"}
//   }
//
// Signals are written "block.port.element" (ports and elements counted from
// 0, as the blocks count them); "block.port" wires a whole port. Unknown keys
// are errors naming the file and the key, so that a misspelt setting never
// passes silently.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "model_interface.h"
#include "settle_monitor.h"

namespace cyclesim {

struct SignalSpec {
    std::string block;
    int port = 0;
    int element = -1;  // -1: the whole port
    std::string text;  // as written, for messages

    static SignalSpec parse(const std::string& text, const std::string& where);
};

struct BlockSpec {
    std::string name;
    std::string type;        // "sfunction", "constant", "step", "ramp", "table", "sine", "memory", "gain", "sum", "product"
    nlohmann::json settings; // the block's object as written (sources read their settings from it)
    std::string where;       // "file: blocks[i]" for messages
};

struct ConnectionSpec {
    SignalSpec from, to;
    std::string where;
};

struct LogSpec {
    SignalSpec signal;
    std::string name, unit;
    std::string description;  // legend text of plots (default: the name)
    std::string where;
};

enum class Method { BDF, Adams };

// Rows of results.csv a run may write: a fixed output interval that would
// give more is refused when the model is checked, and a run logging every
// major step stops when it reaches them.
inline constexpr long kMaxOutputRows = 10'000'000;

// Blocks and connections a model may have. The largest example has a few
// dozen blocks; the execution plan, the loop solver's dense Jacobian and the
// integrator's dense matrix grow with the square of the size, so a model
// thousands of blocks long is refused when it is read rather than taking
// minutes and gigabytes before it fails.
inline constexpr std::size_t kMaxBlocks = 2'000;
inline constexpr std::size_t kMaxConnections = 20'000;

struct SolverSpec {
    double start_time = 0.0;
    double stop_time = 10.0;
    double rtol = 1e-4;
    double atol = 1e-6;
    double max_step = 0.0;         // 0: no limit
    double initial_step = 0.0;     // 0: chosen by the integrator
    double output_interval = 0.0;  // 0: every major step
    Method method = Method::BDF;
    double loop_tolerance = 1e-6;  // scaled residual of algebraic loops
    int loop_max_iterations = 50;
    long max_steps = 5'000'000;    // integrator steps a run may take (a chattering or very stiff run ends)
    std::optional<SettleSpec> settle;  // end the run once settled (the stop time the bound)
};

// A starting value for an output element, used when that element becomes a
// tear variable of an algebraic loop (ignored otherwise). Blocks whose outputs
// are 0 before their first call (flows, pressures) need these to start a loop.
struct GuessSpec {
    SignalSpec signal;
    double value = 0.0;
    std::string where;
};

// How a run begins (the model's "start" section; `cyclesim run --start`,
// `--charge`):
//   "dialog"  the blocks' own initial states, as their dialogs give them;
//   "charge"  the condenser's initial state computed from the unit's
//             refrigerant charge and the air entering it: condensing
//             `approach` K above the air, the liquid `subcooling` K below
//             that, the subcooled length holding the charge;
//   "auto"    the dialog's start where it condenses against the air, else
//             the start from the charge (a model whose dialog start is its
//             design point, run at another ambient);
//   "steady"  the settled operating point of the initial conditions (found
//             from the "charge" start), so that a scenario shows only its
//             disturbances.
//
//   "start": {"from": "charge", "charge": 0.1131, "condenser": "condenser", "approach": 15, "subcooling": 2}
enum class StartFrom { dialog, charge, automatic, steady };

struct StartSpec {
    StartFrom from = StartFrom::dialog;
    bool from_given = false;       // --start said how (a steady solve otherwise starts from the charge)
    std::optional<double> charge;  // kg; default: what the dialog's start state holds
    std::string condenser;         // block name; default: the model's one Condenser block
    double approach = 15.0;        // K, condensing above the entering air
    double subcooling = 2.0;       // K
    // Largest state derivative a steady point may keep, as a share of the
    // state's value per second (Newton aims a hundred times lower; the
    // derivatives carry the inner solvers' noise, about 1e-6 of a signal,
    // which a small difference such as a superheat magnifies).
    double steady_tolerance = 1e-5;
};

struct ModelSpec {
    std::filesystem::path file;
    std::string name;
    std::vector<BlockSpec> blocks;
    std::vector<ConnectionSpec> connections;
    std::vector<LogSpec> log;
    std::vector<GuessSpec> loop_guesses;
    SolverSpec solver;
    nlohmann::json plots;  // the "plots" section (see plot_spec.h); null when absent
    StartSpec start;
    InterfaceSpec interface;  // the "interface" section (see model_interface.h)
    std::vector<std::string> warnings;

    const BlockSpec* find_block(const std::string& name) const;

private:
    // Position of each block by name, built on the first lookup (a model of
    // a hundred thousand blocks looks up every connection's ends); rebuilt
    // whenever it no longer matches `blocks`.
    mutable std::unordered_map<std::string, std::size_t> block_positions_;
};

struct ModelOverrides {
    std::optional<double> stop_time;
    std::vector<std::string> sets;  // BLOCK.PARAM[.FIELD]=VALUE
    std::optional<nlohmann::json> settle;  // replaces the solver's "settle" section
    std::optional<std::string> start_from;  // "dialog", "charge" or "steady": replaces start.from
    std::optional<double> charge;            // kg: replaces start.charge
    std::optional<double> approach, subcooling;  // K: replace start.approach, start.subcooling
};

// Reads and validates a model file. Throws SimulationError naming the file,
// the key and the reason.
ModelSpec load_model(const std::filesystem::path& file, const ModelOverrides& overrides = {});

// The same from a JSON document (`file` only names it in messages and
// anchors relative paths).
ModelSpec parse_model(nlohmann::json document, const std::filesystem::path& file,
                      const ModelOverrides& overrides = {});

// Applies one BLOCK.PARAM[.FIELD]=VALUE override to a model document: PARAM is
// the 1-based dialog position of an S-function block or the name of a source
// setting, FIELD a field of a record parameter. VALUE is read as JSON when it
// parses, else taken as text.
void apply_override(nlohmann::json& document, const std::string& assignment, const std::string& file);

}  // namespace cyclesim
