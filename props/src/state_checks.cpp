// Refusal of non-physical states and of undetermined derived properties.
#include "fluidprops/state_checks.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "fluidprops/error.h"

namespace fluidprops {

namespace {

std::string describe(const Fluid& fluid, const FlashState& st) {
    std::string s = std::string(fluid.name()) + " at P = " + format_number(st.p) + " Pa, T = " + format_number(st.T) + " K";
    if (st.two_phase) s += ", Q = " + format_number(st.Q);
    return s;
}

// What is wrong with a homogeneous state, or an empty text when nothing is.
std::string instability(const Fluid& fluid, const ThermoPoint& pt) {
    const double M = fluid.molar_mass();
    if (!(pt.cv > 0.0)) return "a negative isochoric heat capacity (cv = " + format_number(pt.cv / M) + " J/(kg K))";
    if (!(pt.dpdrho_T > 0.0))
        return "a negative compressibility ((dp/drho)_T = " + format_number(pt.dpdrho_T / M) + " Pa m3/kg)";
    if (!(pt.cp > 0.0)) return "a negative isobaric heat capacity (cp = " + format_number(pt.cp / M) + " J/(kg K))";
    if (!(pt.w > 0.0)) return "no real speed of sound (w^2 < 0)";
    return {};
}

}  // namespace

void require_physical_state(const Fluid& fluid, const FlashState& st) {
    if (st.two_phase || !st.has_point) return;
    const std::string what = instability(fluid, st.point);
    if (!what.empty())
        throw PropertyError("non-physical state of " + describe(fluid, st) + ": the equation of state gives " + what +
                            "; the state lies outside the range where the equation holds");
}

double isobaric_heat_capacity(const Fluid& fluid, FlashState& st) {
    const ThermoPoint& pt = homogeneous_point(fluid, st, "isobaric heat capacity");
    if (st.two_phase) {
        const double stiffness = pt.dpdrho_T / (fluid.gas_constant() * pt.T);
        if (!(stiffness >= kMinSaturatedStiffness))
            throw PropertyError("isobaric heat capacity is not determined this close to the critical point: " +
                                describe(fluid, st) + " (cp diverges there and the saturated state does not fix it)");
    }
    if (!(pt.cp > 0.0))
        throw PropertyError("isobaric heat capacity of " + describe(fluid, st) + " is not physical (cp = " +
                            format_number(pt.cp / fluid.molar_mass()) + " J/(kg K))");
    return pt.cp;
}

void refuse_isochoric_heat_capacity(const Fluid& fluid, const FlashState& st, double cv) {
    throw PropertyError("isochoric heat capacity of " + describe(fluid, st) + " is not physical (cv = " +
                        format_number(cv / fluid.molar_mass()) + " J/(kg K))");
}

double speed_of_sound(const Fluid& fluid, FlashState& st) {
    const ThermoPoint& pt = homogeneous_point(fluid, st, "speed of sound");
    if (!(pt.w > 0.0) || !std::isfinite(pt.w))
        throw PropertyError("speed of sound is not defined at " + describe(fluid, st));
    return pt.w;
}

}  // namespace fluidprops
