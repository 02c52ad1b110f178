// Internal consistency of the flashes: round trips between input pairs,
// saturation seen from both phases, qualities inside the dome, and the
// saturation cache changing nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fluidprops/error.h"
#include "fluidprops/flash.h"
#include "fluidprops/fluids.h"
#include "fluidprops/props_si.h"

namespace {

using fluidprops::find_fluid;
using fluidprops::Fluid;
using fluidprops::props_si;

struct FluidCase {
    const char* name;
    std::vector<double> pressures;   // subcritical and supercritical
};

const FluidCase kFluids[] = {
    {"R134a", {2e4, 3e5, 1.2e6, 3.5e6, 5e6, 8e6}},
    {"Water", {1e3, 101325, 1e6, 1.5e7, 3e7}},
    {"Air", {2e4, 101325, 1e6, 3e6, 6e6}},
};

// Enthalpies spanning liquid, two-phase and vapour at p (or the whole
// supercritical range), from the (P, T) flash.
std::vector<double> enthalpy_grid(const Fluid& f, double p) {
    std::vector<double> h;
    const double T_lo = f.T_min() + 2.0;
    const double T_hi = std::min(f.data().T_max, 2.5 * f.T_crit());
    for (int i = 0; i <= 24; ++i) {
        const double T = T_lo + (T_hi - T_lo) * i / 24.0;
        try {
            h.push_back(props_si("H", "P", p, "T", T, f.name()));
        } catch (const fluidprops::PropertyError&) {
            // a (P, T) exactly on a saturation line or inside a glide
        }
    }
    if (p < f.p_crit() && p > f.p_sat_min()) {
        const double hl = props_si("H", "P", p, "Q", 0, f.name());
        const double hv = props_si("H", "P", p, "Q", 1, f.name());
        for (double q : {0.1, 0.5, 0.9}) h.push_back(hl + q * (hv - hl));
    }
    return h;
}

TEST(Consistency, EnthalpyEntropyRoundTrip) {
    for (const auto& fc : kFluids) {
        const Fluid& f = *find_fluid(fc.name);
        for (double p : fc.pressures) {
            for (double h : enthalpy_grid(f, p)) {
                const double s = props_si("S", "P", p, "H", h, fc.name);
                const double h2 = props_si("H", "P", p, "S", s, fc.name);
                EXPECT_NEAR(h2, h, 1e-9 * (std::abs(h) + 1e4)) << fc.name << " p=" << p << " h=" << h;
            }
        }
    }
}

TEST(Consistency, TemperatureFromEnthalpyGivesTheEnthalpyBack) {
    for (const auto& fc : kFluids) {
        const Fluid& f = *find_fluid(fc.name);
        for (double p : fc.pressures) {
            for (double h : enthalpy_grid(f, p)) {
                const double q = props_si("Q", "P", p, "H", h, fc.name);
                if (q != -1.0) continue;   // single-phase states only
                const double T = props_si("T", "P", p, "H", h, fc.name);
                EXPECT_NEAR(props_si("H", "P", p, "T", T, fc.name), h, 1e-9 * (std::abs(h) + 1e4))
                    << fc.name << " p=" << p << " T=" << T;
                // Density from either flash agrees too.
                EXPECT_NEAR(props_si("D", "P", p, "T", T, fc.name) / props_si("D", "P", p, "H", h, fc.name), 1.0, 1e-8)
                    << fc.name << " p=" << p << " T=" << T;
            }
        }
    }
}

// The two saturated end states of a pure fluid coexist: same temperature,
// pressure and Gibbs energy, as the equation of state itself computes them.
TEST(Consistency, SaturatedPhasesInEquilibrium) {
    for (const char* name : {"R134a", "Water"}) {
        const Fluid& f = *find_fluid(name);
        for (double frac : {0.001, 0.01, 0.1, 0.3, 0.6, 0.9, 0.97}) {
            const double p = frac * f.p_crit();
            if (p < f.p_sat_min()) continue;
            const auto sat = f.saturation_at_p(p);
            EXPECT_EQ(sat.liquid.T, sat.vapor.T);
            EXPECT_NEAR(sat.liquid.p / p, 1.0, 1e-9) << name << " p=" << p;
            EXPECT_NEAR(sat.vapor.p / p, 1.0, 1e-9) << name << " p=" << p;
            EXPECT_NEAR(sat.liquid.g - sat.vapor.g, 0.0, 1e-9 * std::abs(sat.vapor.h - sat.liquid.h)) << name;
            // Clausius-Clapeyron against the slope of the saturation curve.
            const double T = sat.liquid.T;
            const double dpdT = (f.sa_pressure(T + 1e-4) - f.sa_pressure(T - 1e-4)) / 2e-4;
            const double cc = (sat.vapor.h - sat.liquid.h) / (T * (1.0 / sat.vapor.rho - 1.0 / sat.liquid.rho));
            EXPECT_NEAR(dpdT / cc, 1.0, 1e-6) << name << " p=" << p;
        }
    }
}

// Approaching the saturation line from the single-phase side gives the
// saturated state: (P,T) just off T_sat against (P,Q=0/1).
TEST(Consistency, SaturationMatchesSinglePhaseLimits) {
    for (const char* name : {"R134a", "Water"}) {
        for (double p : {5e4, 1e6}) {
            const double Ts = props_si("T", "P", p, "Q", 0, name);
            const double dT = 1e-7 * Ts;
            EXPECT_NEAR(props_si("D", "P", p, "T", Ts - dT, name) / props_si("D", "P", p, "Q", 0, name), 1.0, 1e-6)
                << name;
            EXPECT_NEAR(props_si("D", "P", p, "T", Ts + dT, name) / props_si("D", "P", p, "Q", 1, name), 1.0, 1e-5)
                << name;
            EXPECT_NEAR(props_si("H", "P", p, "T", Ts + dT, name) / props_si("H", "P", p, "Q", 1, name), 1.0, 1e-7)
                << name;
            // (T, Q) and (P, Q) describe the same saturated states.
            EXPECT_NEAR(props_si("P", "T", Ts, "Q", 1, name) / p, 1.0, 1e-10) << name;
            EXPECT_NEAR(props_si("H", "T", Ts, "Q", 0, name) / props_si("H", "P", p, "Q", 0, name), 1.0, 1e-9) << name;
        }
    }
}

TEST(Consistency, QualityInsideTheDomeFollowsTheLeverRule) {
    for (const char* name : {"R134a", "Water", "Air"}) {
        for (double p : {5e4, 3e5, 1.2e6}) {
            const double hl = props_si("H", "P", p, "Q", 0, name);
            const double hv = props_si("H", "P", p, "Q", 1, name);
            double last = -1.0;
            for (int i = 0; i <= 20; ++i) {
                const double h = hl + (hv - hl) * i / 20.0;
                const double q = props_si("Q", "P", p, "H", h, name);
                EXPECT_GE(q, -1e-9) << name;
                EXPECT_LE(q, 1.0 + 1e-9) << name;
                EXPECT_NEAR(q, i / 20.0, 1e-9) << name;
                EXPECT_GE(q, last) << name;
                last = q;
                // The state given by quality has the same enthalpy and entropy.
                const double qq = std::clamp(q, 0.0, 1.0);
                EXPECT_NEAR(props_si("H", "P", p, "Q", qq, name), h, 1e-9 * std::abs(hv)) << name;
                EXPECT_NEAR(props_si("S", "P", p, "H", h, name), props_si("S", "P", p, "Q", qq, name),
                            1e-8 * std::abs(props_si("S", "P", p, "Q", 1, name)))
                    << name;
            }
            // Just outside the dome the state is single-phase (Q = -1).
            EXPECT_EQ(props_si("Q", "P", p, "H", hl - 1e-3 * (hv - hl), name), -1.0) << name;
            EXPECT_EQ(props_si("Q", "P", p, "H", hv + 1e-3 * (hv - hl), name), -1.0) << name;
        }
    }
}

TEST(Consistency, BlendTemperatureIsLinearInQuality) {
    // Air is a pseudo-pure blend: bubble and dew temperatures differ and the
    // two-phase temperature is interpolated linearly in quality.
    const double p = 2e5;
    const double Tb = props_si("T", "P", p, "Q", 0, "Air");
    const double Td = props_si("T", "P", p, "Q", 1, "Air");
    EXPECT_GT(Td, Tb + 1.0);
    EXPECT_DOUBLE_EQ(props_si("T", "P", p, "Q", 0.5, "Air"), 0.5 * (Tb + Td));
    EXPECT_DOUBLE_EQ(props_si("T", "P", p, "Q", 0.25, "Air"), 0.75 * Tb + 0.25 * Td);
    // Density mixes on specific volume.
    const double vl = 1.0 / props_si("D", "P", p, "Q", 0, "Air");
    const double vv = 1.0 / props_si("D", "P", p, "Q", 1, "Air");
    EXPECT_NEAR(1.0 / props_si("D", "P", p, "Q", 0.3, "Air"), 0.7 * vl + 0.3 * vv, 1e-12 * vv);
}

// The saturation cache must not change a single bit of any answer.
TEST(Consistency, CacheGivesBitIdenticalResults) {
    struct Query { const char* out; const char* n1; double v1; const char* n2; double v2; const char* fluid; };
    const Query queries[] = {
        {"H", "P", 3e5, "Q", 1, "R134a"},      {"D", "P", 3e5, "Q", 0, "R134a"},
        {"V", "P", 3e5, "Q", 0, "R134a"},      {"T", "P", 1.2e6, "Q", 0.5, "R134a"},
        {"D", "P", 1.2e6, "H", 4.3e5, "R134a"}, {"T", "P", 1.2e6, "H", 2.5e5, "R134a"},
        {"Q", "P", 1.2e6, "H", 3.3e5, "R134a"}, {"H", "P", 3e5, "S", 1750, "R134a"},
        {"C", "P", 1.2e6, "H", 4.3e5, "R134a"}, {"O", "P", 3e5, "Q", 1, "R134a"},
        {"D", "P", 101325, "H", 1e6, "Water"},  {"T", "P", 101325, "Q", 0.4, "Air"},
    };
    std::vector<double> cached, uncached;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& q : queries) cached.push_back(props_si(q.out, q.n1, q.v1, q.n2, q.v2, q.fluid));
    }
    fluidprops::set_saturation_cache_enabled(false);
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& q : queries) uncached.push_back(props_si(q.out, q.n1, q.v1, q.n2, q.v2, q.fluid));
    }
    fluidprops::set_saturation_cache_enabled(true);
    ASSERT_EQ(cached.size(), uncached.size());
    EXPECT_EQ(std::memcmp(cached.data(), uncached.data(), cached.size() * sizeof(double)), 0);
}

TEST(Consistency, MassAndMolarBasesAgree) {
    const double M = props_si("M", "P", 1e6, "Q", 0, "R134a");
    EXPECT_DOUBLE_EQ(M, 0.102032);
    const double h = props_si("H", "P", 1e6, "T", 330, "R134a");
    EXPECT_NEAR(props_si("Hmolar", "P", 1e6, "T", 330, "R134a"), h * M, 1e-9 * h * M);
    EXPECT_NEAR(props_si("T", "P", 1e6, "Hmolar", h * M, "R134a"), 330.0, 1e-9);
    EXPECT_NEAR(props_si("Dmolar", "P", 1e6, "T", 330, "R134a") * M, props_si("D", "P", 1e6, "T", 330, "R134a"), 1e-9);
}

}  // namespace

namespace {

// The condenser model differentiates properties by forward differences over
// 1 Pa and 1 J/kg. Those quotients must be smooth: they agree with a
// centred difference over a 100 times larger step.
TEST(Consistency, OnePascalAndOneJoulePerKilogramDifferencesAreSmooth) {
    struct State { const char* fluid; double p; double q_or_h; bool by_quality; };
    const State states[] = {
        {"R134a", 1.2e6, 0.0, true},  {"R134a", 1.2e6, 1.0, true},   {"R134a", 1.2e6, 2.4e5, false},
        {"R134a", 1.2e6, 3.3e5, false}, {"R134a", 1.2e6, 4.4e5, false}, {"R410A", 2.4e6, 0.0, true},
        {"R410A", 2.4e6, 1.0, true},  {"R410A", 2.4e6, 4.6e5, false}, {"R744", 6e6, 1.0, true},
        {"R744", 6e6, 4.6e5, false},  {"R32", 2.5e6, 0.0, true},
    };
    for (const State& s : states) {
        SCOPED_TRACE(std::string(s.fluid) + " p=" + std::to_string(s.p) + " x=" + std::to_string(s.q_or_h));
        const char* in = s.by_quality ? "Q" : "H";
        for (const char* out : {"D", "H", "T"}) {
            if (!s.by_quality && std::string(out) == "H") continue;
            auto f = [&](double p) { return props_si(out, "P", p, in, s.q_or_h, s.fluid); };
            const double forward = f(s.p + 1.0) - f(s.p);
            const double centred = (f(s.p + 100.0) - f(s.p - 100.0)) / 200.0;
            EXPECT_NEAR(forward, centred, 2e-3 * std::abs(centred) + 1e-12 * std::abs(f(s.p))) << out << " vs p";
        }
        if (!s.by_quality) {
            for (const char* out : {"D", "T"}) {
                auto g = [&](double h) { return props_si(out, "P", s.p, "H", h, s.fluid); };
                const double forward = g(s.q_or_h + 1.0) - g(s.q_or_h);
                const double centred = (g(s.q_or_h + 100.0) - g(s.q_or_h - 100.0)) / 200.0;
                EXPECT_NEAR(forward, centred, 2e-3 * std::abs(centred) + 1e-12 * std::abs(g(s.q_or_h))) << out << " vs h";
            }
        }
    }
}

}  // namespace
