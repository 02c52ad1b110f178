// Mode-1 and mode-2 balances and the mode selection of the condenser.
#include <gtest/gtest.h>

#include "condenser_test_support.h"

using namespace condtest;

namespace {

// Output port 0 as the block publishes it after an output evaluation.
std::vector<double> published(const Point& p, double mode, CPType props = PropsSI)
{
    std::vector<double> y(N_SAL_CONDENSADOR, 0.0);
    const double u3[3] = {(p.u[0] + p.u[1]) / 2, p.u[2], p.u[3]};
    const double L1 = mode == 1.0 ? metodo_ajuste_L1_condens(p.x[0], p.x, u3, p.w, props, nullptr) : p.x[0];
    evaluacion_L1_condens(y.data(), L1, p.x, u3, p.w, &mode, props, nullptr);
    publicar_salida_condensador(y.data(), L1, mode == 1.0 ? y[SAL_GAMMATOT] : p.x[ESTADO_GAMMA]);
    return y;
}

std::vector<double> rates(const Point& p, double mode, CPType props = PropsSI, const double* x = nullptr,
                          const std::vector<double>& given = {})
{
    std::vector<double> xdot(5, NAN);
    const auto y = given.empty() ? published(p, mode, props) : given;
    (mode == 1.0 ? modelo_condensador_modo1 : modelo_condensador_modo2)(xdot.data(), x ? x : p.x, p.u, y.data(),
                                                                         props, nullptr);
    return xdot;
}

// |sum(terms) - b| relative to the largest term.
double residual(std::initializer_list<double> terms, double b)
{
    double s = -b, scale = std::fabs(b);
    for (double t : terms) s += t, scale = std::max(scale, std::fabs(t));
    return std::fabs(s) / scale;
}

}  // namespace

TEST(CondenserModeOne, RatesSolveTheFourBalances)
{
    Records r;
    Point p;
    for (double mR_in : {0.0056, 0.008, 0.003}) {
        p.u[0] = mR_in;
        const auto y = published(p, 1.0);
        queries.clear();
        const auto xd = rates(p, 1.0, recording_props, nullptr, y);
        EXPECT_EQ(queries.size(), 31u) << "superheated inlet";
        EXPECT_EQ(xd[0], 0.0);
        EXPECT_EQ(xd[4], 0.0);
        // L1 and gamma of the state play no part in mode 1.
        const double other[5] = {0.37, p.x[1], p.x[2], p.x[3], 0.41};
        EXPECT_EQ(rates(p, 1.0, PropsSI, other), xd);

        const double L1 = y[18], L3 = p.x[3], L2 = (1 - L1) - L3, h3 = p.x[2], V = CondAire.V_R;
        const double xt[5] = {L1, p.x[1], h3, L3, y[19]};
        double pr[16];
        evaluacion_propiedades_condensador_modo1(pr, xt, p.u, y.data(), PropsSI, nullptr);
        const double hf = pr[0], hg = pr[1], hgp = pr[2], h2 = pr[3], h2p = pr[4], h2pp = pr[5], gtp = pr[7];
        const double r1 = pr[8], r1p = pr[9], r1h = pr[10], r2 = pr[11], r2p = pr[12], r2g = pr[13], r3 = pr[14],
                     r3h = pr[15];
        const double h1 = y[9], Q1 = -y[12], Q2 = -y[13], Q3 = -y[14], mi = p.u[0], mo = p.u[1], hin = p.u[2];
        const double f12 = ((hin - h1) * mi + Q1) / (hg - h1), d1 = hg - h1, d3 = hf - h3;
        const double b1 = ((hg - hin) * mi - Q1) / (r1 * V) / d1;
        const double b2 = Q3 / d3 / (r2 * V) + f12 / (r2 * V);
        const double b3 = ((hf - h2) * Q3 / d3 + Q2 + (hg - h2) * f12) / (r2 * V * L2) / (hg - hf);
        const double b4 = (d3 * mo + Q3) / (r3 * V) / d3;
        const double a12 = (L1 / r1 * r1h - L1 / d1) * hgp / 2 + L1 / r1 * r1p + L1 / r1 / d1;
        const double a22 = gtp * L2 / r2 * r2g + L2 / r2 * r2p - L1 / r2 / d1 - L3 / r2 / d3 + r1 * L1 / d1 / r2 * hgp / 2;
        const double a24 = r3 * L3 / d3 / r2;
        const double a32 = (gtp * h2pp + h2p - 1 / r2 - (hg - h2) * L1 / d1 / (r2 * L2) - (hf - h2) * L3 / d3 / (r2 * L2) +
                            (hg - h2) * r1 * L1 * hgp / 2 / d1 / (r2 * L2)) / (hg - hf);
        const double a34 = (hf - h2) * r3 * L3 / d3 / (r2 * L2) / (hg - hf);
        const double a42 = -L3 / d3 / r3, a44 = L3 / d3 - L3 * r3h / r3;
        const double Pd = xd[1], h3d = xd[2], L3d = xd[3], L1d = b1 - a12 * Pd;
        EXPECT_LT(residual({-L1d, a22 * Pd, -L3d, a24 * h3d}, b2), 1e-12) << "zone 2 mass";
        EXPECT_LT(residual({a32 * Pd, a34 * h3d}, b3), 1e-12) << "zone 2 energy";
        EXPECT_LT(residual({a42 * Pd, -L3d, a44 * h3d}, b4), 1e-12) << "zone 3";
    }
}

TEST(CondenserModeTwo, RatesSolveTheThreeBalancesAndH3Relaxes)
{
    Records r;
    Point p;
    p.x[0] = 0.12;
    p.x[4] = 0.97;
    for (double mR_out : {0.0056, 0.004, 0.008}) {
        p.u[1] = mR_out;
        const auto y = published(p, 2.0);
        queries.clear();
        const auto xd = rates(p, 2.0, recording_props, nullptr, y);
        EXPECT_EQ(queries.size(), 19u);
        EXPECT_EQ(xd[3], 0.0);
        const double P_out = 2 * p.x[1] - p.u[3], Pf = (p.u[3] - P_out) * p.x[3] + P_out;
        EXPECT_EQ(xd[2], (PropsSI("H", "P", Pf, "Q", 0, "Analytic") - p.x[2]) * r.Kh);

        double pr[12];
        evaluacion_propiedades_condensador_modo2(pr, p.x, p.u, y.data(), PropsSI, nullptr);
        const double hf = pr[0], hg = pr[1], hgp = pr[2], h2 = pr[3], h2p = pr[4], h2pp = pr[5];
        const double r1 = pr[6], r1p = pr[7], r1h = pr[8], r2 = pr[9], r2p = pr[10], r2g = pr[11], V = CondAire.V_R;
        const double h1 = y[9], hout = y[0], Q1 = -y[12], Q2 = -y[13], L1 = y[18], L2 = (1 - L1) - p.x[3];
        const double mi = p.u[0], mo = p.u[1], hin = p.u[2], d1 = hg - h1, f12 = ((hin - h1) * mi + Q1) / d1;
        const double b1 = ((hg - hin) * mi - Q1) / (r1 * V * d1);
        const double b2 = f12 / (r2 * V) - mo / (r2 * V);
        const double b3 = ((hg - h2) * f12 + Q2 - (hout - h2) * mo) / (r2 * V * L2) / (hg - hf);
        const double a12 = (L1 / r1 * r1h - L1 / d1) * hgp / 2 + L1 / r1 * r1p + L1 / r1 / d1;
        const double a22 = r1 * L1 / d1 / r2 * hgp / 2 + L2 / r2 * r2p - L1 / d1 / r2, a23 = L2 / r2 * r2g;
        const double a32 =
            ((hg - h2) * r1 * L1 * hgp / 2 / d1 / (r2 * L2) + h2p - 1 / r2 - (hg - h2) * L1 / d1 / (r2 * L2)) / (hg - hf);
        const double a33 = h2pp / (hg - hf);
        EXPECT_LT(residual({xd[0], a12 * xd[1]}, b1), 1e-12) << "zone 1";
        EXPECT_LT(residual({-xd[0], a22 * xd[1], a23 * xd[4]}, b2), 1e-12) << "zone 2 mass";
        EXPECT_LT(residual({a32 * xd[1], a33 * xd[4]}, b3), 1e-12) << "zone 2 energy";
    }
}

TEST(CondenserModeSelection, LeavesThreeZonesWhenSubcoolingVanishes)
{
    Records r;  // Lmin 0.02
    double x[5] = {0.1, 1.19e6, 210000, 0.02, 0.85}, dx[5] = {0, 0, 0, -1e-3, 0};
    double xs[5] = {0.1, 1.19e6, 210000, 0.015, 0.85}, u[4] = {0.0056, 0.0056, 440000, 1.2e6}, y[18] = {}, flag = 0;
    auto select = [&](double m) { return seleccion_modo_condensador(x, dx, xs, u, y, m, &flag, PropsSI, nullptr); };
    EXPECT_EQ(select(1.0), 1.0) << "L3 equal to Lmin";
    x[3] = 0.015;
    dx[3] = 0.0;
    EXPECT_EQ(select(1.0), 1.0) << "not shrinking";
    EXPECT_EQ(select(1.5), 1.5);
    dx[3] = -1e-3;
    EXPECT_EQ(select(1.5), 2.0);
    EXPECT_EQ(select(1.0), 2.0);
    EXPECT_EQ(xs[3], 0.015);
    EXPECT_EQ(flag, 0.0);
    for (double m : {0.0, 3.0, std::nan("")}) EXPECT_EQ(select(m), 0.0) << m;
}

TEST(CondenserModeSelection, ReturnsToThreeZonesWhenLiquidBuildsUp)
{
    Records r;
    double x[5] = {0.1, 1.19e6, 210000, 0.01, 0.6}, dx[5] = {0, 0, 0, 0, -1e-3};
    double xs[5] = {0.1, 1.19e6, 210000, 0.01, 0.6}, u[4] = {0.0056, 0.0056, 440000, 1.2e6}, y[18] = {}, flag = 0;
    y[11] = 0.8;
    auto select = [&] { return seleccion_modo_condensador(x, dx, xs, u, y, 2.0, &flag, PropsSI, nullptr); };
    // Void-fraction deficit against a zone ending at saturated liquid, as a length.
    const double Qin = titulo_vapor_refrigerante(u[3], u[2], "Analytic", PropsSI, nullptr);
    const double Lsalto = (Thom(x[1], Qin * 0.5, "Analytic", PropsSI, nullptr) - x[4]) * y[11];
    ASSERT_GT(Lsalto, 0.0);
    r.Lmin_gamma = Lsalto;
    EXPECT_EQ(select(), 2.0) << "exactly at the threshold";
    r.Lmin_gamma = std::nextafter(Lsalto, 0.0);
    dx[4] = 0.0;
    EXPECT_EQ(select(), 2.0) << "gamma steady";
    dx[4] = -1e-3;
    xs[3] = 0.05;
    EXPECT_EQ(select(), 1.0);
    EXPECT_EQ(xs[3], 0.05) << "a subcooled length above Lmin is kept";
    EXPECT_EQ(flag, 0.0);
    for (double L3 : {r.Lmin, 0.0, -0.01}) {
        xs[3] = L3;
        flag = 0;
        EXPECT_EQ(select(), 1.0);
        EXPECT_EQ(xs[3], r.Lmin);
        EXPECT_EQ(flag, 1.0);
    }
    xs[3] = x[4] = NAN;
    EXPECT_EQ(select(), 2.0) << "not a number never switches";
    EXPECT_TRUE(std::isnan(xs[3]));
}

TEST(CondenserModes, RealLibraryRatesAreFiniteAndSensible)
{
    CPType real = real_props();
    if (!real) GTEST_SKIP() << "real property library not built yet";
    Records r(TIPO_FLUJO_CRUZADO, "R134a");
    for (const char* t : kTypes) {
        r.type(t);
        for (double mode : {1.0, 2.0}) {
            SCOPED_TRACE(std::string(t) + " mode " + std::to_string(mode));
            Point p;
            p.x[2] = 250000;
            p.x[4] = mode == 1.0 ? 0.85 : 0.92;
            const auto base = rates(p, mode, real);
            for (double v : base) EXPECT_TRUE(std::isfinite(v));
            Point in = p;  // more refrigerant in than out: pressure rises
            in.u[0] *= 1.5;
            EXPECT_GT(rates(in, mode, real)[1], base[1]);
            Point air = p;  // more air takes more heat: pressure falls faster
            air.w[1] *= 1.5;
            EXPECT_LT(rates(air, mode, real)[1], base[1]);
        }
    }
}
