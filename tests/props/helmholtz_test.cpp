// Analytic derivatives of every Helmholtz term family against finite
// differences, for every fluid (this exercises the power, Gaussian and
// critical-region residual terms and all ideal-gas term forms), and the
// superancillary inversion.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fluidprops/fluids.h"
#include "fluidprops/helmholtz.h"

namespace {

using fluidprops::Fluid;

// Central difference of f at x with a relative step.
template <class F>
double central(F f, double x, double rel = 1e-6) {
    const double h = rel * x;
    return (f(x + h) - f(x - h)) / (2.0 * h);
}

void expect_close(double analytic, double numeric, double scale, const std::string& what) {
    EXPECT_NEAR(analytic, numeric, 2e-6 * (std::abs(numeric) + scale)) << what;
}

TEST(Helmholtz, ResidualDerivativesMatchFiniteDifferences) {
    // Points in gas, liquid and near-critical densities; some off the
    // reducing density so that the critical-region terms are non-trivial.
    const double deltas[] = {0.05, 0.4, 0.93, 1.07, 1.8, 2.6};
    const double taus[] = {0.7, 0.97, 1.04, 1.3, 1.8};
    for (const Fluid& f : fluidprops::all_fluids()) {
        const auto& res = f.data().residual;
        for (double d : deltas) {
            for (double t : taus) {
                const auto r = fluidprops::residual_derivatives(res, d, t);
                const std::string where = std::string(f.name()) + " delta=" + std::to_string(d) + " tau=" + std::to_string(t);
                const double scale = std::abs(r.a) + 1e-3;
                auto a_d = [&](double x) { return fluidprops::residual_derivatives(res, x, t).a; };
                auto a_t = [&](double x) { return fluidprops::residual_derivatives(res, d, x).a; };
                auto ad_d = [&](double x) { return fluidprops::residual_derivatives(res, x, t).d; };
                auto at_t = [&](double x) { return fluidprops::residual_derivatives(res, d, x).t; };
                auto ad_t = [&](double x) { return fluidprops::residual_derivatives(res, d, x).d; };
                expect_close(r.d, central(a_d, d), scale, where + " ar_delta");
                expect_close(r.t, central(a_t, t), scale, where + " ar_tau");
                expect_close(r.dd, central(ad_d, d), scale + std::abs(r.d), where + " ar_delta_delta");
                expect_close(r.tt, central(at_t, t), scale + std::abs(r.t), where + " ar_tau_tau");
                expect_close(r.dt, central(ad_t, t), scale + std::abs(r.d), where + " ar_delta_tau");
            }
        }
    }
}

TEST(Helmholtz, IdealGasDerivativesMatchFiniteDifferences) {
    for (const Fluid& f : fluidprops::all_fluids()) {
        const auto& ig = f.data().ideal;
        for (double t : {0.4, 0.9, 1.0, 1.6, 2.2}) {
            const auto r = fluidprops::ideal_derivatives(ig, 0.8, t);
            auto a = [&](double x) { return fluidprops::ideal_derivatives(ig, 0.8, x).a; };
            auto at = [&](double x) { return fluidprops::ideal_derivatives(ig, 0.8, x).t; };
            const std::string where = std::string(f.name()) + " tau=" + std::to_string(t);
            expect_close(r.t, central(a, t), 1.0, where + " alpha0_tau");
            expect_close(r.tt, central(at, t), 1.0, where + " alpha0_tau_tau");
        }
        // The leading term carries ln(delta), nothing else depends on delta.
        const double a1 = fluidprops::ideal_derivatives(ig, 1.0, 1.2).a;
        const double a2 = fluidprops::ideal_derivatives(ig, 2.0, 1.2).a;
        EXPECT_NEAR(a2 - a1, std::log(2.0), 1e-13) << f.name();
    }
}

// The fast isotherm evaluation used by the density solver gives the same
// delta derivatives as the general term-by-term evaluation.
TEST(Helmholtz, IsothermEvaluationMatchesGeneralEvaluation) {
    for (const Fluid& f : fluidprops::all_fluids()) {
        for (double t : {0.8, 1.0, 1.5, 2.1}) {
            const fluidprops::ResidualIsotherm iso(f.data().residual, t);
            for (double d : {1e-4, 0.05, 0.7, 1.0, 1.3, 2.4, 3.3}) {
                const auto r = fluidprops::residual_derivatives(f.data().residual, d, t);
                double dd1, dd2;
                iso.delta_derivatives(d, dd1, dd2);
                const std::string where = std::string(f.name()) + " delta=" + std::to_string(d) + " tau=" + std::to_string(t);
                EXPECT_NEAR(dd1, d * r.d, 1e-12 * (std::abs(d * r.d) + 1.0)) << where;
                EXPECT_NEAR(dd2, d * d * r.dd, 1e-12 * (std::abs(d * d * r.dd) + 1.0)) << where;
            }
        }
    }
}

TEST(Helmholtz, CriticalRegionTermsStayFiniteAtTheReducingPoint) {
    // delta = 1 and tau = 1 are singular points of the critical-region terms'
    // building blocks; the terms themselves must stay finite there.
    for (const char* name : {"Water", "CarbonDioxide"}) {
        const Fluid* f = fluidprops::find_fluid(name);
        ASSERT_NE(f, nullptr);
        const auto r = fluidprops::residual_derivatives(f->data().residual, 1.0, 1.0);
        for (double v : {r.a, r.d, r.t, r.dd, r.tt, r.dt}) EXPECT_TRUE(std::isfinite(v)) << name;
        const auto near = fluidprops::residual_derivatives(f->data().residual, 1.0 + 1e-9, 1.0 + 1e-9);
        EXPECT_NEAR(r.a, near.a, 1e-6) << name;
        EXPECT_NEAR(r.d, near.d, 1e-5) << name;
    }
}

TEST(Superancillary, InversionRoundTripsOverTheWholeCurve) {
    for (const Fluid& f : fluidprops::all_fluids()) {
        if (!f.data().superancillary.present()) continue;
        const double T0 = f.T_min(), T1 = f.T_crit();
        for (int i = 0; i <= 200; ++i) {
            const double T = T0 + (T1 - T0) * (i / 200.0) * (1.0 - 1e-9);
            const double p = f.sa_pressure(T);
            EXPECT_NEAR(f.sa_temperature(p), T, 1e-10 * T) << f.name() << " T=" << T;
        }
        // Pressure rises along the curve and the liquid is denser than the vapour.
        EXPECT_LT(f.sa_pressure(T0 + 1.0), f.sa_pressure(T0 + 2.0)) << f.name();
        EXPECT_GT(f.sa_rho_liquid(0.5 * (T0 + T1)), f.sa_rho_vapor(0.5 * (T0 + T1))) << f.name();
    }
}

}  // namespace
