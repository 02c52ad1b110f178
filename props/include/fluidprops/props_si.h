// C++ entry of the property library: the same queries as the flat C function
// PropsSI, but failures are thrown as PropertyError instead of being turned
// into HUGE_VAL.
//
// Keys (exact, or in upper case): T, P, Q, D/Dmass, H/Hmass, S/Smass,
// U/Umass, C/Cpmass, O/Cvmass, V/viscosity, A/speed_of_sound, M/molar_mass,
// the molar forms Dmolar, Hmolar, Smolar, Umolar, Cpmolar, Cvmolar, and the
// fluid constants Tcrit, pcrit, rhocrit (mass), Tmin, Tmax, pmax, Ttriple,
// ptriple. Input pairs, in either order: (P, Q), (T, Q), (P, H), (P, S),
// (P, T), with H and S on a mass or molar basis. SI units throughout.
#pragma once

#include <string_view>

namespace fluidprops {

double props_si(std::string_view output, std::string_view name1, double value1, std::string_view name2,
                double value2, std::string_view fluid);

// Version text of the library.
const char* library_version();

}  // namespace fluidprops
