// Two-phase correlations, zone heat rate and closed-form property derivatives.
#include <gtest/gtest.h>

#include <cstring>

#include "condenser_test_support.h"

using namespace condtest;

namespace {

// Saturation properties of a worked example, served as a property library.
constexpr double kRf = 1100, kRg = 40, kVf = 2.0e-4, kVg = 1.3e-5, kHf = 2.5e5, kHg = 4.1e5;
double example_props(const char* o, const char*, double, const char*, double q, const char*)
{
    if (!std::strcmp(o, "D")) return q == 0 ? kRf : kRg;
    return q == 0 ? kVf : kVg;
}

// The relations the closed forms differentiate, written out plainly;
// a = {gamma, rhof, rhog, vf, vg, hf, hg}.
double quality(const double* a)
{
    return 1 / (1 + (1 - a[0]) / (a[0] * std::pow(a[2] / a[1], 0.89) * std::pow(a[3] / a[4], 0.18)));
}
double h2_of(const double* a) { return (1 - quality(a)) * a[5] + quality(a) * a[6]; }
double rho2_of(const double* a) { return 1 / (quality(a) / a[2] + (1 - quality(a)) / a[1]); }

}  // namespace

TEST(CondenserCorrelations, QualityClampedToTheDome)
{
    const double P = 1.2e6;
    queries.clear();
    EXPECT_EQ(titulo_vapor_refrigerante(P, hf(P), "Analytic", recording_props, nullptr), 0.0);
    EXPECT_EQ(titulo_vapor_refrigerante(P, hg(P), "Analytic", recording_props, nullptr), 1.0);
    EXPECT_EQ(queries.size(), 4u) << "no quality query on the saturation lines";
    EXPECT_EQ(titulo_vapor_refrigerante(P, hf(P) - 5e4, "Analytic", PropsSI, nullptr), 0.0);
    EXPECT_EQ(titulo_vapor_refrigerante(P, hg(P) + 5e4, "Analytic", PropsSI, nullptr), 1.0);
    EXPECT_NEAR(titulo_vapor_refrigerante(P, hf(P) + 5e4, "Analytic", PropsSI, nullptr), 0.25, 1e-15);
    EXPECT_TRUE(std::isnan(titulo_vapor_refrigerante(P, NAN, "Analytic", PropsSI, nullptr)));
}

TEST(CondenserCorrelations, ThomAndItsInverse)
{
    EXPECT_EQ(Thom(1e6, 0.0, "Analytic", PropsSI, nullptr), 0.0);
    EXPECT_EQ(Thom(1e6, 1.0, "Analytic", PropsSI, nullptr), 1.0);
    EXPECT_EQ(Thom_inversa(1e6, 0.0, "Analytic", PropsSI, nullptr), 0.0);
    EXPECT_EQ(Thom_inversa(1e6, 1.0, "Analytic", PropsSI, nullptr), 1.0);
    for (double Q : {1e-4, 0.3, 0.77, 0.999}) {
        const double g = Thom(1.1e6, Q, "Analytic", PropsSI, nullptr);
        EXPECT_GT(g, Q) << "vapour takes more volume than its mass share";
        EXPECT_NEAR(Thom_inversa(1.1e6, g, "Analytic", PropsSI, nullptr), Q, 2e-14);
    }
    EXPECT_NEAR(Thom_inversa(0, 0.8, "x", example_props, nullptr), 0.255151, 5e-7);
    EXPECT_NEAR(Thom(0, 0.255151, "x", example_props, nullptr), 0.8, 2e-6);
}

TEST(CondenserCorrelations, HeatRateOfOneZone)
{
    const double A = 0.3, alfa = 200, ms = 0.2, cps = 1005, Cs = ms * cps, NTU = alfa * A / Cs;
    for (const char* t : kTypes) {
        // Condensing refrigerant: 0.02 kg/s at 1e12 J/(kg K) counts as infinite...
        const double Q = metodo_NTU(A, alfa, ms, cps, 0.02, 1e12, 320, 300, t);
        EXPECT_NEAR(Q, 20 * Cs * (1 - std::exp(-NTU)), 1e-13 * Q) << t;
        // ...0.005 kg/s (5e9 W/K) does not: the general relation, continuous with it.
        const double Qb = metodo_NTU(A, alfa, ms, cps, 0.005, 1e12, 320, 300, t);
        EXPECT_NE(Qb, Q) << t;
        EXPECT_NEAR(Qb, Q, 1e-6 * Q) << t;
        EXPECT_EQ(metodo_NTU(0.0, alfa, ms, cps, 0.0056, 1100, 340, 300, t), 0.0) << t;
        EXPECT_EQ(metodo_NTU(A, alfa, ms, cps, 0.0056, 1100, 310, 310, t), 0.0) << t;
    }
    // Superheated zone, ratio 0.12: counterflow against the textbook form;
    // cross flow exchanges less, and heat flows from hot to cold.
    const double mR = 0.0056, cpR = 1100, Cm = mR * cpR, Cr = Cm / (0.05 * cps), n = 6 / Cm;
    const double e = std::exp(-n * (1 - Cr));
    const double Qc = metodo_NTU(0.06, 100, 0.05, cps, mR, cpR, 340, 300, TIPO_CONTRACORRIENTE);
    EXPECT_NEAR(Qc, 40 * Cm * (1 - e) / (1 - Cr * e), 1e-12 * Qc);
    const double Qx = metodo_NTU(0.06, 100, 0.05, cps, mR, cpR, 340, 300, TIPO_FLUJO_CRUZADO);
    EXPECT_GT(Qx, 0);
    EXPECT_LT(Qx, Qc);
    EXPECT_NEAR(metodo_NTU(0.06, 100, 0.05, cps, mR, cpR, 300, 340, TIPO_FLUJO_CRUZADO), -Qx, 1e-12 * Qx);
    // Equal capacity rates make the counterflow relation 0/0; its limit
    // NTU / (1 + NTU) holds there, and the relation approaches it from either
    // side. Unknown types have no effectiveness.
    {
        const double C = 0.05 * 1000, ntu = alfa * A / C;
        const double Q1 = metodo_NTU(A, alfa, 0.05, 1000, 0.05, 1000, 340, 300, TIPO_CONTRACORRIENTE);
        EXPECT_DOUBLE_EQ(Q1, 40 * C * ntu / (1 + ntu));
        for (double cpR_near : {1000 * (1 - 1e-6), 1000 * (1 + 1e-6)})
            EXPECT_NEAR(metodo_NTU(A, alfa, 0.05, 1000, 0.05, cpR_near, 340, 300, TIPO_CONTRACORRIENTE), Q1, 1e-5 * Q1);
    }
    EXPECT_TRUE(std::isnan(metodo_NTU(A, alfa, ms, cps, mR, cpR, 340, 300, "PLATE")));
    // A secondary specific heat the library refused (HUGE_VAL) is no infinite
    // capacity: the fluid would seem to leave at its inlet temperature. The
    // refrigerant's, refused inside the dome, stands for the two-phase zone's
    // unbounded capacity, like the 1e12 the callers pass for it.
    for (const char* t : kTypes) {
        EXPECT_TRUE(std::isnan(metodo_NTU(A, alfa, ms, HUGE_VAL, 0.0056, 1100, 340, 300, t))) << t;
        EXPECT_TRUE(std::isnan(metodo_NTU(A, alfa, ms, std::nan(""), 0.02, 1e12, 340, 300, t))) << t;
        EXPECT_EQ(metodo_NTU(A, alfa, ms, cps, 0.02, HUGE_VAL, 320, 300, t),
                  metodo_NTU(A, alfa, ms, cps, 0.02, 1e12, 320, 300, t))
            << t;
    }
}

// Where the closed forms break down, their limits hold. A tiny refrigerant
// flow against a large conductance (A = 1 m2, alfa = 100, mR = 1e-4 kg/s:
// NTU = 1000) overflows the exponentials; the zone then brings the
// refrigerant to the air's inlet temperature, Q = Cmin (Tcaliente - Tfrio) =
// 0.1 W/K x 40 K = 4 W, as the evaporator's zones do. No flow on either side
// exchanges nothing, whatever the conductance.
TEST(CondenserCorrelations, HeatRateLimits)
{
    for (const char* t : kTypes) {
        EXPECT_NEAR(metodo_NTU(1.0, 100, 0.2, 1005, 1e-4, 1000, 340, 300, t), 4.0, 1e-9) << t;
        EXPECT_NEAR(metodo_NTU(1.0, 100, 0.2, 1005, 1e-4, 1000, 300, 340, t), -4.0, 1e-9) << t;
        // Just below the overflow the forms already give the limit.
        EXPECT_NEAR(metodo_NTU(0.5, 100, 0.2, 1005, 1e-4, 1000, 340, 300, t), 4.0, 1e-9) << t;
        EXPECT_EQ(metodo_NTU(1.0, 100, 0.0, 1005, 0.0, 1000, 340, 300, t), 0.0) << t;
        EXPECT_EQ(metodo_NTU(0.0, 100, 0.0, 1005, 0.0, 1000, 340, 300, t), 0.0) << t;
        EXPECT_EQ(metodo_NTU(1.0, 100, 0.0, 1005, 0.02, 1e12, 340, 300, t), 0.0) << t;
    }
}

TEST(CondenserCorrelations, PropertyDerivativesWorkedExample)
{
    double de[7], dd[5];
    derivadas_entalpia(de, 0.8, kRf, kRg, kVf, kVg, kHf, kHg);
    derivadas_densidad(dd, 0.8, kRf, kRg, kVf, kVg);
    const double e[7] = {-24.6027, 676.575, 2.73671e7, -4.21032e8, 0.744849, 0.255151, 190049};
    const double d[5] = {0.0867708, 1.15693, -82766.5, 1.27333e6, -574.768};
    for (int k = 0; k < 7; ++k) EXPECT_NEAR(de[k], e[k], 6e-6 * std::fabs(e[k])) << k;
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(dd[k], d[k], 6e-6 * std::fabs(d[k])) << k;
}

TEST(CondenserCorrelations, PropertyDerivativesAgreeWithCentralDifferences)
{
    const double cases[][7] = {{0.8, kRf, kRg, kVf, kVg, kHf, kHg},
                               {0.35, 1250, 25, 2.6e-4, 1.15e-5, 2.2e5, 4.05e5},
                               {0.97, 1000, 75, 1.4e-4, 1.5e-5, 2.9e5, 4.2e5}};
    const int arg[7] = {1, 2, 3, 4, 5, 6, 0};  // outputs: rhof, rhog, vf, vg, hf, hg, gamma
    for (const auto& c : cases) {
        double de[7], dd[5];
        derivadas_entalpia(de, c[0], c[1], c[2], c[3], c[4], c[5], c[6]);
        derivadas_densidad(dd, c[0], c[1], c[2], c[3], c[4]);
        EXPECT_NEAR(de[4] + de[5], 1.0, 1e-15);
        for (int k = 0; k < 7; ++k) {
            double up[7], dn[7];
            std::copy(c, c + 7, up);
            std::copy(c, c + 7, dn);
            const double s = 1e-6 * c[arg[k]];
            up[arg[k]] += s;
            dn[arg[k]] -= s;
            const double fh = (h2_of(up) - h2_of(dn)) / (2 * s), fr = (rho2_of(up) - rho2_of(dn)) / (2 * s);
            EXPECT_NEAR(de[k], fh, 1e-7 * std::fabs(fh) + 1e-9) << "h2, output " << k;
            if (k < 4 || k == 6) {
                EXPECT_NEAR(dd[k == 6 ? 4 : k], fr, 1e-7 * std::fabs(fr) + 1e-12) << "rho2 " << k;
            }
        }
    }
}

TEST(CondenserCorrelations, PropertyDerivativesAllVapour)
{
    double de[7], dd[5];
    derivadas_entalpia(de, 1.0, kRf, kRg, kVf, kVg, kHf, kHg);
    derivadas_densidad(dd, 1.0, kRf, kRg, kVf, kVg);
    for (int k : {0, 1, 2, 3, 4}) EXPECT_EQ(de[k], 0.0) << k;
    EXPECT_EQ(de[5], 1.0);
    EXPECT_NEAR(de[6], (kHg - kHf) / (std::pow(kRg / kRf, 0.89) * std::pow(kVf / kVg, 0.18)), 1e-12 * de[6]);
    EXPECT_NEAR(dd[1], 1.0, 1e-14);
    for (int k : {0, 2, 3}) EXPECT_EQ(dd[k], 0.0) << k;
    EXPECT_TRUE(std::isfinite(dd[4]));
    // With gamma from Thom at the same properties, hg's weight is the quality.
    derivadas_entalpia(de, Thom(0, 0.4, "x", example_props, nullptr), kRf, kRg, kVf, kVg, kHf, kHg);
    EXPECT_NEAR(de[5], 0.4, 1e-14);
}
