// The flashes' fast path (single-phase states started from the solved state
// at the nearest node of a fixed grid, Newton accepting an evaluated point
// whose correction is below 1e-12, the superancillary inverted from a start
// in ln p) against the earlier iterations, over dense grids of states for pure
// fluids and blends, walked the way blocks walk them (small moves, then
// jumps): every answer within 1e-10 relative, and the same refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "fluidprops/error.h"
#include "fluidprops/flash.h"
#include "fluidprops/fluids.h"

namespace {

using fluidprops::FlashState;
using fluidprops::Fluid;

constexpr double kAgreement = 1e-10;

// The answer of one question, or the refusal.
struct Answer {
    bool refused = false;
    FlashState state;
};

Answer ask(const std::function<FlashState()>& question)
{
    Answer a;
    try {
        a.state = question();
    } catch (const fluidprops::PropertyError&) {
        a.refused = true;
    }
    return a;
}

double relative(double a, double b) { return std::abs(a - b) / std::max(std::abs(b), 1e-300); }

// Enthalpy and entropy pass through zero at the reference state: there they
// are compared relative to R T and R, their natural scales.
double relative_to(double a, double b, double scale) { return std::abs(a - b) / std::max(std::abs(b), scale); }

// Every reported quantity of the fast answer within kAgreement of the cold one.
void expect_same(const Answer& fast, const Answer& cold, double R, const std::string& where)
{
    ASSERT_EQ(fast.refused, cold.refused) << where;
    if (cold.refused) return;
    const FlashState &f = fast.state, &c = cold.state;
    EXPECT_EQ(f.two_phase, c.two_phase) << where;
    EXPECT_LE(relative(f.T, c.T), kAgreement) << where << " T " << f.T << " vs " << c.T;
    EXPECT_LE(relative(f.rho, c.rho), kAgreement) << where << " rho " << f.rho << " vs " << c.rho;
    EXPECT_LE(relative_to(f.h, c.h, R * c.T), kAgreement) << where << " h " << f.h << " vs " << c.h;
    EXPECT_LE(relative_to(f.s, c.s, R), kAgreement) << where << " s " << f.s << " vs " << c.s;
    EXPECT_LE(std::abs(f.Q - c.Q), kAgreement) << where << " Q " << f.Q << " vs " << c.Q;
    ASSERT_EQ(f.has_point, c.has_point) << where;
    if (c.has_point) {
        EXPECT_LE(relative(f.point.cp, c.point.cp), kAgreement) << where << " cp";
        EXPECT_LE(relative(f.point.cv, c.point.cv), kAgreement) << where << " cv";
        EXPECT_LE(relative(f.point.w, c.point.w), kAgreement) << where << " w";
    }
}

// The same walk of questions answered with fast starts, then cold; compared
// question by question.
void compare_walk(const Fluid& fluid, const std::vector<std::function<FlashState()>>& walk,
                  const std::vector<std::string>& names)
{
    std::vector<Answer> fast, cold;
    fluidprops::set_fast_starts_enabled(true);
    for (const auto& q : walk) fast.push_back(ask(q));
    fluidprops::set_fast_starts_enabled(false);
    for (const auto& q : walk) cold.push_back(ask(q));
    fluidprops::set_fast_starts_enabled(true);
    int refused = 0;
    for (std::size_t i = 0; i < walk.size(); ++i) {
        expect_same(fast[i], cold[i], fluid.gas_constant(), names[i]);
        refused += cold[i].refused ? 1 : 0;
    }
    // The grid is meant to be answerable almost everywhere.
    EXPECT_LT(refused, static_cast<int>(walk.size()) / 10);
}

struct Grid {
    const char* fluid;
    double p_low, p_high;   // saturation range walked (Pa)
};

// Pure fluids with a superancillary, one without, and blends.
const Grid kGrids[] = {
    {"R134a", 5e4, 3.8e6}, {"R32", 1e5, 5.5e6},   {"R290", 5e4, 4.0e6}, {"R744", 6e5, 7.2e6},
    {"Water", 2e3, 2.0e7}, {"R410A", 1e5, 4.5e6}, {"R407C", 1e5, 4.2e6}, {"R1234yf", 5e4, 3.2e6},
};

// Pressures log-spaced over the range, each visited with small moves around
// it (as a fixed point or an integrator step would) and enthalpies from deep
// liquid to hot vapour in small and large moves.
TEST(FastStarts, PressureEnthalpyAndEntropyFlashesAgreeWithColdStarts)
{
    for (const auto& g : kGrids) {
        const Fluid* fluid = fluidprops::find_fluid(g.fluid);
        ASSERT_NE(fluid, nullptr) << g.fluid;
        std::vector<std::function<FlashState()>> walk;
        std::vector<std::string> names;
        const int n_p = 14;
        for (int i = 0; i < n_p; ++i) {
            const double p = g.p_low * std::pow(g.p_high / g.p_low, i / (n_p - 1.0));
            const double T_lo = fluid->T_min() + 1.0, T_hi = std::min(fluid->T_crit() + 80.0, fluid->data().T_max);
            // Caloric values of the range from the (P, T) flash (cold).
            fluidprops::set_fast_starts_enabled(false);
            double h_lo, h_hi, s_lo, s_hi;
            try {
                const FlashState a = fluidprops::flash_pt(*fluid, p, T_lo), b = fluidprops::flash_pt(*fluid, p, T_hi);
                h_lo = a.h, h_hi = b.h, s_lo = a.s, s_hi = b.s;
            } catch (const fluidprops::PropertyError&) {
                continue;
            }
            fluidprops::set_fast_starts_enabled(true);
            for (int k = 0; k <= 60; ++k) {
                const double f = k / 60.0;
                for (double nudge : {0.0, 1e-7, 3e-4}) {
                    const double pp = p * (1.0 + nudge), hh = h_lo + f * (h_hi - h_lo) * (1.0 + nudge);
                    const double ss = s_lo + f * (s_hi - s_lo) * (1.0 + nudge);
                    walk.push_back([fluid, pp, hh] { return fluidprops::flash_ph(*fluid, pp, hh); });
                    names.push_back(std::string(g.fluid) + " (P,H) p=" + std::to_string(pp) + " h=" + std::to_string(hh));
                    walk.push_back([fluid, pp, ss] { return fluidprops::flash_ps(*fluid, pp, ss); });
                    names.push_back(std::string(g.fluid) + " (P,S) p=" + std::to_string(pp) + " s=" + std::to_string(ss));
                }
            }
        }
        compare_walk(*fluid, walk, names);
    }
}

TEST(FastStarts, PressureTemperatureFlashesAndSaturationAgreeWithColdStarts)
{
    for (const auto& g : kGrids) {
        const Fluid* fluid = fluidprops::find_fluid(g.fluid);
        ASSERT_NE(fluid, nullptr) << g.fluid;
        std::vector<std::function<FlashState()>> walk;
        std::vector<std::string> names;
        const int n_p = 40;
        for (int i = 0; i < n_p; ++i) {
            const double p = g.p_low * std::pow(g.p_high / g.p_low, i / (n_p - 1.0));
            for (double nudge : {0.0, 1e-9, 2e-5, 4e-2}) {
                const double pp = p * (1.0 + nudge);
                for (double Q : {0.0, 0.5, 1.0}) {
                    walk.push_back([fluid, pp, Q] { return fluidprops::flash_pq(*fluid, pp, Q); });
                    names.push_back(std::string(g.fluid) + " (P,Q) p=" + std::to_string(pp) + " Q=" + std::to_string(Q));
                }
            }
            for (int k = 0; k <= 40; ++k) {
                const double T = fluid->T_min() + 1.0 + k * (std::min(fluid->T_crit() + 60.0, fluid->data().T_max) - fluid->T_min() - 1.0) / 40.0;
                for (double nudge : {0.0, 1e-6, 1e-3}) {
                    const double TT = T * (1.0 + nudge);
                    walk.push_back([fluid, p, TT] { return fluidprops::flash_pt(*fluid, p, TT); });
                    names.push_back(std::string(g.fluid) + " (P,T) p=" + std::to_string(p) + " T=" + std::to_string(TT));
                }
            }
        }
        compare_walk(*fluid, walk, names);
    }
}

// An answer depends on the question alone: the same question gives the same
// bits whether the grid around it was filled by other questions first or not.
TEST(FastStarts, AnAnswerDoesNotDependOnTheQuestionsBefore)
{
    const Fluid* fluid = fluidprops::find_fluid("R134a");
    ASSERT_NE(fluid, nullptr);
    const double M = fluid->molar_mass();
    for (double p : {2.9e5, 3.0123e5, 1.2e6}) {
        for (double h_mass : {2.1e5, 4.05e5, 4.31e5}) {
            fluidprops::set_fast_starts_enabled(true);   // an empty grid
            const FlashState alone = fluidprops::flash_ph(*fluid, p, h_mass * M);
            // Neighbours first, on the same and on the next nodes.
            for (double dh : {-300.0, -7.0, 5.0, 90.0})
                for (double dp : {-400.0, 0.0, 250.0}) fluidprops::flash_ph(*fluid, p + dp, (h_mass + dh) * M);
            const FlashState after = fluidprops::flash_ph(*fluid, p, h_mass * M);
            EXPECT_EQ(after.T, alone.T) << p << " " << h_mass;
            EXPECT_EQ(after.rho, alone.rho) << p << " " << h_mass;
            EXPECT_EQ(after.two_phase ? 0.0 : after.point.cp, alone.two_phase ? 0.0 : alone.point.cp);
        }
    }
}

// The saturation temperature is the root the earlier inversion finds, over
// every superancillary piece from the triple point to the critical point.
TEST(FastStarts, SaturationTemperatureIsTheReferenceRoot)
{
    for (const char* name : {"R134a", "R32", "R744", "Water", "R290", "R1234yf"}) {
        const Fluid* fluid = fluidprops::find_fluid(name);
        ASSERT_NE(fluid, nullptr);
        int checked = 0;
        for (double p = fluid->p_sat_min() * 1.0001; p < fluid->p_crit(); p *= 1.013, ++checked)
            EXPECT_LE(relative(fluid->sa_temperature(p), fluid->sa_temperature_reference(p)), 1e-14) << name << " p=" << p;
        const double near_critical = fluid->p_crit() * (1.0 - 1e-9);
        EXPECT_LE(relative(fluid->sa_temperature(near_critical), fluid->sa_temperature_reference(near_critical)), 1e-14)
            << name;
        EXPECT_GT(checked, 100);
    }
}

}  // namespace
