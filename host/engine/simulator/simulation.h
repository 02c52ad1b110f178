// The simulator: a variable-step host for S-function blocks.
//
// Construction builds the model: blocks (plug-ins and built-ins) with their
// sizes, sample times and parameter checks, the wiring, the execution order
// and the algebraic loops. run() then follows the host contract:
//
//   start and initial conditions of every block;
//   at each major step t:  outputs of all blocks in dependency order (loops
//                          solved), logging, update, derivatives;
//   between major steps:   CVODE advances the continuous states of all blocks
//                          together; every right-hand-side evaluation is a
//                          minor step: outputs, then derivatives;
//   terminate every block, at the end and on every error.
//
// CVODE owns the state vector. Before every evaluation the blocks' states are
// overwritten from it, so a block that alters its states in a minor step
// changes nothing; a change made at a major step (in outputs, update or the
// derivatives call of that step) is taken over and the integrator restarts
// from the new states. It also restarts after a change of a block's discrete
// states (a mode switch) and where a source's output jumps (step time, a
// table row repeating the previous row's time). It stops, without a restart,
// where a source only bends (a ramp's start, any other table row), so that no
// integration step spans a discontinuity and the step and order control
// carries on across a change of slope. The major steps
// are the integrator's own steps: it does not stop at the output times, whose
// rows are interpolated within the steps (states from CVODE's dense output,
// outputs evaluated there as in a minor step), so that the output interval
// does not change the solution or the step count.
#pragma once

#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "model_file.h"
#include "plugin_library.h"

namespace cyclesim {

struct RunStatistics {
    long major_steps = 0;         // major time steps, the initial one included
    long rhs_evaluations = 0;     // right-hand-side evaluations (minor steps), difference Jacobians included
    long integrator_steps = 0;    // CVODE internal steps
    long error_test_failures = 0;
    long nonlinear_iterations = 0;
    long nonlinear_convergence_failures = 0;
    long jacobian_evaluations = 0;
    long restarts = 0;            // CVodeReInit after a state change or where a source jumps
    long loop_solves = 0;
    long loop_iterations = 0;     // Newton iterations over all loop solves
    long loop_residual_evaluations = 0;
    long logged_rows = 0;
    double last_step_size = 0.0;
};

// The settled operating point of a model (cyclesim steady), as found.
struct SteadyPoint {
    bool solved = false;
    std::string reason;                 // why there is no steady point (empty when solved)
    std::string method;                 // how it was found, for the report
    double time = 0.0;                  // the time at which the inputs were taken
    struct State {
        std::string name;               // "block.x<i>" or the block's own name for it
        double value = 0.0;
        double derivative = 0.0;        // d/dt at the point, in the state's unit per second
        double scaled = 0.0;            // derivative / typical magnitude [1/s]
        std::string role;               // "solved", "charge" (replaced by the charge), "algebraic" (held)
    };
    std::vector<State> states;
    double worst_scaled_derivative = 0.0;
    std::string worst_state;
    std::optional<double> charge;        // kg held at the point
    std::optional<double> charge_target; // kg pinned
    std::vector<std::string> limits;    // controllers resting against a limit
    // What a rating reads, gathered from the cycle's blocks by their kind
    // (sums over blocks of a kind); absent when the model has no
    // evaporator, compressor and condenser.
    struct Rating {
        double capacity = 0.0;          // W, evaporator heat rates
        double power = 0.0;             // W, compressor electrical power
        double heat_rejected = 0.0;     // W, condenser heat rates
        double compression_gain = 0.0;  // W, m (h_discharge - h_suction): power less the compressor's heat loss
        double cop = 0.0;               // capacity / power
        double energy_residual = 0.0;   // (capacity + compression gain - heat rejected) / heat rejected
        double suction_pressure = 0.0, condensing_pressure = 0.0;  // Pa
        double superheat = 0.0, subcooling = 0.0;                  // K
        double refrigerant_flow = 0.0;  // kg/s through the compressor
    };
    std::optional<Rating> rating;
    long newton_iterations = 0;
    long residual_evaluations = 0;
    double cpu_seconds = 0.0;
};

class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void on_log(double /*t*/, const std::vector<double>& /*values*/) {}
    virtual void on_progress(double /*t*/, const RunStatistics& /*stats*/) {}
    // Called on a failure while the blocks are still loaded (before they are
    // terminated): extra text for the message, e.g. the property library's
    // own last message.
    virtual std::string explain_failure() { return {}; }
    // Checked after every major step: true ends the run there, before the
    // stop time (a settled plant).
    virtual bool stop_requested() const { return false; }
};

class Simulation {
public:
    // Throws SimulationError (unknown plug-in, bad parameter, wrong width,
    // unconnected input, ...).
    Simulation(ModelSpec model, PluginRegistry& registry);
    ~Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    // Runs from start to stop time. Throws SimulationError on failure, with
    // every block terminated and everything logged so far passed on.
    void run(RunObserver& observer);
    // The settled operating point at the start time's inputs, its row handed
    // to the observer; every block terminated afterwards. A model without one
    // (no convergence, a controller or mode switching at the point) comes
    // back unsolved with the reason; model or block failures throw
    // SimulationError as run() does.
    SteadyPoint steady(RunObserver& observer);
    // The start alone (no run): the blocks started as the model's start
    // section asks, then terminated. Returns the condenser's start state as
    // its dialog names it (Condenser_L1_inicial, ..._P_, ..._h3_, ..._L3_)
    // and the charge it holds; empty for a model without a condenser.
    struct StartState {
        std::string condenser;
        std::vector<std::pair<std::string, double>> dialog_values;
        double charge = 0.0;
    };
    StartState start_state(RunObserver& observer);
    // Co-simulation, the run advanced by its caller from one communication
    // point to the next (the FMU). begin: the blocks started, the first
    // major step done at the start time and its row handed to the observer,
    // which must outlive the co-simulation. advance_to: the integrator taken
    // to t with the inputs held since the last point (`inputs_changed`:
    // they changed at the last point, and the integrator restarts there),
    // the row at t handed to the observer. No step goes beyond stop_time
    // (infinite: no limit but the sources' breakpoints). Failures throw as
    // run() does, with every block terminated; end: every block terminated
    // and the integrator freed (also when it never began). A simulation
    // runs once: a new run needs a new Simulation.
    void begin_cosimulation(RunObserver& observer, double stop_time);
    void advance_to(double t, bool inputs_changed);
    void end_cosimulation() noexcept;
    // Element `element` of constant block `block`'s value set to `value`
    // (an input of the co-simulation). Returns whether it changed; throws
    // SimulationError when there is no such constant block or element.
    bool set_constant(const std::string& block, int element, double value);

    // What the start did (the condenser's start state from the charge, a
    // steady start), one line each, for the run log.
    std::vector<std::string> start_notes() const;
    // What the blocks found suspicious over the run (legal, so the run went
    // on), one line each naming the block.
    std::vector<std::string> block_warnings() const;

    const ModelSpec& model() const;
    const RunStatistics& statistics() const;
    double time() const;  // time of the latest major step
    int num_states() const;
    // One line per algebraic loop: its blocks and tear signals.
    std::vector<std::string> loops() const;
    // One line per feedback loop of the wiring that is not algebraic: its
    // blocks and the blocks without direct feedthrough that break it.
    std::vector<std::string> feedback_loops() const;
    std::vector<std::string> log_names() const;
    std::vector<std::string> log_units() const;

    struct Impl;  // implementation (solver glue reaches it from C callbacks)

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace cyclesim
