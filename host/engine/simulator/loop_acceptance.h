// When a solve of an algebraic loop counts as a solution.
#pragma once

namespace cyclesim {

// A loop solve whose scaled residual is within this factor of the tolerance
// is accepted even when Newton stopped on a small step: the blocks' own inner
// solvers leave noise of about that size. Much more would let the integrator
// run on outputs that do not belong together.
constexpr double kLoopAcceptFactor = 100.0;

// Whether a solve that ended with the KINSOL flag `flag` (negative: failed)
// and the largest scaled residual `worst` is a solution: within the tolerance
// always; within kLoopAcceptFactor of it only when Newton reported success.
bool loop_solution_accepted(int flag, double worst, double tolerance);

}  // namespace cyclesim
