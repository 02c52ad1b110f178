// Where the equation of state stops describing a real fluid.
//
// A multiparameter equation is a fit. Far outside the range it was fitted to
// it can give a negative heat capacity or a negative (dp/drho)_T, and such a
// state is no state of any fluid. On the saturation curve, within a hair of
// the critical point, the saturated densities (from the superancillary
// expansions) are not accurate enough to fix (dp/drho)_T, which goes to zero
// there; cp depends on it through cp - cv = T (dp/dT)_rho^2 / (rho^2 (dp/drho)_T)
// and comes out with any size and either sign. Both are refused with a
// message naming the state instead of being answered.
#pragma once

#include "fluidprops/flash.h"

namespace fluidprops {

// Throws PropertyError unless a single-phase state is thermally and
// mechanically stable: cv > 0, (dp/drho)_T > 0, cp > 0 and a real speed of
// sound. Two-phase results pass (their ends are saturated states, whose
// derived properties are checked when they are asked for).
void require_physical_state(const Fluid& fluid, const FlashState& st);

// The derived properties of the homogeneous state (molar basis for the heat
// capacities), refused inside the two-phase dome, where they are
// non-physical, and for cp on the saturation curve in the critical band.
double isobaric_heat_capacity(const Fluid& fluid, FlashState& st);
double speed_of_sound(const Fluid& fluid, FlashState& st);

[[noreturn]] void refuse_isochoric_heat_capacity(const Fluid& fluid, const FlashState& st, double cv);
inline double isochoric_heat_capacity(const Fluid& fluid, FlashState& st) {
    const ThermoPoint& pt = homogeneous_point(fluid, st, "isochoric heat capacity");
    if (!(pt.cv > 0.0)) refuse_isochoric_heat_capacity(fluid, st, pt.cv);
    return pt.cv;
}

// Reduced stiffness (dp/drho)_T / (R T) below which cp of a saturated state is
// refused. The superancillary densities leave an error of a few 1e-10 in the
// reduced stiffness computed from them (seen for every pure fluid here);
// above this limit that is at most a few percent of cp, below it the error
// takes over and within about 1e-10 T_c of the critical point cp turns
// negative. On the saturation curve the stiffness falls roughly as
// 3 (1 - T/T_c), so the band is a few microkelvin wide.
inline constexpr double kMinSaturatedStiffness = 1e-8;

}  // namespace fluidprops
