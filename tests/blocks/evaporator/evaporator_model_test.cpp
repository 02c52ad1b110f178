// The evaporator's heat-transfer solver against the analytic property
// library (saturation at a fixed 270 K at 7 bar, hg = 370000 J/kg, vapour cp
// 1000 J/(kg K)), where every zone heat rate has a closed form. Inner calls
// are watched, and for the iteration-cap cases scripted, through linker
// wrappers of the zone heat rate (metodo_NTU, and calor_NTU as the iterations
// call it) and of eval_evp_dir.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "model_fixture.h"
#include "test_workdir.h"

extern "C" {
double __real_metodo_NTU(double, double, double, double, double, double, double, double, const char*);
double __real_calor_NTU(double, double, double, double, double, double, double, double, RelacionNTU);
double __real_eval_evp_dir(double, double, const double*, const double*, const double*, double, const char*,
                           ParamEvap);
}

namespace {
long ntu_calls = 0;
std::vector<double> ntu_areas;             // zone areas given to the heat rate
std::function<double(long)> ntu_script;    // replaces the heat rate while set
std::vector<double> evp_args;              // trial outlet enthalpies given to eval_evp_dir
std::function<double(double)> evp_script;  // replaces eval_evp_dir while set

struct Watch {
    Watch()
    {
        ntu_calls = 0;
        ntu_areas.clear();
        evp_args.clear();
    }
    ~Watch()
    {
        ntu_script = nullptr;
        evp_script = nullptr;
    }
};
}  // namespace

extern "C" double __wrap_metodo_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR,
                                    double Tc, double Tf, const char* tipo)
{
    const long n = ntu_calls++;
    ntu_areas.push_back(A);
    return ntu_script ? ntu_script(n) : __real_metodo_NTU(A, alfa, m_sec, Cp_sec, mR, CpR, Tc, Tf, tipo);
}

extern "C" double __wrap_calor_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR,
                                   double Tc, double Tf, RelacionNTU relacion)
{
    const long n = ntu_calls++;
    ntu_areas.push_back(A);
    return ntu_script ? ntu_script(n) : __real_calor_NTU(A, alfa, m_sec, Cp_sec, mR, CpR, Tc, Tf, relacion);
}

extern "C" double __wrap_eval_evp_dir(double h, double hc, const double* x, const double* w, const double* prop,
                                      double Aint, const char* refr, ParamEvap p)
{
    evp_args.push_back(h);
    return evp_script ? evp_script(h) : __real_eval_evp_dir(h, hc, x, w, prop, Aint, refr, p);
}

namespace {

const char* const kPlate = TIPO_PLACAS_CONTRACORRIENTE;
const char* const kCross = TIPO_FLUJO_CRUZADO;
constexpr double kPe = 7e5, kTsat = 270, kHf = 170000, kHg = 370000, kCpW = 4180, kAint = 0.2016;

// Textbook counterflow effectiveness and its inverse, with exp/log.
double eps_counter(double NTU, double Cr)
{
    const double e = std::exp(-NTU * (1 - Cr));
    return (1 - e) / (1 - Cr * e);
}
double ntu_counter(double eps, double Cr) { return std::log((1 - eps * Cr) / (1 - eps)) / (1 - Cr); }

// Superheated zone of 5 W/K refrigerant vapour against 209 W/K water.
double zone(double L, const char* tipo) { return metodo_NTU(kAint * L, 150, 0.05, kCpW, 0.005, 1000, 285, 270, tipo); }
double fraction(double Q, const char* tipo)
{
    return secant_method_NTU(0.9, Q, 150, 0.05, kCpW, 0.005, 1000, 285, 270, kAint, tipo);
}

class EvaporatorModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        lib_ = std::make_unique<evaptest::BoundLibrary>(testsupport::analytic_library());
        ASSERT_TRUE(lib_->ok()) << "analytic property library not built";
    }
    // Water 0.05 kg/s at 285 K; inlet quality from hc.
    double implied_inlet(double h_out, double mR, double hc = 250000)
    {
        const double x[2] = {kPe, mR}, w[2] = {0.05, 285}, prop[3] = {kHg, (hc - kHf) / (kHg - kHf), kCpW};
        return eval_evp_dir(h_out, hc, x, w, prop, kAint, "Analytic", dialog.record());
    }
    double search(double mR, double previous, double hc = 250000)
    {
        const double x[2] = {kPe, mR}, w[2] = {0.05, 285}, prop[3] = {kHg, (hc - kHf) / (kHg - kHf), kCpW};
        return secant_method_h_e_out(hc, x, w, prop, kAint, "Analytic", dialog.record(), previous);
    }
    evaptest::Dialog dialog;
    std::unique_ptr<evaptest::BoundLibrary> lib_;
};

}  // namespace

TEST(EvaporatorNTU, EffectivenessRelations)
{
    // Counterflow against the textbook form, with either fluid as Cmin.
    for (double msec : {0.05, 0.0005}) {
        const double CR = 5, CS = msec * kCpW, Cmin = std::min(CR, CS), Cr = Cmin / std::max(CR, CS);
        const double expected = eps_counter(150 * 0.1 / Cmin, Cr) * Cmin * 15;
        EXPECT_NEAR(metodo_NTU(0.1, 150, msec, kCpW, 0.005, 1000, 285, 270, kPlate), expected, 1e-10 * expected);
    }
    // Evaporating zone (CpR = 1e10): both relations give 1 - exp(-NTU).
    const double CS = 0.05 * kCpW, evaporating = (1 - std::exp(-800 * 0.2 / CS)) * CS * 15;
    for (const char* tipo : {kPlate, kCross})
        EXPECT_NEAR(metodo_NTU(0.2, 800, 0.05, kCpW, 0.005, CP_BIFASICO, 285, 270, tipo), evaporating,
                    1e-6 * evaporating);
    // The four-term cross-flow relation lies between counterflow (the bound
    // of every arrangement) and a single cross pass with Cmax mixed.
    for (double NTU : {0.3, 1.0, 3.0})
        for (double Cr : {0.1, 0.5, 0.9}) {
            const double eps = metodo_NTU(NTU / 10, 100, 10 / Cr / kCpW, kCpW, 0.01, 1000, 300, 280, kCross) / 200;
            EXPECT_LT(eps, eps_counter(NTU, Cr)) << NTU << " " << Cr;
            EXPECT_GT(eps, (1 / Cr) * (1 - std::exp(-Cr * (1 - std::exp(-NTU))))) << NTU << " " << Cr;
        }
}

TEST(EvaporatorNTU, DegenerateCapacities)
{
    // No secondary flow: Cmin = 0, no heat.
    for (const char* tipo : {kPlate, kCross}) {
        EXPECT_EQ(metodo_NTU(0.2, 800, 0.0, kCpW, 0.005, CP_BIFASICO, 285, 270, tipo), 0.0);
        EXPECT_EQ(metodo_NTU(0.2, 150, 0.0, kCpW, 0.005, 1000, 285, 270, tipo), 0.0);
        // Nor on either side (0/0 capacity ratio), nor with no area as well.
        EXPECT_EQ(metodo_NTU(0.2, 150, 0.0, kCpW, 0.0, 1000, 285, 270, tipo), 0.0);
        EXPECT_EQ(metodo_NTU(0.0, 150, 0.0, kCpW, 0.0, CP_BIFASICO, 285, 270, tipo), 0.0);
        // A secondary specific heat the library refused is no infinite capacity.
        EXPECT_TRUE(std::isnan(metodo_NTU(0.2, 150, 0.05, HUGE_VAL, 0.005, 1000, 285, 270, tipo)));
    }
    // Equal capacities: counterflow limit NTU/(1+NTU), continuous with Cr < 1.
    const double NTU = 150 * 0.1 / 5, at_one = metodo_NTU(0.1, 150, 5 / kCpW, kCpW, 0.005, 1000, 285, 270, kPlate);
    EXPECT_DOUBLE_EQ(at_one, NTU / (1 + NTU) * 5 * 15);
    EXPECT_NEAR(metodo_NTU(0.1, 150, 5 / kCpW * (1 + 1e-6), kCpW, 0.005, 1000, 285, 270, kPlate), at_one, 1e-5 * at_one);
    // A trickle of secondary fluid over a large area gives up all it can.
    for (const char* tipo : {kPlate, kCross})
        EXPECT_NEAR(metodo_NTU(50.0, 800, 1e-7, kCpW, 0.005, CP_BIFASICO, 285, 270, tipo), 1e-7 * kCpW * 15, 1e-12);
    EXPECT_TRUE(std::isnan(metodo_NTU(0.1, 150, 0.05, kCpW, 0.005, 1000, 285, 270, "PLATE")));
}

TEST(EvaporatorSuperheatedFraction, IterationCapAndFailures)
{
    {  // Iterates once even when the starting fraction meets the duty.
        const double Q = zone(0.9, kPlate);
        Watch w;
        EXPECT_EQ(fraction(Q, kPlate), 0.9);
    }
    // Scripted zone: 50 W at the lower end 0.01, 150 W at the upper end 0.9,
    // and 0.1 W above the 100 W duty at every new fraction until iteration k,
    // exact from then on. The upper end slides towards the lower one, new
    // point j at 0.01 + 0.445 (50/50.1)^(j-1); the answer is the k-th. Meeting
    // the tolerance on the 1000th iteration is still failure. The relation is
    // evaluated at each fraction only once.
    for (long k : {999L, 1000L}) {
        Watch w;
        ntu_script = [k](long n) { return n == 0 ? 50.0 : n == 1 ? 150.0 : (n - 1 < k ? 100.1 : 100.0); };
        const double L = fraction(100.0, kPlate);
        ASSERT_GE(ntu_areas.size(), 3u);
        EXPECT_EQ(ntu_areas[0], kAint * 0.01);
        EXPECT_EQ(ntu_areas[1], kAint * 0.9);
        for (std::size_t j = 2; j < ntu_areas.size(); ++j) {
            EXPECT_NEAR(ntu_areas[j] / kAint, 0.01 + 0.445 * std::pow(50 / 50.1, j - 2), 1e-12) << j;
            EXPECT_LT(ntu_areas[j], ntu_areas[j - 1]) << j;  // never an end again
        }
        if (k < 1000)
            EXPECT_NEAR(L, 0.01 + 0.445 * std::pow(50 / 50.1, k - 1), 1e-12);
        else
            EXPECT_EQ(L, FRACCION_FALLIDA);
    }
    // A NaN residual (zero duty and no refrigerant flow) is failure, and so is
    // a duty above Cmin (Tsec_in - Tsat) = 75 W for the cross-flow relation;
    // the counterflow one lands beyond the area.
    EXPECT_EQ(secant_method_NTU(0.9, 0.0, 150, 0.05, kCpW, 0.0, 1000, 285, 270, kAint, kPlate), FRACCION_FALLIDA);
    EXPECT_EQ(fraction(90.0, kCross), FRACCION_FALLIDA);
    EXPECT_FALSE(fraccion_parcial(fraction(90.0, kPlate)));
}

TEST(EvaporatorSuperheatedFraction, WholeAreaShortOfTheDutyAnswersAtOnce)
{
    // Duties from well inside to beyond what the whole area carries, and
    // around that limit: the quick answer is the iteration's own wherever
    // the fraction could leave room for a two-phase zone.
    for (const char* tipo : {kPlate, kCross}) {
        const double Q_full = zone(1.0, tipo);
        for (double r : {0.3, 0.9, 0.999, 0.999999, 1.0, 1.0 + 1e-6, 1.0 + 3e-6, 1.01, 1.5, 4.0}) {
            const double Q = r * Q_full;
            const double quick = fraccion_sobrecalentada(Q, 150, 0.05, kCpW, 0.005, 1000, 285, 270, kAint, tipo);
            const double iterated = fraction(Q, tipo);
            EXPECT_EQ(fraccion_parcial(quick), fraccion_parcial(iterated)) << tipo << " " << r;
            if (fraccion_parcial(iterated)) {
                EXPECT_EQ(quick, iterated) << tipo << " " << r;
            }
        }
        // Beyond the whole area's heat: one heat rate, no iteration.
        Watch w;
        EXPECT_EQ(fraccion_sobrecalentada(1.01 * Q_full, 150, 0.05, kCpW, 0.005, 1000, 285, 270, kAint, tipo),
                  FRACCION_FALLIDA);
        EXPECT_EQ(ntu_calls, 1);
    }
}

TEST_F(EvaporatorModel, ImpliedInletEnthalpy)
{
    const double mR = 0.005, CS = 0.05 * kCpW;
    // Two-phase outlet, saturated vapour included: one evaporating zone.
    const double Q = eps_counter(800 * kAint / CS, CS / (mR * CP_BIFASICO)) * CS * 15;
    for (double h_out : {300000.0, kHg}) EXPECT_NEAR(implied_inlet(h_out, mR), h_out - Q / mR, 1e-9 * h_out);

    // Superheated outlet: its duty fixes the superheated fraction (inverse
    // counterflow relation); the rest evaporates against pre-cooled water.
    const double h_out = 375000, Q2 = (h_out - kHg) * mR;
    const double L2 = ntu_counter(Q2 / (5 * 15), 5 / CS) * 5 / (150 * kAint);
    const double Q1 = eps_counter(800 * kAint * (1 - L2) / CS, 0) * CS * (285 - Q2 / CS - kTsat);
    EXPECT_NEAR(implied_inlet(h_out, mR), kHg - Q1 / mR, 1e-5 * kHg);

    // Outlet hotter than the entering water: no superheated fraction carries
    // that duty, the whole area is superheated (for both relations).
    for (const char* tipo : {kPlate, kCross}) {
        dialog.tipo = tipo;
        const double Q_full = metodo_NTU(kAint, 150, 0.05, kCpW, mR, 1000, 285, kTsat, tipo);
        EXPECT_NEAR(implied_inlet(390000, mR), 390000 - Q_full / mR, 1e-9 * 390000) << tipo;
    }
}

TEST_F(EvaporatorModel, FailedAttemptsRestartFromTheListedPointsThenFallBack)
{
    // Without refrigerant flow every implied inlet is 0/0: each attempt ends
    // at its first NaN residual and the previous value is kept.
    Watch w;
    EXPECT_EQ(search(0.0, 401234.5), 401234.5);
    ASSERT_EQ(evp_args.size(), 30u);
    for (int j = 1; j <= 10; ++j) {
        EXPECT_EQ(evp_args[3 * (j - 1)], 0.9 * (360000.0 + 5000.0 * j)) << j;
        EXPECT_EQ(evp_args[3 * (j - 1) + 1], 360000.0 + 5000.0 * j) << j;
    }
}

TEST_F(EvaporatorModel, ConvergenceOnTheThousandthIterationRestarts)
{
    // Scripted inlet: 1000 J/kg below hc at an attempt's lower point, 1000
    // above at its upper point, and 0.5 J/kg above (a relative error of 2e-6)
    // at every new point until the k-th new point overall, exact from then
    // on. Within an attempt the upper end slides towards the lower one: new
    // point j at lo + (hi - lo)/2 (1 - 0.5/1000.5)^(j-1).
    const double hc = 250000, r = 1 - 0.5 / 1000.5;
    for (long k : {999L, 1000L}) {
        Watch w;
        long new_points = 0;
        evp_script = [&new_points, k, hc](double h) {
            for (int j = 1; j <= 10; ++j) {
                const double hi = 360000.0 + 5000.0 * j;
                if (h == hi) return hc + 1000;
                if (h == 0.9 * hi) return hc - 1000;
            }
            return ++new_points < k ? hc + 0.5 : hc;
        };
        const double h = search(0.005, 1.0);
        if (k < 1000) {  // accepted in attempt 1 (328500/365000)
            EXPECT_EQ(new_points, k);
            EXPECT_NEAR(h, 328500 + 18250 * std::pow(r, k - 1), 1e-6);
        } else {  // attempt 2 (333000/370000) meets the script at once
            EXPECT_EQ(new_points, 1001);
            ASSERT_EQ(evp_args.size(), 2u + 1000 + 2 + 1);
            EXPECT_EQ(evp_args[1002], 0.9 * 370000);
            EXPECT_DOUBLE_EQ(h, 370000 - 37000 * 0.5);
        }
    }
}

TEST(EvaporatorGeometry, PlatePack)
{
    evaptest::Dialog d;
    double e, A, V;
    d.N_placas = 3;  // two channels, one for the refrigerant; one plate exchanges
    geometria_evaporador(d.record(), &e, &A, &V);
    EXPECT_DOUBLE_EQ(A, (0.3 - 0.02) * (0.07 + 0.02));
    EXPECT_DOUBLE_EQ(V, e * A);
    // Check values of an independent implementation, 10 and 16 plates.
    d.N_placas = 10;
    geometria_evaporador(d.record(), &e, &A, &V);
    EXPECT_NEAR(e, 0.005260347835822548, 1e-15);
    EXPECT_NEAR(A, 0.2016, 1e-15);
    EXPECT_NEAR(V, 0.0006628038273136411, 1e-17);
    d.N_placas = 16;
    geometria_evaporador(d.record(), &e, &A, &V);
    EXPECT_NEAR(e, 0.003064967825581119, 1e-15);
    EXPECT_NEAR(V, 0.0006178975136371536, 1e-17);
}
