// Incompressible brines (aqueous solutions) given by polynomials in
// temperature and mass fraction.
#pragma once

#include <string_view>

#include "fluidprops/error.h"

namespace fluidprops::incompressible {

// True for "INCOMP::MEG-30%", "INCOMP::MEG[0.3]" and the same names with any mass fraction in the range of the data.
bool is_brine_name(std::string_view fluid);

// Property `output` of the brine `fluid` at the state given by two inputs (pressure and temperature, either order).
// Throws PropertyError for an unknown key, a state outside the range of the data or below the freezing point.
double brine_props_si(std::string_view output, std::string_view name1, double value1,
                      std::string_view name2, double value2, std::string_view fluid);

}  // namespace fluidprops::incompressible
