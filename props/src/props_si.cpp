// Query dispatch: keys, input pairs, unit basis, outputs.
#include "fluidprops/props_si.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fluidprops/error.h"
#include "fluidprops/flash.h"
#include "fluidprops/fluids.h"
#include "fluidprops/state_checks.h"

#include "brine.h"
#include "viscosity.h"

namespace fluidprops {

namespace {

enum class Key {
    kT, kP, kQ,
    kDmass, kHmass, kSmass, kUmass, kCpmass, kCvmass,
    kDmolar, kHmolar, kSmolar, kUmolar, kCpmolar, kCvmolar,
    kViscosity, kSpeedOfSound, kConductivity, kMolarMass,
    // fluid constants (no state needed)
    kTcrit, kPcrit, kRhocrit, kTmin, kTmax, kPmax, kTtriple, kPtriple,
    kUnknown,
};

struct KeyName {
    const char* text;
    Key key;
    const char* description;
};

constexpr KeyName kKeys[] = {
    {"T", Key::kT, "temperature"},
    {"P", Key::kP, "pressure"},
    {"Q", Key::kQ, "vapour quality"},
    {"H", Key::kHmass, "specific enthalpy"},
    {"D", Key::kDmass, "density"},
    {"S", Key::kSmass, "specific entropy"},
    {"C", Key::kCpmass, "isobaric heat capacity"},
    {"O", Key::kCvmass, "isochoric heat capacity"},
    {"V", Key::kViscosity, "viscosity"},
    {"U", Key::kUmass, "specific internal energy"},
    {"A", Key::kSpeedOfSound, "speed of sound"},
    {"L", Key::kConductivity, "thermal conductivity"},
    {"M", Key::kMolarMass, "molar mass"},
    {"Hmass", Key::kHmass, "specific enthalpy"},
    {"Dmass", Key::kDmass, "density"},
    {"Smass", Key::kSmass, "specific entropy"},
    {"Umass", Key::kUmass, "specific internal energy"},
    {"Cpmass", Key::kCpmass, "isobaric heat capacity"},
    {"Cvmass", Key::kCvmass, "isochoric heat capacity"},
    {"viscosity", Key::kViscosity, "viscosity"},
    {"speed_of_sound", Key::kSpeedOfSound, "speed of sound"},
    {"conductivity", Key::kConductivity, "thermal conductivity"},
    {"molar_mass", Key::kMolarMass, "molar mass"},
    {"molarmass", Key::kMolarMass, "molar mass"},
    {"molemass", Key::kMolarMass, "molar mass"},
    {"Dmolar", Key::kDmolar, "molar density"},
    {"Hmolar", Key::kHmolar, "molar enthalpy"},
    {"Smolar", Key::kSmolar, "molar entropy"},
    {"Umolar", Key::kUmolar, "molar internal energy"},
    {"Cpmolar", Key::kCpmolar, "molar isobaric heat capacity"},
    {"Cvmolar", Key::kCvmolar, "molar isochoric heat capacity"},
    {"Tcrit", Key::kTcrit, "critical temperature"},
    {"T_critical", Key::kTcrit, "critical temperature"},
    {"pcrit", Key::kPcrit, "critical pressure"},
    {"p_critical", Key::kPcrit, "critical pressure"},
    {"rhocrit", Key::kRhocrit, "critical density"},
    {"rhomass_critical", Key::kRhocrit, "critical density"},
    {"Tmin", Key::kTmin, "minimum temperature"},
    {"T_min", Key::kTmin, "minimum temperature"},
    {"Tmax", Key::kTmax, "maximum temperature"},
    {"T_max", Key::kTmax, "maximum temperature"},
    {"pmax", Key::kPmax, "maximum pressure"},
    {"p_max", Key::kPmax, "maximum pressure"},
    {"Ttriple", Key::kTtriple, "triple-point temperature"},
    {"T_triple", Key::kTtriple, "triple-point temperature"},
    {"ptriple", Key::kPtriple, "triple-point pressure"},
    {"p_triple", Key::kPtriple, "triple-point pressure"},
};

bool equals_upper(std::string_view key, std::string_view name) {
    if (key.size() != name.size()) return false;
    for (std::size_t i = 0; i < key.size(); ++i)
        if (key[i] != static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])))) return false;
    return true;
}

const KeyName* find_key(std::string_view text) {
    for (const auto& k : kKeys)
        if (text == k.text) return &k;
    for (const auto& k : kKeys)
        if (equals_upper(text, k.text)) return &k;
    return nullptr;
}

bool is_constant(Key k) { return k >= Key::kTcrit && k < Key::kUnknown; }

double fluid_constant(const Fluid& f, Key k) {
    const FluidData& d = f.data();
    switch (k) {
        case Key::kTcrit: return f.T_crit();
        case Key::kPcrit: return d.superancillary.present() ? f.p_crit() : d.critical.p;
        case Key::kRhocrit: return f.rho_crit() * d.M;
        case Key::kTmin:
        case Key::kTtriple: return f.T_min();
        case Key::kTmax: return d.T_max;
        case Key::kPmax: return d.p_max;
        case Key::kPtriple: return f.p_sat_min();
        default: throw PropertyError("not a fluid constant");
    }
}

class EosAccess final : public ViscosityEosAccess {
public:
    explicit EosAccess(const Fluid& f) : fluid_(f) {}
    double residual_molar_entropy(double T, double rhomolar) const override {
        return fluid_.residual_entropy(T, rhomolar);
    }
    double dpdrho_T(double T, double rhomolar) const override {
        double p, dp;
        fluid_.pressure(T, rhomolar, p, dp);
        return dp;
    }

private:
    const Fluid& fluid_;
};

double state_output(const Fluid& fluid, FlashState& st, const KeyName& out) {
    const double M = fluid.molar_mass();
    switch (out.key) {
        case Key::kT: return st.T;
        case Key::kP: return st.p;
        case Key::kQ: return st.Q;
        case Key::kDmass: return st.rho * M;
        case Key::kDmolar: return st.rho;
        case Key::kHmass: return st.h / M;
        case Key::kHmolar: return st.h;
        case Key::kSmass: return st.s / M;
        case Key::kSmolar: return st.s;
        case Key::kUmass: return st.u / M;
        case Key::kUmolar: return st.u;
        case Key::kMolarMass: return M;
        case Key::kCpmass: return isobaric_heat_capacity(fluid, st) / M;
        case Key::kCpmolar: return isobaric_heat_capacity(fluid, st);
        case Key::kCvmass: return isochoric_heat_capacity(fluid, st) / M;
        case Key::kCvmolar: return isochoric_heat_capacity(fluid, st);
        case Key::kSpeedOfSound: return speed_of_sound(fluid, st);
        case Key::kViscosity: {
            const ThermoPoint& pt = homogeneous_point(fluid, st, out.description);
            return viscosity(fluid.name(), pt.T, pt.rho, EosAccess(fluid));
        }
        case Key::kConductivity:
            throw PropertyError(std::string("thermal conductivity is not available for ") + fluid.name());
        default: break;
    }
    throw PropertyError(std::string("output ") + out.text + " is not supported");
}

}  // namespace

const char* library_version() { return "fluidprops 1.0.0"; }

double props_si(std::string_view output, std::string_view name1, double value1, std::string_view name2,
                double value2, std::string_view fluid_name) {
    if (incompressible::names_brine(fluid_name))
        return incompressible::brine_props_si(output, name1, value1, name2, value2, fluid_name);
    const Fluid* fluid = find_fluid(fluid_name);
    if (!fluid) throw PropertyError("unknown fluid \"" + std::string(fluid_name) + "\"");
    const KeyName* out = find_key(output);
    if (!out) throw PropertyError("unknown output key \"" + std::string(output) + "\"");
    if (is_constant(out->key)) return fluid_constant(*fluid, out->key);

    const KeyName* k1 = find_key(name1);
    const KeyName* k2 = find_key(name2);
    if (!k1) throw PropertyError("unknown input key \"" + std::string(name1) + "\"");
    if (!k2) throw PropertyError("unknown input key \"" + std::string(name2) + "\"");
    if (!std::isfinite(value1) || !std::isfinite(value2))
        throw PropertyError("input values must be finite (" + std::string(name1) + " = " + format_number(value1) + ", " +
                            std::string(name2) + " = " + format_number(value2) + ")");
    if (k1->key == k2->key) throw PropertyError("the two inputs are the same quantity (" + std::string(name1) + ")");

    // Normalise the order: pressure first, otherwise temperature first.
    if (k2->key == Key::kP || (k2->key == Key::kT && k1->key != Key::kP)) {
        std::swap(k1, k2);
        std::swap(value1, value2);
    }
    const double M = fluid->molar_mass();
    FlashState st;
    if (k1->key == Key::kP) {
        switch (k2->key) {
            case Key::kQ: st = flash_pq(*fluid, value1, value2); break;
            case Key::kHmass: st = flash_ph(*fluid, value1, value2 * M); break;
            case Key::kHmolar: st = flash_ph(*fluid, value1, value2); break;
            case Key::kSmass: st = flash_ps(*fluid, value1, value2 * M); break;
            case Key::kSmolar: st = flash_ps(*fluid, value1, value2); break;
            case Key::kT: st = flash_pt(*fluid, value1, value2); break;
            default:
                throw PropertyError("input pair (" + std::string(name1) + ", " + std::string(name2) +
                                    ") is not supported");
        }
    } else if (k1->key == Key::kT && k2->key == Key::kQ) {
        st = flash_tq(*fluid, value1, value2);
    } else {
        throw PropertyError("input pair (" + std::string(name1) + ", " + std::string(name2) + ") is not supported");
    }
    require_physical_state(*fluid, st);
    // An output that is one of the inputs is that input, exactly.
    if (out->key == k1->key) return value1;
    if (out->key == k2->key) return value2;
    const double result = state_output(*fluid, st, *out);
    if (!std::isfinite(result))
        throw PropertyError(std::string(out->description) + " is not a finite number at this state of " + fluid->name());
    return result;
}

}  // namespace fluidprops
