// Cost of the condenser at a typical R134a operating point with the real
// property library: one output call and one derivative call per mode, through
// the plug-in as the host calls it, and the number of property queries each
// makes (counted on the model functions the plug-in runs).
#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "block_instance.h"
#include "fresh_point.h"
#include "test_workdir.h"

#include "Cond.h"

using namespace cyclesim;
using nlohmann::json;

namespace {

json params(double mode, const char* tipo)
{
    return json::array({{{"N_pasos", 4},
                         {"N_tubos", 10},
                         {"L_tubos", 0.5},
                         {"D_tubos", 0.0095},
                         {"kperd", 0.0},
                         {"alfa1", 100.0},
                         {"alfa2", 200.0},
                         {"alfa3", 50.0},
                         {"tipo_intercambiador", tipo}},
                        "R134a",
                        "Air",
                        {{"Condenser_L1_inicial", 0.1},
                         {"Condenser_P_inicial", 1.19e6},
                         {"Condenser_h3_inicial", 250000.0},
                         {"Condenser_L3_inicial", 0.1},
                         {"Condenser_gamma_inicial", mode == 1.0 ? 0.85 : 0.92},
                         {"Condenser_mode", mode}},
                        {{"Lmin", 0.02}, {"Lmin_gamma", 0.05}, {"Kh", 0.5}, {"Kgamma", 0.0}}});
}

double u[4] = {0.0056, 0.0056, 440000.0, 1.2e6};
double w[3] = {300.0, 0.25, 1e5};

// Counting wrapper around the real library's entry.
CPType real_entry = nullptr;
long queries = 0;
extern "C" double counting_props(const char* o, const char* n1, double v1, const char* n2, double v2,
                                 const char* f)
{
    ++queries;
    return real_entry(o, n1, v1, n2, v2, f);
}

// Queries of one output and one derivative evaluation, made exactly as the
// plug-in makes them.
void count_queries(double mode, const char* tipo, long& n_out, long& n_der)
{
    static double g[8] = {4, 10, 0.5, 0.0095, 0, 100, 200, 50}, sim[4] = {0.02, 0.05, 0.5, 0};
    const double* gp[8];
    for (int k = 0; k < 8; ++k) gp[k] = &g[k];
    CondAire = ParamCond{gp[0], gp[1], gp[2], gp[3], gp[4], gp[5], gp[6], gp[7], 0, 0, {}};
    CondAire.Aintercambio = 3.14159265359 * 4 * 10 * 0.0095 * 0.5;
    CondAire.V_R = 0.0095 / 4 * CondAire.Aintercambio;
    std::snprintf(CondAire.tipo_interc, sizeof CondAire.tipo_interc, "%s", tipo);
    std::snprintf(refr, sizeof refr, "R134a");
    std::snprintf(secflux, sizeof secflux, "Air");
    Param_sim = Parametros_de_simulacion{&sim[0], &sim[1], &sim[2], &sim[3]};

    const double x[5] = {0.1, 1.19e6, 250000.0, 0.1, mode == 1.0 ? 0.85 : 0.92};
    const double u3[3] = {(u[0] + u[1]) / 2, u[2], u[3]};
    double y[N_SAL_CONDENSADOR] = {}, xdot[N_ESTADOS_CONDENSADOR];
    queries = 0;
    double L1 = x[0];
    if (mode == 1.0) L1 = metodo_ajuste_L1_condens(x[0], x, u3, w, counting_props, nullptr);
    evaluacion_L1_condens(y, L1, x, u3, w, &mode, counting_props, nullptr);
    publicar_salida_condensador(y, L1, mode == 1.0 ? y[SAL_GAMMATOT] : x[ESTADO_GAMMA]);
    n_out = queries;
    queries = 0;
    if (mode == 1.0)
        modelo_condensador_modo1(xdot, x, u, y, counting_props, nullptr);
    else
        modelo_condensador_modo2(xdot, x, u, y, counting_props, nullptr);
    n_der = queries;
}

void run(benchmark::State& state, double mode, const char* tipo, bool derivative)
{
    if (!std::filesystem::exists(testsupport::real_library())) {
        state.SkipWithError("real property library not built");
        return;
    }
    if (!real_entry) {
        void* h = dlopen(testsupport::real_library().c_str(), RTLD_LAZY | RTLD_LOCAL);
        real_entry = h ? reinterpret_cast<CPType>(dlsym(h, "PropsSI")) : nullptr;
    }
    testsupport::ScopedWorkdir wd(testsupport::real_library());
    PluginRegistry reg(testsupport::blocks_dir());
    BlockInstance b(reg.load("Condenser"), "cond", dialog_from_json(params(mode, tipo), "cond"));
    b.initialize_sizes();
    for (int e = 0; e < 4; ++e) b.connect_input(0, e, &u[e]);
    for (int e = 0; e < 3; ++e) b.connect_input(1, e, &w[e]);
    b.initialize_sample_times();
    b.check_parameters();
    b.initialize_conditions();
    b.outputs(0, true);  // the first call also pays for loading fluid data
    // The pressure and the inlet enthalpy move at every call, as in a run.
    testsupport::FreshPoint pressure(b.cont_states()[ESTADO_P]), enthalpy(u[2]);
    const double inlet_enthalpy = u[2];
    for (auto _ : state) {
        b.cont_states()[ESTADO_P] = pressure.next();
        u[2] = enthalpy.next();
        if (derivative)
            b.derivatives(0, true);
        else
            b.outputs(0, true);
        benchmark::DoNotOptimize(b.output(0).data());
    }
    u[2] = inlet_enthalpy;
    b.terminate();
    if (real_entry) {
        long n_out = 0, n_der = 0;
        count_queries(mode, tipo, n_out, n_der);
        state.counters["queries"] = static_cast<double>(derivative ? n_der : n_out);
    }
}

void BM_Outputs_Mode1_Cross(benchmark::State& s) { run(s, 1.0, TIPO_FLUJO_CRUZADO, false); }
void BM_Derivatives_Mode1_Cross(benchmark::State& s) { run(s, 1.0, TIPO_FLUJO_CRUZADO, true); }
void BM_Outputs_Mode2_Cross(benchmark::State& s) { run(s, 2.0, TIPO_FLUJO_CRUZADO, false); }
void BM_Derivatives_Mode2_Cross(benchmark::State& s) { run(s, 2.0, TIPO_FLUJO_CRUZADO, true); }
void BM_Outputs_Mode1_Plate(benchmark::State& s) { run(s, 1.0, TIPO_CONTRACORRIENTE, false); }
void BM_Derivatives_Mode1_Plate(benchmark::State& s) { run(s, 1.0, TIPO_CONTRACORRIENTE, true); }
void BM_Outputs_Mode2_Plate(benchmark::State& s) { run(s, 2.0, TIPO_CONTRACORRIENTE, false); }
void BM_Derivatives_Mode2_Plate(benchmark::State& s) { run(s, 2.0, TIPO_CONTRACORRIENTE, true); }

}  // namespace

BENCHMARK(BM_Outputs_Mode1_Cross)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Derivatives_Mode1_Cross)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Outputs_Mode2_Cross)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Derivatives_Mode2_Cross)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Outputs_Mode1_Plate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Derivatives_Mode1_Plate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Outputs_Mode2_Plate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Derivatives_Mode2_Plate)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
