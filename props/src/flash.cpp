// Flash calculations at given pressure (with Q, h, s or T) or temperature (with Q).
//
// Phase decision at given (p, h) or (p, s): with the saturated end states
// L and V at p, Q* = (y - y_L) / (y_V - y_L). Q* < -1e-9 is liquid, Q* > 1 + 1e-9
// vapour, otherwise two-phase with Q = Q*. Above the highest saturation
// pressure the fluid is supercritical; below the triple-point pressure only
// vapour exists. A single-phase state is found by Newton's method on T at
// fixed p (the slope is cp for h and cp/T for s), each step inside a bracket
// that every evaluation narrows, with bisection when Newton leaves it.
//
// A single-phase (P, H) or (P, S) question starts from the solved state at
// the nearest node of a fixed grid in (ln p, y), kept per thread (see
// node_start): two evaluations instead of four or five, and an answer that
// depends on the question alone. Newton on (T, rho) stops at the first
// evaluated point whose correction is
// below 1e-12 relative in both: that point is the answer, within 1e-12 of the
// root, one evaluation sooner than applying the correction and evaluating
// again (which remains the rule for larger corrections). A saturation
// temperature at a new pressure is the superancillary inverted by Newton
// from a start interpolated in ln p, ending at a correction of a few units
// in the last place.
#include "fluidprops/flash.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <string>

#include "fluidprops/error.h"

namespace fluidprops {

namespace {

// ---- saturation cache ------------------------------------------------------

struct CacheEntry {
    const Fluid* fluid = nullptr;
    double p = 0.0;
    SaturationPair sat;
};
constexpr std::size_t kCacheSize = 8;
thread_local std::array<CacheEntry, kCacheSize> t_cache;
thread_local std::size_t t_cache_next = 0;
thread_local bool t_cache_enabled = true;
thread_local SaturationPair t_uncached;

thread_local bool t_fast_starts = true;
// A correction below this (relative, in T and in rho) at an evaluated point
// makes that point the answer.
constexpr double kConvergedCorrection = 1e-12;

// ---- helpers ---------------------------------------------------------------

enum class Caloric { kEnthalpy, kEntropy };

// The target of a (P, H) or (P, S) flash lies where the equation itself
// jumps from one phase to the other along the isobar.
class PhaseChangeError : public PropertyError {
public:
    using PropertyError::PropertyError;
};

// Below this the ideal-gas density underflows the reduced variables.
constexpr double kMinPressure = 1e-6;
// Temperatures are accepted up to this multiple of the equation's upper limit.
constexpr double kMaxTemperatureFactor = 10.0;

double caloric(const ThermoPoint& pt, Caloric kind) { return kind == Caloric::kEnthalpy ? pt.h : pt.s; }
double caloric_slope(const ThermoPoint& pt, Caloric kind) {
    return kind == Caloric::kEnthalpy ? pt.cp : pt.cp / pt.T;
}

FlashState single_phase(const ThermoPoint& pt, double p) {
    FlashState st;
    st.p = p;
    st.T = pt.T;
    st.rho = pt.rho;
    st.Q = -1.0;
    st.h = pt.h;
    st.s = pt.s;
    st.u = pt.u;
    st.two_phase = false;
    st.has_point = true;
    st.point = pt;
    return st;
}

FlashState two_phase(const Fluid& fluid, const SaturationPair& sat, double Q) {
    FlashState st;
    st.p = sat.p;
    st.Q = Q;
    st.two_phase = true;
    st.liquid = sat.liquid;
    st.vapor = sat.vapor;
    if (fluid.pseudo_pure()) {
        st.T = Q * sat.vapor.T + (1.0 - Q) * sat.liquid.T;
    } else {
        st.T = sat.liquid.T;
    }
    if (Q == 0.0) {
        st.rho = sat.liquid.rho;
        st.h = sat.liquid.h;
        st.s = sat.liquid.s;
        st.u = sat.liquid.u;
        st.has_point = true;
        st.point = sat.liquid;
    } else if (Q == 1.0) {
        st.rho = sat.vapor.rho;
        st.h = sat.vapor.h;
        st.s = sat.vapor.s;
        st.u = sat.vapor.u;
        st.has_point = true;
        st.point = sat.vapor;
    } else {
        st.rho = 1.0 / (Q / sat.vapor.rho + (1.0 - Q) / sat.liquid.rho);
        st.h = Q * sat.vapor.h + (1.0 - Q) * sat.liquid.h;
        st.s = Q * sat.vapor.s + (1.0 - Q) * sat.liquid.s;
        st.u = Q * sat.vapor.u + (1.0 - Q) * sat.liquid.u;
    }
    return st;
}

// The Newton correction (dT, drho) towards p(T, rho) = p and y(T, rho) =
// target from an evaluated point; false where the step is singular.
bool newton_correction(const ThermoPoint& pt, double p, double target, Caloric kind, double& dT, double& drho) {
    const double T = pt.T, rho = pt.rho;
    const double F1 = pt.p - p;
    const double F2 = caloric(pt, kind) - target;
    const double a11 = pt.dpdT_rho, a12 = pt.dpdrho_T;
    double a21, a22;
    if (kind == Caloric::kEnthalpy) {
        a21 = pt.cv + pt.dpdT_rho / rho;
        a22 = pt.dpdrho_T / rho - T * pt.dpdT_rho / (rho * rho);
    } else {
        a21 = pt.cv / T;
        a22 = -pt.dpdT_rho / (rho * rho);
    }
    const double det = a11 * a22 - a12 * a21;
    if (!(pt.dpdrho_T > 0.0) || !std::isfinite(det) || det == 0.0) return false;
    dT = (-F1 * a22 + F2 * a12) / det;
    drho = (-F2 * a11 + F1 * a21) / det;
    return std::isfinite(dT) && std::isfinite(drho);
}

// Whether a converged state belongs to the requested phase.
bool of_phase(const Fluid& fluid, Phase phase, double T, double rho) {
    const bool sa = fluid.data().superancillary.present() && T >= fluid.T_min() && T <= fluid.T_crit();
    if (phase == Phase::kLiquid) {
        if (sa ? rho < fluid.sa_rho_liquid(T) * (1.0 - 1e-9) : rho < fluid.rho_crit()) return false;
    } else if (phase == Phase::kGas && T < fluid.T_crit()) {
        if (sa ? rho > fluid.sa_rho_vapor(T) * (1.0 + 1e-9) : rho > fluid.rho_crit()) return false;
    }
    return true;
}

// Newton's method on (T, rho) for p(T, rho) = p and y(T, rho) = target, from
// a start close to the answer (one equation-of-state evaluation per step).
// Gives up (returns false) on a singular step, on leaving [T_lo, T_hi], or if
// the converged state is not of the requested phase; the caller then uses the
// bracketed one-dimensional search below. With fast starts on, a point whose
// correction is below kConvergedCorrection is the answer itself.
bool solve_temperature_2d(const Fluid& fluid, double p, double target, Caloric kind, Phase phase, double T_lo,
                          double T_hi, double T, double rho, ThermoPoint& out) {
    if (!(rho > 0.0) || !(T >= T_lo && T <= T_hi)) return false;
    for (int it = 0; it < 30; ++it) {
        const ThermoPoint pt = fluid.evaluate(T, rho);
        double dT, drho;
        if (!newton_correction(pt, p, target, kind, dT, drho)) return false;
        if (t_fast_starts && std::abs(dT) <= kConvergedCorrection * T && std::abs(drho) <= kConvergedCorrection * rho) {
            out = pt;
            return of_phase(fluid, phase, T, rho);
        }
        // Keep steps moderate: a quarter of the density, 10 % of the temperature.
        const double scale = std::max({std::abs(drho) / (0.25 * rho), std::abs(dT) / (0.1 * T), 1.0});
        dT /= scale;
        drho /= scale;
        const bool small = scale == 1.0 && std::abs(dT) <= 1e-9 * T && std::abs(drho) <= 1e-9 * rho;
        T += dT;
        rho += drho;
        if (!(T >= T_lo && T <= T_hi) || !(rho > 0.0)) return false;
        if (small) {
            out = fluid.evaluate(T, rho);
            if (!(out.dpdrho_T > 0.0)) return false;
            // The root must belong to the requested phase.
            return of_phase(fluid, phase, T, rho);
        }
    }
    return false;
}

ThermoPoint solve_temperature(const Fluid& fluid, double p, double target, Caloric kind, Phase phase, double T_lo,
                              double T_hi, double T0, double rho0);

// ---- grid of solved states (fast starts) ------------------------------------
//
// A (P, H) or (P, S) question starts from the solved state at the nearest
// node of a fixed grid: ln p in steps of 1e-3, the caloric value in steps of
// 2e-3 R T_crit (enthalpy) or 2e-3 R (entropy). The node's state is solved
// from a cold start once and kept per thread; the question's start is one
// Newton step from it, computed from its stored derivatives, close enough
// that two evaluations end the iteration. The node, and with it the answer,
// depends on the question alone, never on what was asked before.

// Plain data, zero when unused, direct-mapped by a hash of the node: like
// the answer table, a thread's grid needs neither a constructor nor a
// destructor (the library may be unloaded while threads that used it live
// on). A node that loses its slot is solved again, to the same bits.
struct NodeSlot {
    const Fluid* fluid;   // null: unused
    int kind, phase;
    std::int64_t i_p, i_y;
    bool usable;          // the node's state lies in the phase and was solved
    ThermoPoint point;
};
constexpr std::size_t kNodeSlots = 2048;
thread_local NodeSlot t_nodes[kNodeSlots];

std::size_t node_slot(const Fluid* fluid, int kind, int phase, std::int64_t i_p, std::int64_t i_y) {
    std::uint64_t h = reinterpret_cast<std::uintptr_t>(fluid);
    for (std::uint64_t v : {static_cast<std::uint64_t>(kind * 2 + phase), static_cast<std::uint64_t>(i_p),
                            static_cast<std::uint64_t>(i_y)})
        h = (h ^ v) * 0x100000001b3ULL + (h >> 29);
    return static_cast<std::size_t>(h ^ (h >> 32)) % kNodeSlots;
}

constexpr double kNodeLnP = 1e-3;
constexpr double kNodeCaloric = 2e-3;
// A node serves as a start when one Newton step from it changes T and rho by
// less than this (relative).
constexpr double kNodeReach = 0.02;

double caloric_scale(const Fluid& fluid, Caloric kind) {
    return kNodeCaloric * fluid.gas_constant() * (kind == Caloric::kEnthalpy ? fluid.T_crit() : 1.0);
}

// The node's state, solved from a cold start at its own pressure. Not usable
// when the node falls outside the subcritical range, in the other phase or
// the dome, or cannot be solved.
void solve_node(const Fluid& fluid, Caloric kind, Phase phase, double p, double y, NodeSlot& node) {
    node.usable = false;
    if (!(p >= fluid.p_sat_min() && p < fluid.p_crit())) return;
    try {
        const SaturationPair sat = fluid.saturation_at_p(p);
        const double yL = caloric(sat.liquid, kind), yV = caloric(sat.vapor, kind);
        const double Qs = (y - yL) / (yV - yL);
        ThermoPoint pt;
        if (phase == Phase::kLiquid && Qs < -1e-9) {
            const double T0 = std::max(sat.liquid.T - (yL - y) / caloric_slope(sat.liquid, kind), fluid.T_min());
            if (!solve_temperature_2d(fluid, p, y, kind, phase, fluid.T_min(), sat.liquid.T, T0, sat.liquid.rho, pt))
                return;
        } else if (phase == Phase::kGas && Qs > 1.0 + 1e-9) {
            const double T0 = std::min(sat.vapor.T + (y - yV) / caloric_slope(sat.vapor, kind), fluid.T_upper());
            if (!solve_temperature_2d(fluid, p, y, kind, phase, sat.vapor.T, fluid.T_upper(), T0,
                                      sat.vapor.rho * sat.vapor.T / T0, pt))
                return;
        } else {
            return;
        }
        node.usable = true;
        node.point = pt;
    } catch (const PropertyError&) {
    }
}

// The start one Newton step from the question's grid node; false when the
// node is not usable or too far.
bool node_start(const Fluid& fluid, double p, double y, Caloric kind, Phase phase, double& T, double& rho) {
    const double scale = caloric_scale(fluid, kind);
    const int k = static_cast<int>(kind), ph = static_cast<int>(phase);
    const std::int64_t i_p = std::llround(std::log(p) / kNodeLnP), i_y = std::llround(y / scale);
    NodeSlot& node = t_nodes[node_slot(&fluid, k, ph, i_p, i_y)];
    if (!(node.fluid == &fluid && node.kind == k && node.phase == ph && node.i_p == i_p && node.i_y == i_y)) {
        node.fluid = nullptr;   // claimed only once solved
        solve_node(fluid, kind, phase, std::exp(static_cast<double>(i_p) * kNodeLnP), static_cast<double>(i_y) * scale,
                   node);
        node.fluid = &fluid;
        node.kind = k;
        node.phase = ph;
        node.i_p = i_p;
        node.i_y = i_y;
    }
    if (!node.usable) return false;
    double dT, drho;
    if (!newton_correction(node.point, p, y, kind, dT, drho)) return false;
    if (!(std::max(std::abs(dT) / node.point.T, std::abs(drho) / node.point.rho) < kNodeReach)) return false;
    T = node.point.T + dT;
    rho = node.point.rho + drho;
    return true;
}

// A single-phase (P, H) or (P, S) state below (liquid) or above (vapour) the
// saturation line: Newton from the grid node's state (fast starts), else
// from the saturated end state (T0, rho0), else the bracketed search.
ThermoPoint solve_single_phase(const Fluid& fluid, double p, double y, Caloric kind, Phase phase, double T_lo,
                               double T_hi, double T0, double rho0, double rho_bracketed) {
    ThermoPoint pt;
    double Tn, rhon;
    if (t_fast_starts && node_start(fluid, p, y, kind, phase, Tn, rhon) &&
        solve_temperature_2d(fluid, p, y, kind, phase, T_lo, T_hi, Tn, rhon, pt))
        return pt;
    if (!solve_temperature_2d(fluid, p, y, kind, phase, T_lo, T_hi, T0, rho0, pt))
        pt = solve_temperature(fluid, p, y, kind, phase, T_lo, T_hi, T0, rho_bracketed);
    return pt;
}

// Solve y(T, rho(T, p)) = target for T in [T_lo, T_hi] in the given phase.
ThermoPoint solve_temperature(const Fluid& fluid, double p, double target, Caloric kind, Phase phase, double T_lo,
                              double T_hi, double T0, double rho0) {
    const char* what = kind == Caloric::kEnthalpy ? "enthalpy" : "entropy";
    double lo = T_lo, hi = T_hi;
    double T = std::clamp(T0, lo, hi);
    if (!std::isfinite(T)) T = 0.5 * (lo + hi);
    double rho = rho0;
    ThermoPoint pt;
    double last_width = hi - lo;
    bool seen_below = false, seen_above = false;   // states with y below / above the target
    for (int it = 0; it < 100; ++it) {
        try {
            rho = fluid.density(T, p, phase, rho);
        } catch (const PropertyError&) {
            // No state of this phase at T (beyond a spinodal near the
            // critical point): a liquid must be colder, a vapour warmer.
            if (phase == Phase::kLiquid) hi = T; else if (phase == Phase::kGas) lo = T; else throw;
            if (hi - lo <= 1e-12 * T) break;
            T = 0.5 * (lo + hi);
            rho = 0.0;
            continue;
        }
        pt = fluid.evaluate(T, rho);
        const double r = caloric(pt, kind) - target;
        if (r == 0.0) return pt;
        if (r < 0.0) {
            lo = T;
            seen_below = true;
        } else {
            hi = T;
            seen_above = true;
        }
        const double slope = caloric_slope(pt, kind);
        const bool newton = slope > 0.0 && std::isfinite(slope);
        // Converged if the residual is what a 1e-12 step leaves; the slope
        // is capped because it diverges at a spinodal point.
        const double capped = std::min(slope, 100.0 * fluid.gas_constant() * (kind == Caloric::kEnthalpy ? 1.0 : 1.0 / T));
        const bool residual_small = std::abs(r) <= 1e-9 * (std::abs(target) + capped * T);
        // A Newton correction below 1e-12 T ends the search. This is decided
        // before the bracket test: near the critical point the slope is so
        // large that the correction can be below one unit in the last place,
        // so that T - r/slope is T itself, the end of the bracket it has
        // just become, and bisecting from there would walk away from the root.
        if (newton && std::abs(r / slope) <= 1e-12 * T && residual_small) return pt;
        double next = newton ? T - r / slope : 0.5 * (lo + hi);
        // Fall back to bisection when Newton leaves the bracket or stalls.
        if (!(next > lo && next < hi) || (it % 6 == 5 && hi - lo > 0.5 * last_width)) next = 0.5 * (lo + hi);
        if (it % 6 == 5) last_width = hi - lo;
        if (std::abs(next - T) <= 1e-12 * T) {
            if (residual_small) return pt;
            if (hi - lo <= 1e-12 * T) break;
            next = 0.5 * (lo + hi);   // Newton stalled: bisect
        }
        T = next;
    }
    // The target lies between two states a rounding error apart in T: the
    // density has jumped from one branch of the isobar to another, that is,
    // the equation itself changes phase there. A blend's fitted bubble and
    // dew lines can miss that transition close to the critical point.
    if (seen_below && seen_above && hi - lo <= 1e-12 * T) {
        const std::string where = "the equation of state changes phase at T = " + format_number(T) + " K, p = " + format_number(p) + " Pa";
        if (fluid.pseudo_pure())
            throw PhaseChangeError("pressure " + format_number(p) + " Pa is too close to the critical point of " +
                                   std::string(fluid.name()) + " to decide the phase of this state (" + where +
                                   ", away from the fitted bubble and dew lines)");
        throw PhaseChangeError(std::string("no single-phase state of ") + fluid.name() + " has " + what + " " +
                               format_number(target) + ": " + where);
    }
    // Converged onto an end of the range without meeting the target.
    if (T <= T_lo * (1.0 + 1e-9))
        throw PropertyError(std::string(what) + " " + format_number(target) + " at p = " + format_number(p) + " Pa lies below the range of " +
                            fluid.name() + " (temperature would be below the triple point " + format_number(fluid.T_min()) + " K)");
    if (T >= T_hi * (1.0 - 1e-9))
        throw PropertyError(std::string(what) + " " + format_number(target) + " at p = " + format_number(p) + " Pa lies above the range of " +
                            fluid.name() + " (temperature would exceed " + format_number(T_hi) + " K)");
    throw PropertyError(std::string("(P, ") + (kind == Caloric::kEnthalpy ? "H" : "S") + ") flash did not converge for " +
                        fluid.name() + " at p = " + format_number(p) + " Pa");
}

void check_pressure(const Fluid& fluid, double p) {
    if (!std::isfinite(p) || !(p > 0.0))
        throw PropertyError("pressure must be positive and finite (got " + format_number(p) + " Pa) for " + fluid.name());
    if (p < kMinPressure)
        throw PropertyError("pressure " + format_number(p) + " Pa is below the lowest pressure handled (" + format_number(kMinPressure) +
                            " Pa) for " + fluid.name());
    if (p > fluid.data().p_max * 10.0)
        throw PropertyError("pressure " + format_number(p) + " Pa is far above the range of " + fluid.name() + " (" +
                            format_number(fluid.data().p_max) + " Pa)");
}

// Close to the critical pressure of a blend the equation may have no state on
// the ancillary bubble or dew line. The phase is then decided by the
// enthalpy/entropy ancillaries with their error bands, and only clearly
// single-phase states are answered.
FlashState flash_py_blend_near_critical(const Fluid& fluid, double p, double y, Caloric kind) {
    const FluidData& d = fluid.data();
    const auto& pl = d.p_bubble.form != AncillaryForm::kAbsent ? d.p_bubble : d.p_sat;
    const auto& pv = d.p_dew.form != AncillaryForm::kAbsent ? d.p_dew : d.p_sat;
    const double Tl = fluid.ancillary_inverse(pl, p), Tv = fluid.ancillary_inverse(pv, p);
    const RationalCurve& base = kind == Caloric::kEnthalpy ? d.h_liquid : d.s_liquid;
    const RationalCurve& gap = kind == Caloric::kEnthalpy ? d.h_vaporization : d.s_vaporization;
    if (base.present() && gap.present()) {
        const double anchor = kind == Caloric::kEnthalpy ? d.hs_anchor.hmolar : d.hs_anchor.smolar;
        const double y_l = Fluid::rational(base, std::min(Tl, base.T_max)) + anchor;
        const double y_v = y_l + Fluid::rational(gap, std::min(kind == Caloric::kEnthalpy ? Tl : Tv, gap.T_max));
        const double e_l = base.max_abs_error, e_v = e_l + gap.max_abs_error;
        if (y < y_l - e_l)
            return single_phase(solve_temperature(fluid, p, y, kind, Phase::kLiquid, fluid.T_min(), Tl + 0.01, Tl, 0.0), p);
        if (y > y_v + e_v)
            return single_phase(solve_temperature(fluid, p, y, kind, Phase::kGas, Tv - 0.01, fluid.T_upper(), Tv, 0.0), p);
    }
    throw PropertyError("pressure " + format_number(p) + " Pa is too close to the critical point of " + std::string(fluid.name()) +
                        " to decide the phase of this state");
}

FlashState flash_py(const Fluid& fluid, double p, double y, Caloric kind) {
    check_pressure(fluid, p);
    if (!std::isfinite(y)) throw PropertyError(std::string("non-finite ") + (kind == Caloric::kEnthalpy ? "enthalpy" : "entropy"));
    const double T_upper = fluid.T_upper();
    if (p > fluid.p_crit()) {
        const double T0 = std::max(fluid.T_crit(), fluid.T_min());
        return single_phase(solve_temperature(fluid, p, y, kind, Phase::kSupercritical, fluid.T_min(), T_upper, T0, 0.0), p);
    }
    if (p == fluid.p_crit()) {
        // At the top of the saturation curve bubble and dew are one state, the
        // critical point, and the isobar passes it with an infinite slope.
        // Every other enthalpy (entropy) belongs to a single-phase state; one
        // that falls between the states a rounding error either side of the
        // critical temperature is the critical state itself.
        const double T0 = std::max(fluid.T_crit(), fluid.T_min());
        try {
            return single_phase(solve_temperature(fluid, p, y, kind, Phase::kSupercritical, fluid.T_min(), T_upper, T0, 0.0), p);
        } catch (const PhaseChangeError&) {
            FlashState st = two_phase(fluid, cached_saturation_at_p(fluid, p), 0.0);
            if (kind == Caloric::kEnthalpy) st.h = y; else st.s = y;
            return st;
        }
    }
    if (p < fluid.p_sat_min()) {
        // Below the triple-point pressure only the vapour exists (above T_min).
        return single_phase(solve_temperature(fluid, p, y, kind, Phase::kGas, fluid.T_min(), T_upper, fluid.T_min(), 0.0), p);
    }
    if (fluid.pseudo_pure()) {
        try {
            cached_saturation_at_p(fluid, p);
        } catch (const PropertyError&) {
            return flash_py_blend_near_critical(fluid, p, y, kind);
        }
    }
    const SaturationPair& sat = cached_saturation_at_p(fluid, p);
    const double yL = caloric(sat.liquid, kind), yV = caloric(sat.vapor, kind);
    const double Qs = (y - yL) / (yV - yL);
    if (Qs < -1e-9) {
        const double T0 = std::max(sat.liquid.T - (yL - y) / caloric_slope(sat.liquid, kind), fluid.T_min());
        return single_phase(solve_single_phase(fluid, p, y, kind, Phase::kLiquid, fluid.T_min(), sat.liquid.T, T0,
                                               sat.liquid.rho, sat.liquid.rho), p);
    }
    if (Qs > 1.0 + 1e-9) {
        const double T0 = std::min(sat.vapor.T + (y - yV) / caloric_slope(sat.vapor, kind), T_upper);
        return single_phase(solve_single_phase(fluid, p, y, kind, Phase::kGas, sat.vapor.T, T_upper, T0,
                                               sat.vapor.rho * sat.vapor.T / T0, sat.vapor.rho), p);
    }
    // Within the classification tolerance of a saturation line the state is
    // that saturated state: the quality is clamped to [0, 1].
    FlashState st = two_phase(fluid, sat, std::clamp(Qs, 0.0, 1.0));
    // The input is kept exactly; the other caloric property follows the lever rule.
    if (kind == Caloric::kEnthalpy) st.h = y; else st.s = y;
    return st;
}

}  // namespace

const SaturationPair& cached_saturation_at_p(const Fluid& fluid, double p) {
    if (!t_cache_enabled) {
        t_uncached = t_fast_starts ? fluid.saturation_at_p(p) : fluid.saturation_at_p_reference(p);
        return t_uncached;
    }
    for (const auto& e : t_cache)
        if (e.fluid == &fluid && e.p == p) return e.sat;
    CacheEntry& slot = t_cache[t_cache_next];
    slot.sat = t_fast_starts ? fluid.saturation_at_p(p) : fluid.saturation_at_p_reference(p);   // throws before the slot is claimed
    slot.fluid = &fluid;
    slot.p = p;
    t_cache_next = (t_cache_next + 1) % kCacheSize;
    return slot.sat;
}

void set_saturation_cache_enabled(bool enabled) {
    t_cache_enabled = enabled;
    for (auto& e : t_cache) e.fluid = nullptr;
}

void set_fast_starts_enabled(bool enabled) {
    t_fast_starts = enabled;
    for (auto& e : t_cache) e.fluid = nullptr;
    for (auto& n : t_nodes) n.fluid = nullptr;
}

FlashState flash_pq(const Fluid& fluid, double p, double Q) {
    check_pressure(fluid, p);
    if (!(Q >= 0.0 && Q <= 1.0))
        throw PropertyError("vapour quality Q = " + format_number(Q) + " is outside [0, 1] for " + std::string(fluid.name()));
    return two_phase(fluid, cached_saturation_at_p(fluid, p), Q);
}

FlashState flash_tq(const Fluid& fluid, double T, double Q) {
    if (!(Q >= 0.0 && Q <= 1.0))
        throw PropertyError("vapour quality Q = " + format_number(Q) + " is outside [0, 1] for " + std::string(fluid.name()));
    const SaturationPair sat = fluid.saturation_at_T(T);
    if (fluid.pseudo_pure()) {
        // A blend has no single saturation pressure at T: only the bubble
        // point (Q = 0) and the dew point (Q = 1) are defined.
        if (Q != 0.0 && Q != 1.0)
            throw PropertyError("for the blend " + std::string(fluid.name()) +
                                " only Q = 0 (bubble point) or Q = 1 (dew point) can be given with T; got Q = " + format_number(Q));
        SaturationPair one = sat;
        one.p = Q == 0.0 ? sat.liquid.p : sat.vapor.p;
        FlashState st = two_phase(fluid, one, Q);
        st.T = T;
        return st;
    }
    FlashState st = two_phase(fluid, sat, Q);
    st.T = T;
    return st;
}

FlashState flash_ph(const Fluid& fluid, double p, double hmolar) { return flash_py(fluid, p, hmolar, Caloric::kEnthalpy); }
FlashState flash_ps(const Fluid& fluid, double p, double smolar) { return flash_py(fluid, p, smolar, Caloric::kEntropy); }

FlashState flash_pt(const Fluid& fluid, double p, double T) {
    check_pressure(fluid, p);
    if (!std::isfinite(T) || !(T > 0.0))
        throw PropertyError("temperature must be positive and finite (got " + format_number(T) + " K) for " + std::string(fluid.name()));
    if (T < fluid.T_min())
        throw PropertyError("temperature " + format_number(T) + " K is below the triple-point temperature " + format_number(fluid.T_min()) +
                            " K of " + fluid.name());
    if (T > kMaxTemperatureFactor * fluid.data().T_max)
        throw PropertyError("temperature " + format_number(T) + " K is far above the range of " + std::string(fluid.name()) +
                            " (" + format_number(fluid.data().T_max) + " K)");
    Phase phase;
    if (p > fluid.p_crit() || T > fluid.T_crit()) {
        phase = Phase::kSupercritical;
    } else if (fluid.pseudo_pure()) {
        const double pl = fluid.bubble_pressure(T), pv = fluid.dew_pressure(T);
        if (!std::isfinite(pl) || !std::isfinite(pv)) {
            phase = Phase::kSupercritical;
        } else if (p > pl) {
            phase = Phase::kLiquid;
        } else if (p < pv) {
            phase = Phase::kGas;
        } else {
            throw PropertyError("(P, T) = (" + format_number(p) + " Pa, " + format_number(T) + " K) lies inside the two-phase glide of " +
                                fluid.name() + " (dew pressure " + format_number(pv) + " Pa, bubble pressure " + format_number(pl) +
                                " Pa); give Q instead");
        }
    } else {
        double psat;
        if (fluid.data().superancillary.present()) {
            psat = fluid.sa_pressure(T);
        } else {
            psat = fluid.saturation_at_T(T).p;
        }
        if (std::abs(p - psat) <= 1e-9 * psat)
            throw PropertyError("(P, T) = (" + format_number(p) + " Pa, " + format_number(T) + " K) is a saturation state of " + fluid.name() +
                                "; give Q instead");
        phase = p > psat ? Phase::kLiquid : Phase::kGas;
    }
    const double rho = fluid.density(T, p, phase);
    ThermoPoint pt = fluid.evaluate(T, rho);
    return single_phase(pt, p);
}

const ThermoPoint& homogeneous_point(const Fluid& fluid, FlashState& st, const char* what) {
    // Single-phase states and states on a saturation line (Q exactly 0 or 1,
    // the flashes clamp the quality) carry their point.
    if (st.has_point) return st.point;
    throw PropertyError(std::string(what) + " is not defined inside the two-phase region: " + fluid.name() +
                        " at P = " + format_number(st.p) + " Pa, T = " + format_number(st.T) + " K, Q = " + format_number(st.Q));
}

}  // namespace fluidprops
