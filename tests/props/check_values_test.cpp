// Published check values, kept in the project: the equations' own test
// points, reference states, critical and normal boiling points.
#include <gtest/gtest.h>

#include <cmath>

#include "fluidprops/error.h"
#include "fluidprops/flash.h"
#include "fluidprops/fluids.h"
#include "fluidprops/props_si.h"

namespace {

using fluidprops::find_fluid;
using fluidprops::Fluid;
using fluidprops::props_si;

void expect_rel(double got, double expected, double rel, const char* what) {
    EXPECT_NEAR(got, expected, rel * std::abs(expected)) << what;
}

// Each fluid's table keeps one state the equation was evaluated at in
// extended precision (temperature, density -> pressure, enthalpy, entropy).
// Reproducing it checks every Helmholtz term and the reference-state offsets.
TEST(CheckValues, AnchorStateOfEveryEquation) {
    for (const Fluid& f : fluidprops::all_fluids()) {
        const auto& a = f.data().hs_anchor;
        const auto pt = f.evaluate(a.T, a.rhomolar);
        // One table stores its anchor rounded to 9 digits.
        const double tol = std::string(f.name()) == "R1234yf" ? 2e-8 : 1e-10;
        EXPECT_NEAR(pt.p / a.p, 1.0, tol) << f.name();
        EXPECT_NEAR(pt.h / a.hmolar, 1.0, tol) << f.name();
        EXPECT_NEAR(pt.s / a.smolar, 1.0, tol) << f.name();
    }
}

TEST(CheckValues, AnchorStatesQuotedInThePapers) {
    const Fluid* r134a = find_fluid("R134a");
    auto pt = r134a->evaluate(411.598, 4480.9471539000015);
    expect_rel(pt.p, 6858750.808053, 1e-11, "R134a p");
    expect_rel(pt.h, 45468.086192270, 1e-11, "R134a h");
    expect_rel(pt.s, 172.44139866137, 1e-11, "R134a s");
    const Fluid* water = find_fluid("Water");
    pt = water->evaluate(water->data().hs_anchor.T, water->data().hs_anchor.rhomolar);
    expect_rel(pt.h, 43781.065905123, 1e-11, "Water h");
    expect_rel(pt.s, 87.177062397880, 1e-11, "Water s");
    // Span-Wagner CO2 with its non-analytic terms and the IIR offset.
    const Fluid* co2 = find_fluid("CarbonDioxide");
    pt = co2->evaluate(co2->data().hs_anchor.T, co2->data().hs_anchor.rhomolar);
    expect_rel(pt.h, 17160.722172023, 1e-11, "CO2 h");
    expect_rel(pt.s, 69.622104416225, 1e-11, "CO2 s");
}

// IAPWS-95 verification values (mass basis, kJ and MPa in the release).
TEST(CheckValues, Iapws95) {
    const Fluid* w = find_fluid("Water");
    const double M = w->molar_mass();
    struct Case { double T, rho, p_MPa, cv, speed, s; };
    const Case cases[] = {
        {300.0, 996.5560, 0.0992418352, 4.13018112, 1501.51914, 0.393062643},
        {647.0, 358.0, 22.0384756, 6.18315728, 252.145078, 4.32092307},
    };
    for (const Case& c : cases) {
        const auto pt = w->evaluate(c.T, c.rho / M);
        expect_rel(pt.p * 1e-6, c.p_MPa, 2e-9, "p");
        expect_rel(pt.cv / M * 1e-3, c.cv, 2e-9, "cv");
        expect_rel(pt.w, c.speed, 2e-9, "w");
        expect_rel(pt.s / M * 1e-3, c.s, 2e-9, "s");
    }
}

// Lemmon & Akasaka (2022) R1234yf table of check values (molar basis).
TEST(CheckValues, R1234yfPaper) {
    const Fluid* f = find_fluid("R1234yf");
    struct Case { double T, rho, p_MPa, cv, cp, w; };
    const Case cases[] = {
        {280.0, 11000.0, 28.95760, 101.930, 139.307, 738.905},
        {340.0, 1000.0, 1.855076, 113.479, 168.646, 114.354},
    };
    for (const Case& c : cases) {
        const auto pt = f->evaluate(c.T, c.rho);
        expect_rel(pt.p * 1e-6, c.p_MPa, 5e-6, "p");
        expect_rel(pt.cv, c.cv, 5e-6, "cv");
        expect_rel(pt.cp, c.cp, 5e-6, "cp");
        expect_rel(pt.w, c.w, 5e-6, "w");
    }
}

// Extended-precision phase equilibria stored with each superancillary:
// the exact equilibrium of the equation (equal p and Gibbs energy) at those
// temperatures must reproduce them, and so must the Chebyshev expansions.
TEST(CheckValues, SaturationCheckPoints) {
    int checked = 0;
    for (const Fluid& f : fluidprops::all_fluids()) {
        for (const auto& c : f.data().superancillary.check_points) {
            double rl = c.rho_liquid * 1.001, rv = c.rho_vapor * 0.999;
            ASSERT_TRUE(f.solve_equilibrium(c.T, rl, rv)) << f.name() << " T=" << c.T;
            EXPECT_NEAR(rl / c.rho_liquid, 1.0, 1e-12) << f.name();
            EXPECT_NEAR(rv / c.rho_vapor, 1.0, 1e-10) << f.name();
            double p, dp;
            f.pressure(c.T, rv, p, dp);   // the vapour side is the well-conditioned one
            EXPECT_NEAR(p / c.p, 1.0, 1e-10) << f.name();
            EXPECT_NEAR(f.sa_pressure(c.T) / c.p, 1.0, 5e-11) << f.name();
            EXPECT_NEAR(f.sa_rho_liquid(c.T) / c.rho_liquid, 1.0, 1e-13) << f.name();
            EXPECT_NEAR(f.sa_rho_vapor(c.T) / c.rho_vapor, 1.0, 1e-13) << f.name();
            ++checked;
        }
    }
    EXPECT_GE(checked, 24);
}

TEST(CheckValues, NormalBoilingPoints) {
    // Water at 1 atm, as published for this equation and its saturation curve.
    EXPECT_NEAR(props_si("T", "P", 101325, "Q", 0, "Water"), 373.1242958476665, 1e-10);
    // R134a: 247.076 K (Tillner-Roth & Baehr 1994).
    EXPECT_NEAR(props_si("T", "P", 101325, "Q", 1, "R134a"), 247.076, 5e-3);
    // Air, bubble and dew points at 1 atm.
    EXPECT_NEAR(props_si("T", "P", 101325, "Q", 0, "Air"), 78.902957184, 1e-8);
    EXPECT_NEAR(props_si("T", "P", 101325, "Q", 1, "Air"), 81.720035952, 1e-8);
}

// Published bubble and dew points of the blends (their bubble and dew lines
// are the ancillary equations published with the mixture models).
TEST(CheckValues, BlendSaturation) {
    EXPECT_NEAR(props_si("T", "P", 2301391.979, "Q", 0, "R410A"), 310.995939813, 2e-9);
    EXPECT_NEAR(props_si("T", "P", 2301391.979, "Q", 1, "R410A"), 311.11561476, 2e-8);
    EXPECT_NEAR(props_si("P", "T", 313.5, "Q", 0, "HEOS::R407C"), 1763854.501992638, 1e-6);
}

TEST(CheckValues, CriticalPoints) {
    // Numerical critical point of the equation, end of the saturation curve.
    EXPECT_NEAR(props_si("Tcrit", "", 0, "", 0, "R134a"), 374.2119665849513, 1e-10);
    EXPECT_NEAR(props_si("Tcrit", "", 0, "", 0, "Water"), 647.096, 1e-3);
    EXPECT_NEAR(props_si("Tcrit", "", 0, "", 0, "Air"), 132.5306, 1e-10);
    // Saturation approaches the critical pressure continuously from below.
    const Fluid* f = find_fluid("R134a");
    EXPECT_NEAR(f->sa_pressure(f->T_crit()) / f->p_crit(), 1.0, 1e-14);
    EXPECT_NEAR(f->p_crit(), 4.0593e6, 0.001e6);
    EXPECT_THROW(props_si("T", "P", f->p_crit() * 1.0001, "Q", 0, "R134a"), fluidprops::PropertyError);
}

// Default reference states: IIR for the refrigerants (h = 200 kJ/kg,
// s = 1 kJ/(kg K) for the saturated liquid at 0 degC), IAPWS for water
// (u = 0, s = 0 for the liquid at the triple point).
TEST(CheckValues, ReferenceStates) {
    EXPECT_NEAR(props_si("H", "T", 273.15, "Q", 0, "R134a"), 200000.0, 0.02);
    EXPECT_NEAR(props_si("S", "T", 273.15, "Q", 0, "R134a"), 1000.0, 1e-4);
    EXPECT_NEAR(props_si("U", "T", 273.16, "Q", 0, "Water"), 0.0, 1e-3);
    EXPECT_NEAR(props_si("S", "T", 273.16, "Q", 0, "Water"), 0.0, 1e-5);
    EXPECT_NEAR(props_si("H", "T", 273.16, "Q", 0, "Water"), 0.612, 2e-3);
    for (const char* f : {"R32", "n-Propane", "R1234yf", "CarbonDioxide", "IsoButane"}) {
        EXPECT_NEAR(props_si("H", "T", 273.15, "Q", 0, f), 200000.0, 0.02) << f;
        EXPECT_NEAR(props_si("S", "T", 273.15, "Q", 0, f), 1000.0, 1e-3) << f;
    }
    // R1234ze(E): the offset published with its equation is not exactly IIR.
    EXPECT_NEAR(props_si("H", "T", 273.15, "Q", 0, "R1234ze(E)"), 200002.9, 0.1);
    EXPECT_NEAR(props_si("S", "T", 273.15, "Q", 0, "R1234ze(E)"), 1000.024, 1e-3);
    // Blends: the bubble-point liquid at 0 degC.
    EXPECT_NEAR(props_si("H", "T", 273.15, "Q", 0, "R410A"), 200000.1, 0.1);
    EXPECT_NEAR(props_si("S", "T", 273.15, "Q", 0, "R407C"), 999.998, 1e-3);
    // Air: zero near the normal boiling point of the liquid.
    EXPECT_NEAR(props_si("H", "P", 101325, "Q", 0, "Air"), -0.0124, 1e-3);
}

// Saturated states at one pressure, from the formula sheet's own prototype.
TEST(CheckValues, SaturatedStates) {
    struct Case { const char* fluid; double p, T0, T1, rhoL, rhoV, hL, hV, sL, sV, cpV, cvV; };
    const Case cases[] = {
        {"R134a", 1e6, 312.537631341, 312.537631341, 1149.3292287, 49.2221840, 255495.8561, 419161.8023, 1187.60328,
         1711.27125, 1139.13349, 883.68566},
        {"R32", 1e6, 279.773982147, 279.773982147, 1031.9373139, 27.2381818, 211688.7290, 516314.6481, 1041.63220,
         2130.46082, 1324.81572, 877.39860},
        {"n-Propane", 1e6, 300.092330950, 300.092330950, 489.3008429, 21.6811192, 270406.7970, 602690.5085, 1242.05179,
         2349.32338, 2042.09714, 1588.43160},
        {"R1234yf", 1e6, 312.430006539, 312.430006539, 1036.5318398, 56.5448210, 253993.6496, 387108.8074, 1182.34231,
         1608.40625, 1143.33873, 911.35004},
        {"R1234ze(E)", 1e6, 323.259208935, 323.259208935, 1073.3935670, 53.6968556, 269807.3190, 415388.6429, 1232.00952,
         1682.36428, 1116.69690, 899.62704},
        {"CarbonDioxide", 3.5e6, 273.310815384, 273.310815384, 926.4664924, 98.1477722, 200392.8115, 430799.1582,
         1001.37899, 1844.39849, 1872.32762, 873.29038},
        {"IsoButane", 5e5, 310.863013481, 310.863013481, 534.2448483, 12.8766936, 290490.7705, 604791.0694, 1307.89645,
         2318.95368, 1900.63347, 1639.99463},
        {"Water", 101325, 373.124295848, 373.124295848, 958.3674968, 0.5976568, 419057.7331, 2675529.3255, 1306.92081,
         7354.42728, 2079.93709, 1555.76319},
        {"R410A", 1e6, 280.316570124, 280.423480751, 1140.5449939, 38.5095992, 211015.2461, 423401.5265, 1039.17650,
         1796.62837, 1200.92015, 850.46121},
        {"R407C", 1e6, 291.837200909, 297.468945136, 1164.1313815, 42.8761884, 227179.2027, 419785.6949, 1094.94284,
         1748.73381, 1127.54776, 849.94394},
        {"R404A", 1e6, 289.790205809, 290.231283539, 1082.2139133, 51.5992633, 223764.0353, 373596.2470, 1083.18943,
         1599.87144, 1135.03659, 864.34232},
        {"Air", 101325, 78.902957184, 81.720035952, 875.2051327, 4.4974063, -0.0124, 204806.5810, 0.00043, 2559.84966,
         1089.64608, 750.07155},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fluid);
        EXPECT_NEAR(props_si("T", "P", c.p, "Q", 0, c.fluid), c.T0, 2e-9 * c.T0);
        EXPECT_NEAR(props_si("T", "P", c.p, "Q", 1, c.fluid), c.T1, 2e-9 * c.T1);
        EXPECT_NEAR(props_si("D", "P", c.p, "Q", 0, c.fluid), c.rhoL, 1e-9 * c.rhoL);
        EXPECT_NEAR(props_si("D", "P", c.p, "Q", 1, c.fluid), c.rhoV, 2e-7 * c.rhoV);
        EXPECT_NEAR(props_si("H", "P", c.p, "Q", 0, c.fluid), c.hL, 1e-9 * std::abs(c.hV));
        EXPECT_NEAR(props_si("H", "P", c.p, "Q", 1, c.fluid), c.hV, 1e-9 * c.hV);
        EXPECT_NEAR(props_si("S", "P", c.p, "Q", 0, c.fluid), c.sL, 1e-8 * c.sV);
        EXPECT_NEAR(props_si("S", "P", c.p, "Q", 1, c.fluid), c.sV, 1e-8 * c.sV);
        EXPECT_NEAR(props_si("C", "P", c.p, "Q", 1, c.fluid), c.cpV, 1e-8 * c.cpV);
        EXPECT_NEAR(props_si("O", "P", c.p, "Q", 1, c.fluid), c.cvV, 1e-8 * c.cvV);
    }
}

TEST(CheckValues, SinglePhaseStates) {
    struct Case { const char* fluid; double T, p, rho, cp, h; };
    const Case cases[] = {
        {"Water", 300, 101325, 996.55693527, 4180.635777, 112654.89965},
        {"Water", 285.15, 200000, 999.54703747, 4191.797217, 50601.63981},
        {"Air", 300, 101325, 1.17699559, 1006.373908, 426297.77439},
        {"Air", 308.15, 101325, 1.14578765, 1006.696305, 434500.99923},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fluid);
        EXPECT_NEAR(props_si("D", "P", c.p, "T", c.T, c.fluid), c.rho, 5e-9 * c.rho);
        EXPECT_NEAR(props_si("C", "T", c.T, "P", c.p, c.fluid), c.cp, 1e-9 * c.cp);
        EXPECT_NEAR(props_si("H", "P", c.p, "T", c.T, c.fluid), c.h, 1e-9 * c.h);
    }
}

}  // namespace

namespace {

// Without its superancillary a pure fluid falls back to solving the phase
// equilibrium of the equation directly; both routes give the same saturation
// states.
TEST(CheckValues, EquilibriumSolverAgreesWithSuperancillary) {
    for (const char* name : {"R134a", "Water", "CarbonDioxide"}) {
        const Fluid& with = *find_fluid(name);
        fluidprops::FluidData data = with.data();
        data.superancillary = {};
        const Fluid without(data);
        for (double frac : {0.01, 0.1, 0.5, 0.9}) {
            const double p = frac * with.p_crit();
            if (p < with.p_sat_min()) continue;
            const auto a = with.saturation_at_p(p);
            const auto b = without.saturation_at_p(p);
            EXPECT_NEAR(b.liquid.T / a.liquid.T, 1.0, 1e-10) << name << " p=" << p;
            EXPECT_NEAR(b.liquid.rho / a.liquid.rho, 1.0, 1e-10) << name << " p=" << p;
            EXPECT_NEAR(b.vapor.rho / a.vapor.rho, 1.0, 1e-9) << name << " p=" << p;
            EXPECT_NEAR(b.vapor.h / a.vapor.h, 1.0, 1e-10) << name << " p=" << p;
            const auto c = without.saturation_at_T(a.liquid.T);
            EXPECT_NEAR(c.p / p, 1.0, 1e-9) << name << " p=" << p;
        }
    }
}

}  // namespace
