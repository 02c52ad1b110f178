// Evaporator output call at typical and oversized points with the real property library:
// time per call through the host, and per call the number of property queries
// and of eval_evp_dir evaluations and zone heat rates (metodo_NTU, or
// calor_NTU as the iterations call it), counted on the model with a counting
// entry in front of the library and linker wrappers.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdio>
#include <vector>

#include "block_instance.h"
#include "fresh_point.h"
#include "test_workdir.h"

extern "C" {
#include "Evap.h"
#include "modelo_evaporador.h"
double __real_eval_evp_dir(double, double, const double*, const double*, const double*, double, const char*,
                           ParamEvap);
double __real_metodo_NTU(double, double, double, double, double, double, double, double, const char*);
double __real_calor_NTU(double, double, double, double, double, double, double, double, RelacionNTU);
}

namespace {

long evaluations = 0;
long heat_rates = 0;
long queries = 0;
CPType library_entry = nullptr;

double counting_entry(const char* out, const char* k1, double v1, const char* k2, double v2, const char* fluid)
{
    ++queries;
    return library_entry(out, k1, v1, k2, v2, fluid);
}

struct Case {
    const char* name;
    double N_placas, alfa1, alfa2, h_inicial;
    const char* sec;
    const char* tipo;
    std::vector<double> u;  // hc_out, mR, Pe, Tsec_in, msec_in, psec_in
};

// Superheated outlet (two zones), two-phase outlet, oversized packs of
// either type (the vapour leaves at full approach to the water; the outlet
// search has no root there), and an inlet just below saturated liquid.
const Case kCases[] = {
    {"superheated", 10, 800, 150, 400000, "Water", "PLATE_1_1_CU_1", {256000, 0.0056, 3e5, 285, 0.05, 2e5}},
    {"two_phase", 10, 500, 100, 390000, "Glicol_propio", "PLATE_1_1_CU_1", {245000, 0.009, 2.8e5, 282, 0.06, 2e5}},
    {"oversized", 10, 900, 180, 400000, "Water", "PLATE_1_1_CU_1", {250000, 0.002, 3e5, 288, 0.09, 2e5}},
    {"oversized_cross_flow", 12, 800, 150, 400000, "Water", "CRO_UNMIX_MIX_1", {250000, 0.003, 3e5, 283, 0.05, 2e5}},
    {"subcooled_inlet", 10, 800, 150, 400000, "Water", "PLATE_1_1_CU_1", {200600, 0.02, 3e5, 285, 0.1, 2e5}},
};

nlohmann::json params(const Case& c)
{
    nlohmann::json p = {{"N_placas", c.N_placas}, {"medidaF1", 0.01},   {"medidaC", 0.3},
                        {"medidaD", 0.07},        {"medidaF", 0.002},   {"medidaG", 0.05},
                        {"peso_intercambiador", 0.5}, {"peso_placa", 0.05}, {"densidad_material", 8000.0},
                        {"alfa1", c.alfa1},       {"alfa2", c.alfa2},   {"tipo_intercambiador", c.tipo}};
    return nlohmann::json::array({p, "R134a", c.sec, c.h_inicial});
}

void BM_EvaporatorOutputCall(benchmark::State& state)
{
    const Case& c = kCases[state.range(0)];
    state.SetLabel(c.name);
    if (!std::filesystem::exists(testsupport::real_library())) {
        state.SkipWithError("real property library not built");
        return;
    }
    testsupport::ScopedWorkdir wd(testsupport::real_library());
    cyclesim::PluginRegistry reg(testsupport::blocks_dir());
    cyclesim::BlockInstance b(reg.load("Evaporator"), "evap", cyclesim::dialog_from_json(params(c), "evap"));
    b.initialize_sizes();
    std::vector<double> u = c.u;  // the pressure moves at every call, as in a run
    testsupport::FreshPoint pressure(c.u[2]);
    for (int k = 0; k < 6; ++k) b.connect_input(0, k, &u[k]);
    b.initialize_sample_times();
    b.check_parameters();
    b.start();
    b.initialize_conditions();
    const double h_inicial = b.rwork()[3];
    for (auto _ : state) {
        b.rwork()[3] = h_inicial;  // every call starts from the same fallback
        u[2] = pressure.next();
        b.outputs(0.0, true);
        benchmark::DoNotOptimize(b.output(0)[9]);
    }
    b.terminate();

    // The same call on the model, counted.
    void* lib = dlopen(testsupport::real_library().c_str(), RTLD_NOW | RTLD_LOCAL);
    library_entry = reinterpret_cast<CPType>(dlsym(lib, "PropsSI"));
    PropsSI = counting_entry;
    double N = c.N_placas, F1 = 0.01, C = 0.3, D = 0.07, F = 0.002, G = 0.05, pi = 0.5, pp = 0.05, dm = 8000;
    double a1 = c.alfa1, a2 = c.alfa2;
    Evap = ParamEvap{&N, &F1, &C, &D, &F, &G, &pi, &pp, &dm, &a1, &a2, {}};
    snprintf(Evap.tipo_int, sizeof Evap.tipo_int, "%s", c.tipo);
    double e, A, V, h = c.h_inicial, y[NUM_SALIDAS_EVAPORADOR];
    geometria_evaporador(Evap, &e, &A, &V);
    queries = evaluations = heat_rates = 0;
    salidas_evaporador(c.u.data(), "R134a", c.sec, A, &h, y);
    state.counters["queries"] = static_cast<double>(queries);
    state.counters["eval_evp_dir"] = static_cast<double>(evaluations);
    state.counters["heat_rates"] = static_cast<double>(heat_rates);
    PropsSI = nullptr;
    dlclose(lib);
}
BENCHMARK(BM_EvaporatorOutputCall)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

}  // namespace

extern "C" double __wrap_eval_evp_dir(double h, double hc, const double* x, const double* w, const double* prop,
                                      double Aint, const char* refr, ParamEvap p)
{
    ++evaluations;
    return __real_eval_evp_dir(h, hc, x, w, prop, Aint, refr, p);
}

extern "C" double __wrap_metodo_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR,
                                    double Tc, double Tf, const char* tipo)
{
    ++heat_rates;
    return __real_metodo_NTU(A, alfa, m_sec, Cp_sec, mR, CpR, Tc, Tf, tipo);
}

extern "C" double __wrap_calor_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR,
                                   double Tc, double Tf, RelacionNTU relacion)
{
    ++heat_rates;
    return __real_calor_NTU(A, alfa, m_sec, Cp_sec, mR, CpR, Tc, Tf, relacion);
}

BENCHMARK_MAIN();
