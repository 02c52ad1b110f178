// Lower-level interface of the viscosity correlations: the coefficient tables
// (generated from the fluid definition files by props/tools/gen_transport_data.py)
// and the individual contributions, so that callers can look a model up once
// and tests can check each term on its own.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "viscosity.h"

namespace fluidprops::transport {

// Avogadro constant used by the correlations (CODATA 2010 value).
inline constexpr double kAvogadro = 6.02214129e23;

enum class ViscosityModelKind {
    Composite,               // dilute + initial-density + higher-order contributions
    ResidualEntropyScaling,  // corresponding-states scaling with the residual entropy
    Water2008,               // IAPWS 2008 formulation for ordinary water
};

enum class DiluteKind { None, CollisionIntegral, PowersOfT, CarbonDioxide2017 };
enum class HigherOrderKind { None, ModifiedBatschinskiHildebrand, CarbonDioxide2017 };

// Modified Batschinski-Hildebrand dense-fluid term:
//   S = sum a_i delta^d1_i tau^t1_i exp(gamma_i delta^l_i)
//   F = sum f_i delta^d2_i tau^t2_i
//   delta0 = sum g_i tau^h_i / sum p_i tau^q_i
//   eta_h = S + F (1/(delta0 - delta) - 1/delta0)
// with delta and tau reduced by this term's own T_reduce and rhomolar_reduce.
struct ModifiedBatschinskiHildebrand {
    std::span<const double> a, d1, t1, gamma, l;
    std::span<const double> f, d2, t2;
    std::span<const double> g, h;
    std::span<const double> p, q;
    double T_reduce = 0.0;         // K
    double rhomolar_reduce = 0.0;  // mol/m3
};

// Residual-entropy scaling: eta = eta0_kinetic (1 + C (eta* - 1)), ln eta* a blend of two cubics in
// x = rho s_r / rhosr_critical, switching from the vapour to the liquid cubic around x_crossover.
struct ResidualEntropyScalingData {
    double C = 0.0;
    std::array<double, 4> c_liq{};
    std::array<double, 4> c_vap{};
    double rhosr_critical = 0.0;  // J/(m3 K), negative
    double x_crossover = 0.0;
};

struct ViscosityModel {
    std::string_view name;  // canonical fluid name
    ViscosityModelKind kind = ViscosityModelKind::Composite;
    double molar_mass = 0.0;         // kg/mol, from the equation of state
    double gas_constant = 0.0;       // J/(mol K), from the equation of state
    double T_reducing = 0.0;         // K, equation-of-state reducing temperature
    double rhomolar_reducing = 0.0;  // mol/m3, equation-of-state reducing density
    double T_triple = 0.0;           // K, lowest saturated-liquid temperature of the equation of state
    bool has_lennard_jones = false;  // false: use the Chung estimates from the reducing state
    double sigma_eta = 0.0;          // m
    double epsilon_over_k = 0.0;     // K

    DiluteKind dilute_kind = DiluteKind::None;
    std::span<const double> dilute_a, dilute_t;
    double dilute_C = 0.0;
    double dilute_molar_mass = 0.0;  // kg/mol, the correlation's own value

    bool has_initial_density = false;  // Rainwater-Friend second viscosity virial coefficient
    std::span<const double> initial_b, initial_t;

    HigherOrderKind higher_order_kind = HigherOrderKind::None;
    ModifiedBatschinskiHildebrand mbh;

    ResidualEntropyScalingData entropy_scaling;
};

// All generated models (one per fluid).
std::span<const ViscosityModel> viscosity_models();

// The model of a canonical fluid name, or nullptr.
const ViscosityModel* find_viscosity_model(std::string_view canonical);

// Viscosity from an already looked-up model (Pa s). Throws PropertyError.
double viscosity(const ViscosityModel& model, double T, double rhomolar, const ViscosityEosAccess& eos);

// --- Individual contributions (Pa s unless noted) -------------------------------------------------

// Lennard-Jones parameters of a model: its own, or the Chung estimates from the EOS reducing state
// (sigma = 0.809 / (rho_red [mol/L])^(1/3) nm, eps/k = T_red / 1.2593).
double lj_sigma_m(const ViscosityModel& model);
double lj_epsilon_over_k(const ViscosityModel& model);

// Dilute-gas contribution of the model's own dilute term.
double dilute_viscosity(const ViscosityModel& model, double T);

// Chapman-Enskog dilute viscosity with the Neufeld et al. (1972) collision integral.
double kinetic_theory_dilute(double T, double molar_mass, double sigma_m, double epsilon_over_k);
double neufeld_collision_integral(double Tstar);

// Rainwater-Friend second viscosity virial coefficient B_eta (m3/mol).
double rainwater_friend_b_eta(const ViscosityModel& model, double T);

// Modified Batschinski-Hildebrand contribution.
double modified_batschinski_hildebrand(const ModifiedBatschinskiHildebrand& mbh, double T, double rhomolar);

// Residual-entropy scaling with a given residual molar entropy s_r (J/(mol K)).
double residual_entropy_scaling(const ViscosityModel& model, double T, double rhomolar, double s_r);

// CO2 (Laesecke & Muzny 2017): dilute part and residual part (rho_mass in kg/m3).
double co2_dilute_viscosity(double T);
double co2_residual_viscosity(const ViscosityModel& model, double T, double rho_mass);

// Water (IAPWS 2008), in Pa s. rho_mass in kg/m3.
double water_mu0(double T);                        // dilute-gas factor mu0 (micro Pa s)
double water_mu1(double T, double rho_mass);       // residual factor mu1 (-)
// Critical-enhancement factor mu2 from the reduced isothermal compressibilities
// zeta = (p_c/rho_c) (d rho/d p)_T at the state and at the reference temperature 1.5 T_c.
double water_mu2(double T, double rho_mass, double zeta, double zeta_reference);

}  // namespace fluidprops::transport
