// The suction-pressure solver driven through the plug-in's global PropsSI by
// property entries of the test's own: the analytic stand-in (through a
// recorder that notes the pressure of every flow evaluation) and scripted
// models that make the iteration fail or succeed at a chosen evaluation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "solver_compresor.h"

// The analytic stand-in, compiled into this test under another name so that
// it does not clash with the plug-in's global of the same name.
extern "C" double analytic_PropsSI(const char*, const char*, double, const char*, double, const char*);

namespace {

// Density model of a scripted fluid, as a function of pressure.
std::function<double(double)> density_model;
std::vector<double> flow_pressures;  // pressure of every density query, i.e. every flow evaluation

double recorder(const char* out, const char* k1, double v1, const char* k2, double v2, const char* fluid)
{
    if (std::strcmp(out, "D") == 0) flow_pressures.push_back(v1);
    if (std::strcmp(fluid, "Analytic") == 0) return analytic_PropsSI(out, k1, v1, k2, v2, fluid);
    if (std::strcmp(out, "D") == 0) return density_model(v1);
    return std::strcmp(out, "O") == 0 ? 800.0 : 1000.0;  // cv, cp of saturated vapour
}

constexpr double pdesc = 1.2e6, hasp = 4.0e5, N = 50.0, st = 1e-5;

// Flow of the analytic fluid written out from its relations: at hasp the
// vapour is at 300 K whatever the pressure, rho = P/(100*300), cv/cp = 0.8.
double analytic_flow(double P, double c)
{
    return (st - c * st * (std::pow(pdesc / P, 0.8) - 1.0)) * N * P / 30000.0;
}

class CompressorSolver : public ::testing::Test {
protected:
    void SetUp() override
    {
        PropsSI = recorder;
        flow_pressures.clear();
    }
    void TearDown() override { PropsSI = nullptr; }
};

TEST_F(CompressorSolver, GuessThatAlreadyDeliversStillSearchesAndIterates)
{
    const double c = 0.04, Pe = 3.0e5;
    const double mR = eval_compr_dir(Pe, pdesc, hasp, N, st, c, "Analytic");
    flow_pressures.clear();
    EXPECT_EQ(secant_method_Pe(Pe, mR, pdesc, hasp, N, st, c, "Analytic"), Pe);
    // Search: guess, one step, one loop step (error already negative there);
    // then one iteration: both ends and the new point.
    const std::vector<double> expected{Pe, Pe + 1000, Pe + 2000, Pe, Pe + 2000, Pe};
    EXPECT_EQ(flow_pressures, expected);
}

TEST_F(CompressorSolver, SearchTurnsBackAfterOvershootingStep)
{
    const double c = 0.04, xa = 3.0e5;
    const double mR = analytic_flow(xa - 3500.0, c);  // too much flow at xa
    const double x = fcn_busqueda(xa, mR, pdesc, hasp, N, st, c, "Analytic");
    const std::vector<double> expected{xa, xa + 1000, xa, xa - 1000, xa - 2000, xa - 3000, xa - 4000};
    EXPECT_EQ(flow_pressures, expected);
    EXPECT_EQ(x, xa - 4000);  // the first point past the solution
}

TEST_F(CompressorSolver, SearchGivesUpOnItsHundredthStep)
{
    const double c = 0.04, xa = 2.0e5;
    // Walking up from too little flow, loop step k reaches xa + (k+1) 1000.
    const double found = fcn_busqueda(xa, analytic_flow(xa + 99500.0, c), pdesc, hasp, N, st, c, "Analytic");
    EXPECT_EQ(found, xa + 100000.0);  // sign change on step 99
    EXPECT_EQ(flow_pressures.size(), 101u);
    flow_pressures.clear();
    // Sign change on step 100: the step that exhausts the search fails it.
    EXPECT_EQ(fcn_busqueda(xa, analytic_flow(xa + 100500.0, c), pdesc, hasp, N, st, c, "Analytic"), -1.0);
    EXPECT_EQ(flow_pressures.size(), 102u);
}

TEST_F(CompressorSolver, FailedSearchStartsIterationFromNinetyPercentOfGuess)
{
    const double c = 0.04, Pe = 5.0e5, mR = analytic_flow(3.0e5, c);  // solution 200 steps away
    const double p = secant_method_Pe(Pe, mR, pdesc, hasp, N, st, c, "Analytic");
    ASSERT_GE(flow_pressures.size(), 105u);
    EXPECT_EQ(flow_pressures[102], Pe);
    EXPECT_EQ(flow_pressures[103], 0.9 * Pe);
    EXPECT_LT(std::fabs(analytic_flow(p, c) - mR) / mR, 1e-6);
}

// Scripted fluid whose flow jumps across the demand at P0 (no pressure
// delivers it), except at one chosen flow evaluation that delivers it exactly.
struct JumpingFlow {
    double mR = 0.005, P0 = 3.0e5;
    long exact_at = -1, nan_at = -1;  // 1-based numbers of the flow evaluation
    void install()
    {
        density_model = [this](double P) {
            const long n = static_cast<long>(flow_pressures.size());
            double m = mR * ((P >= P0 ? 1.01 : 0.99) + 1e-3 * (P - P0) / 1e5);
            if (n == exact_at) m = mR;
            if (n == nan_at) m = std::nan("");
            return m / (st * N);  // with c = 0 the flow is st N rho
        };
    }
    double solve() { return secant_method_Pe(P0 + 500.0, mR, pdesc, hasp, N, st, 0.0, "Jump"); }
};

TEST_F(CompressorSolver, IterationLimitOfAThousandIsFailureEvenWhenLastIterationConverges)
{
    // The two ends are evaluated once, then one new point per iteration:
    // iteration j's new point is flow evaluation search + 2 + j.
    JumpingFlow jump;
    jump.install();
    EXPECT_EQ(jump.solve(), -1.0);
    const long search = 4;  // xa, xa+1000, xa (turned back), xa-1000 across the jump
    ASSERT_EQ(static_cast<long>(flow_pressures.size()), search + 2 + 1000);

    // Tolerance met at the new point of iteration 999: converged there.
    flow_pressures.clear();
    jump.exact_at = search + 2 + 999;
    const double p999 = jump.solve();
    EXPECT_NE(p999, -1.0);
    EXPECT_EQ(p999, flow_pressures.back());
    // ... of iteration 1000: the limit wins.
    flow_pressures.clear();
    jump.exact_at = search + 2 + 1000;
    EXPECT_EQ(jump.solve(), -1.0);
}

TEST_F(CompressorSolver, BrokenArithmeticIsFailureNotConvergence)
{
    // A flow error that is not a number at the first new point.
    JumpingFlow jump;
    jump.nan_at = 4 + 3;
    jump.install();
    EXPECT_EQ(jump.solve(), -1.0);
    EXPECT_EQ(flow_pressures.size(), 7u);  // gives up at once

    // Equal flows at both ends: no secant, and no query at an infinite pressure.
    flow_pressures.clear();
    density_model = [](double) { return 10.0; };
    EXPECT_EQ(secant_method_Pe(3.0e5, 0.004, pdesc, hasp, N, st, 0.0, "Flat"), -1.0);
    for (double P : flow_pressures) EXPECT_TRUE(std::isfinite(P)) << P;
}

}  // namespace
