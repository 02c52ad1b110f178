// Viscosity against published check values kept in the project (no external data needed), plus the
// behaviour of the individual terms and of the error paths.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "test_support.h"
#include "viscosity_models.h"
#ifdef PROPS_TRANSPORT_HAVE_JSON
#include "json_residual_eos.h"
#endif

namespace {

using namespace transport_test;
namespace tr = fluidprops::transport;

const tr::ViscosityModel& model(const char* name) {
    const tr::ViscosityModel* m = tr::find_viscosity_model(name);
    if (!m) throw std::runtime_error(std::string("no model ") + name);
    return *m;
}

// IAPWS R12-08, Table 4: mu0 * mu1 (critical enhancement set to 1), micro Pa s.
TEST(WaterViscosity, IapwsTable4WithoutCriticalEnhancement) {
    struct Point { double T, rho, mu; };
    const Point points[] = {
        {298.15, 998.0, 889.735100},  {298.15, 1200.0, 1437.649467}, {373.15, 1000.0, 307.883622},
        {433.15, 1.0, 14.538324},     {433.15, 1000.0, 217.685358},  {873.15, 1.0, 32.619287},
        {873.15, 100.0, 35.802262},   {873.15, 600.0, 77.430195},    {1173.15, 1.0, 44.217245},
        {1173.15, 100.0, 47.640433},  {1173.15, 400.0, 64.154608},
    };
    for (const Point& p : points) {
        const double mu = tr::water_mu0(p.T) * tr::water_mu1(p.T, p.rho);
        EXPECT_NEAR(mu, p.mu, 5e-7) << "T=" << p.T << " rho=" << p.rho;
    }
}

// Away from the critical region the enhancement vanishes: the full formulation, whatever the EOS says about a
// compressibility smaller than the reference one, equals mu0*mu1 (here the liquid at 298.15 K, 998 kg/m3).
TEST(WaterViscosity, EnhancementIsOneWhenCompressibilityBelowReference) {
    EXPECT_EQ(tr::water_mu2(298.15, 998.0, 1e-3, 1e-2), 1.0);
    // A compressibility far above the reference one (near-critical) raises the viscosity, never lowers it.
    const double mu2 = tr::water_mu2(647.35, 322.0, 50.0, 0.1);
    EXPECT_GT(mu2, 1.0);
    EXPECT_LT(mu2, 1.2);
    // The two branches of the crossover function Y(xi) must join continuously at xi = 0.3817016416 nm.
    // Solve for the zeta that puts xi just below and just above the switch.
    const double Tb = 647.35 / 647.096, rb = 1.0;
    const auto zeta_for_xi = [&](double xi) {
        const double dchi = 0.06 * std::pow(xi / 0.13, 1.239 / 0.630);
        return dchi / rb + 0.1 * 1.5 / Tb;
    };
    const double below = tr::water_mu2(647.35, 322.0, zeta_for_xi(0.3817016416 * (1 - 1e-9)), 0.1);
    const double above = tr::water_mu2(647.35, 322.0, zeta_for_xi(0.3817016416 * (1 + 1e-9)), 0.1);
    EXPECT_NEAR(below, above, 1e-9);
}

TEST(WaterViscosity, RejectsMechanicallyUnstableStates) {
    const FixedEosAccess unstable(0.0, -5.0, 100.0);
    EXPECT_THROW(fluidprops::viscosity("Water", 500.0, 20000.0, unstable), fluidprops::PropertyError);
}

#ifdef PROPS_TRANSPORT_HAVE_JSON
// IAPWS R12-08, Table 5: near-critical states at 647.35 K including the enhancement, with the
// compressibility from IAPWS-95 (evaluated by the test's own Helmholtz evaluator).
TEST(WaterViscosity, IapwsTable5NearCritical) {
    const std::filesystem::path json = std::filesystem::path("fluids") / "Water.json";
    if (!shared_file_exists(json)) GTEST_SKIP() << "fluid definition not present";
    const JsonResidualEos eos(located(json));
    struct Point { double rho, mu; };
    const Point points[] = {{122.0, 25.520677}, {222.0, 31.337589}, {272.0, 36.228143},
                            {322.0, 42.961579}, {372.0, 45.688204}, {422.0, 49.436256}};
    for (const Point& p : points) {
        const double eta = fluidprops::viscosity("Water", 647.35, p.rho / eos.molar_mass(), eos);
        EXPECT_NEAR(eta * 1e6, p.mu, 5e-6) << "rho=" << p.rho;
    }
}
#endif

// Saturated states at one pressure per fluid, computed independently from the published formulations
// (T and densities of the saturated liquid and vapour, viscosities in micro Pa s to 7 digits).
TEST(ViscosityCheckValues, SaturatedStatesOfFluidsWithoutEosInput) {
    struct Point { const char* fluid; double T_liq, T_vap, rho_liq, rho_vap, eta_liq, eta_vap; };
    const Point points[] = {
        {"R134a", 312.537631341, 312.537631341, 1149.3292287, 49.2221840, 162.7143, 12.34254},
        {"n-Propane", 300.092330950, 300.092330950, 489.3008429, 21.6811192, 95.1875, 8.34331},
        {"CarbonDioxide", 273.310815384, 273.310815384, 926.4664924, 98.1477722, 100.1219, 14.57769},
        {"IsoButane", 310.863013481, 310.863013481, 534.2448483, 12.8766936, 132.4570, 7.84635},
        {"R410A", 280.316570124, 280.423480751, 1140.5449939, 38.5095992, 150.4147, 12.47671},
        {"R407C", 291.837200909, 297.468945136, 1164.1313815, 42.8761884, 163.7803, 12.56591},
        {"R404A", 289.790205809, 290.231283539, 1082.2139133, 51.5992633, 141.1782, 12.43310},
        {"Air", 78.902957184, 81.720035952, 875.2051327, 4.4974063, 166.6772, 5.81862},
    };
    const NoEosAccess no_eos;
    for (const Point& p : points) {
        const double M = model(p.fluid).molar_mass;
        const double eta_l = fluidprops::viscosity(p.fluid, p.T_liq, p.rho_liq / M, no_eos) * 1e6;
        const double eta_v = fluidprops::viscosity(p.fluid, p.T_vap, p.rho_vap / M, no_eos) * 1e6;
        // 1e-6 relative covers the rounding of the printed digits.
        EXPECT_NEAR(eta_l / p.eta_liq, 1.0, 1e-6) << p.fluid << " liquid " << eta_l;
        EXPECT_NEAR(eta_v / p.eta_vap, 1.0, 1e-6) << p.fluid << " vapour " << eta_v;
    }
}

// The residual-entropy fluids take sigma and eps/k from the EOS reducing state (Chung et al.).
TEST(ResidualEntropyScaling, ChungParametersFromReducingState) {
    struct Point { const char* fluid; double sigma_nm, eps; };
    for (const Point& p : {Point{"R32", 0.4020016318, 278.9287700}, Point{"R1234yf", 0.5022150938, 292.1067260},
                           Point{"R1234ze(E)", 0.4978854378, 303.7504963}}) {
        EXPECT_NEAR(tr::lj_sigma_m(model(p.fluid)) * 1e9, p.sigma_nm, 1e-10) << p.fluid;
        EXPECT_NEAR(tr::lj_epsilon_over_k(model(p.fluid)), p.eps, 1e-6) << p.fluid;
    }
}

// With no residual entropy (ideal gas) the scaled viscosity is the kinetic-theory dilute value; a liquid-like
// residual entropy raises it by orders of magnitude, and it grows monotonically with -rho*s_r.
TEST(ResidualEntropyScaling, DiluteLimitAndMonotonicity) {
    const tr::ViscosityModel& m = model("R32");
    const double T = 300.0;
    const double eta0 = tr::kinetic_theory_dilute(T, m.molar_mass, tr::lj_sigma_m(m), tr::lj_epsilon_over_k(m));
    EXPECT_NEAR(fluidprops::viscosity("R32", T, 1e-6, FixedEosAccess(0.0, 1.0)) / eta0, 1.0, 1e-12);
    // Kinetic theory: R32 vapour near 300 K is about 12.5 micro Pa s.
    EXPECT_GT(eta0, 11e-6);
    EXPECT_LT(eta0, 14e-6);
    double previous = 0.0;
    for (double x = 0.0; x <= 8.0; x += 0.25) {
        // choose s_r so that x = rho s_r / rhosr_critical takes the value wanted at rho = 10000 mol/m3
        const double rho = 10000.0;
        const double s_r = x * m.entropy_scaling.rhosr_critical / rho;
        const double eta = tr::residual_entropy_scaling(m, T, rho, s_r);
        EXPECT_GT(eta, previous) << "x=" << x;
        previous = eta;
    }
    // liquid R32 is about ten times as viscous as its dilute gas
    EXPECT_GT(previous, 10 * eta0);
}

// At zero density every composite correlation reduces to its dilute-gas term.
TEST(CompositeViscosity, ZeroDensityGivesDiluteTerm) {
    const NoEosAccess no_eos;
    for (const char* f : {"R134a", "n-Propane", "IsoButane", "Air", "R410A", "R407C", "R404A", "CarbonDioxide"}) {
        for (double T : {250.0, 300.0, 400.0}) {
            EXPECT_DOUBLE_EQ(fluidprops::viscosity(f, T, 0.0, no_eos), tr::dilute_viscosity(model(f), T)) << f;
        }
    }
}

// The initial-density term is the first density correction: at a small density the excess over the dilute
// value is eta0 * B_eta * rho to first order (for the fluids whose dense-fluid term starts at delta^2;
// R134a's has a term linear in delta).
TEST(CompositeViscosity, LowDensitySlopeIsRainwaterFriendTerm) {
    const NoEosAccess no_eos;
    for (const char* f : {"n-Propane", "IsoButane", "CarbonDioxide"}) {
        const tr::ViscosityModel& m = model(f);
        const double T = 350.0, rho = 1e-3;
        const double slope = (fluidprops::viscosity(f, T, rho, no_eos) - tr::dilute_viscosity(m, T)) / rho;
        const double expected = tr::dilute_viscosity(m, T) * tr::rainwater_friend_b_eta(m, T);
        EXPECT_NEAR(slope / expected, 1.0, 1e-3) << f;
    }
}

TEST(CompositeViscosity, DensityBeyondClosePackedLimitIsRefused) {
    // R134a's free-volume term diverges at delta0(tau) ~ 3.2 * 5017 mol/m3.
    const NoEosAccess no_eos;
    EXPECT_THROW(fluidprops::viscosity("R134a", 300.0, 3.5 * 5017.053, no_eos), fluidprops::PropertyError);
    EXPECT_NO_THROW(fluidprops::viscosity("R134a", 300.0, 2.5 * 5017.053, no_eos));
}

TEST(ViscosityErrors, UnknownFluidAndInvalidStates) {
    const NoEosAccess no_eos;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    try {
        fluidprops::viscosity("R12", 300.0, 10.0, no_eos);
        FAIL() << "unknown fluid accepted";
    } catch (const fluidprops::PropertyError& e) {
        EXPECT_NE(std::string(e.what()).find("R12"), std::string::npos);
    }
    EXPECT_THROW(fluidprops::viscosity("R134a", nan, 10.0, no_eos), fluidprops::PropertyError);
    EXPECT_THROW(fluidprops::viscosity("R134a", -1.0, 10.0, no_eos), fluidprops::PropertyError);
    EXPECT_THROW(fluidprops::viscosity("R134a", 300.0, -10.0, no_eos), fluidprops::PropertyError);
    EXPECT_THROW(fluidprops::viscosity("Air", 300.0, std::numeric_limits<double>::infinity(), no_eos),
                 fluidprops::PropertyError);
    // Aliases are resolved by the caller; only canonical names are known here.
    EXPECT_THROW(fluidprops::viscosity("R744", 300.0, 10.0, no_eos), fluidprops::PropertyError);
}

TEST(ViscosityModels, EveryCanonicalFluidHasExactlyOneModel) {
    for (const char* f : {"R134a", "R32", "n-Propane", "R1234yf", "R1234ze(E)", "CarbonDioxide", "IsoButane",
                          "Water", "R410A", "R407C", "R404A", "Air"}) {
        int count = 0;
        for (const auto& m : tr::viscosity_models()) count += m.name == f;
        EXPECT_EQ(count, 1) << f;
    }
    EXPECT_EQ(tr::viscosity_models().size(), 12u);
}

}  // namespace
