// The simulator's state, shared by the files that each do one part of its
// work (internal to the simulator):
//   signal_wiring.cpp    blocks built, inputs wired, logged signals resolved;
//   loop_runtime.cpp     the execution plan and the algebraic loops' solves;
//   step_evaluation.cpp  minor steps (right-hand side, its Jacobian) and the
//                        bookkeeping of a major step;
//   cvode_driver.cpp     the integrator: CVODE's setup, stops and restarts;
//   condenser_start.cpp  the condenser's start state from the unit's charge;
//   steady_solver.cpp    the settled operating point (Newton on the states);
//   failure_origin.cpp   the logged state upstream of a failing block;
//   simulation.cpp       construction, run() and the public accessors.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "condenser_inventory.h"
#include "execution_plan.h"
#include "loop_runtime.h"
#include <unordered_map>

#include "model_file.h"
#include "plugin_library.h"
#include "sim_block.h"
#include "simulation.h"
#include "sundials_context.h"

namespace cyclesim {

using StartState = Simulation::StartState;

struct Simulation::Impl {
    SundialsContext sundials;  // first in, last out: solvers below use it
    ModelSpec model;
    std::vector<std::unique_ptr<SimBlock>> blocks;
    mutable std::unordered_map<std::string, int> index_by_name;  // block_index_or_none's table
    // For each block, port and element: the output element it reads.
    std::vector<std::vector<std::vector<ElementRef>>> sources;
    ExecutionPlan plan;
    std::vector<LoopRuntime> loops;
    std::vector<const double*> logged;
    std::vector<std::pair<ElementRef, double>> guesses;  // loop starting values from the model file
    std::vector<int> state_offset;  // per block, into the global state vector
    int n_states = 0;
    std::vector<double> breakpoints;
    std::vector<double> jump_times;   // the breakpoints at which an output jumps (restarts)

    RunStatistics stats;
    double t_now = 0.0;

    // Failures inside solver callbacks are kept here and raised once the
    // solver has returned.
    std::exception_ptr pending_error;
    std::exception_ptr trial_error;  // a block's error at a trial state, retried with a smaller step
    std::string last_nonfinite;  // latest minor-step trouble (non-finite value, unsolved loop)
    std::string integrator_message;

    Impl(ModelSpec m, PluginRegistry& registry);

    // --- wiring (signal_wiring.cpp) ---------------------------------------
    void build_blocks(PluginRegistry& registry);
    // Index of the block named `name`; a clear error naming `where` if none is.
    int block_index(const std::string& name, const std::string& where) const;
    int block_index_or_none(const std::string& name) const;  // -1 when there is none
    void wire();
    void resolve_signals();
    // The unit of the quantity an output element carries, where it can be
    // known; "" where not.
    std::string signal_unit(const ElementRef& source) const;

    // --- loops (loop_runtime.cpp) ------------------------------------------
    void make_plan();
    int loop_residual(LoopRuntime& L, const double* x, double* f, double t, bool major, bool trial = false);
    std::string describe_loop(const LoopRuntime& L) const;
    std::string tear_text(const ElementRef& r) const;
    void solve_loop(LoopRuntime& L, double t, bool major);

    // --- evaluation and major steps (step_evaluation.cpp) ----------------
    void scatter_states(const double* y);
    void gather_states(double* y);
    void gather_derivatives(double* dy);
    std::optional<std::string> nonfinite_output(int b, double t);
    std::optional<std::string> nonfinite_derivative(double t);
    // Outputs of every block in dependency order. Returns a message for the
    // first non-finite output (the evaluation stops there).
    std::optional<std::string> evaluate_outputs(double t, bool major);
    // Right-hand side for CVODE: a minor step.
    int rhs(double t, const double* y, double* dy);
    int rhs_evaluation(double t, const double* y, double* dy);
    void restart_loops_from_accepted();
    int jacobian(double t, const double* y, const double* fy, double* const* columns, int n, double* ytmp,
                 double* ftmp);
    // Every logged row goes out here: at a major step and at an output time
    // inside a step.
    void hand_off_row(double t, RunObserver& observer);
    void interpolated_row(double t, const double* y, RunObserver& observer);
    // One major step at t from the integrator's states y (updated in place
    // when a block changes its states). Returns whether the integrator must
    // restart.
    bool major_step(double t, double* y, bool log_now, RunObserver& observer);

    // --- the integrator (cvode_driver.cpp) -------------------------------
    void integrate(RunObserver& observer);
    struct Stepper;
    struct StepperDeleter {
        void operator()(Stepper* s) const;
    };
    // A co-simulation advanced by its caller (the FMU).
    std::unique_ptr<Stepper, StepperDeleter> cosim;
    bool cosim_pending = false;  // the integrator's latest step awaits its major step
    double cosim_time = 0.0;     // the latest communication point
    void begin_cosimulation(RunObserver& observer, double stop_time);
    void advance_to(double t, bool inputs_changed);
    void end_cosimulation() noexcept;
    RunObserver* cosim_observer = nullptr;
    // Runs a co-simulation's work; a failure ends it with every block
    // terminated and comes out as run() gives it.
    void guarded(const std::function<void()>& work);

    // --- start state from the charge (condenser_start.cpp) ---------------
    int condenser = -1;                      // the Condenser block the start works on, -1: none
    std::optional<CondenserDialog> condenser_dialog;
    std::optional<double> charge_target;     // the charge the start state (and a steady point) holds
    std::vector<std::string> start_notes;    // what the start did, for the run log
    void find_condenser();
    double source_value(int b, int port, int element) const;
    // Outputs of the blocks that come before block b in the execution order
    // (as at the first major step).
    void evaluate_before(int b, double t);
    // The condenser's inventory at the states as they stand (all outputs
    // evaluated at t first; before the first major step the evaluation is
    // a major one, so that controllers sit at their bumpless start).
    double condenser_charge_now(double t, bool major = false);
    void check_condenser_start(double t);
    bool dialog_start_condenses(double t);
    void start_from_charge(double t);
    // Start and initial conditions of every block, then the start the model
    // asks for (dialog, charge or steady).
    void start_blocks(RunObserver& observer);
    StartState start_state(RunObserver& observer);

    // --- steady state (steady_solver.cpp) ---------------------------------
    SteadyPoint solve_steady(RunObserver& observer);
    void set_steady_evaluation(bool on);
    bool steady_evaluation = false;
    std::optional<SteadyPoint::Rating> rate_cycle();

    void run(RunObserver& observer);
    SteadyPoint steady(RunObserver& observer);
    void terminate_all() noexcept;  // every block, after a failure
    // A failure's message with what the observer adds (the property
    // library's own message) and where it began.
    std::string explained_failure(const std::string& what, RunObserver& observer) noexcept;

    // --- where a failure began (failure_origin.cpp) -------------------------
    // The logged state upstream of the block a failure message names, or
    // nothing when it names none.
    std::string failure_origin(const std::string& message) const;
};

}  // namespace cyclesim
