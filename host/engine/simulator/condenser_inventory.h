// The refrigerant a moving-boundary condenser holds, and where its dialog and
// ports keep what that needs.
//
// Valve, compressor and evaporator are static blocks, so the condenser holds
// a cycle's whole refrigerant inventory: the unit's charge. In mode 1 (three
// zones) the block's own mass balances integrate
//
//   M = V_R (rho1 L1 + rho2 L2 + rho3 L3),     L2 = 1 - L1 - L3,
//
// with V_R = (D / 4) pi N_passes N_tubes D L the refrigerant volume, zone 1
// at its mean enthalpy h1 (output 0, element 9) and the mean pressure of its
// stretch of the linear pressure profile, zone 2 at mean quality Qbar = 1/2
// (saturated vapour in, saturated liquid out: the mean quality the block's
// void fraction stands for) and zone 3 at the outlet enthalpy h3 (a state).
// The superheated length L1 is the one the block fitted (output 0, element 18).
#pragma once

#include <string>

#include "model_file.h"
#include "property_function.h"

namespace cyclesim {

// Layout of the Condenser block (its interface, not its physics).
namespace condenser_ports {
inline constexpr int state_L1 = 0, state_P = 1, state_h3 = 2, state_L3 = 3, state_gamma = 4;
inline constexpr int out_h_liquid = 0, out_h1 = 9, out_L1_fitted = 18, out_P_outlet = 20;
inline constexpr int out_states = 1;  // output port 1: the five states
inline constexpr int in_refrigerant = 0, in_P_inlet = 3;  // port 0, element 3
inline constexpr int in_secondary = 1, in_T_secondary = 0;  // port 1, element 0
}  // namespace condenser_ports

struct CondenserDialog {
    std::string fluid;     // the refrigerant
    double volume = 0.0;   // V_R, m3
    double mode = 1.0;     // Condenser_mode of the start state
    double L_min = 0.01;   // Lmin: the shortest subcooled zone the block keeps
};

// Reads the geometry and fluid from a Condenser block's dialog (its model
// file entry). Throws SimulationError naming the block and the field.
CondenserDialog read_condenser_dialog(const BlockSpec& block);

struct CondenserZones {
    double P = 0.0;      // mean pressure, Pa
    double P_in = 0.0;   // inlet pressure, Pa
    double h1 = 0.0;     // mean enthalpy of zone 1, J/kg
    double h3 = 0.0;     // outlet enthalpy, J/kg
    double L1 = 0.0;     // fitted superheated length
    double L3 = 0.0;     // subcooled length
};

// The refrigerant held, kg.
double condenser_charge(const PropertyFunction& props, const CondenserDialog& dialog, const CondenserZones& z);

}  // namespace cyclesim
