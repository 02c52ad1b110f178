// Cost of one viscosity evaluation per fluid: the correlation alone (the equation-of-state quantities that the
// residual-entropy and water correlations ask for answered with constants), and with those quantities from
// the EOS core and as a whole saturated-liquid query. Also the brine calls.
#include <benchmark/benchmark.h>

#include "brine.h"
#include "viscosity.h"
#include "viscosity_models.h"
#include "fluidprops/fluids.h"
#include "fluidprops/props_si.h"

namespace {

class ConstantEos : public fluidprops::ViscosityEosAccess {
public:
    double residual_molar_entropy(double, double) const override { return -40.0; }
    double dpdrho_T(double T, double) const override { return T > 900.0 ? 5.0e3 : 2.0e4; }
};

struct State { const char* fluid; double T, rho_mass; };

// Saturated liquid states around 1 MPa (3.5 MPa for CO2, 0.5 MPa for isobutane, 1 atm for water and air).
constexpr State kStates[] = {
    {"R134a", 312.54, 1149.33},     {"R32", 279.77, 1031.94},          {"n-Propane", 300.09, 489.30},
    {"R1234yf", 312.43, 1036.53},   {"R1234ze(E)", 323.26, 1073.39},   {"CarbonDioxide", 273.31, 926.47},
    {"IsoButane", 310.86, 534.24},  {"Water", 373.12, 958.37},         {"R410A", 280.32, 1140.54},
    {"R407C", 291.84, 1164.13},     {"R404A", 289.79, 1082.21},        {"Air", 78.90, 875.21},
};

void BM_Viscosity(benchmark::State& st) {
    const State& s = kStates[st.range(0)];
    const double M = fluidprops::transport::find_viscosity_model(s.fluid)->molar_mass;
    const ConstantEos eos;
    double T = s.T;
    const double rho = s.rho_mass / M;
    for (auto _ : st) {
        benchmark::DoNotOptimize(T);
        benchmark::DoNotOptimize(fluidprops::viscosity(s.fluid, T, rho, eos));
    }
    st.SetLabel(s.fluid);
}
BENCHMARK(BM_Viscosity)->DenseRange(0, 11);

// The EOS quantities from the library's core, as the library's entry point supplies them.
class CoreEos : public fluidprops::ViscosityEosAccess {
public:
    explicit CoreEos(const fluidprops::Fluid& f) : f_(f) {}
    double residual_molar_entropy(double T, double rho) const override { return f_.residual_entropy(T, rho); }
    double dpdrho_T(double T, double rho) const override {
        double p, dp;
        f_.pressure(T, rho, p, dp);
        return dp;
    }

private:
    const fluidprops::Fluid& f_;
};

void BM_ViscosityWithCoreEos(benchmark::State& st) {
    const State& s = kStates[st.range(0)];
    const double M = fluidprops::transport::find_viscosity_model(s.fluid)->molar_mass;
    const CoreEos eos(*fluidprops::find_fluid(s.fluid));
    double T = s.T;
    const double rho = s.rho_mass / M;
    for (auto _ : st) {
        benchmark::DoNotOptimize(T);
        benchmark::DoNotOptimize(fluidprops::viscosity(s.fluid, T, rho, eos));
    }
    st.SetLabel(s.fluid);
}
BENCHMARK(BM_ViscosityWithCoreEos)->DenseRange(0, 11);

// The whole query: saturation state at 1 MPa (water and air 101325 Pa, CO2 3.5 MPa, isobutane 0.5 MPa), then V.
void BM_SaturatedLiquidViscosityQuery(benchmark::State& st) {
    const State& s = kStates[st.range(0)];
    const std::string_view f = s.fluid;
    double p = f == "Water" || f == "Air" ? 101325.0 : f == "CarbonDioxide" ? 3.5e6 : f == "IsoButane" ? 5e5 : 1e6;
    for (auto _ : st) {
        benchmark::DoNotOptimize(p);
        benchmark::DoNotOptimize(fluidprops::props_si("V", "P", p, "Q", 0.0, s.fluid));
    }
    st.SetLabel(s.fluid);
}
BENCHMARK(BM_SaturatedLiquidViscosityQuery)->DenseRange(0, 11);

void BM_BrineProperty(benchmark::State& st) {
    static const char* outputs[] = {"C", "D", "H", "V"};
    const char* out = outputs[st.range(0)];
    double T = 280.0;
    for (auto _ : st) {
        benchmark::DoNotOptimize(T);
        benchmark::DoNotOptimize(fluidprops::incompressible::brine_props_si(out, "P", 2e5, "T", T, "INCOMP::MEG-30%"));
    }
    st.SetLabel(out);
}
BENCHMARK(BM_BrineProperty)->DenseRange(0, 3);

}  // namespace

BENCHMARK_MAIN();
