// Extended state and superheated-length fit of the condenser, against the
// analytic fluid (where saturation lines and single-phase states are closed
// forms) and, when it has been built, the real property library.
#include <gtest/gtest.h>

#include <cmath>

#include "condenser_test_support.h"

using namespace condtest;

namespace {

constexpr double kSentinel = 12345.678;

struct Extended {
    double y[22];
    Extended() { std::fill(y, y + 22, kSentinel); }
    double operator[](int k) const { return y[k]; }
};

Extended extended(const Point& p, double mode, double L1, CPType props = PropsSI)
{
    Extended e;
    extension_estado_condensador(e.y, L1, p.x, p.u, p.w, mode, props, nullptr);
    return e;
}

}  // namespace

TEST(CondenserExtendedState, ThreeZonesLeaveWithTheSubcooledState)
{
    Records r;
    Point p;
    for (const char* tipo : {TIPO_FLUJO_CRUZADO, TIPO_CONTRACORRIENTE}) {
        r.set_type(tipo);
        const Extended e = extended(p, 1.0, 0.1);
        const double P_out = 2 * p.x[1] - p.u[3];
        EXPECT_EQ(e[0], p.x[2]) << tipo;
        EXPECT_EQ(e[18], P_out) << tipo;
        EXPECT_EQ(e[17], kSentinel) << "element 17 is not written";
        EXPECT_EQ(e[3], (p.u[2] - p.x[2]) * p.u[0]);
        // The liquid leaves 8 K below saturation at the outlet pressure.
        EXPECT_NEAR(e[1], tsat(P_out) - (hf(P_out) - p.x[2]) / 1000, 1e-9);
        EXPECT_NEAR(e[2], (hf(P_out) - p.x[2]) / 1000, 1e-9);
        EXPECT_NEAR(e[11], 0.8, 1e-15);
        // Every zone gives heat to the air, which leaves warmer but below the
        // refrigerant inlet temperature (340 K).
        for (int k : {12, 13, 14}) EXPECT_GT(e[k], 0) << tipo << " zone " << k - 11;
        EXPECT_GT(e[4], p.w[0]);
        EXPECT_LT(e[4], 340);
        // The zone-1 balance: superheated vapour cooled to saturation at Pg.
        const double Pg = p.u[3] - (p.u[3] - P_out) * 0.1;
        EXPECT_NEAR(e[15], (p.u[2] - hg(Pg)) * p.u[0], 1e-9);
        EXPECT_NEAR(e[9], (hg(Pg) + p.u[2]) / 2, 1e-9);
    }
}

TEST(CondenserExtendedState, TwoZonesCarryNoSubcoolingHeat)
{
    Records r;
    Point p;
    p.x[4] = 0.97;  // outlet quality about 0.4
    for (const char* tipo : {TIPO_FLUJO_CRUZADO, TIPO_CONTRACORRIENTE}) {
        r.set_type(tipo);
        const Extended e = extended(p, 2.0, 0.1);
        EXPECT_EQ(e[14], 0.0) << tipo;
        EXPECT_EQ(e[8], e[4]) << tipo;
        EXPECT_EQ(e[10], hf(e[18])) << "saturated liquid at the outlet";
        EXPECT_EQ(e[2], 0.0) << "a two-phase outlet has no subcooling";
        EXPECT_NEAR(e[1], tsat(e[18]), 1e-9);
        EXPECT_GT(e[0], hf(e[18]));
        EXPECT_LT(e[0], hg(e[18]));
        if (std::string(tipo) == TIPO_CONTRACORRIENTE) {
            EXPECT_EQ(e[6], p.w[0]);
        }
    }
}

TEST(CondenserExtendedState, CrossFlowAirOutletMixesAllThreeShares)
{
    // In mode 2 zone 3 exchanges nothing, so its share of the air leaves at
    // the inlet temperature; the mixed outlet carries exactly the heat of
    // zones 1 and 2.
    Records r(TIPO_FLUJO_CRUZADO);
    Point p;
    p.x[4] = 0.97;
    const Extended e = extended(p, 2.0, 0.1);
    EXPECT_GT(e[4], p.w[0]);
    EXPECT_LT(e[4], std::max(e[6], e[7]));
    EXPECT_NEAR(p.w[1] * 1005 * (e[4] - p.w[0]), e[12] + e[13], 1e-9 * (e[12] + e[13]));
}

TEST(CondenserExtendedState, OutletQualityLimits)
{
    Records r;
    Point p;
    p.u[2] = 320000;  // two-phase inlet, quality 0.5 at 12 bar
    const double P_out = 2 * p.x[1] - p.u[3];

    p.x[4] = 0.99;  // mean quality near 1: 2 Qbar - Qin above 1
    Extended e = extended(p, 2.0, 0.1);
    EXPECT_NEAR(e[0], hg(P_out), 1e-9);
    EXPECT_EQ(e[2], 0.0);

    p.x[4] = 0.05;  // mean quality near 0: 2 Qbar - Qin below 0
    e = extended(p, 2.0, 0.1);
    EXPECT_NEAR(e[0], hf(P_out), 1e-9);
    EXPECT_EQ(e[2], 0.0) << "saturated liquid is not subcooled";
    EXPECT_NEAR(e[1], tsat(P_out), 1e-9);
}

TEST(CondenserExtendedState, UniformPressureWhenMeanEqualsInlet)
{
    Records r;
    Point p;
    p.x[1] = p.u[3];
    queries().clear();
    const Extended e = extended(p, 1.0, 0.3, recording_props);
    EXPECT_EQ(e[18], p.u[3]);
    for (const Query& q : queries())
        if (q.fluid == "Analytic") {
            EXPECT_EQ(q.v1, p.u[3]) << q.out << "(" << q.n1 << "," << q.n2 << ")";
        }
}

TEST(CondenserExtendedState, UnknownModeTypeAndEmptyZones)
{
    Records r;
    Point p;
    // A mode it does not know leaves the caller's array alone.
    const Extended none = extended(p, 3.0, 0.1);
    for (int k = 0; k < 22; ++k) EXPECT_EQ(none[k], kSentinel) << k;

    // An unknown exchanger type gives no zone results, but the refrigerant
    // side is still reported.
    r.set_type("CROSS");
    const Extended u = extended(p, 1.0, 0.1);
    for (int k : {4, 6, 7, 8, 12, 13, 14}) EXPECT_TRUE(std::isnan(u[k])) << k;
    EXPECT_EQ(u[0], p.x[2]);
    EXPECT_TRUE(std::isfinite(u[15]));

    // A cross-flow zone without length has no air through it: no result.
    r.set_type(TIPO_FLUJO_CRUZADO);
    p.x[3] = 0.0;
    const Extended z = extended(p, 1.0, 0.1);
    EXPECT_TRUE(std::isnan(z[14]));
    EXPECT_TRUE(std::isnan(z[4]));
    EXPECT_TRUE(std::isfinite(z[12]));
}

TEST(CondenserFit, MatchesTheDesuperheatingDuty)
{
    Records r(TIPO_FLUJO_CRUZADO);
    Point p;
    const double u3[3] = {p.u[0], p.u[2], p.u[3]};
    const double L1 = metodo_ajuste_L1_condens(0.1, p.x, u3, p.w, PropsSI, nullptr);
    ASSERT_GT(L1, 0.01);
    ASSERT_LT(L1, 0.9);
    double y[21];
    const double mode = 1.0;
    y[17] = kSentinel;
    evaluacion_L1_condens(y, L1, p.x, u3, p.w, &mode, PropsSI, nullptr);
    EXPECT_EQ(y[17], kSentinel);
    EXPECT_NEAR(y[12], y[15], 1e-6 * y[15]) << "NTU heat of zone 1 equals mR (h_in - hg(Pg))";

    // Started at its own answer it still makes one full iteration (two
    // queries before the loop, two per iteration) and stays there.
    queries().clear();
    const double again = metodo_ajuste_L1_condens(L1, p.x, u3, p.w, recording_props, nullptr);
    EXPECT_EQ(queries().size(), 4u);
    EXPECT_NEAR(again, L1, 1e-6 * L1);
}

TEST(CondenserFit, FailuresGiveTheFailureValue)
{
    Records r(TIPO_FLUJO_CRUZADO);
    Point p;
    const double u3[3] = {p.u[0], p.u[2], p.u[3]};
    // An upper start on the lower one makes the first step 0/0: the error
    // cannot be computed, which is a failure, not convergence.
    EXPECT_EQ(metodo_ajuste_L1_condens(0.01, p.x, u3, p.w, PropsSI, nullptr), -1.0);
}

TEST(CondenserExtendedState, ZoneEnergyBalancesWithRealLibrary)
{
    CPType real = real_props();
    if (!real) GTEST_SKIP() << "real property library not built yet";
    Records r(TIPO_FLUJO_CRUZADO, "R134a", "Air");
    Point p;
    p.x[2] = 250000;
    const double cp = real("C", "P", p.w[2], "T", p.w[0], "Air");
    const double m = p.w[1];
    for (const char* tipo : {TIPO_FLUJO_CRUZADO, TIPO_CONTRACORRIENTE}) {
        r.set_type(tipo);
        for (double mode : {1.0, 2.0}) {
            p.x[4] = mode == 1.0 ? 0.85 : 0.92;
            const Extended e = extended(p, mode, 0.1, real);
            const double L[3] = {0.1, e[11], p.x[3]};
            SCOPED_TRACE(std::string(tipo) + " mode " + std::to_string(mode));
            if (std::string(tipo) == TIPO_FLUJO_CRUZADO) {
                // Each zone warms its own share of the air.
                for (int z = 0; z < (mode == 1.0 ? 3 : 2); ++z)
                    EXPECT_NEAR(e[12 + z], m * L[z] * cp * (e[6 + z] - p.w[0]), 1e-9 * e[12 + z]) << z;
            } else if (mode == 1.0) {
                // The whole air flow passes zones 3, 2, 1 in turn.
                EXPECT_NEAR(e[14], m * cp * (e[6] - p.w[0]), 1e-9 * e[14]);
                EXPECT_NEAR(e[13], m * cp * (e[7] - e[6]), 1e-9 * e[13]);
                EXPECT_NEAR(e[12], m * cp * (e[8] - e[7]), 1e-9 * e[12]);
            } else {
                EXPECT_NEAR(e[13], m * cp * (e[7] - p.w[0]), 1e-9 * e[13]);
                EXPECT_NEAR(e[12], m * cp * (e[4] - e[7]), 1e-9 * e[12]);
            }
            // Overall: what the air takes is what the zones give.
            const double zones = e[12] + e[13] + e[14];
            EXPECT_NEAR(m * cp * (e[4] - p.w[0]), zones, 1e-9 * zones);
            EXPECT_GT(e[12], 0);
            EXPECT_GT(e[13], 0);
        }
    }
}

TEST(CondenserFit, FittedZoneHeatEqualsDutyWithRealLibrary)
{
    CPType real = real_props();
    if (!real) GTEST_SKIP() << "real property library not built yet";
    Records r(TIPO_FLUJO_CRUZADO, "R134a", "Air");
    Point p;
    p.x[2] = 250000;
    const double u3[3] = {p.u[0], p.u[2], p.u[3]};
    const double L1 = metodo_ajuste_L1_condens(0.1, p.x, u3, p.w, real, nullptr);
    ASSERT_GT(L1, 0.0);
    ASSERT_LT(L1, 1.0);
    const Extended e = extended(p, 1.0, L1, real);
    EXPECT_NEAR(e[12], e[15], 1e-6 * e[15]);
}
