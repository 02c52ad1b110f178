// Two-phase correlations, the zone heat rate and the closed-form property
// derivatives of the condenser.
#include <gtest/gtest.h>

#include <cmath>

#include "condenser_test_support.h"

using namespace condtest;

namespace {

// Saturation properties of the worked example (kg/m3, Pa s, J/kg), served as
// a property library so the correlations can be checked against it.
constexpr double kRhof = 1100, kRhog = 40, kVf = 2.0e-4, kVg = 1.3e-5, kHf = 2.5e5, kHg = 4.1e5;
extern "C" double example_props(const char* out, const char*, double, const char*, double q, const char*)
{
    if (!std::strcmp(out, "D")) return q == 0 ? kRhof : kRhog;
    if (!std::strcmp(out, "V")) return q == 0 ? kVf : kVg;
    return HUGE_VAL;
}

// The relations that the closed forms differentiate, written out plainly.
double quality(double g, double rf, double rg, double vf, double vg)
{
    const double X = (1 - g) / (g * std::pow(rg / rf, 0.89) * std::pow(vf / vg, 0.18));
    return 1 / (1 + X);
}
double h2_of(const double a[7])
{
    const double x = quality(a[0], a[1], a[2], a[3], a[4]);
    return (1 - x) * a[5] + x * a[6];
}
double rho2_of(const double a[7])
{
    const double x = quality(a[0], a[1], a[2], a[3], a[4]);
    return 1 / (x / a[2] + (1 - x) / a[1]);
}

}  // namespace

TEST(CondenserQuality, ClampedToTheDomeAndAsksInsideOnly)
{
    const double P = 1.2e6;
    queries().clear();
    EXPECT_EQ(titulo_vapor_refrigerante(P, hf(P), "Analytic", recording_props, nullptr), 0.0);
    EXPECT_EQ(titulo_vapor_refrigerante(P, hg(P), "Analytic", recording_props, nullptr), 1.0);
    EXPECT_EQ(queries().size(), 4u) << "no quality query on the saturation lines";
    EXPECT_EQ(titulo_vapor_refrigerante(P, hf(P) - 5e4, "Analytic", recording_props, nullptr), 0.0);
    EXPECT_EQ(titulo_vapor_refrigerante(P, hg(P) + 5e4, "Analytic", recording_props, nullptr), 1.0);
    queries().clear();
    EXPECT_NEAR(titulo_vapor_refrigerante(P, hf(P) + 0.25 * 2e5, "Analytic", recording_props, nullptr), 0.25, 1e-15);
    ASSERT_EQ(queries().size(), 3u);
    EXPECT_EQ(queries()[2].out, "Q");
    // An enthalpy that cannot be placed against the dome has no quality.
    EXPECT_TRUE(std::isnan(titulo_vapor_refrigerante(P, NAN, "Analytic", PropsSI, nullptr)));
}

TEST(CondenserThom, EndsRoundTripAndWorkedExample)
{
    EXPECT_EQ(Thom(1e6, 0.0, "Analytic", PropsSI, nullptr), 0.0);
    EXPECT_EQ(Thom(1e6, 1.0, "Analytic", PropsSI, nullptr), 1.0);
    EXPECT_EQ(Thom_inversa(1e6, 0.0, "Analytic", PropsSI, nullptr), 0.0);
    EXPECT_EQ(Thom_inversa(1e6, 1.0, "Analytic", PropsSI, nullptr), 1.0);
    double previous = 0;
    for (double Q : {1e-4, 0.05, 0.3, 0.5, 0.77, 0.999}) {
        const double g = Thom(1.1e6, Q, "Analytic", PropsSI, nullptr);
        EXPECT_GT(g, Q) << "vapour occupies more volume than mass share";
        EXPECT_GT(g, previous);
        previous = g;
        EXPECT_NEAR(Thom_inversa(1.1e6, g, "Analytic", PropsSI, nullptr), Q, 1e-14 * (1 + Q));
    }
    // Quality 0.255151 and void fraction 0.8 belong together at these properties.
    EXPECT_NEAR(Thom_inversa(0, 0.8, "x", example_props, nullptr), 0.255151, 5e-7);
    EXPECT_NEAR(Thom(0, 0.255151, "x", example_props, nullptr), 0.8, 2e-6);
    // Four queries per call, in the order liquid density, vapour density,
    // liquid viscosity, vapour viscosity.
    queries().clear();
    Thom(1e6, 0.4, "Analytic", recording_props, nullptr);
    ASSERT_EQ(queries().size(), 4u);
    EXPECT_EQ(queries()[0].out + queries()[1].out + queries()[2].out + queries()[3].out, "DDVV");
    EXPECT_EQ(queries()[0].v2, 0.0);
    EXPECT_EQ(queries()[1].v2, 1.0);
}

TEST(CondenserNTU, InfiniteRefrigerantCapacityAboveThreshold)
{
    // Two-phase zone: cp 1e12 with 0.02 kg/s is a capacity rate of 2e10 W/K.
    const double A = 0.3, alfa = 200, msec = 0.2, cps = 1005;
    const double Cmin = msec * cps, NTU = alfa * A / Cmin;
    for (const char* tipo : {TIPO_CONTRACORRIENTE, TIPO_FLUJO_CRUZADO}) {
        const double Q = metodo_NTU(A, alfa, msec, cps, 0.02, 1e12, 320, 300, tipo);
        EXPECT_NEAR(Q, 20 * Cmin * (1 - std::exp(-NTU)), 1e-13 * Q) << tipo;
        // With 0.005 kg/s (5e9 W/K) the ratio is tiny but not zero: the
        // general relation applies and stays continuous with the limit.
        const double Qb = metodo_NTU(A, alfa, msec, cps, 0.005, 1e12, 320, 300, tipo);
        EXPECT_NE(Qb, Q) << tipo;
        EXPECT_NEAR(Qb, Q, 1e-6 * Q) << tipo;
    }
    const double Cr = Cmin / 5e9;
    const double e = std::exp(-NTU * (1 - Cr));
    EXPECT_NEAR(metodo_NTU(A, alfa, msec, cps, 0.005, 1e12, 320, 300, TIPO_CONTRACORRIENTE),
                20 * Cmin * (1 - e) / (1 - Cr * e), 1e-12 * 20 * Cmin);
}

TEST(CondenserNTU, CounterflowAndCrossFlowAtFiniteRatio)
{
    // Superheated zone: refrigerant 0.0056 kg/s x 1100 J/(kg K) = 6.16 W/K
    // against air 0.05 kg/s x 1005 J/(kg K) = 50.25 W/K.
    const double A = 0.06, alfa = 100, mR = 0.0056, cpR = 1100, msec = 0.05, cps = 1005;
    const double Cmin = mR * cpR, Cr = Cmin / (msec * cps), NTU = alfa * A / Cmin;
    const double e = std::exp(-NTU * (1 - Cr));
    const double Qc = metodo_NTU(A, alfa, msec, cps, mR, cpR, 340, 300, TIPO_CONTRACORRIENTE);
    EXPECT_NEAR(Qc, 40 * Cmin * (1 - e) / (1 - Cr * e), 1e-12 * Qc);

    // Cross flow exchanges less than counterflow and more than nothing,
    // and never more than the smaller stream can take.
    const double Qx = metodo_NTU(A, alfa, msec, cps, mR, cpR, 340, 300, TIPO_FLUJO_CRUZADO);
    EXPECT_GT(Qx, 0);
    EXPECT_LT(Qx, Qc);
    EXPECT_LT(Qx, 40 * Cmin);
    // Heat flows from hot to cold whichever side is named first.
    EXPECT_NEAR(metodo_NTU(A, alfa, msec, cps, mR, cpR, 300, 340, TIPO_FLUJO_CRUZADO), -Qx, 1e-12 * Qx);
    // As the ratio goes to 0 the relation approaches 1 - exp(-NTU).
    const double Qx0 = metodo_NTU(A, alfa, 1e3, cps, mR, cpR, 340, 300, TIPO_FLUJO_CRUZADO);
    EXPECT_NEAR(Qx0, 40 * Cmin * (1 - std::exp(-NTU)), 1e-4 * Qx0);
}

TEST(CondenserNTU, DegenerateCases)
{
    for (const char* tipo : {TIPO_CONTRACORRIENTE, TIPO_FLUJO_CRUZADO}) {
        EXPECT_EQ(metodo_NTU(0.0, 100, 0.05, 1005, 0.0056, 1100, 340, 300, tipo), 0.0) << tipo;
        EXPECT_EQ(metodo_NTU(0.2, 100, 0.05, 1005, 0.0056, 1100, 310, 310, tipo), 0.0) << tipo;
        EXPECT_EQ(metodo_NTU(0.2, 100, 0.05, 1005, 0.02, 1e12, 310, 310, tipo), 0.0) << tipo;
    }
    // Equal capacity rates make the counterflow relation 0/0.
    EXPECT_TRUE(std::isnan(metodo_NTU(0.2, 100, 0.05, 1000, 0.05, 1000, 340, 300, TIPO_CONTRACORRIENTE)));
    // An exchanger type nobody knows has no heat rate.
    EXPECT_TRUE(std::isnan(metodo_NTU(0.2, 100, 0.05, 1005, 0.0056, 1100, 340, 300, "PLATE")));
}

TEST(CondenserDerivatives, WorkedExample)
{
    double de[7], dd[5];
    derivadas_entalpia(de, 0.8, kRhof, kRhog, kVf, kVg, kHf, kHg);
    derivadas_densidad(dd, 0.8, kRhof, kRhog, kVf, kVg);
    const double e_expected[7] = {-24.6027, 676.575, 2.73671e7, -4.21032e8, 0.744849, 0.255151, 190049};
    const double d_expected[5] = {0.0867708, 1.15693, -82766.5, 1.27333e6, -574.768};
    for (int k = 0; k < 7; ++k) EXPECT_NEAR(de[k], e_expected[k], 6e-6 * std::fabs(e_expected[k])) << k;
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(dd[k], d_expected[k], 6e-6 * std::fabs(d_expected[k])) << k;
}

TEST(CondenserDerivatives, AgreeWithCentralDifferences)
{
    const double cases[][7] = {{0.8, kRhof, kRhog, kVf, kVg, kHf, kHg},
                               {0.35, 1250, 25, 2.6e-4, 1.15e-5, 2.2e5, 4.05e5},
                               {0.97, 1000, 75, 1.4e-4, 1.5e-5, 2.9e5, 4.2e5}};
    for (const auto& c : cases) {
        double de[7], dd[5];
        derivadas_entalpia(de, c[0], c[1], c[2], c[3], c[4], c[5], c[6]);
        derivadas_densidad(dd, c[0], c[1], c[2], c[3], c[4]);
        EXPECT_NEAR(de[4] + de[5], 1.0, 1e-15);
        // Argument order of the outputs: rhof, rhog, vf, vg, hf, hg, gamma.
        const int arg_of_e[7] = {1, 2, 3, 4, 5, 6, 0};
        for (int k = 0; k < 7; ++k) {
            double up[7], dn[7];
            std::copy(c, c + 7, up);
            std::copy(c, c + 7, dn);
            const double step = 1e-6 * c[arg_of_e[k]];
            up[arg_of_e[k]] += step;
            dn[arg_of_e[k]] -= step;
            const double fd = (h2_of(up) - h2_of(dn)) / (2 * step);
            EXPECT_NEAR(de[k], fd, 1e-7 * std::fabs(fd) + 1e-9) << "enthalpy " << k;
            if (k < 4 || k == 6) {
                const int kd = k == 6 ? 4 : k;
                const double fdr = (rho2_of(up) - rho2_of(dn)) / (2 * step);
                EXPECT_NEAR(dd[kd], fdr, 1e-7 * std::fabs(fdr) + 1e-12) << "density " << kd;
            }
        }
    }
}

TEST(CondenserDerivatives, AllVapourLimitAndThomConsistency)
{
    double de[7], dd[5];
    derivadas_entalpia(de, 1.0, kRhof, kRhog, kVf, kVg, kHf, kHg);
    derivadas_densidad(dd, 1.0, kRhof, kRhog, kVf, kVg);
    for (int k : {0, 1, 2, 3, 4}) EXPECT_EQ(de[k], 0.0) << k;
    EXPECT_EQ(de[5], 1.0);
    const double slip = std::pow(kRhog / kRhof, 0.89) * std::pow(kVf / kVg, 0.18);
    EXPECT_NEAR(de[6], (kHg - kHf) / slip, 1e-12 * de[6]);
    EXPECT_NEAR(dd[1], 1.0, 1e-14);
    for (int k : {0, 2, 3}) EXPECT_EQ(dd[k], 0.0) << k;
    EXPECT_TRUE(std::isfinite(dd[4]));

    // Void fraction from Thom with the same properties: the quality weight
    // of hg is the quality itself.
    const double g = Thom(0, 0.4, "x", example_props, nullptr);
    derivadas_entalpia(de, g, kRhof, kRhog, kVf, kVg, kHf, kHg);
    EXPECT_NEAR(de[5], 0.4, 1e-14);
}
