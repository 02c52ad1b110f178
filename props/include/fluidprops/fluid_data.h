// Coefficient tables of one fluid, as plain constant data.
//
// The tables are produced by props/tools/gen_eos_data.py from the published
// equations of state and committed as props/data/<fluid>_eos.cpp; nothing is
// read from disk at run time. All quantities are molar SI (mol/m3, J/mol,
// J/(mol K)) as in the equations' papers, pressures in Pa, temperatures in K.
//
// The reduced Helmholtz energy is alpha(delta, tau) = alpha0 + alphar with
// delta = rho / rho_red and tau = T_red / T; the term forms are described
// where they are evaluated (props/src/helmholtz.cpp).
#pragma once

#include <span>

namespace fluidprops {

// ---- ideal-gas part -------------------------------------------------------

struct IdealPowerTerm {            // n tau^t
    double n, t;
};
struct PlanckEinsteinTerm {        // n ln(1 - exp(-t tau))
    double n, t;
};
struct GeneralizedPlanckEinsteinTerm {  // n ln(c + d exp(t tau))
    double n, t, c, d;
};

struct IdealGasData {
    // ln(delta) + a1 + a2 tau (the leading term carries ln(delta)).
    double lead_a1 = 0.0, lead_a2 = 0.0;
    // a ln(tau), summed over all such terms.
    double log_tau_a = 0.0;
    // Enthalpy/entropy offset a1 + a2 tau that fixes the reference state.
    double offset_a1 = 0.0, offset_a2 = 0.0;
    std::span<const IdealPowerTerm> power;
    std::span<const PlanckEinsteinTerm> planck_einstein;
    std::span<const GeneralizedPlanckEinsteinTerm> planck_einstein_generalized;
};

// ---- residual part ---------------------------------------------------------

struct ResidualPowerTerm {         // n delta^d tau^t exp(-delta^l), no exponential when l == 0
    double n, d, t, l;
};
struct ResidualGaussianTerm {      // n delta^d tau^t exp(-eta (delta-epsilon)^2 - beta (tau-gamma)^2)
    double n, d, t, eta, epsilon, beta, gamma;
};
struct ResidualNonAnalyticTerm {   // critical-region term n DELTA^b delta PSI
    double n, a, b, beta, A, B, C, D;
};

struct ResidualData {
    std::span<const ResidualPowerTerm> power;
    std::span<const ResidualGaussianTerm> gaussian;
    std::span<const ResidualNonAnalyticTerm> non_analytic;
};

// ---- ancillary equations ---------------------------------------------------

enum class AncillaryForm {
    kAbsent,
    kExponential,   // y = y_r exp(F sum n theta^t), F = T_r/T or 1
    kLinear,        // y = y_r (1 + sum n theta^t)
};

struct AncillaryCurve {
    AncillaryForm form = AncillaryForm::kAbsent;
    std::span<const double> n, t;
    double T_r = 0.0, reducing_value = 0.0;
    bool using_tau_r = false;
    double T_min = 0.0, T_max = 0.0;
};

// y = sum A_i T^i / sum B_j T^j
struct RationalCurve {
    std::span<const double> A, B;
    double T_min = 0.0, T_max = 0.0, max_abs_error = 0.0;
    bool present() const { return !A.empty(); }
};

// ---- superancillary (Chebyshev expansions of the exact saturation curve) ---

struct ChebyshevPiece {
    double xmin, xmax;
    double c[13];
};

struct SaturationCheckPoint {      // exact phase equilibrium computed in extended precision
    double T, p, rho_liquid, rho_vapor;
};

struct SuperancillaryData {
    std::span<const ChebyshevPiece> p, rho_liquid, rho_vapor;
    double T_crit = 0.0, rho_crit = 0.0;   // numerical critical point of the equation
    std::span<const SaturationCheckPoint> check_points;
    bool present() const { return !p.empty(); }
};

// ---- whole fluid -----------------------------------------------------------

struct StatePoint {
    double T = 0.0, p = 0.0, rhomolar = 0.0, hmolar = 0.0, smolar = 0.0;
};

struct FluidData {
    const char* name;                       // canonical name
    std::span<const char* const> aliases;   // every accepted alternative spelling
    bool pseudo_pure;
    double R;              // J/(mol K), the equation's own value
    double M;              // kg/mol
    double T_red, rho_red;
    double T_max, p_max;   // upper limits of the equation
    StatePoint critical;   // critical point as published
    StatePoint triple_liquid, triple_vapor;
    StatePoint hs_anchor;  // an exact point of the equation, base of the h/s ancillaries
    double pressure_max_sat;    // highest saturation pressure (blends; 0 if not given)
    double temperature_max_sat; // highest saturation temperature (blends; 0 if not given)
    IdealGasData ideal;
    ResidualData residual;
    AncillaryCurve p_sat, p_bubble, p_dew, rho_liquid, rho_vapor;
    RationalCurve h_liquid, h_vaporization, s_liquid, s_vaporization;
    SuperancillaryData superancillary;
};

}  // namespace fluidprops
