// The evaporator's heat-transfer solver against the analytic property
// library, where saturation is a fixed temperature and the vapour's specific
// heat is constant, so every zone heat rate has a closed form. The solver's
// inner calls are observed (and, for the iteration-cap cases, scripted)
// through linker wrappers of metodo_NTU and eval_evp_dir.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "model_fixture.h"
#include "test_workdir.h"

using evaptest::BoundLibrary;
using evaptest::Dialog;

// --- Call observation -------------------------------------------------------
extern "C" {
double __real_metodo_NTU(double, double, double, double, double, double, double, double, const char*);
double __real_eval_evp_dir(double, double, const double*, const double*, const double*, double, const char*,
                           ParamEvap);
}

namespace {
long ntu_calls = 0;
std::function<double(long call)> ntu_script;  // replaces metodo_NTU while set
std::vector<double> evp_args;                 // trial outlet enthalpies seen by eval_evp_dir
std::function<double(long call, double h)> evp_script;

struct CallLog {
    CallLog()
    {
        ntu_calls = 0;
        evp_args.clear();
    }
    ~CallLog()
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
    if (ntu_script) return ntu_script(n);
    return __real_metodo_NTU(A, alfa, m_sec, Cp_sec, mR, CpR, Tc, Tf, tipo);
}

extern "C" double __wrap_eval_evp_dir(double h, double hc, const double* x, const double* w, const double* prop,
                                      double Aint, const char* refr, ParamEvap p)
{
    evp_args.push_back(h);
    if (evp_script) return evp_script(static_cast<long>(evp_args.size()) - 1, h);
    return __real_eval_evp_dir(h, hc, x, w, prop, Aint, refr, p);
}

namespace {

const char* const kPlate = TIPO_PLACAS_CONTRACORRIENTE;
const char* const kCross = TIPO_FLUJO_CRUZADO;

// Textbook counterflow effectiveness and its inverse, written independently
// with exp/log.
double eps_counter(double NTU, double Cr)
{
    const double e = std::exp(-NTU * (1 - Cr));
    return (1 - e) / (1 - Cr * e);
}
double ntu_counter(double eps, double Cr) { return std::log((1 - eps * Cr) / (1 - eps)) / (1 - Cr); }

// Analytic fluid at 7 bar: saturation at 270 K, hf = 170000, hg = 370000 J/kg,
// vapour cp 1000 J/(kg K). Secondary fluid "Water", cp 4180.
constexpr double kPe = 7e5, kTsat = 270.0, kHf = 170000.0, kHg = 370000.0, kCpV = 1000.0, kCpW = 4180.0;
constexpr double kAint = 0.2016;

class EvaporatorModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(testsupport::analytic_library()))
            GTEST_SKIP() << "analytic property library not built";
        lib_ = std::make_unique<BoundLibrary>(testsupport::analytic_library());
        ASSERT_TRUE(lib_->ok());
    }
    double implied_inlet(double h_out, double mR, double msec, double Tsec, double hc_out)
    {
        const double x[2] = {kPe, mR}, w[2] = {msec, Tsec};
        const double prop[3] = {kHg, (hc_out - kHf) / (kHg - kHf), kCpW};
        return eval_evp_dir(h_out, hc_out, x, w, prop, kAint, "Analytic", dialog.record());
    }
    double search(double hc_out, double mR, double msec, double Tsec, double previous)
    {
        const double x[2] = {kPe, mR}, w[2] = {msec, Tsec};
        const double prop[3] = {kHg, (hc_out - kHf) / (kHg - kHf), kCpW};
        return secant_method_h_e_out(hc_out, x, w, prop, kAint, "Analytic", dialog.record(), previous);
    }
    Dialog dialog;
    std::unique_ptr<BoundLibrary> lib_;
};

}  // namespace

// --- metodo_NTU ---------------------------------------------------------------

TEST(EvaporatorNTU, CounterflowMatchesTheTextbookRelation)
{
    // Refrigerant vapour (CR = 5 W/K) against water (CS = 209 W/K) and the reverse.
    for (double msec : {0.05, 0.0005}) {
        const double CR = 0.005 * 1000, CS = msec * kCpW;
        const double Cmin = std::min(CR, CS), Cr = Cmin / std::max(CR, CS), NTU = 150 * 0.1 / Cmin;
        const double expected = eps_counter(NTU, Cr) * Cmin * (285 - 270);
        EXPECT_NEAR(metodo_NTU(0.1, 150, msec, kCpW, 0.005, 1000, 285, 270, kPlate), expected, 1e-10 * expected);
    }
}

TEST(EvaporatorNTU, TwoPhaseZoneBehavesAsInfiniteRefrigerantCapacity)
{
    // CpR = 1e10 leaves Cr tiny but non-zero; both relations must then give
    // the evaporating-zone effectiveness 1 - exp(-NTU).
    const double CS = 0.05 * kCpW, NTU = 800 * 0.2 / CS;
    const double expected = (1 - std::exp(-NTU)) * CS * 15;
    for (const char* tipo : {kPlate, kCross})
        EXPECT_NEAR(metodo_NTU(0.2, 800, 0.05, kCpW, 0.005, CP_BIFASICO, 285, 270, tipo), expected, 1e-6 * expected)
            << tipo;
}

TEST(EvaporatorNTU, CrossFlowLiesBetweenSinglePassAndCounterflow)
{
    // Counterflow bounds every arrangement; the four-term relation for this
    // plate pack must also beat a single cross pass (Cmax mixed).
    for (double NTU : {0.3, 1.0, 3.0}) {
        for (double Cr : {0.1, 0.5, 0.9}) {
            const double Cmin = 10.0, A = NTU * Cmin / 100.0;
            // refrigerant is Cmin (CpR 1000, mR 0.01), secondary Cmax
            const double msec = Cmin / Cr / kCpW;
            const double q = metodo_NTU(A, 100, msec, kCpW, 0.01, 1000, 300, 280, kCross) / (Cmin * 20);
            const double single = (1 / Cr) * (1 - std::exp(-Cr * (1 - std::exp(-NTU))));
            EXPECT_LT(q, eps_counter(NTU, Cr)) << NTU << " " << Cr;
            EXPECT_GT(q, single) << NTU << " " << Cr;
        }
    }
}

TEST(EvaporatorNTU, DegenerateCapacities)
{
    // No secondary flow: Cmin = 0, effectiveness 1, no heat.
    for (const char* tipo : {kPlate, kCross}) {
        EXPECT_EQ(metodo_NTU(0.2, 800, 0.0, kCpW, 0.005, CP_BIFASICO, 285, 270, tipo), 0.0);
        EXPECT_EQ(metodo_NTU(0.2, 150, 0.0, kCpW, 0.005, 1000, 285, 270, tipo), 0.0);
    }
    // Equal capacities: the counterflow limit NTU/(1+NTU), continuous with
    // capacity ratios just below 1.
    const double C = 0.005 * 1000, NTU = 150 * 0.1 / C;
    const double at_one = metodo_NTU(0.1, 150, C / kCpW, kCpW, 0.005, 1000, 285, 270, kPlate);
    EXPECT_DOUBLE_EQ(at_one, NTU / (1 + NTU) * C * 15);
    const double near_one = metodo_NTU(0.1, 150, C / kCpW * (1 + 1e-6), kCpW, 0.005, 1000, 285, 270, kPlate);
    EXPECT_NEAR(near_one, at_one, 1e-5 * at_one);
    // A trickle of secondary fluid over a large area: all of its capacity is
    // used (the exponentials overflow, the effectiveness is 1).
    for (const char* tipo : {kPlate, kCross}) {
        const double q = metodo_NTU(50.0, 800, 1e-7, kCpW, 0.005, CP_BIFASICO, 285, 270, tipo);
        EXPECT_NEAR(q, 1e-7 * kCpW * 15, 1e-12) << tipo;
    }
    // No relation for an unknown exchanger.
    EXPECT_TRUE(std::isnan(metodo_NTU(0.1, 150, 0.05, kCpW, 0.005, 1000, 285, 270, "PLATE")));
}

// --- secant_method_NTU ---------------------------------------------------------

TEST(EvaporatorSuperheatedFraction, InvertsTheZoneRelation)
{
    for (const char* tipo : {kPlate, kCross}) {
        for (double L : {0.05, 0.37, 0.8}) {
            const double Q = __real_metodo_NTU(kAint * L, 150, 0.05, kCpW, 0.005, 1000, 285, 270, tipo);
            EXPECT_NEAR(secant_method_NTU(0.9, Q, 150, 0.05, kCpW, 0.005, 1000, 285, 270, kAint, tipo), L, 1e-5)
                << tipo;
        }
    }
}

TEST(EvaporatorSuperheatedFraction, IteratesOnceEvenWhenTheStartMeetsTheDuty)
{
    const double Q = metodo_NTU(kAint * 0.9, 150, 0.05, kCpW, 0.005, 1000, 285, 270, kPlate);
    CallLog log;
    EXPECT_EQ(secant_method_NTU(0.9, Q, 150, 0.05, kCpW, 0.005, 1000, 285, 270, kAint, kPlate), 0.9);
    EXPECT_EQ(ntu_calls, 3);
}

TEST(EvaporatorSuperheatedFraction, ConvergenceOnTheThousandthIterationIsFailure)
{
    // Scripted zone: ends at 50 W and 150 W around a 100 W duty, the new
    // point off by 1e-3 until iteration k, exact from then on.
    for (long k : {999L, 1000L}) {
        CallLog log;
        ntu_script = [k](long n) {
            const long it = n / 3 + 1;
            switch (n % 3) {
            case 0: return 50.0;
            case 1: return 150.0;
            default: return it < k ? 100.1 : 100.0;
            }
        };
        const double L = secant_method_NTU(0.9, 100.0, 150, 0.05, kCpW, 0.005, 1000, 285, 270, kAint, kPlate);
        EXPECT_EQ(ntu_calls, 3 * k);
        if (k < 1000)
            EXPECT_NEAR(L, 0.01, 1e-9);  // halving towards the lower point
        else
            EXPECT_EQ(L, FRACCION_FALLIDA);
    }
}

TEST(EvaporatorSuperheatedFraction, GivesUpOnNaNAndOnUnreachableDuty)
{
    // No refrigerant flow: zero duty and zero capacity, the residual is NaN.
    EXPECT_EQ(secant_method_NTU(0.9, 0.0, 150, 0.05, kCpW, 0.0, 1000, 285, 270, kAint, kPlate), FRACCION_FALLIDA);
    // Duty above the zone's limit Cmin (Tsec_in - Tsat) = 5 W/K * 15 K.
    const double Q = 5 * 15 * 1.2;
    EXPECT_EQ(secant_method_NTU(0.9, Q, 150, 0.05, kCpW, 0.005, 1000, 285, 270, kAint, kCross), FRACCION_FALLIDA);
    EXPECT_FALSE(fraccion_parcial(secant_method_NTU(0.9, Q, 150, 0.05, kCpW, 0.005, 1000, 285, 270, kAint, kPlate)));
}

// --- eval_evp_dir --------------------------------------------------------------

TEST_F(EvaporatorModel, TwoPhaseOutletIncludingSaturatedVapour)
{
    const double mR = 0.005, msec = 0.05, Tsec = 285, hc = 250000;
    const double CS = msec * kCpW, NTU = 800 * kAint / CS;
    const double Q = eps_counter(NTU, CS / (mR * CP_BIFASICO)) * CS * (Tsec - kTsat);
    for (double h_out : {300000.0, kHg})
        EXPECT_NEAR(implied_inlet(h_out, mR, msec, Tsec, hc), h_out - Q / mR, 1e-9 * h_out) << h_out;
}

TEST_F(EvaporatorModel, SuperheatedOutletSplitsTheArea)
{
    // Superheated zone: duty mR (h_out - hg) sets its fraction through the
    // inverse counterflow relation; the rest of the area evaporates against
    // water already cooled by that duty.
    const double mR = 0.005, msec = 0.05, Tsec = 285, h_out = 375000, hc = 250000;
    const double CS = msec * kCpW, CR = mR * kCpV, Q2 = (h_out - kHg) * mR;
    const double L2 = ntu_counter(Q2 / (CR * (Tsec - kTsat)), CR / CS) * CR / (150 * kAint);
    ASSERT_LT(L2, 1.0);
    const double T_mid = Tsec - Q2 / CS;
    const double Q1 = eps_counter(800 * kAint * (1 - L2) / CS, 0) * CS * (T_mid - kTsat);
    EXPECT_NEAR(implied_inlet(h_out, mR, msec, Tsec, hc), kHg - Q1 / mR, 1e-5 * kHg);
}

TEST_F(EvaporatorModel, UnfindableSuperheatedFractionMeansAllAreaSuperheated)
{
    // Outlet hotter than the entering water: no fraction carries that duty.
    // The cross-flow search gives up, the counterflow one extrapolates beyond
    // the area; both must give the fully superheated exchanger.
    const double mR = 0.005, msec = 0.05, Tsec = 285, h_out = 390000, hc = 250000;
    for (const char* tipo : {kPlate, kCross}) {
        dialog.tipo = tipo;
        const double Q_full = metodo_NTU(kAint, 150, msec, kCpW, mR, kCpV, Tsec, kTsat, tipo);
        EXPECT_NEAR(implied_inlet(h_out, mR, msec, Tsec, hc), h_out - Q_full / mR, 1e-9 * h_out) << tipo;
    }
}

// --- outlet-enthalpy search ---------------------------------------------------

TEST_F(EvaporatorModel, SearchMeetsTheInletEnthalpyInEveryRegime)
{
    // Outlet two-phase (large refrigerant flow), superheated in two zones,
    // and, for a refrigerant entering already superheated, superheated over
    // the whole area.
    struct Case {
        double hc, mR;
    };
    for (const char* tipo : {kPlate, kCross}) {
        dialog.tipo = tipo;
        for (Case c : {Case{250000, 0.02}, Case{250000, 0.005}, Case{380000, 0.002}}) {
            const double h = search(c.hc, c.mR, 0.05, 285, 1.0);
            ASSERT_NE(h, 1.0) << tipo << " mR " << c.mR;
            EXPECT_NEAR(implied_inlet(h, c.mR, 0.05, 285, c.hc), c.hc, 1e-6 * c.hc) << tipo << " mR " << c.mR;
        }
    }
}

TEST_F(EvaporatorModel, NoSecondaryFlowLeavesTheRefrigerantAsItCame)
{
    for (double hc : {250000.0, 380000.0}) EXPECT_NEAR(search(hc, 0.005, 0.0, 285, 1.0), hc, 1e-6 * hc);
}

TEST_F(EvaporatorModel, FailedAttemptsRestartFromTheListedPointsThenFallBack)
{
    // Without refrigerant flow every implied inlet is 0/0: each attempt ends
    // at its first NaN residual, the previous outlet enthalpy is kept.
    CallLog log;
    EXPECT_EQ(search(250000, 0.0, 0.05, 285, 401234.5), 401234.5);
    ASSERT_EQ(evp_args.size(), 30u);
    for (int j = 1; j <= 10; ++j) {
        const double upper = 360000.0 + 5000.0 * j;
        EXPECT_EQ(evp_args[3 * (j - 1)], 0.9 * upper) << j;
        EXPECT_EQ(evp_args[3 * (j - 1) + 1], upper) << j;
    }
}

TEST_F(EvaporatorModel, ConvergenceOnTheThousandthIterationRestarts)
{
    // Scripted implied inlet: ends 1000 J/kg either side of hc, the new point
    // off by 1e-3 relative until overall iteration k, exact from then on.
    const double hc = 250000;
    for (long k : {999L, 1000L}) {
        CallLog log;
        evp_script = [k, hc](long n, double) {
            const long it = n / 3 + 1;
            switch (n % 3) {
            case 0: return hc - 1000;
            case 1: return hc + 1000;
            default: return it < k ? hc * 1.001 : hc;
            }
        };
        const double h = search(hc, 0.005, 0.05, 285, 1.0);
        if (k < 1000) {
            // Accepted in attempt 1: halving towards its lower point.
            EXPECT_EQ(evp_args.size(), 3u * 999);
            EXPECT_NEAR(h, 0.9 * 365000, 1e-6);
        } else {
            // Attempt 1 rejected; attempt 2 starts at 333000/370000 and meets
            // the script at once, halfway between them.
            ASSERT_EQ(evp_args.size(), 3u * 1001);
            EXPECT_EQ(evp_args[3000], 0.9 * 370000);
            EXPECT_EQ(evp_args[3001], 370000.0);
            EXPECT_DOUBLE_EQ(h, 370000 - 37000 * 0.5);
        }
    }
}

TEST_F(EvaporatorModel, NaNResidualIsNotConvergence)
{
    // Attempt 1 meets a NaN at its new point; attempt 2 converges.
    const double hc = 250000;
    CallLog log;
    evp_script = [hc](long n, double) {
        if (n == 2) return std::nan("");
        return n % 3 == 0 ? hc - 1000 : (n % 3 == 1 ? hc + 1000 : hc);
    };
    const double h = search(hc, 0.005, 0.05, 285, 1.0);
    EXPECT_EQ(evp_args.size(), 6u);
    EXPECT_DOUBLE_EQ(h, 370000 - 37000 * 0.5);
}

// --- geometry -----------------------------------------------------------------

TEST(EvaporatorGeometry, PlatePack)
{
    Dialog d;
    double e, A, V;
    // Three plates: two channels, one for the refrigerant, and only the
    // middle plate exchanges on both faces.
    d.N_placas = 3;
    geometria_evaporador(d.record(), &e, &A, &V);
    const double plate = (0.3 - 0.02) * (0.07 + 0.02);
    EXPECT_DOUBLE_EQ(A, plate);
    EXPECT_DOUBLE_EQ(V, e * plate);
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
