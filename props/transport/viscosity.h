// Dynamic viscosity of the pure fluids and the predefined mixtures.
//
// Each fluid carries its own correlation (dilute-gas term, initial-density
// term, dense-fluid term, or a residual-entropy scaling, or a dedicated
// reference formulation for CO2 and water). Some correlations need quantities
// from the fluid's equation of state; those are requested through
// ViscosityEosAccess, implemented by the EOS core.
#pragma once

#include <string_view>

#include "fluidprops/error.h"

namespace fluidprops {

// What the viscosity correlations need from the same fluid's equation of state (the EOS core implements it).
class ViscosityEosAccess {
public:
    virtual ~ViscosityEosAccess() = default;
    virtual double residual_molar_entropy(double T, double rhomolar) const = 0;  // J/(mol K): R*(tau*ar_tau - ar)
    virtual double dpdrho_T(double T, double rhomolar) const = 0;                // (dp/drho_molar)_T, Pa m3/mol
};

// canonical = the JSON INFO.NAME: "R134a","R32","n-Propane","R1234yf","R1234ze(E)","CarbonDioxide","IsoButane",
// "Water","R410A","R407C","R404A","Air"
// T in K, rhomolar in mol/m3. Returns Pa s. Throws PropertyError for an unknown fluid or an invalid state.
double viscosity(std::string_view canonical, double T, double rhomolar, const ViscosityEosAccess& eos);

}  // namespace fluidprops
