// When an algebraic loop's solve is taken as a solution. Newton that stops on
// a small step (KINSOL's flag 2) may leave the blocks' inner-solver noise,
// about a hundred times the tolerance, and no more: a looser rule lets the
// integrator run on loop outputs that do not belong together, and nothing in
// a well-behaved run would show it.
#include <gtest/gtest.h>

#include <cmath>

#include "loop_acceptance.h"

namespace {

using cyclesim::loop_solution_accepted;

constexpr int kSuccess = 0, kSmallStep = 2, kLineSearchFailed = -5;
constexpr double kTol = 1e-6;

TEST(LoopAcceptance, NewtonsSuccessAllowsNoiseUpToAHundredTolerances)
{
    EXPECT_TRUE(loop_solution_accepted(kSuccess, 0.5 * kTol, kTol));
    EXPECT_TRUE(loop_solution_accepted(kSmallStep, 99.0 * kTol, kTol));
    EXPECT_FALSE(loop_solution_accepted(kSmallStep, 101.0 * kTol, kTol));
    EXPECT_FALSE(loop_solution_accepted(kSuccess, 300.0 * kTol, kTol));
    EXPECT_FALSE(loop_solution_accepted(kSmallStep, 5e3 * kTol, kTol));
}

TEST(LoopAcceptance, AFailedSolveCountsOnlyWithinTheTolerance)
{
    EXPECT_TRUE(loop_solution_accepted(kLineSearchFailed, 0.9 * kTol, kTol));
    EXPECT_FALSE(loop_solution_accepted(kLineSearchFailed, 2.0 * kTol, kTol));
    // A residual that could not be evaluated is never a solution.
    EXPECT_FALSE(loop_solution_accepted(kSuccess, INFINITY, kTol));
    EXPECT_FALSE(loop_solution_accepted(kSuccess, NAN, kTol));
}

}  // namespace
