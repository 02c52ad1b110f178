// Term-by-term evaluation of the reduced Helmholtz energy.
//
// Residual terms of the exponential family are written as
//     term = n delta^d tau^t exp(f(delta) + g(tau))
// and evaluated as one exponential, n exp(d ln delta + t ln tau + f + g). With
// D1 = d + delta f' and T1 = t + tau g' the scaled derivatives are
//     delta   term_d  = term D1
//     delta^2 term_dd = term (D1 (D1 - 1) + delta f' + delta^2 f'')
//     tau     term_t  = term T1
//     tau^2   term_tt = term (T1 (T1 - 1) + tau g' + tau^2 g'')
//     delta tau term_dt = term D1 T1
// which avoids dividing each term by delta or tau; the sums are unscaled once
// at the end.
#include "fluidprops/helmholtz.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace fluidprops {

IdealDerivatives ideal_derivatives(const IdealGasData& data, double delta, double tau) {
    IdealDerivatives r;
    r.a = std::log(delta) + data.lead_a1 + data.lead_a2 * tau + data.offset_a1 + data.offset_a2 * tau;
    r.t = data.lead_a2 + data.offset_a2;
    r.tt = 0.0;

    if (data.log_tau_a != 0.0) {
        r.a += data.log_tau_a * std::log(tau);
        r.t += data.log_tau_a / tau;
        r.tt -= data.log_tau_a / (tau * tau);
    }
    for (const auto& term : data.power) {
        if (term.t == 0.0) {
            r.a += term.n;
            continue;
        }
        const double tp = std::pow(tau, term.t);
        r.a += term.n * tp;
        r.t += term.n * term.t * tp / tau;
        r.tt += term.n * term.t * (term.t - 1.0) * tp / (tau * tau);
    }
    for (const auto& term : data.planck_einstein) {
        // n ln(1 - exp(-t tau)); expm1 keeps precision when t tau is small.
        const double x = term.t * tau;
        const double em1 = std::expm1(x);             // exp(t tau) - 1
        r.a += term.n * std::log1p(-std::exp(-x));
        r.t += term.n * term.t / em1;
        r.tt -= term.n * term.t * term.t * (em1 + 1.0) / (em1 * em1);
    }
    for (const auto& term : data.planck_einstein_generalized) {
        // n ln(c + d exp(t tau)), written as x + ln(d + c exp(-x)) for large x.
        const double x = term.t * tau;
        const double e_neg = std::exp(-x);
        const double denom = term.d + term.c * e_neg;  // = P exp(-x)
        r.a += term.n * (x + std::log(denom));
        // t d E / P = t d / (d + c e^-x);  t^2 c d E / P^2 = t^2 c d e^-x / (d + c e^-x)^2
        r.t += term.n * term.t * term.d / denom;
        r.tt += term.n * term.t * term.t * term.c * term.d * e_neg / (denom * denom);
    }
    return r;
}

namespace {

// Scaled sums: delta*ar_d, delta^2*ar_dd, tau*ar_t, tau^2*ar_tt, delta*tau*ar_dt.
struct Scaled {
    double a = 0.0, d = 0.0, dd = 0.0, t = 0.0, tt = 0.0, dt = 0.0;
};

inline double int_power(double x, double l, const double* table) {
    const int li = static_cast<int>(l);
    if (static_cast<double>(li) == l && li >= 0 && li <= 8) return table[li];
    return std::pow(x, l);
}

void add_power_terms(const ResidualData& data, double delta, double ln_delta, double ln_tau, Scaled& s) {
    double dpow[9];
    dpow[0] = 1.0;
    for (int i = 1; i <= 8; ++i) dpow[i] = dpow[i - 1] * delta;

    for (const auto& term : data.power) {
        double arg = term.d * ln_delta + term.t * ln_tau;
        double D1 = term.d;
        double extra_dd = 0.0;  // delta f' + delta^2 f''
        if (term.l > 0.0) {
            const double dl = int_power(delta, term.l, dpow);
            arg -= dl;
            D1 -= term.l * dl;
            extra_dd = -term.l * term.l * dl;
        }
        const double v = term.n * std::exp(arg);
        s.a += v;
        s.d += v * D1;
        s.dd += v * (D1 * (D1 - 1.0) + extra_dd);
        s.t += v * term.t;
        s.tt += v * term.t * (term.t - 1.0);
        s.dt += v * D1 * term.t;
    }
}

void add_gaussian_terms(const ResidualData& data, double delta, double tau, double ln_delta, double ln_tau, Scaled& s) {
    for (const auto& term : data.gaussian) {
        const double dd = delta - term.epsilon;
        const double tt = tau - term.gamma;
        const double v = term.n * std::exp(term.d * ln_delta + term.t * ln_tau - term.eta * dd * dd - term.beta * tt * tt);
        const double dfp = -2.0 * term.eta * delta * dd;     // delta f'
        const double d2f = -2.0 * term.eta * delta * delta;  // delta^2 f''
        const double tgp = -2.0 * term.beta * tau * tt;      // tau g'
        const double t2g = -2.0 * term.beta * tau * tau;     // tau^2 g''
        const double D1 = term.d + dfp;
        const double T1 = term.t + tgp;
        s.a += v;
        s.d += v * D1;
        s.dd += v * (D1 * (D1 - 1.0) + dfp + d2f);
        s.t += v * T1;
        s.tt += v * (T1 * (T1 - 1.0) + tgp + t2g);
        s.dt += v * D1 * T1;
    }
}

// Critical-region terms of the IAPWS-95 / Span-Wagner kind, in unscaled form.
void add_non_analytic_terms(const ResidualData& data, double delta_in, double tau_in, ResidualDerivatives& r) {
    constexpr double kEps = 10.0 * std::numeric_limits<double>::epsilon();
    // The negative powers of (delta-1)^2 are singular at delta = 1; step off the point.
    const double delta = std::abs(delta_in - 1.0) < kEps ? 1.0 + kEps : delta_in;
    const double tau = std::abs(tau_in - 1.0) < kEps ? 1.0 + kEps : tau_in;
    const double dm1 = delta - 1.0;
    const double tm1 = tau - 1.0;
    const double q = dm1 * dm1;
    for (const auto& term : data.non_analytic) {
        const double a = term.a, b = term.b, beta = term.beta, A = term.A, B = term.B, C = term.C, D = term.D;
        const double ex = 1.0 / (2.0 * beta);
        const double q_ex1 = std::pow(q, ex - 1.0);          // q^(1/(2beta) - 1)
        const double theta = (1.0 - tau) + A * q_ex1 * q;   // q^(1/(2beta))
        const double qa = std::pow(q, a);
        const double Delta = theta * theta + B * qa;
        const double PSI = std::exp(-C * q - D * tm1 * tm1);
        const double PSI_d = -2.0 * C * dm1 * PSI;
        const double PSI_dd = (2.0 * C * q - 1.0) * 2.0 * C * PSI;
        const double PSI_t = -2.0 * D * tm1 * PSI;
        const double PSI_tt = (2.0 * D * tm1 * tm1 - 1.0) * 2.0 * D * PSI;
        const double PSI_dt = 4.0 * C * D * dm1 * tm1 * PSI;

        // q^(a-1), q^(a-2) and Delta^(b-1), Delta^(b-2) from q^a and Delta^b.
        const double Delta_d = dm1 * (A * theta * (2.0 / beta) * q_ex1 + 2.0 * B * a * qa / q);
        const double Delta_dd = Delta_d / dm1 +
                                q * (4.0 * B * a * (a - 1.0) * qa / (q * q) +
                                     2.0 * A * A * (1.0 / beta) * (1.0 / beta) * q_ex1 * q_ex1 +
                                     A * theta * (4.0 / beta) * (ex - 1.0) * q_ex1 / q);

        const double Db = std::pow(Delta, b);
        const double Db1 = Db / Delta;
        const double Db2 = Db1 / Delta;
        const double db_d = b * Db1 * Delta_d;
        const double db_dd = b * (Db1 * Delta_dd + (b - 1.0) * Db2 * Delta_d * Delta_d);
        const double db_t = -2.0 * theta * b * Db1;
        const double db_tt = 2.0 * b * Db1 + 4.0 * theta * theta * b * (b - 1.0) * Db2;
        const double db_dt = -A * b * (2.0 / beta) * Db1 * dm1 * q_ex1 - 2.0 * theta * b * (b - 1.0) * Db2 * Delta_d;

        const double n = term.n;
        r.a += n * Db * delta * PSI;
        r.d += n * (Db * (PSI + delta * PSI_d) + db_d * delta * PSI);
        r.dd += n * (Db * (2.0 * PSI_d + delta * PSI_dd) + 2.0 * db_d * (PSI + delta * PSI_d) + db_dd * delta * PSI);
        r.t += n * delta * (db_t * PSI + Db * PSI_t);
        r.tt += n * delta * (db_tt * PSI + 2.0 * db_t * PSI_t + Db * PSI_tt);
        r.dt += n * (Db * (PSI_t + delta * PSI_dt) + delta * db_d * PSI_t + db_t * (PSI + delta * PSI_d) +
                     db_dt * delta * PSI);
    }
}

}  // namespace

ResidualIsotherm::ResidualIsotherm(const ResidualData& data, double tau) : data_(data), tau_(tau) {
    fast_ = data.power.size() <= kMaxTerms && data.gaussian.size() <= kMaxTerms;
    if (!fast_) return;
    const double ln_tau = std::log(tau);
    for (std::size_t i = 0; i < data.power.size(); ++i) {
        const auto& term = data.power[i];
        const int d = static_cast<int>(term.d), l = static_cast<int>(term.l);
        if (term.d != d || term.l != l || d < 0 || d > 16 || l < 0 || l > 8) {
            fast_ = false;
            return;
        }
        max_d_ = std::max(max_d_, d);
        max_l_ = std::max(max_l_, l);
        power_coef_[i] = term.n * std::exp(term.t * ln_tau);
    }
    for (std::size_t i = 0; i < data.gaussian.size(); ++i) {
        const auto& term = data.gaussian[i];
        const double tt = tau - term.gamma;
        gauss_coef_[i] = term.n * std::exp(term.t * ln_tau - term.beta * tt * tt);
    }
}

void ResidualIsotherm::delta_derivatives(double delta, double& d_ar_d, double& d2_ar_dd) const {
    if (!fast_) {
        const ResidualDerivatives r = residual_derivatives(data_, delta, tau_);
        d_ar_d = delta * r.d;
        d2_ar_dd = delta * delta * r.dd;
        return;
    }
    double dpow[17];
    dpow[0] = 1.0;
    const int top = std::max(max_d_, max_l_);
    for (int i = 1; i <= top; ++i) dpow[i] = dpow[i - 1] * delta;
    double e[9];
    for (int l = 1; l <= max_l_; ++l) e[l] = std::exp(-dpow[l]);
    double sd = 0.0, sdd = 0.0;
    for (std::size_t i = 0; i < data_.power.size(); ++i) {
        const auto& term = data_.power[i];
        const int d = static_cast<int>(term.d), l = static_cast<int>(term.l);
        double v = power_coef_[i] * dpow[d];
        double D1 = term.d, extra = 0.0;
        if (l > 0) {
            v *= e[l];
            D1 -= term.l * dpow[l];
            extra = -term.l * term.l * dpow[l];
        }
        sd += v * D1;
        sdd += v * (D1 * (D1 - 1.0) + extra);
    }
    const double ln_delta = data_.gaussian.empty() ? 0.0 : std::log(delta);
    for (std::size_t i = 0; i < data_.gaussian.size(); ++i) {
        const auto& term = data_.gaussian[i];
        const double dd = delta - term.epsilon;
        const double v = gauss_coef_[i] * std::exp(term.d * ln_delta - term.eta * dd * dd);
        const double dfp = -2.0 * term.eta * delta * dd;
        const double D1 = term.d + dfp;
        sd += v * D1;
        sdd += v * (D1 * (D1 - 1.0) + dfp - 2.0 * term.eta * delta * delta);
    }
    if (!data_.non_analytic.empty()) {
        ResidualData only_na;
        only_na.non_analytic = data_.non_analytic;
        const ResidualDerivatives r = residual_derivatives(only_na, delta, tau_);
        sd += delta * r.d;
        sdd += delta * delta * r.dd;
    }
    d_ar_d = sd;
    d2_ar_dd = sdd;
}

ResidualDerivatives residual_derivatives(const ResidualData& data, double delta, double tau) {
    const double ln_delta = std::log(delta);
    const double ln_tau = std::log(tau);
    Scaled s;
    add_power_terms(data, delta, ln_delta, ln_tau, s);
    add_gaussian_terms(data, delta, tau, ln_delta, ln_tau, s);

    ResidualDerivatives r;
    r.a = s.a;
    r.d = s.d / delta;
    r.dd = s.dd / (delta * delta);
    r.t = s.t / tau;
    r.tt = s.tt / (tau * tau);
    r.dt = s.dt / (delta * tau);
    if (!data.non_analytic.empty()) add_non_analytic_terms(data, delta, tau, r);
    return r;
}

}  // namespace fluidprops
