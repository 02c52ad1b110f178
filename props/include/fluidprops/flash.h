// Flashes: the state of a fluid from the input pairs PropsSI accepts.
//
// A two-phase state is reported the usual way: the two saturated end states
// at the pressure (or temperature) and the vapour quality Q; temperature,
// specific volume, enthalpy, entropy and internal energy are mixed linearly
// in Q. A single-phase state has Q = -1.
#pragma once

#include "fluidprops/fluid.h"

namespace fluidprops {

struct FlashState {
    double p = 0.0, T = 0.0, rho = 0.0;   // molar density
    double Q = -1.0;                      // -1: single phase
    double h = 0.0, s = 0.0, u = 0.0;     // molar
    bool two_phase = false;               // result of the saturation test (Q may then be 0 or 1)
    // Where the single-phase formulas apply (cp, cv, speed of sound, viscosity):
    // the state itself when single-phase, the saturated end at Q = 0 or 1.
    bool has_point = false;
    ThermoPoint point;
    // Saturated end states of a two-phase result.
    ThermoPoint liquid, vapor;
};

// Saturation at p, served from a small per-thread cache (the same pressure is
// asked for repeatedly by the callers). Results are identical with and
// without the cache; disabling it is meant for tests.
const SaturationPair& cached_saturation_at_p(const Fluid& fluid, double p);
void set_saturation_cache_enabled(bool enabled);

// Fast starts (on by default): Newton on (T, rho) accepts an evaluated point
// whose correction is below 1e-12 relative, and a saturation state at a new
// pressure inverts the superancillary from a start interpolated in ln p. Off,
// the earlier iterations run (apply every correction and evaluate again; the
// inversion's linear start and finer stop): the answers agree to about
// 1e-12 relative. Meant for tests and benchmarks; switching clears the
// saturation cache.
void set_fast_starts_enabled(bool enabled);

FlashState flash_pq(const Fluid& fluid, double p, double Q);
FlashState flash_tq(const Fluid& fluid, double T, double Q);
FlashState flash_ph(const Fluid& fluid, double p, double hmolar);
FlashState flash_ps(const Fluid& fluid, double p, double smolar);
FlashState flash_pt(const Fluid& fluid, double p, double T);

// The homogeneous state at which cp, cv, w and viscosity are evaluated.
// Throws PropertyError naming `what` and the state when the state lies inside
// the two-phase dome (0 < Q < 1), where those properties are not defined.
const ThermoPoint& homogeneous_point(const Fluid& fluid, FlashState& state, const char* what);

}  // namespace fluidprops
