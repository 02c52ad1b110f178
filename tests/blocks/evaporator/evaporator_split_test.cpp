// The evaporator's state solved over the area split, against the analytic
// property library (7 bar: saturation 270 K, hf = 170000, hg = 370000 J/kg,
// vapour cp 1000 J/(kg K)), where every zone heat has a closed form; and the
// bracketed root finder it rests on.
#include <gtest/gtest.h>

#include <cmath>

#include "model_fixture.h"
#include "test_workdir.h"

extern "C" {
#include "raiz_acotada.h"
}

namespace {

struct Counted {
    double (*g)(double);
    int calls = 0;
};
double counted(double x, void* d)
{
    auto* c = static_cast<Counted*>(d);
    ++c->calls;
    return c->g(x);
}
double root_of(double (*g)(double), double a, double b, double tol_f, double tol_x, int* calls)
{
    Counted c{g};
    const double r = raiz_acotada(counted, &c, a, g(a), b, g(b), tol_f, tol_x);
    *calls = c.calls;
    return r;
}

}  // namespace

TEST(EvaporatorBracketedRoot, ConvergesWithinAFixedNumberOfSteps)
{
    int calls = 0;
    // Smooth, either orientation of the bracket.
    EXPECT_NEAR(root_of([](double x) { return x * x * x - 1e-3; }, 0, 1, 1e-15, 1e-16, &calls), 0.1, 1e-12);
    EXPECT_LT(calls, 40);
    EXPECT_NEAR(root_of([](double x) { return 1e-3 - x * x * x; }, 0, 1, 1e-15, 1e-16, &calls), 0.1, 1e-12);
    // Saturating like a zone at full approach: flat over most of the bracket.
    const double r = root_of([](double x) { return 1e-9 - std::exp(-60 * x); }, 0, 1, 1e-20, 1e-15, &calls);
    EXPECT_NEAR(r, std::log(1e9) / 60, 1e-12);
    EXPECT_LT(calls, 60);
    // A jump: no value meets the tolerance, the bracket shrinks onto it.
    EXPECT_NEAR(root_of([](double x) { return x < 0.3 ? -1.0 : 1.0; }, 0, 1, 1e-12, 1e-13, &calls), 0.3, 1e-13);
    EXPECT_LT(calls, 150);
}

TEST(EvaporatorBracketedRoot, RefusesWhatIsNotABracket)
{
    int calls = 0;
    EXPECT_TRUE(std::isnan(root_of([](double x) { return x + 1; }, 0, 1, 1e-12, 1e-12, &calls)));
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(std::isnan(root_of([](double x) { return x < 0.6 ? x - 0.5 : NAN; }, 0.2, 0.7, 1e-12, 1e-12, &calls)));
    EXPECT_TRUE(std::isnan(root_of([](double x) { return x > 0.4 && x < 0.7 ? NAN : x - 0.5; }, 0, 1, 1e-12, 1e-12, &calls)));
}

namespace {

constexpr double kPe = 7e5, kTsat = 270, kHf = 170000, kHg = 370000, kCpW = 4180, kAint = 0.2016;

double eps_counter(double NTU, double Cr)
{
    const double e = std::exp(-NTU * (1 - Cr));
    return (1 - e) / (1 - Cr * e);
}

class EvaporatorSplit : public ::testing::Test {
protected:
    void SetUp() override
    {
        lib_ = std::make_unique<evaptest::BoundLibrary>(testsupport::analytic_library());
        ASSERT_TRUE(lib_->ok()) << "analytic property library not built";
        Evap = dialog.record();
    }
    // Water 0.05 kg/s at 285 K against the refrigerant entering at hc.
    int solve(double mR, double hc, EstadoZonas* e, int* no_root = nullptr)
    {
        const double x[2] = {kPe, mR}, w[2] = {0.05, 285};
        const double prop[3] = {kHg, titulo_para_zonas((hc - kHf) / (kHg - kHf), hc, kHf), kCpW};
        if (no_root) {
            int hay;
            *no_root = busqueda_sin_raiz(hc, x, w, prop, kHf, kAint, "Analytic", e, &hay);
            return hay;
        }
        return estado_fisico_evaporador(hc, x, w, prop, kHf, kAint, "Analytic", &Evap, e);
    }
    evaptest::Dialog dialog;
    std::unique_ptr<evaptest::BoundLibrary> lib_;
};

}  // namespace

TEST_F(EvaporatorSplit, OversizedPackEvaporatesOnItsShareAndSuperheatsToTheWater)
{
    // 1 g/s against 209 W/K of water: the superheated zone has NTU near 30.
    const double mR = 0.001, hc = 250000, CR = mR * 1000, CS = 0.05 * kCpW;
    EstadoZonas e;
    int no_root = 0;
    ASSERT_EQ(solve(mR, hc, &e, &no_root), 1);
    EXPECT_EQ(no_root, 1);
    EXPECT_EQ(e.modo_e, 1);
    ASSERT_GT(e.L_e_1, 0.0);
    ASSERT_LT(e.L_e_1, 0.2);
    // Superheated zone over the rest of the area, from saturation, with the
    // water entering; the water then meets the two-phase zone.
    const double Q2 = eps_counter(150 * kAint * (1 - e.L_e_1) / CR, CR / CS) * CR * (285 - kTsat);
    EXPECT_NEAR(e.Q_e2, Q2, 1e-9 * Q2);
    EXPECT_NEAR(e.h_e_out, kHg + Q2 / mR, 1e-9 * kHg);
    EXPECT_NEAR(e.T_e_out_1_A, 285 - Q2 / CS, 1e-12);
    const double Q1 = eps_counter(800 * kAint * e.L_e_1 / CS, CS / (mR * CP_BIFASICO)) * CS * (e.T_e_out_1_A - kTsat);
    EXPECT_NEAR(e.Q_e1, Q1, 1e-9 * Q1);
    EXPECT_NEAR(e.Q_e1, mR * (kHg - hc), 1e-8 * mR * (kHg - hc));
    EXPECT_NEAR(e.T_e_out_A, e.T_e_out_1_A - e.Q_e1 / CS, 1e-12);
    // The vapour leaves at the water's temperature to well within a kelvin.
    EXPECT_NEAR(kTsat + (e.h_e_out - kHg) / 1000, 285, 1e-6);
}

TEST_F(EvaporatorSplit, WholeAreaEvaporatingGivesTheTwoPhaseOutlet)
{
    // 20 g/s is more than the water can evaporate; a subcooled inlet (the
    // library's quality -1) counts as saturated liquid and is carried too.
    const double CS = 0.05 * kCpW, Q1 = eps_counter(800 * kAint / CS, CS / (0.02 * CP_BIFASICO)) * CS * 15;
    for (double hc : {250000.0, 160000.0}) {
        EstadoZonas e;
        ASSERT_EQ(solve(0.02, hc, &e), 1) << hc;
        EXPECT_EQ(e.modo_e, 2);
        EXPECT_EQ(e.L_e_1, 1.0);
        EXPECT_EQ(e.Q_e2, 0.0);
        EXPECT_NEAR(e.Q_e1, Q1, 1e-6 * Q1);
        EXPECT_NEAR(e.h_e_out, hc + Q1 / 0.02, 1e-9 * hc);
        EXPECT_EQ(e.T_e_out_1_A, e.T_e_out_A);
    }
    EXPECT_EQ(titulo_para_zonas(-1.0, 160000, kHf), 0.0);
    EXPECT_EQ(titulo_para_zonas(-1.0, 380000, kHf), -1.0);  // superheated: left as the library says
    EXPECT_EQ(titulo_para_zonas(0.4, 250000, kHf), 0.4);
}

TEST_F(EvaporatorSplit, OrdinaryPackLeavesTheSearchItsRoot)
{
    // 5 g/s: the superheated zone is far from full approach; the split
    // reproduces the converged search to its tolerance.
    const double mR = 0.005, hc = 250000;
    EstadoZonas e;
    int no_root = 1;
    ASSERT_EQ(solve(mR, hc, &e, &no_root), 1);
    EXPECT_EQ(no_root, 0);
    const double x[2] = {kPe, mR}, w[2] = {0.05, 285}, prop[3] = {kHg, (hc - kHf) / (kHg - kHf), kCpW};
    int converged = 0;
    const double h = busqueda_h_e_out(hc, x, w, prop, kAint, "Analytic", Evap, -1, &converged);
    EXPECT_EQ(converged, 1);
    EXPECT_NEAR(e.h_e_out, h, 1e-6 * h);
}

TEST_F(EvaporatorSplit, NoEvaporationNoState)
{
    // No refrigerant or water flow, an inlet above saturated vapour, water
    // no warmer than the refrigerant: nothing to solve.
    EstadoZonas e;
    EXPECT_EQ(solve(0.0, 250000, &e), 0);
    EXPECT_EQ(solve(0.005, 380000, &e), 0);
    const double x[2] = {kPe, 0.005}, prop[3] = {kHg, 0.4, kCpW};
    for (double T : {kTsat, 265.0}) {
        const double w[2] = {0.05, T};
        EXPECT_EQ(estado_fisico_evaporador(250000, x, w, prop, kHf, kAint, "Analytic", &Evap, &e), 0) << T;
    }
    const double still[2] = {0.0, 285};
    EXPECT_EQ(estado_fisico_evaporador(250000, x, still, prop, kHf, kAint, "Analytic", &Evap, &e), 0);
}
