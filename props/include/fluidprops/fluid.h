// One fluid described by a multiparameter Helmholtz-energy equation of state:
// single-phase properties at (T, rho), density from (T, p), saturation.
//
// Everything here is on a molar basis (mol/m3, J/mol, J/(mol K)); the
// conversion to the mass basis of PropsSI happens in props_si.cpp.
#pragma once

#include <utility>
#include <vector>

#include "fluidprops/fluid_data.h"
#include "fluidprops/helmholtz.h"

namespace fluidprops {

// Properties of a homogeneous state, molar basis.
struct ThermoPoint {
    double T = 0.0, rho = 0.0, p = 0.0;
    double h = 0.0, s = 0.0, u = 0.0, g = 0.0;
    double cp = 0.0, cv = 0.0, w = 0.0;
    double dpdrho_T = 0.0, dpdT_rho = 0.0;
};

enum class Phase { kLiquid, kGas, kSupercritical };

// The two coexisting end states at one pressure. For a pure fluid both have
// the same temperature; for a pseudo-pure blend the liquid sits on the bubble
// line and the vapour on the dew line, at different temperatures.
struct SaturationPair {
    double p = 0.0;
    ThermoPoint liquid, vapor;
};

class Fluid {
public:
    explicit Fluid(const FluidData& data);

    const FluidData& data() const { return data_; }
    const char* name() const { return data_.name; }
    bool pseudo_pure() const { return data_.pseudo_pure; }
    double molar_mass() const { return data_.M; }
    double gas_constant() const { return data_.R; }

    // Limits used by the flashes.
    double T_min() const { return data_.triple_liquid.T; }   // triple point
    double T_crit() const { return T_crit_; }
    double p_crit() const { return p_crit_; }                 // highest saturation pressure
    double rho_crit() const { return rho_crit_; }
    double p_sat_min() const { return p_sat_min_; }           // saturation pressure at T_min
    double T_upper() const { return 1.5 * data_.T_max; }      // upper end of temperature searches

    // ---- equation of state ----
    IdealDerivatives ideal(double T, double rho) const;
    ResidualDerivatives residual(double T, double rho) const;
    ThermoPoint evaluate(double T, double rho) const;
    // Pressure and (dp/drho)_T only (no ideal-gas part needed).
    void pressure(double T, double rho, double& p, double& dpdrho) const;
    double residual_entropy(double T, double rho) const;   // R (tau ar_t - ar)

    // Density of the given phase at (T, p). `guess` (<= 0: none) starts the
    // iteration; the saturation densities bound it where known.
    double density(double T, double p, Phase phase, double guess = 0.0) const;

    // ---- saturation ----
    // Both end states at pressure p (pure: superancillary; pseudo-pure: the
    // bubble and dew lines of the ancillaries). Throws PropertyError when p is
    // outside the saturation range.
    SaturationPair saturation_at_p(double p) const;
    // The same with the superancillary inverted by the earlier, slower
    // iteration (sa_temperature_reference): for tests and benchmarks.
    SaturationPair saturation_at_p_reference(double p) const;
    // Both end states at temperature T (pure fluids; for blends Q = 0 is the
    // bubble point and Q = 1 the dew point at T).
    SaturationPair saturation_at_T(double T) const;

    // Exact phase equilibrium of the equation at T (equal pressure and Gibbs
    // energy), started from the given densities. Used where no
    // superancillary exists and to check one where it does.
    bool solve_equilibrium(double T, double& rho_liquid, double& rho_vapor) const;

    // Superancillary of a pure fluid (T in [T_min, T_crit]).
    double sa_pressure(double T) const;
    double sa_rho_liquid(double T) const;
    double sa_rho_vapor(double T) const;
    double sa_temperature(double p) const;   // inverse of sa_pressure
    // The same root by the earlier iteration (linear start in p, correction
    // below 1e-16): for tests and benchmarks.
    double sa_temperature_reference(double p) const;

    // Ancillary curves and their inverse (T from value).
    static double ancillary(const AncillaryCurve& c, double T);
    static double rational(const RationalCurve& c, double T);
    double ancillary_inverse(const AncillaryCurve& c, double y) const;

    // Bubble and dew pressures of a blend at T (pure fluids: the saturation pressure).
    double bubble_pressure(double T) const;
    double dew_pressure(double T) const;

private:
    double sat_liquid_density_guess(double T) const;
    double sat_vapor_density_guess(double T) const;
    void sa_saturated_states(double T, SaturationPair& sat) const;

    const FluidData& data_;
    double T_crit_ = 0.0, p_crit_ = 0.0, rho_crit_ = 0.0, p_sat_min_ = 0.0;
    std::size_t sa_piece_index(double p) const;
    std::pair<double, double> sa_piece_pressures(std::size_t k) const;
    std::vector<double> sa_piece_p_;   // saturation pressure at the lower end of each superancillary piece
};

}  // namespace fluidprops
