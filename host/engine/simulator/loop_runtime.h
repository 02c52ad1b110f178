// What the simulator keeps per algebraic loop between solves (tear values,
// their sources and scales, the model's starting values, the solver).
#pragma once

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "errors.h"
#include "execution_plan.h"
#include "loop_acceptance.h"
#include "loop_solver.h"

namespace cyclesim {

// An algebraic loop that could not be solved. In a minor step the integrator
// may retry with a smaller step; at a major step it ends the run.
class LoopFailure : public SimulationError {
public:
    using SimulationError::SimulationError;
};

struct LoopRuntime {
    LoopPlan plan;
    std::vector<double> tear_values;             // what the torn inputs read
    std::vector<double> accepted_values;         // the solution at the latest major step
    double accepted_time = NAN;
    // The solution at the major step before, for a start extrapolated in time
    // (empty after a restart of the integrator).
    std::vector<double> previous_values;
    double previous_time = NAN;
    double last_solve_time = NAN;                // time of the latest solve
    std::vector<const double*> tear_sources;     // the outputs the tear variables stand for
    std::vector<double> max_seen;                // largest magnitude seen per tear variable
    std::vector<std::optional<double>> guesses;  // starting values from the model file
    std::string block_error;                     // a block's refusal during the latest solve
    // The latest residual evaluation: its point, residual and status.
    std::vector<double> last_x, last_f;
    int last_status = -1;
    std::unique_ptr<LoopSolver> solver;
    bool primed = false;
};

}  // namespace cyclesim
