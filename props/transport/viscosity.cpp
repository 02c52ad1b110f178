// Viscosity correlations of the pure fluids and the predefined blends.
//
// Every fluid has exactly one correlation; its coefficients are in the generated
// viscosity_data.cpp, the fixed published constants of the CO2 and water
// formulations are below.
#include "viscosity_models.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace fluidprops::transport {
namespace {

// x^t for exponents that are mostly small integers: exact repeated products for integers
// (also for negative x), pow otherwise.
inline double ipow(double x, double t) {
    if (t == 0.0) return 1.0;
    if (t == std::trunc(t) && std::fabs(t) <= 16.0) {
        int n = static_cast<int>(std::fabs(t));
        double r = 1.0, b = x;
        while (n) {
            if (n & 1) r *= b;
            b *= b;
            n >>= 1;
        }
        return t < 0.0 ? 1.0 / r : r;
    }
    return std::pow(x, t);
}

}  // namespace

const ViscosityModel* find_viscosity_model(std::string_view canonical) {
    for (const ViscosityModel& m : viscosity_models())
        if (m.name == canonical) return &m;
    return nullptr;
}

double lj_sigma_m(const ViscosityModel& model) {
    if (model.has_lennard_jones) return model.sigma_eta;
    return 0.809 / std::cbrt(model.rhomolar_reducing / 1000.0) * 1e-9;
}

double lj_epsilon_over_k(const ViscosityModel& model) {
    if (model.has_lennard_jones) return model.epsilon_over_k;
    return model.T_reducing / 1.2593;
}

double neufeld_collision_integral(double Tstar) {
    return 1.16145 * std::pow(Tstar, -0.14874) + 0.52487 * std::exp(-0.77320 * Tstar) +
           2.16178 * std::exp(-2.43787 * Tstar);
}

double kinetic_theory_dilute(double T, double molar_mass, double sigma_m, double epsilon_over_k) {
    const double sigma_nm = sigma_m * 1e9;
    const double omega = neufeld_collision_integral(T / epsilon_over_k);
    return 26.692e-9 * std::sqrt(1000.0 * molar_mass * T) / (sigma_nm * sigma_nm * omega);
}

double co2_dilute_viscosity(double T) {
    // Laesecke & Muzny (2017), eq. (4): eta0 = 1.0055 sqrt(T) / D(T) in mPa s.
    constexpr double a0 = 1749.354893188350, a1 = -369.069300007128, a2 = 5423856.34887691,
                     a3 = -2.21283852168356, a4 = -269503.247933569, a5 = 73145.021531826,
                     a6 = 5.34368649509278;
    const double t13 = std::cbrt(T);
    const double D = a0 + a1 * std::pow(T, 1.0 / 6.0) + a2 * std::exp(a3 * t13) + (a4 + a5 * t13) / std::exp(t13) +
                     a6 * std::sqrt(T);
    return 1.0055e-3 * std::sqrt(T) / D;
}

double co2_residual_viscosity(const ViscosityModel& model, double T, double rho_mass) {
    // Laesecke & Muzny (2017), eqs. (8)-(9): scaled by the triple-point liquid state.
    constexpr double rho_tL = 1178.53;  // kg/m3, saturated liquid at the triple point
    constexpr double c1 = 0.360603235428487, c2 = 0.121550806591497, gamma = 8.06282737481277;
    const double T_t = model.T_triple;
    const double Tr = T / T_t;
    const double rr = rho_mass / rho_tL;
    const double eta_tL = std::pow(rho_tL, 2.0 / 3.0) * std::sqrt(model.gas_constant * T_t) /
                          (std::pow(model.molar_mass, 1.0 / 6.0) * std::cbrt(kAvogadro));
    return eta_tL * (c1 * Tr * rr * rr * rr + (rr * rr + std::pow(rr, gamma)) / (Tr - c2));
}

double dilute_viscosity(const ViscosityModel& model, double T) {
    switch (model.dilute_kind) {
        case DiluteKind::CollisionIntegral: {
            const double lnTs = std::log(T / model.epsilon_over_k);
            double sum = 0.0;
            for (std::size_t i = 0; i < model.dilute_a.size(); ++i) sum += model.dilute_a[i] * ipow(lnTs, model.dilute_t[i]);
            const double sigma_nm = model.sigma_eta * 1e9;
            return model.dilute_C * std::sqrt(1000.0 * model.dilute_molar_mass * T) / (sigma_nm * sigma_nm * std::exp(sum));
        }
        case DiluteKind::PowersOfT: {
            double sum = 0.0;
            for (std::size_t i = 0; i < model.dilute_a.size(); ++i) sum += model.dilute_a[i] * ipow(T, model.dilute_t[i]);
            return sum;
        }
        case DiluteKind::CarbonDioxide2017:
            return co2_dilute_viscosity(T);
        case DiluteKind::None:
            break;
    }
    return 0.0;
}

double rainwater_friend_b_eta(const ViscosityModel& model, double T) {
    const double Ts = T / model.epsilon_over_k;
    double Bstar = 0.0;
    for (std::size_t i = 0; i < model.initial_b.size(); ++i) Bstar += model.initial_b[i] * ipow(Ts, model.initial_t[i]);
    const double s = model.sigma_eta;
    return kAvogadro * s * s * s * Bstar;
}

double modified_batschinski_hildebrand(const ModifiedBatschinskiHildebrand& m, double T, double rhomolar) {
    const double delta = rhomolar / m.rhomolar_reduce;
    const double tau = m.T_reduce / T;
    double S = 0.0;
    for (std::size_t i = 0; i < m.a.size(); ++i) {
        double term = m.a[i] * ipow(delta, m.d1[i]) * ipow(tau, m.t1[i]);
        if (m.gamma[i] != 0.0) term *= std::exp(m.gamma[i] * ipow(delta, m.l[i]));
        S += term;
    }
    double F = 0.0;
    for (std::size_t i = 0; i < m.f.size(); ++i) F += m.f[i] * ipow(delta, m.d2[i]) * ipow(tau, m.t2[i]);
    if (F == 0.0) return S;  // no free-volume term (also avoids 0 * (1/0) at delta == delta0)
    double num = 0.0, den = 0.0;
    for (std::size_t i = 0; i < m.g.size(); ++i) num += m.g[i] * ipow(tau, m.h[i]);
    for (std::size_t i = 0; i < m.p.size(); ++i) den += m.p[i] * ipow(tau, m.q[i]);
    const double delta0 = num / den;
    if (!(delta < delta0))
        throw PropertyError("viscosity: reduced density " + format_number(delta) +
                            " at or beyond the close-packed limit " + format_number(delta0) + " of the correlation (T = " +
                            format_number(T) + " K)");
    return S + F * (1.0 / (delta0 - delta) - 1.0 / delta0);
}

double residual_entropy_scaling(const ViscosityModel& model, double T, double rhomolar, double s_r) {
    const ResidualEntropyScalingData& e = model.entropy_scaling;
    const double x = rhomolar * s_r / e.rhosr_critical;
    const double psi = 1.0 / (1.0 + std::exp(-100.0 * (x - e.x_crossover)));
    const double f_liq = e.c_liq[0] + x * (e.c_liq[1] + x * (e.c_liq[2] + x * e.c_liq[3]));
    const double f_vap = e.c_vap[0] + x * (e.c_vap[1] + x * (e.c_vap[2] + x * e.c_vap[3]));
    const double eta_star = std::exp(psi * f_liq + (1.0 - psi) * f_vap);
    const double eta0 = kinetic_theory_dilute(T, model.molar_mass, lj_sigma_m(model), lj_epsilon_over_k(model));
    return eta0 * (1.0 + e.C * (eta_star - 1.0));
}

// ---- Water, IAPWS 2008 --------------------------------------------------------------------------

namespace {
constexpr double kWaterTc = 647.096;      // K
constexpr double kWaterRhoc = 322.0;      // kg/m3
constexpr double kWaterPc = 22.064e6;     // Pa
constexpr double kWaterTbarR = 1.5;       // reference temperature of the enhancement, in units of Tc

// H_ij of mu1, i = power of (1/Tb - 1), j = power of (rb - 1).
constexpr double kWaterH[6][7] = {
    {5.20094e-1, 2.22531e-1, -2.81378e-1, 1.61913e-1, -3.25372e-2, 0.0, 0.0},
    {8.50895e-2, 9.99115e-1, -9.06851e-1, 2.57399e-1, 0.0, 0.0, 0.0},
    {-1.08374, 1.88797, -7.72479e-1, 0.0, 0.0, 0.0, 0.0},
    {-2.89555e-1, 1.26613, -4.89837e-1, 0.0, 6.98452e-2, 0.0, -4.35673e-3},
    {0.0, 0.0, -2.57040e-1, 0.0, 0.0, 8.72102e-3, 0.0},
    {0.0, 1.20573e-1, 0.0, 0.0, 0.0, 0.0, -5.93264e-4},
};
}  // namespace

double water_mu0(double T) {
    const double Tb = T / kWaterTc;
    return 100.0 * std::sqrt(Tb) / (1.67752 + 2.20462 / Tb + 0.6366564 / (Tb * Tb) - 0.241605 / (Tb * Tb * Tb));
}

double water_mu1(double T, double rho_mass) {
    const double Tb = T / kWaterTc;
    const double rb = rho_mass / kWaterRhoc;
    const double x = 1.0 / Tb - 1.0;
    const double y = rb - 1.0;
    double sum = 0.0, xi = 1.0;
    for (int i = 0; i < 6; ++i) {
        double inner = 0.0;
        for (int j = 6; j >= 0; --j) inner = inner * y + kWaterH[i][j];
        sum += xi * inner;
        xi *= x;
    }
    return std::exp(rb * sum);
}

double water_mu2(double T, double rho_mass, double zeta, double zeta_reference) {
    constexpr double x_mu = 0.068, qC = 1.0 / 1.9, qD = 1.0 / 1.1, nu = 0.630, gam = 1.239, xi0 = 0.13,
                     Gamma0 = 0.06;
    const double Tb = T / kWaterTc;
    const double rb = rho_mass / kWaterRhoc;
    double dchi = rb * (zeta - zeta_reference * kWaterTbarR / Tb);
    if (!(dchi > 0.0)) return 1.0;  // no enhancement: correlation length zero
    const double xi = xi0 * std::pow(dchi / Gamma0, nu / gam);  // nm
    const double qCx = qC * xi, qDx = qD * xi;
    double Y;
    if (xi < 0.3817016416) {
        Y = 0.2 * qCx * std::pow(qDx, 5) * (1.0 - qCx + qCx * qCx - 765.0 / 504.0 * qDx * qDx);
    } else {
        const double psiD = std::acos(1.0 / std::sqrt(1.0 + qDx * qDx));
        const double w = std::sqrt(std::fabs((qCx - 1.0) / (qCx + 1.0))) * std::tan(psiD / 2.0);
        const double L = qCx > 1.0 ? std::log((1.0 + w) / (1.0 - w)) : 2.0 * std::atan(std::fabs(w));
        Y = std::sin(3.0 * psiD) / 12.0 - std::sin(2.0 * psiD) / (4.0 * qCx) +
            (1.0 - 1.25 * qCx * qCx) * std::sin(psiD) / (qCx * qCx) -
            ((1.0 - 1.5 * qCx * qCx) * psiD - std::pow(std::fabs(qCx * qCx - 1.0), 1.5) * L) / (qCx * qCx * qCx);
    }
    return std::exp(x_mu * Y);
}

namespace {

double water_viscosity(const ViscosityModel& model, double T, double rhomolar, const ViscosityEosAccess& eos) {
    const double rho_mass = rhomolar * model.molar_mass;
    // zeta = (p_c / rho_c) (d rho_mass / d p)_T with (d rho_mass/dp)_T = M / (dp/drho_molar)_T.
    const double dpdrho = eos.dpdrho_T(T, rhomolar);
    if (!(dpdrho > 0.0) || !std::isfinite(dpdrho))
        throw PropertyError("viscosity of Water: state T = " + format_number(T) + " K, rho = " + format_number(rho_mass) +
                            " kg/m3 is not mechanically stable (dp/drho = " + format_number(dpdrho) + ")");
    const double dpdrho_R = eos.dpdrho_T(kWaterTbarR * kWaterTc, rhomolar);
    const double scale = kWaterPc / kWaterRhoc * model.molar_mass;
    const double zeta = scale / dpdrho;
    // At 1.5 Tc every density is stable; guard anyway so that a broken EOS gives an error, not garbage.
    if (!(dpdrho_R > 0.0) || !std::isfinite(dpdrho_R))
        throw PropertyError("viscosity of Water: equation of state gives dp/drho = " + format_number(dpdrho_R) +
                            " at the enhancement reference temperature");
    const double zeta_R = scale / dpdrho_R;
    return 1e-6 * water_mu0(T) * water_mu1(T, rho_mass) * water_mu2(T, rho_mass, zeta, zeta_R);
}

double composite_viscosity(const ViscosityModel& model, double T, double rhomolar) {
    const double eta0 = dilute_viscosity(model, T);
    double eta = eta0;
    if (model.has_initial_density) eta += eta0 * rainwater_friend_b_eta(model, T) * rhomolar;
    switch (model.higher_order_kind) {
        case HigherOrderKind::ModifiedBatschinskiHildebrand:
            eta += modified_batschinski_hildebrand(model.mbh, T, rhomolar);
            break;
        case HigherOrderKind::CarbonDioxide2017:
            eta += co2_residual_viscosity(model, T, rhomolar * model.molar_mass);
            break;
        case HigherOrderKind::None:
            break;
    }
    return eta;
}

}  // namespace

double viscosity(const ViscosityModel& model, double T, double rhomolar, const ViscosityEosAccess& eos) {
    if (!std::isfinite(T) || !(T > 0.0))
        throw PropertyError("viscosity of " + std::string(model.name) + ": invalid temperature " + format_number(T) + " K");
    if (!std::isfinite(rhomolar) || rhomolar < 0.0)
        throw PropertyError("viscosity of " + std::string(model.name) + ": invalid density " + format_number(rhomolar) +
                            " mol/m3");
    double eta = 0.0;
    switch (model.kind) {
        case ViscosityModelKind::Composite:
            eta = composite_viscosity(model, T, rhomolar);
            break;
        case ViscosityModelKind::ResidualEntropyScaling:
            eta = residual_entropy_scaling(model, T, rhomolar, eos.residual_molar_entropy(T, rhomolar));
            break;
        case ViscosityModelKind::Water2008:
            eta = water_viscosity(model, T, rhomolar, eos);
            break;
    }
    if (!std::isfinite(eta) || !(eta > 0.0))
        throw PropertyError("viscosity of " + std::string(model.name) + " is not defined at T = " + format_number(T) +
                            " K, rho = " + format_number(rhomolar) + " mol/m3 (correlation gives " + format_number(eta) + " Pa s)");
    return eta;
}

}  // namespace fluidprops::transport

namespace fluidprops {

double viscosity(std::string_view canonical, double T, double rhomolar, const ViscosityEosAccess& eos) {
    const transport::ViscosityModel* model = transport::find_viscosity_model(canonical);
    if (!model) throw PropertyError("no viscosity correlation for fluid '" + std::string(canonical) + "'");
    return transport::viscosity(*model, T, rhomolar, eos);
}

}  // namespace fluidprops
