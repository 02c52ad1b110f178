// Equation-of-state evaluation, density solver and saturation of one fluid.
#include "fluidprops/fluid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "fluidprops/error.h"
#include "fluidprops/numeric.h"

namespace fluidprops {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Chebyshev series of a superancillary piece at T (c0 carries full weight).
double chebyshev(const ChebyshevPiece& pc, double T) {
    const double x = (2.0 * T - (pc.xmax + pc.xmin)) / (pc.xmax - pc.xmin);
    double b1 = 0.0, b2 = 0.0;
    for (int k = 12; k >= 1; --k) {
        const double b0 = pc.c[k] + 2.0 * x * b1 - b2;
        b2 = b1;
        b1 = b0;
    }
    return pc.c[0] + x * b1 - b2;
}

// Value and derivative d/dx of the series at x in [-1, 1].
void chebyshev_with_slope(const ChebyshevPiece& pc, double x, double& f, double& df) {
    double t0 = 1.0, t1 = x;          // T_j
    double u0 = 1.0, u1 = 2.0 * x;    // U_j, with T_j' = j U_{j-1}
    f = pc.c[0] + pc.c[1] * x;
    df = pc.c[1];
    for (int j = 2; j <= 12; ++j) {
        const double t2 = 2.0 * x * t1 - t0;
        f += pc.c[j] * t2;
        df += pc.c[j] * j * u1;
        const double u2 = 2.0 * x * u1 - u0;
        t0 = t1; t1 = t2;
        u0 = u1; u1 = u2;
    }
}

const ChebyshevPiece& piece_for(std::span<const ChebyshevPiece> pieces, double T) {
    // Last piece whose lower end is <= T.
    std::size_t lo = 0, hi = pieces.size();
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        if (pieces[mid].xmin <= T) lo = mid; else hi = mid;
    }
    return pieces[lo];
}

}  // namespace

Fluid::Fluid(const FluidData& data) : data_(data) {
    const auto& sa = data_.superancillary;
    if (sa.present()) {
        T_crit_ = sa.T_crit;
        rho_crit_ = sa.rho_crit;
        p_crit_ = chebyshev(sa.p.back(), sa.p.back().xmax);
        sa_piece_p_.reserve(sa.p.size());
        for (const auto& pc : sa.p) sa_piece_p_.push_back(chebyshev(pc, pc.xmin));
        p_sat_min_ = sa_piece_p_.front();
    } else {
        T_crit_ = data_.critical.T;
        rho_crit_ = data_.critical.rhomolar;
        p_crit_ = data_.pressure_max_sat > 0.0 ? data_.pressure_max_sat : data_.critical.p;
        if (data_.pseudo_pure) {
            // The bubble and dew lines end where their ancillaries end.
            const auto& pl = data_.p_bubble.form != AncillaryForm::kAbsent ? data_.p_bubble : data_.p_sat;
            const auto& pv = data_.p_dew.form != AncillaryForm::kAbsent ? data_.p_dew : data_.p_sat;
            p_crit_ = std::min({p_crit_, ancillary(pl, std::min(pl.T_max, pl.T_r)), ancillary(pv, std::min(pv.T_max, pv.T_r))});
        }
        p_sat_min_ = data_.pseudo_pure ? bubble_pressure(T_min()) : data_.triple_liquid.p;
    }
}

// ---------------------------------------------------------------------------
// Equation of state

IdealDerivatives Fluid::ideal(double T, double rho) const {
    return ideal_derivatives(data_.ideal, rho / data_.rho_red, data_.T_red / T);
}

ResidualDerivatives Fluid::residual(double T, double rho) const {
    return residual_derivatives(data_.residual, rho / data_.rho_red, data_.T_red / T);
}

ThermoPoint Fluid::evaluate(double T, double rho) const {
    const double delta = rho / data_.rho_red;
    const double tau = data_.T_red / T;
    const IdealDerivatives a0 = ideal_derivatives(data_.ideal, delta, tau);
    const ResidualDerivatives ar = residual_derivatives(data_.residual, delta, tau);
    const double R = data_.R;

    ThermoPoint s;
    s.T = T;
    s.rho = rho;
    const double dar_d = delta * ar.d;
    s.p = rho * R * T * (1.0 + dar_d);
    const double tau_at = tau * (a0.t + ar.t);
    s.u = R * T * tau_at;
    s.h = R * T * (1.0 + tau_at + dar_d);
    s.s = R * (tau_at - a0.a - ar.a);
    s.g = R * T * (1.0 + a0.a + ar.a + dar_d);
    const double att = tau * tau * (a0.tt + ar.tt);
    s.cv = -R * att;
    const double num = 1.0 + dar_d - delta * tau * ar.dt;
    const double den = 1.0 + 2.0 * dar_d + delta * delta * ar.dd;
    s.cp = s.cv + R * num * num / den;
    const double w2 = R * T / data_.M * (den - num * num / att);
    s.w = w2 > 0.0 ? std::sqrt(w2) : std::numeric_limits<double>::quiet_NaN();
    s.dpdrho_T = R * T * den;
    s.dpdT_rho = rho * R * num;
    return s;
}

void Fluid::pressure(double T, double rho, double& p, double& dpdrho) const {
    const double delta = rho / data_.rho_red;
    const ResidualDerivatives ar = residual_derivatives(data_.residual, delta, data_.T_red / T);
    const double RT = data_.R * T;
    p = rho * RT * (1.0 + delta * ar.d);
    dpdrho = RT * (1.0 + 2.0 * delta * ar.d + delta * delta * ar.dd);
}

double Fluid::residual_entropy(double T, double rho) const {
    const double tau = data_.T_red / T;
    const ResidualDerivatives ar = residual_derivatives(data_.residual, rho / data_.rho_red, tau);
    return data_.R * (tau * ar.t - ar.a);
}

double Fluid::sat_liquid_density_guess(double T) const {
    if (data_.superancillary.present() && T >= T_min() && T <= T_crit_) return sa_rho_liquid(T);
    if (data_.rho_liquid.form != AncillaryForm::kAbsent) {
        const double r = ancillary(data_.rho_liquid, std::min(T, data_.rho_liquid.T_r));
        if (r > 0.0 && std::isfinite(r)) return r;
    }
    return 3.0 * data_.rho_red;
}

double Fluid::sat_vapor_density_guess(double T) const {
    if (data_.superancillary.present() && T >= T_min() && T <= T_crit_) return sa_rho_vapor(T);
    if (data_.rho_vapor.form != AncillaryForm::kAbsent) {
        const double r = ancillary(data_.rho_vapor, std::min(T, data_.rho_vapor.T_r));
        if (r > 0.0 && std::isfinite(r)) return r;
    }
    return 0.0;
}

// Newton on p(T, rho) = p, safeguarded by a bracket [lo, hi] that every
// evaluation narrows. States with (dp/drho)_T <= 0 lie in the spinodal zone:
// for a vapour the root is below them, for a liquid above. For a pure fluid
// below the critical temperature, the saturation densities bound the vapour
// root from above and the liquid root from below.
double Fluid::density(double T, double p, Phase phase, double guess) const {
    if (!(T > 0.0) || !(p > 0.0)) throw PropertyError("density: temperature and pressure must be positive");
    const bool have_sa = data_.superancillary.present() && T >= T_min() && T <= T_crit_;
    const bool liquid_like = phase == Phase::kLiquid || (phase == Phase::kSupercritical && T < T_crit_);
    double lo = 0.0, hi = kInf;
    double rho;
    if (phase == Phase::kGas) {
        if (have_sa) hi = sa_rho_vapor(T);
        rho = guess > 0.0 ? guess : p / (data_.R * T);
        if (!(rho < hi)) rho = 0.5 * hi;
    } else if (liquid_like) {
        if (have_sa) lo = sa_rho_liquid(T);
        rho = guess > 0.0 ? guess : sat_liquid_density_guess(T);
        if (!(rho > lo)) rho = lo * (1.0 + 1e-12);
    } else {
        rho = guess > 0.0 ? guess : p / (data_.R * T);
    }

    const ResidualIsotherm isotherm(data_.residual, data_.T_red / T);
    const double RT = data_.R * T;
    double f = 0.0;
    for (int it = 0; it < 200; ++it) {
        double d_ar_d, d2_ar_dd;
        isotherm.delta_derivatives(rho / data_.rho_red, d_ar_d, d2_ar_dd);
        const double pv = rho * RT * (1.0 + d_ar_d);
        const double dp = RT * (1.0 + 2.0 * d_ar_d + d2_ar_dd);
        f = pv - p;
        if (!std::isfinite(f)) {
            hi = std::min(hi, rho);
        } else {
            if (std::abs(f) <= 4.0 * std::numeric_limits<double>::epsilon() * p && dp > 0.0) return rho;
            const bool unstable = !(dp > 0.0);
            if (unstable) {
                if (phase == Phase::kGas) hi = std::min(hi, rho); else lo = std::max(lo, rho);
            } else if (f < 0.0) {
                lo = std::max(lo, rho);
            } else {
                hi = std::min(hi, rho);
            }
            if (!unstable) {
                double next = rho - f / dp;
                if (std::abs(next - rho) <= 1e-14 * rho && std::abs(f) <= 1e-8 * (p + rho * data_.R * T)) return next;
                // A liquid isotherm is steep: a long step down would leave the
                // liquid branch, so steps are limited to 10 % of the density.
                if (liquid_like && next < 0.9 * rho) next = std::max(0.9 * rho, 0.5 * (lo + rho));
                // Near the critical density (dp/drho)_T is almost zero and a
                // Newton step from below can land many orders of magnitude
                // too high, where the equation's polynomial terms are so
                // steep that the way back down takes hundreds of steps.
                // Without an upper bracket yet, a step may at most
                // quadruple the density; the first overshoot then gives one.
                if (!std::isfinite(hi)) next = std::min(next, 4.0 * rho);
                if (next > lo && next < hi) {
                    rho = next;
                    continue;
                }
            }
        }
        if (std::isfinite(hi)) {
            if (hi - lo <= 1e-15 * hi) {
                // The bracket has closed. It holds a root only if the pressure
                // matches; otherwise it closed on a spinodal point and the
                // phase has no state at (T, p).
                if (std::isfinite(f) && std::abs(f) <= 1e-8 * (p + rho * data_.R * T)) return 0.5 * (lo + hi);
                break;
            }
            rho = 0.5 * (lo + hi);
        } else {
            rho = 2.0 * std::max(rho, lo);
        }
    }
    const char* what = phase == Phase::kGas ? "vapour" : (phase == Phase::kLiquid ? "liquid" : "fluid");
    throw PropertyError(std::string("no ") + what + " state of " + data_.name + " found at T = " + format_number(T) +
                        " K, p = " + format_number(p) + " Pa");
}

// ---------------------------------------------------------------------------
// Superancillary

double Fluid::sa_pressure(double T) const { return chebyshev(piece_for(data_.superancillary.p, T), T); }
double Fluid::sa_rho_liquid(double T) const { return chebyshev(piece_for(data_.superancillary.rho_liquid, T), T); }
double Fluid::sa_rho_vapor(double T) const { return chebyshev(piece_for(data_.superancillary.rho_vapor, T), T); }

// p_sat is increasing in T: the piece holding p, located by the pressures
// at the piece ends, and those pressures (the last piece ends at the
// critical point).
std::size_t Fluid::sa_piece_index(double p) const {
    const auto it = std::upper_bound(sa_piece_p_.begin(), sa_piece_p_.end(), p);
    return it == sa_piece_p_.begin() ? 0 : static_cast<std::size_t>(it - sa_piece_p_.begin()) - 1;
}

std::pair<double, double> Fluid::sa_piece_pressures(std::size_t k) const {
    return {sa_piece_p_[k], k + 1 < sa_piece_p_.size() ? sa_piece_p_[k + 1] : p_crit_};
}

// Newton in the piece's variable x from a start interpolated in ln p between
// the piece's ends (ln p is nearly linear in 1/T, hence in x over a piece),
// ending when the correction falls below 1e-15, a few units in the last
// place of x. The root of sa_temperature_reference in fewer steps: that
// asks for a correction below 1e-16, finer than the spacing of doubles near
// |x| = 1, and there runs on until the bracket closes.
double Fluid::sa_temperature(double p) const {
    const std::size_t k = sa_piece_index(p);
    const ChebyshevPiece& pc = data_.superancillary.p[k];
    double lo = -1.0, hi = 1.0;
    double x = 0.0;
    {
        const auto [plo, phi] = sa_piece_pressures(k);
        if (phi > plo && plo > 0.0 && p > 0.0)
            x = std::clamp(-1.0 + 2.0 * std::log(p / plo) / std::log(phi / plo), -1.0, 1.0);
        if (!std::isfinite(x)) x = 0.0;
    }
    for (int i = 0; i < 60; ++i) {
        double f, df;
        chebyshev_with_slope(pc, x, f, df);
        f -= p;
        if (f == 0.0) break;
        if (f < 0.0) lo = x; else hi = x;
        double next = df > 0.0 ? x - f / df : 0.5 * (lo + hi);
        if (!(next >= lo && next <= hi)) next = 0.5 * (lo + hi);
        const bool settled = std::abs(next - x) <= 1e-15;
        x = next;
        if (settled || hi - lo <= 1e-16) break;
    }
    return 0.5 * ((pc.xmax - pc.xmin) * x + pc.xmax + pc.xmin);
}

double Fluid::sa_temperature_reference(double p) const {
    const std::size_t k = sa_piece_index(p);
    const ChebyshevPiece& pc = data_.superancillary.p[k];
    // Safeguarded Newton in the piece's variable x in [-1, 1].
    double lo = -1.0, hi = 1.0;
    double x = 0.0;
    {
        const auto [plo, phi] = sa_piece_pressures(k);
        if (phi > plo) x = std::clamp(-1.0 + 2.0 * (p - plo) / (phi - plo), -1.0, 1.0);
    }
    for (int i = 0; i < 60; ++i) {
        double f, df;
        chebyshev_with_slope(pc, x, f, df);
        f -= p;
        if (f == 0.0) break;
        if (f < 0.0) lo = x; else hi = x;
        double next = df > 0.0 ? x - f / df : 0.5 * (lo + hi);
        if (!(next >= lo && next <= hi)) next = 0.5 * (lo + hi);
        if (std::abs(next - x) <= 1e-16) { x = next; break; }
        x = next;
        if (hi - lo <= 1e-16) break;
    }
    return 0.5 * ((pc.xmax - pc.xmin) * x + pc.xmax + pc.xmin);
}

// Both saturated states at T from the superancillary densities. Close to the
// critical point the two expansions meet within their fitting error and may
// even cross, which would put the bubble-point enthalpy above the dew-point
// one; from there on (and at T_crit itself) both ends are the state at the
// mean density, so that bubble and dew meet in one point.
void Fluid::sa_saturated_states(double T, SaturationPair& sat) const {
    double rl = sa_rho_liquid(T), rv = sa_rho_vapor(T);
    if (!(rl > rv) || T >= T_crit_) rl = rv = 0.5 * (rl + rv);
    sat.liquid = evaluate(T, rl);
    sat.vapor = rl == rv ? sat.liquid : evaluate(T, rv);
}

// ---------------------------------------------------------------------------
// Ancillaries

double Fluid::ancillary(const AncillaryCurve& c, double T) {
    const double theta = 1.0 - T / c.T_r;
    if (theta < 0.0) return std::numeric_limits<double>::quiet_NaN();
    double S = 0.0;
    for (std::size_t i = 0; i < c.n.size(); ++i) S += c.n[i] * std::pow(theta, c.t[i]);
    if (c.form == AncillaryForm::kLinear) return c.reducing_value * (1.0 + S);
    const double F = c.using_tau_r ? c.T_r / T : 1.0;
    return c.reducing_value * std::exp(F * S);
}

double Fluid::rational(const RationalCurve& c, double T) {
    double num = 0.0, den = 0.0;
    for (std::size_t i = c.A.size(); i-- > 0;) num = num * T + c.A[i];
    for (std::size_t i = c.B.size(); i-- > 0;) den = den * T + c.B[i];
    return num / den;
}

// Natural logarithm of an exponential-form ancillary and its T derivative.
static void log_ancillary(const AncillaryCurve& c, double T, double& value, double& slope) {
    const double theta = 1.0 - T / c.T_r;
    double S = 0.0, dS = 0.0;   // dS = dS/dtheta
    for (std::size_t i = 0; i < c.n.size(); ++i) {
        const double pw = std::pow(theta, c.t[i]);
        S += c.n[i] * pw;
        dS += theta > 0.0 ? c.n[i] * c.t[i] * pw / theta : 0.0;
    }
    if (c.using_tau_r) {
        value = std::log(c.reducing_value) + c.T_r / T * S;
        slope = -c.T_r / (T * T) * S - dS / T;
    } else {
        value = std::log(c.reducing_value) + S;
        slope = -dS / c.T_r;
    }
}

double Fluid::ancillary_inverse(const AncillaryCurve& c, double y) const {
    double lo = c.T_min - 0.01;
    double hi = std::min(c.T_max, c.T_r);
    const double ylo = ancillary(c, lo), yhi = ancillary(c, hi);
    if (!(y >= std::min(ylo, yhi) && y <= std::max(ylo, yhi)))
        throw PropertyError("value " + format_number(y) + " is outside the range of the saturation curve of " +
                            std::string(data_.name) + " (" + format_number(std::min(ylo, yhi)) + " to " +
                            format_number(std::max(ylo, yhi)) + ")");
    if (c.form != AncillaryForm::kExponential || !(ylo < yhi) || !(ylo > 0.0))
        return solve_bracketed([&](double T) { return ancillary(c, T) - y; }, lo, hi, 1e-13);
    // Safeguarded Newton on ln y, which is nearly linear in 1/T; start from
    // that straight line between the ends.
    const double ly = std::log(y), l0 = std::log(ylo), l1 = std::log(yhi);
    double T = 1.0 / (1.0 / lo + (ly - l0) / (l1 - l0) * (1.0 / hi - 1.0 / lo));
    for (int it = 0; it < 60; ++it) {
        double v, dv;
        log_ancillary(c, T, v, dv);
        const double r = v - ly;
        if (r == 0.0) return T;
        if (r < 0.0) lo = T; else hi = T;
        double next = dv > 0.0 ? T - r / dv : 0.5 * (lo + hi);
        if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
        if (std::abs(next - T) <= 1e-14 * T) return next;
        T = next;
        if (hi - lo <= 1e-14 * T) return T;
    }
    return T;
}

double Fluid::bubble_pressure(double T) const {
    return ancillary(data_.p_bubble.form != AncillaryForm::kAbsent ? data_.p_bubble : data_.p_sat, T);
}
double Fluid::dew_pressure(double T) const {
    return ancillary(data_.p_dew.form != AncillaryForm::kAbsent ? data_.p_dew : data_.p_sat, T);
}

// ---------------------------------------------------------------------------
// Saturation

bool Fluid::solve_equilibrium(double T, double& rho_liquid, double& rho_vapor) const {
    // Equal pressure and Gibbs energy at fixed T, in reduced form (Akasaka 2008):
    // J = delta (1 + delta ar_d) and K = delta ar_d + ar + ln delta equal in both phases.
    const double tau = data_.T_red / T;
    double dl = rho_liquid / data_.rho_red, dv = rho_vapor / data_.rho_red;
    for (int it = 0; it < 100; ++it) {
        const ResidualDerivatives L = residual_derivatives(data_.residual, dl, tau);
        const ResidualDerivatives V = residual_derivatives(data_.residual, dv, tau);
        const double JL = dl * (1.0 + dl * L.d), JV = dv * (1.0 + dv * V.d);
        const double KL = dl * L.d + L.a + std::log(dl), KV = dv * V.d + V.a + std::log(dv);
        const double JdL = 1.0 + 2.0 * dl * L.d + dl * dl * L.dd, JdV = 1.0 + 2.0 * dv * V.d + dv * dv * V.dd;
        const double KdL = 2.0 * L.d + dl * L.dd + 1.0 / dl, KdV = 2.0 * V.d + dv * V.dd + 1.0 / dv;
        const double r1 = JV - JL, r2 = KV - KL;
        const double det = JdV * KdL - JdL * KdV;
        if (!(std::abs(det) > 0.0) || !std::isfinite(det)) return false;
        const double step_l = (r2 * JdV - r1 * KdV) / det;
        const double step_v = (r2 * JdL - r1 * KdL) / det;
        dl += step_l;
        dv += step_v;
        if (!(dl > 0.0) || !(dv > 0.0) || !std::isfinite(dl) || !std::isfinite(dv)) return false;
        if (std::abs(step_l) <= 1e-14 * dl && std::abs(step_v) <= 1e-14 * dv) {
            rho_liquid = dl * data_.rho_red;
            rho_vapor = dv * data_.rho_red;
            return std::abs(dl - dv) > 1e-6 * dl;
        }
    }
    return false;
}

SaturationPair Fluid::saturation_at_p_reference(double p) const {
    if (!data_.superancillary.present() || !(p >= p_sat_min_ && p < p_crit_)) return saturation_at_p(p);
    SaturationPair sat;
    sat.p = p;
    sa_saturated_states(sa_temperature_reference(p), sat);
    return sat;
}

SaturationPair Fluid::saturation_at_p(double p) const {
    if (!std::isfinite(p) || !(p > 0.0))
        throw PropertyError("saturation pressure must be positive and finite (got " + format_number(p) + " Pa)");
    if (p < p_sat_min_)
        throw PropertyError("pressure " + format_number(p) + " Pa is below the triple-point pressure " + format_number(p_sat_min_) +
                            " Pa of " + data_.name + ": no liquid, hence no saturation state, exists there");
    if (p > p_crit_)
        throw PropertyError("pressure " + format_number(p) + " Pa is above the critical pressure " + format_number(p_crit_) + " Pa of " +
                            data_.name + ": no saturation state exists there");
    SaturationPair sat;
    sat.p = p;
    if (data_.superancillary.present()) {
        // The top of the curve is the critical point itself; inverting the
        // expansion there could stop a rounding error short of it.
        sa_saturated_states(p >= p_crit_ ? T_crit_ : sa_temperature(p), sat);
    } else if (data_.pseudo_pure) {
        const double Tl = ancillary_inverse(data_.p_bubble.form != AncillaryForm::kAbsent ? data_.p_bubble : data_.p_sat, p);
        const double Tv = ancillary_inverse(data_.p_dew.form != AncillaryForm::kAbsent ? data_.p_dew : data_.p_sat, p);
        double rl, rv;
        try {
            rl = density(Tl, p, Phase::kLiquid, sat_liquid_density_guess(Tl));
            rv = density(Tv, p, Phase::kGas, sat_vapor_density_guess(Tv));
        } catch (const PropertyError&) {
            // Close to the critical point the equation has no liquid (or
            // vapour) state on the ancillary bubble (dew) line.
            throw PropertyError("pressure " + format_number(p) + " Pa is too close to the critical point of " +
                                std::string(data_.name) + ": the equation has no saturated state on its bubble/dew line there");
        }
        sat.liquid = evaluate(Tl, rl);
        // At the top of the saturation curve the bubble and dew lines end in
        // one state; the liquid and vapour iterations could stop at densities
        // a rounding error apart on the flat critical isotherm.
        sat.vapor = Tl == Tv && p >= p_crit_ ? sat.liquid : evaluate(Tv, rv);
    } else {
        // Pure fluid without superancillary: exact equilibrium, outer solve on T.
        double T = ancillary_inverse(data_.p_sat, p);
        double rl = sat_liquid_density_guess(T), rv = sat_vapor_density_guess(T);
        auto psat = [&](double Tt) {
            if (!solve_equilibrium(Tt, rl, rv))
                throw PropertyError(std::string("saturation solver failed for ") + data_.name + " at T = " + format_number(Tt) + " K");
            double pv, dp;
            pressure(Tt, rl, pv, dp);
            return pv;
        };
        T = solve_bracketed([&](double Tt) { return std::log(psat(Tt) / p); },
                            std::max(T_min(), T - 2.0), std::min(T_crit_ - 1e-6, T + 2.0), 1e-14);
        psat(T);
        sat.liquid = evaluate(T, rl);
        sat.vapor = evaluate(T, rv);
    }
    return sat;
}

SaturationPair Fluid::saturation_at_T(double T) const {
    if (!std::isfinite(T) || T < T_min())
        throw PropertyError("temperature " + format_number(T) + " K is below the triple-point temperature " + format_number(T_min()) +
                            " K of " + data_.name);
    if (T > T_crit_)
        throw PropertyError("temperature " + format_number(T) + " K is above the critical temperature " + format_number(T_crit_) +
                            " K of " + data_.name + ": no saturation state exists there");
    SaturationPair sat;
    if (data_.superancillary.present()) {
        sat.p = sa_pressure(T);
        sa_saturated_states(T, sat);
        sat.liquid.p = sat.vapor.p = sat.p;
    } else if (data_.pseudo_pure) {
        const double pl = bubble_pressure(T), pv = dew_pressure(T);
        if (!std::isfinite(pl) || !std::isfinite(pv))
            throw PropertyError("temperature " + format_number(T) + " K is outside the saturation range of " + data_.name);
        sat.p = pl;
        sat.liquid = evaluate(T, density(T, pl, Phase::kLiquid, sat_liquid_density_guess(T)));
        sat.vapor = evaluate(T, density(T, pv, Phase::kGas, sat_vapor_density_guess(T)));
        sat.liquid.p = pl;
        sat.vapor.p = pv;
    } else {
        double rl = sat_liquid_density_guess(T), rv = sat_vapor_density_guess(T);
        if (!solve_equilibrium(T, rl, rv))
            throw PropertyError(std::string("saturation solver failed for ") + data_.name + " at T = " + format_number(T) + " K");
        sat.liquid = evaluate(T, rl);
        sat.vapor = evaluate(T, rv);
        sat.p = sat.liquid.p;
    }
    return sat;
}

}  // namespace fluidprops
