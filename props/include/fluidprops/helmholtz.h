// Reduced Helmholtz energy of a fluid and its partial derivatives.
//
// alpha(delta, tau) = alpha0(delta, tau) + alphar(delta, tau), with
// delta = rho / rho_red and tau = T_red / T. Every thermodynamic property is a
// combination of alpha and its derivatives up to second order (see thermo.h).
#pragma once

#include <cstddef>

#include "fluidprops/fluid_data.h"

namespace fluidprops {

// Ideal-gas part: alpha0 = ln(delta) + Phi(tau). Its delta derivatives are
// 1/delta and -1/delta^2 and the mixed derivative is zero, so only the tau
// derivatives are carried.
struct IdealDerivatives {
    double a = 0.0;     // alpha0 (including ln delta)
    double t = 0.0;     // d alpha0 / d tau
    double tt = 0.0;    // d2 alpha0 / d tau2
};

// Residual part and its derivatives (d = delta, t = tau).
struct ResidualDerivatives {
    double a = 0.0, d = 0.0, t = 0.0, dd = 0.0, tt = 0.0, dt = 0.0;
};

IdealDerivatives ideal_derivatives(const IdealGasData& data, double delta, double tau);
ResidualDerivatives residual_derivatives(const ResidualData& data, double delta, double tau);

// The residual part along one isotherm, for density iterations: the tau
// factors of all terms are computed once, each call then costs only the
// delta dependence (integer powers, one exponential per distinct exponent l
// and one per Gaussian term).
class ResidualIsotherm {
public:
    ResidualIsotherm(const ResidualData& data, double tau);
    // delta*ar_delta and delta^2*ar_delta_delta at delta.
    void delta_derivatives(double delta, double& d_ar_d, double& d2_ar_dd) const;

private:
    static constexpr std::size_t kMaxTerms = 64;
    const ResidualData& data_;
    double tau_;
    bool fast_;
    int max_l_ = 0, max_d_ = 0;
    double power_coef_[kMaxTerms];
    double gauss_coef_[kMaxTerms];
};

}  // namespace fluidprops
