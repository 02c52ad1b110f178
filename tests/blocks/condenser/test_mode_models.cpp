// Mode-1 and mode-2 balances and the mode selection of the condenser.
#include <gtest/gtest.h>

#include <cmath>

#include "condenser_test_support.h"

using namespace condtest;

namespace {

// Output port 0 as the block publishes it after an output evaluation: the
// extended state, then the length and void fraction used and the outlet
// pressure.
std::vector<double> published(const Point& p, double mode, CPType props = PropsSI)
{
    std::vector<double> y(21, 0.0);
    const double u3[3] = {(p.u[0] + p.u[1]) / 2, p.u[2], p.u[3]};
    const double L1 = mode == 1.0 ? metodo_ajuste_L1_condens(p.x[0], p.x, u3, p.w, props, nullptr) : p.x[0];
    evaluacion_L1_condens(y.data(), L1, p.x, u3, p.w, &mode, props, nullptr);
    y[20] = y[18];
    y[18] = L1;
    y[19] = mode == 1.0 ? y[5] : p.x[4];
    return y;
}

std::vector<double> rates(const Point& p, double mode, const std::vector<double>& y, CPType props = PropsSI)
{
    std::vector<double> xdot(5, NAN);
    if (mode == 1.0)
        modelo_condensador_modo1(xdot.data(), p.x, p.u, y.data(), props, nullptr);
    else
        modelo_condensador_modo2(xdot.data(), p.x, p.u, y.data(), props, nullptr);
    return xdot;
}

// Residual of one row relative to the size of its terms.
double residual(std::initializer_list<double> terms, double b)
{
    double sum = -b, scale = std::fabs(b);
    for (double t : terms) {
        sum += t;
        scale = std::max(scale, std::fabs(t));
    }
    return std::fabs(sum) / scale;
}

}  // namespace

TEST(CondenserModeOne, FixedRatesAndIndependenceOfAlgebraicStates)
{
    Records r;
    Point p;
    queries().clear();
    const auto y = published(p, 1.0);
    queries().clear();
    const auto xdot = rates(p, 1.0, y, recording_props);
    EXPECT_EQ(queries().size(), 31u) << "superheated inlet: two queries for its quality";
    EXPECT_EQ(xdot[0], 0.0);
    EXPECT_EQ(xdot[4], 0.0);
    for (int k : {1, 2, 3}) EXPECT_TRUE(std::isfinite(xdot[k])) << k;
    // L1 and gamma of the state play no part: the fitted length and the void
    // fraction at half the inlet quality stand in for them.
    Point q = p;
    q.x[0] = 0.37;
    q.x[4] = 0.41;
    EXPECT_EQ(rates(q, 1.0, y), xdot);
}

TEST(CondenserModeOne, RatesSolveTheFourBalances)
{
    Records r;
    Point p;
    for (double mR_in : {0.0056, 0.008, 0.003}) {
        p.u[0] = mR_in;
        const auto y = published(p, 1.0);
        const auto xdot = rates(p, 1.0, y);
        const double L1 = y[18], L3 = p.x[3], L2 = (1 - L1) - L3, h3 = p.x[2];
        const double xt[5] = {L1, p.x[1], h3, L3, y[19]};
        double pr[16];
        evaluacion_propiedades_condensador_modo1(pr, xt, p.u, y.data(), PropsSI, nullptr);
        const double hf = pr[0], hg = pr[1], hgp = pr[2], h2 = pr[3], h2p = pr[4], h2pp = pr[5], gtp = pr[7];
        const double rho1 = pr[8], rho1p = pr[9], rho1pp = pr[10], rho2 = pr[11], rho2p = pr[12],
                     rho2pp = pr[13], rho3 = pr[14], rho3pp = pr[15];
        const double V = CondAire.V_R, h1 = y[9], Q1 = -y[12], Q2 = -y[13], Q3 = -y[14];
        const double mi = p.u[0], mo = p.u[1], hin = p.u[2];
        const double f12 = ((hin - h1) * mi + Q1) / (hg - h1);

        const double b1 = ((hg - hin) * mi - Q1) / (rho1 * V) / (hg - h1);
        const double b2 = Q3 / (hf - h3) / (rho2 * V) + f12 / (rho2 * V);
        const double b3 = ((hf - h2) * Q3 / (hf - h3) + Q2 + (hg - h2) * f12) / (rho2 * V * L2) / (hg - hf);
        const double b4 = ((hf - h3) * mo + Q3) / (rho3 * V) / (hf - h3);
        const double a12 = (L1 / rho1 * rho1pp - L1 / (hg - h1)) * hgp / 2 + L1 / rho1 * rho1p + L1 / rho1 / (hg - h1);
        const double a22 = gtp * L2 / rho2 * rho2pp + L2 / rho2 * rho2p - L1 / rho2 / (hg - h1) -
                           L3 / rho2 / (hf - h3) + rho1 * L1 / (hg - h1) / rho2 * hgp / 2;
        const double a24 = rho3 * L3 / (hf - h3) / rho2;
        const double a32 = (gtp * h2pp + h2p - 1 / rho2 - (hg - h2) * L1 / (hg - h1) / (rho2 * L2) -
                            (hf - h2) * L3 / (hf - h3) / (rho2 * L2) +
                            (hg - h2) * rho1 * L1 * hgp / 2 / (hg - h1) / (rho2 * L2)) /
                           (hg - hf);
        const double a34 = (hf - h2) * rho3 * L3 / (hf - h3) / (rho2 * L2) / (hg - hf);
        const double a42 = -L3 / (hf - h3) / rho3;
        const double a44 = L3 / (hf - h3) - L3 * rho3pp / rho3;

        const double Pd = xdot[1], h3d = xdot[2], L3d = xdot[3];
        const double L1d = b1 - a12 * Pd;
        EXPECT_LT(residual({-L1d, a22 * Pd, -L3d, a24 * h3d}, b2), 1e-12) << "zone 2 mass";
        EXPECT_LT(residual({a32 * Pd, a34 * h3d}, b3), 1e-12) << "zone 2 energy";
        EXPECT_LT(residual({a42 * Pd, -L3d, a44 * h3d}, b4), 1e-12) << "zone 3";
    }
}

TEST(CondenserModeTwo, FixedRatesRelaxationAndBalances)
{
    Records r;
    Point p;
    p.x[4] = 0.97;
    p.x[0] = 0.12;
    for (double mR_out : {0.0056, 0.004, 0.008}) {
        p.u[1] = mR_out;
        const auto y = published(p, 2.0);
        queries().clear();
        const auto xdot = rates(p, 2.0, y, recording_props);
        EXPECT_EQ(queries().size(), 19u);
        EXPECT_EQ(xdot[3], 0.0);
        // h3 relaxes towards the saturated liquid at the start of zone 3.
        const double P_out = 2 * p.x[1] - p.u[3];
        const double Pf = (p.u[3] - P_out) * p.x[3] + P_out;
        EXPECT_EQ(xdot[2], (PropsSI("H", "P", Pf, "Q", 0, "Analytic") - p.x[2]) * r.Kh);

        double pr[12];
        evaluacion_propiedades_condensador_modo2(pr, p.x, p.u, y.data(), PropsSI, nullptr);
        const double hf = pr[0], hg = pr[1], hgp = pr[2], h2 = pr[3], h2p = pr[4], h2pp = pr[5];
        const double rho1 = pr[6], rho1p = pr[7], rho1pp = pr[8], rho2 = pr[9], rho2p = pr[10], rho2pp = pr[11];
        const double V = CondAire.V_R, h1 = y[9], hout = y[0], Q1 = -y[12], Q2 = -y[13];
        const double L1 = y[18], L3 = p.x[3], L2 = (1 - L1) - L3;
        const double mi = p.u[0], mo = p.u[1], hin = p.u[2];
        const double f12 = ((hin - h1) * mi + Q1) / (hg - h1);

        const double b1 = ((hg - hin) * mi - Q1) / (rho1 * V * (hg - h1));
        const double b2 = f12 / (rho2 * V) - mo / (rho2 * V);
        const double b3 = ((hg - h2) * f12 + Q2 - (hout - h2) * mo) / (rho2 * V * L2) / (hg - hf);
        const double a12 = (L1 / rho1 * rho1pp - L1 / (hg - h1)) * hgp / 2 + L1 / rho1 * rho1p + L1 / rho1 / (hg - h1);
        const double a22 = rho1 * L1 / (hg - h1) / rho2 * hgp / 2 + L2 / rho2 * rho2p - L1 / (hg - h1) / rho2;
        const double a23 = L2 / rho2 * rho2pp;
        const double a32 = ((hg - h2) * rho1 * L1 * hgp / 2 / (hg - h1) / (rho2 * L2) + h2p - 1 / rho2 -
                            (hg - h2) * L1 / (hg - h1) / (rho2 * L2)) /
                           (hg - hf);
        const double a33 = h2pp / (hg - hf);

        const double L1d = xdot[0], Pd = xdot[1], gd = xdot[4];
        EXPECT_LT(residual({L1d, a12 * Pd}, b1), 1e-12) << "zone 1";
        EXPECT_LT(residual({-L1d, a22 * Pd, a23 * gd}, b2), 1e-12) << "zone 2 mass";
        EXPECT_LT(residual({a32 * Pd, a33 * gd}, b3), 1e-12) << "zone 2 energy";
    }
}

TEST(CondenserModeSelection, LeavesThreeZonesOnlyWhenSubcoolingVanishes)
{
    Records r;  // Lmin 0.02
    double x[5] = {0.1, 1.19e6, 210000, 0.02, 0.85}, dx[5] = {0, 0, 0, -1e-3, 0};
    double xsig[5] = {0.1, 1.19e6, 210000, 0.015, 0.85}, u[4] = {0.0056, 0.0056, 440000, 1.2e6}, y[18] = {};
    double flag = 0;
    EXPECT_EQ(seleccion_modo_condensador(x, dx, xsig, u, y, 1.0, &flag, PropsSI, nullptr), 1.0) << "L3 = Lmin";
    x[3] = 0.015;
    dx[3] = 0.0;
    EXPECT_EQ(seleccion_modo_condensador(x, dx, xsig, u, y, 1.0, &flag, PropsSI, nullptr), 1.0) << "not shrinking";
    EXPECT_EQ(seleccion_modo_condensador(x, dx, xsig, u, y, 1.5, &flag, PropsSI, nullptr), 1.5);
    dx[3] = -1e-3;
    EXPECT_EQ(seleccion_modo_condensador(x, dx, xsig, u, y, 1.5, &flag, PropsSI, nullptr), 2.0);
    EXPECT_EQ(seleccion_modo_condensador(x, dx, xsig, u, y, 1.0, &flag, PropsSI, nullptr), 2.0);
    EXPECT_EQ(xsig[3], 0.015);
    EXPECT_EQ(flag, 0.0);
    for (double m : {0.0, 3.0, -1.0, std::nan("")})
        EXPECT_EQ(seleccion_modo_condensador(x, dx, xsig, u, y, m, &flag, PropsSI, nullptr), 0.0) << m;
}

TEST(CondenserModeSelection, ReturnsToThreeZonesWhenLiquidBuildsUp)
{
    Records r;
    double x[5] = {0.1, 1.19e6, 210000, 0.01, 0.6}, dx[5] = {0, 0, 0, 0, -1e-3};
    double u[4] = {0.0056, 0.0056, 440000, 1.2e6}, y[18] = {};
    y[11] = 0.8;
    // Deficit of the void fraction against a zone ending at saturated
    // liquid, as a length: exactly at the threshold nothing happens.
    const double Qin = titulo_vapor_refrigerante(u[3], u[2], "Analytic", PropsSI, nullptr);
    const double Lsalto = (Thom(x[1], Qin * 0.5, "Analytic", PropsSI, nullptr) - x[4]) * y[11];
    ASSERT_GT(Lsalto, 0.0);
    r.Lmin_gamma = Lsalto;
    double xsig[5] = {0.1, 1.19e6, 210000, 0.01, 0.6}, flag = 0;
    EXPECT_EQ(seleccion_modo_condensador(x, dx, xsig, u, y, 2.0, &flag, PropsSI, nullptr), 2.0);
    r.Lmin_gamma = std::nextafter(Lsalto, 0.0);
    dx[4] = 0.0;
    EXPECT_EQ(seleccion_modo_condensador(x, dx, xsig, u, y, 2.0, &flag, PropsSI, nullptr), 2.0) << "gamma steady";
    EXPECT_EQ(flag, 0.0);
    dx[4] = -1e-3;

    // Switching with the live subcooled length above Lmin leaves it alone...
    xsig[3] = 0.05;
    EXPECT_EQ(seleccion_modo_condensador(x, dx, xsig, u, y, 2.0, &flag, PropsSI, nullptr), 1.0);
    EXPECT_EQ(xsig[3], 0.05);
    EXPECT_EQ(flag, 0.0);
    // ...at Lmin or below it is set to Lmin and the flag is raised.
    for (double L3 : {r.Lmin, 0.0, -0.01}) {
        xsig[3] = L3;
        flag = 0;
        EXPECT_EQ(seleccion_modo_condensador(x, dx, xsig, u, y, 2.0, &flag, PropsSI, nullptr), 1.0);
        EXPECT_EQ(xsig[3], r.Lmin);
        EXPECT_EQ(flag, 1.0);
    }
    // A value that is not a number never switches and is never reset.
    xsig[3] = NAN;
    flag = 0;
    x[4] = NAN;
    EXPECT_EQ(seleccion_modo_condensador(x, dx, xsig, u, y, 2.0, &flag, PropsSI, nullptr), 2.0);
    EXPECT_TRUE(std::isnan(xsig[3]));
}

TEST(CondenserModes, RealLibraryRatesAreFiniteAndSensible)
{
    CPType real = real_props();
    if (!real) GTEST_SKIP() << "real property library not built yet";
    Records r(TIPO_FLUJO_CRUZADO, "R134a", "Air");
    for (const char* tipo : {TIPO_FLUJO_CRUZADO, TIPO_CONTRACORRIENTE}) {
        r.set_type(tipo);
        for (double mode : {1.0, 2.0}) {
            SCOPED_TRACE(std::string(tipo) + " mode " + std::to_string(mode));
            Point p;
            p.x[2] = 250000;
            p.x[4] = mode == 1.0 ? 0.85 : 0.92;
            const auto base = rates(p, mode, published(p, mode, real), real);
            for (double v : base) EXPECT_TRUE(std::isfinite(v));
            // More refrigerant coming in than going out raises the pressure.
            Point in = p;
            in.u[0] *= 1.5;
            EXPECT_GT(rates(in, mode, published(in, mode, real), real)[1], base[1]);
            // More air takes more heat: the pressure falls faster.
            Point air = p;
            air.w[1] *= 1.5;
            EXPECT_LT(rates(air, mode, published(air, mode, real), real)[1], base[1]);
        }
    }
}
