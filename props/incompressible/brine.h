// Incompressible brines (aqueous solutions) given by polynomials in
// temperature and mass fraction.
#pragma once

#include <string_view>

#include "fluidprops/error.h"

namespace fluidprops::incompressible {

// True for "INCOMP::MEG-30%", "INCOMP::MEG[0.3]" and the same names with any mass fraction in the range of the data.
bool is_brine_name(std::string_view fluid);

// True for every name of that form that names a known brine, whatever its mass fraction: such a name is
// meant for brine_props_si, which explains what is wrong with the fraction.
bool names_brine(std::string_view fluid);

// Pressures accepted for a brine. The model neglects the compressibility of the liquid, which changes its
// density by a few percent at 100 MPa; the lower end only excludes values that are no pressure of a liquid
// circuit at all (the model knows nothing of boiling).
inline constexpr double kBrinePressureMin = 1.0;    // Pa
inline constexpr double kBrinePressureMax = 1e8;    // Pa

// Property `output` of the brine `fluid` at the state given by two inputs (pressure and temperature, either order).
// Throws PropertyError for an unknown key, a state outside the range of the data or below the freezing point.
double brine_props_si(std::string_view output, std::string_view name1, double value1,
                      std::string_view name2, double value2, std::string_view fluid);

}  // namespace fluidprops::incompressible
