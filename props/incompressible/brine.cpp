// Aqueous brines described by two-dimensional polynomials in temperature and mass fraction.
//
// The liquid is treated as incompressible: specific heat, density and viscosity depend on temperature and
// composition only. The enthalpy is the integral of the specific heat plus the pressure term of a liquid
// whose density changes with temperature, dh = cp dT + v (1 - T beta) dp, with beta = -(1/rho) drho/dT.
#include "brine_models.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace fluidprops::incompressible {
namespace {

constexpr std::string_view kPrefix = "INCOMP::";

// Antiderivative in T of the polynomial (constant of integration chosen so it vanishes at T_base).
double integral_in_T(const Polynomial2D& p, double dT, double dx) {
    double sum = 0.0, pT = dT;
    for (int i = 0; i < p.rows; ++i) {
        double inner = 0.0;
        for (int j = p.cols - 1; j >= 0; --j) inner = inner * dx + p.c[static_cast<std::size_t>(i * p.cols + j)];
        sum += inner * pT / (i + 1);
        pT *= dT;
    }
    return sum;
}

// d/dT of the polynomial.
double derivative_in_T(const Polynomial2D& p, double dT, double dx) {
    double sum = 0.0, pT = 1.0;
    for (int i = 1; i < p.rows; ++i) {
        double inner = 0.0;
        for (int j = p.cols - 1; j >= 0; --j) inner = inner * dx + p.c[static_cast<std::size_t>(i * p.cols + j)];
        sum += i * inner * pT;
        pT *= dT;
    }
    return sum;
}

// v (1 - T beta): the pressure coefficient of the enthalpy at constant temperature.
double pressure_coefficient(const BrineModel& b, double T, double x) {
    const double rho = density(b, T, x);
    const double drho_dT = derivative_in_T(b.density, T - b.T_base, x - b.x_base);
    return (1.0 + T * drho_dT / rho) / rho;
}

bool parse_number(std::string_view s, double& out) {
    if (s.empty()) return false;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && ptr == last && std::isfinite(out);
}

bool is_key(std::string_view key, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names) {
        if (key == n) return true;
        if (key.size() == n.size()) {
            bool upper_match = true;
            for (std::size_t i = 0; i < n.size() && upper_match; ++i) {
                char c = n[i];
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
                upper_match = key[i] == c;
            }
            if (upper_match) return true;
        }
    }
    return false;
}

}  // namespace

double evaluate(const Polynomial2D& p, double dT, double dx) {
    double sum = 0.0;
    for (int i = p.rows - 1; i >= 0; --i) {
        double inner = 0.0;
        for (int j = p.cols - 1; j >= 0; --j) inner = inner * dx + p.c[static_cast<std::size_t>(i * p.cols + j)];
        sum = sum * dT + inner;
    }
    return sum;
}

std::optional<BrineName> parse_brine_name(std::string_view fluid) {
    if (fluid.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    std::string_view rest = fluid.substr(kPrefix.size());
    for (const BrineModel& b : brine_models()) {
        if (rest.size() <= b.name.size() || rest.substr(0, b.name.size()) != b.name) continue;
        std::string_view tail = rest.substr(b.name.size());
        double value = 0.0;
        if (tail.front() == '-' && tail.back() == '%') {
            if (!parse_number(tail.substr(1, tail.size() - 2), value)) return std::nullopt;
            return BrineName{&b, value / 100.0};
        }
        if (tail.front() == '[' && tail.back() == ']') {
            if (!parse_number(tail.substr(1, tail.size() - 2), value)) return std::nullopt;
            return BrineName{&b, value};
        }
        return std::nullopt;
    }
    return std::nullopt;
}

bool is_brine_name(std::string_view fluid) {
    const auto parsed = parse_brine_name(fluid);
    return parsed && parsed->mass_fraction >= parsed->model->x_min && parsed->mass_fraction <= parsed->model->x_max;
}

bool names_brine(std::string_view fluid) { return parse_brine_name(fluid).has_value(); }

double freezing_temperature(const BrineModel& b, double x) { return evaluate(b.freezing, 0.0, x - b.x_base); }

double specific_heat(const BrineModel& b, double T, double x) {
    return evaluate(b.specific_heat, T - b.T_base, x - b.x_base);
}

double density(const BrineModel& b, double T, double x) { return evaluate(b.density, T - b.T_base, x - b.x_base); }

double dynamic_viscosity(const BrineModel& b, double T, double x) {
    return std::exp(evaluate(b.viscosity, T - b.T_base, x - b.x_base));
}

double enthalpy(const BrineModel& b, double T, double p, double x) {
    const double dx = x - b.x_base;
    const double caloric = integral_in_T(b.specific_heat, T - b.T_base, dx) -
                           integral_in_T(b.specific_heat, kEnthalpyReferenceT - b.T_base, dx);
    return caloric + p * pressure_coefficient(b, T, x) -
           kEnthalpyReferenceP * pressure_coefficient(b, kEnthalpyReferenceT, x);
}

void check_temperature(const BrineModel& b, double T, double x, std::string_view fluid) {
    if (!std::isfinite(T)) throw PropertyError(std::string(fluid) + ": temperature is not a finite number");
    // The freezing point lies above T_min for every composition in range, so this is tested first and
    // gives the more useful message for cold states.
    const double T_freeze = freezing_temperature(b, x);
    if (T < T_freeze)
        throw PropertyError(std::string(fluid) + ": temperature " + format_number(T) + " K is below the freezing point " +
                            format_number(T_freeze) + " K");
    if (T < b.T_min || T > b.T_max)
        throw PropertyError(std::string(fluid) + ": temperature " + format_number(T) + " K is outside the range " +
                            format_number(b.T_min) + " K to " + format_number(b.T_max) + " K");
}

double brine_props_si(std::string_view output, std::string_view name1, double value1, std::string_view name2,
                      double value2, std::string_view fluid) {
    const auto parsed = parse_brine_name(fluid);
    if (!parsed) throw PropertyError("unknown incompressible fluid '" + std::string(fluid) + "'");
    const BrineModel& b = *parsed->model;
    const double x = parsed->mass_fraction;
    if (!(x >= b.x_min && x <= b.x_max))
        throw PropertyError(std::string(fluid) + ": mass fraction " + format_number(x) + " is outside the range " +
                            format_number(b.x_min) + " to " + format_number(b.x_max));

    double T = 0.0, p = 0.0;
    if (is_key(name1, {"T"}) && is_key(name2, {"P"})) {
        T = value1;
        p = value2;
    } else if (is_key(name1, {"P"}) && is_key(name2, {"T"})) {
        p = value1;
        T = value2;
    } else {
        throw PropertyError(std::string(fluid) + ": input pair (" + std::string(name1) + ", " + std::string(name2) +
                            ") is not supported; give pressure and temperature");
    }
    if (!std::isfinite(p) || !(p > 0.0))
        throw PropertyError(std::string(fluid) + ": invalid pressure " + format_number(p) + " Pa");
    if (p < kBrinePressureMin || p > kBrinePressureMax)
        throw PropertyError(std::string(fluid) + ": pressure " + format_number(p) + " Pa is outside the range " +
                            format_number(kBrinePressureMin) + " Pa to " + format_number(kBrinePressureMax) + " Pa");
    check_temperature(b, T, x, fluid);

    if (is_key(output, {"T"})) return T;
    if (is_key(output, {"P"})) return p;
    if (is_key(output, {"C", "Cpmass"})) return specific_heat(b, T, x);
    if (is_key(output, {"D", "Dmass"})) return density(b, T, x);
    if (is_key(output, {"H", "Hmass"})) return enthalpy(b, T, p, x);
    if (is_key(output, {"V", "viscosity"})) return dynamic_viscosity(b, T, x);
    throw PropertyError(std::string(fluid) + ": output '" + std::string(output) +
                        "' is not available for incompressible brines (available: T, P, C, D, H, V)");
}

}  // namespace fluidprops::incompressible
