// Cost per call of the property queries the blocks make, through the C entry
// PropsSI of the shared library. Typical R134a cycle states: evaporation at
// 3e5 Pa, condensation at 1.2e6 Pa. "Fresh" variants cycle through 4096
// pressures, more than the library keeps answers of, so that every call is
// computed and no saturation state can be reused: the cost of a question.
// The others repeat one question, which the library answers from its table of
// recent answers: the cost of a repeated question.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <vector>

extern "C" double PropsSI(const char*, const char*, double, const char*, double, const char*);

namespace {

constexpr double kPe = 3e5;     // evaporation
constexpr double kPc = 1.2e6;   // condensation

struct Query {
    const char* out;
    const char* in2;
    double v2;
    double p;
    const char* fluid;
};

void run(benchmark::State& state, Query q) {
    for (auto _ : state) benchmark::DoNotOptimize(PropsSI(q.out, "P", q.p, q.in2, q.v2, q.fluid));
}

// Pressures differing in every call: saturation computed from scratch.
void run_fresh(benchmark::State& state, Query q) {
    std::vector<double> ps(4096);
    for (std::size_t i = 0; i < ps.size(); ++i) ps[i] = q.p * (1.0 + 1e-4 * static_cast<double>(i) / ps.size());
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PropsSI(q.out, "P", ps[i], q.in2, q.v2, q.fluid));
        i = (i + 1) % ps.size();
    }
}

#define PROPS_CASE(name, ...) \
    BENCHMARK_CAPTURE(run, name, Query{__VA_ARGS__}); \
    BENCHMARK_CAPTURE(run_fresh, name, Query{__VA_ARGS__})

// Saturation queries
PROPS_CASE(H_PQ1_evap_R134a, "H", "Q", 1.0, kPe, "R134a");
PROPS_CASE(H_PQ0_cond_R134a, "H", "Q", 0.0, kPc, "R134a");
PROPS_CASE(T_PQ05_cond_R134a, "T", "Q", 0.5, kPc, "R134a");
PROPS_CASE(D_PQ0_cond_R134a, "D", "Q", 0.0, kPc, "R134a");
PROPS_CASE(D_PQ1_cond_R134a, "D", "Q", 1.0, kPc, "R134a");
PROPS_CASE(V_PQ0_cond_R134a, "V", "Q", 0.0, kPc, "R134a");
PROPS_CASE(V_PQ1_cond_R134a, "V", "Q", 1.0, kPc, "R134a");
PROPS_CASE(C_PQ1_evap_R134a, "C", "Q", 1.0, kPe, "R134a");
PROPS_CASE(O_PQ1_evap_R134a, "O", "Q", 1.0, kPe, "R134a");
// (P, H), (P, S) flashes
PROPS_CASE(D_PH_subcooled_R134a, "D", "H", 2.4e5, kPc, "R134a");
PROPS_CASE(D_PH_twophase_R134a, "D", "H", 3.3e5, kPc, "R134a");
PROPS_CASE(D_PH_superheated_R134a, "D", "H", 4.4e5, kPc, "R134a");
PROPS_CASE(T_PH_superheated_R134a, "T", "H", 4.4e5, kPc, "R134a");
PROPS_CASE(T_PH_evap_superheated_R134a, "T", "H", 4.05e5, kPe, "R134a");
PROPS_CASE(Q_PH_evap_twophase_R134a, "Q", "H", 3.0e5, kPe, "R134a");
PROPS_CASE(S_PH_suction_R134a, "S", "H", 4.05e5, kPe, "R134a");
PROPS_CASE(H_PS_discharge_R134a, "H", "S", 1.75e3, kPc, "R134a");
PROPS_CASE(C_PH_superheated_R134a, "C", "H", 4.4e5, kPc, "R134a");
// (P, T) of the secondary fluids
PROPS_CASE(C_PT_Air, "C", "T", 300.0, 101325.0, "Air");
PROPS_CASE(C_PT_Water, "C", "T", 300.0, 2e5, "Water");
PROPS_CASE(C_PT_brine, "C", "T", 270.0, 2e5, "INCOMP::MEG-30%");
// Other refrigerants: saturation and a superheated (P, H) flash
PROPS_CASE(H_PQ1_R410A, "H", "Q", 1.0, 2.4e6, "R410A");
PROPS_CASE(D_PH_superheated_R410A, "D", "H", 4.6e5, 2.4e6, "R410A");
PROPS_CASE(H_PQ1_R744, "H", "Q", 1.0, 6.0e6, "R744");
PROPS_CASE(D_PH_superheated_R744, "D", "H", 4.6e5, 6.0e6, "R744");

// The queries of one condenser derivative evaluation: saturation at the two
// end pressures and at +1 Pa (12), the void-fraction correlation's densities
// and viscosities at three pressures (12), and the density of three zones (3).
void condenser_mix(benchmark::State& state, const char* fluid, double p_in) {
    const double p_out = p_in * 0.99;
    // Zone enthalpies: superheated inlet, mid two-phase, subcooled outlet.
    const double hl = PropsSI("H", "P", p_in, "Q", 0.0, fluid), hv = PropsSI("H", "P", p_in, "Q", 1.0, fluid);
    const double h_in = hv + 0.15 * (hv - hl), h_two = 0.5 * (hl + hv), h_out = hl - 0.1 * (hv - hl);
    const double p_mid = 0.5 * (p_in + p_out);
    for (auto _ : state) {
        double acc = 0.0;
        for (double p : {p_in, p_in + 1.0, p_out, p_out + 1.0}) {
            acc += PropsSI("H", "P", p, "Q", 0.0, fluid);
            acc += PropsSI("H", "P", p, "Q", 1.0, fluid);
            acc += PropsSI("T", "P", p, "Q", 0.0, fluid);
        }
        for (double p : {p_in, p_mid, p_out}) {
            acc += PropsSI("D", "P", p, "Q", 0.0, fluid);
            acc += PropsSI("D", "P", p, "Q", 1.0, fluid);
            acc += PropsSI("V", "P", p, "Q", 0.0, fluid);
            acc += PropsSI("V", "P", p, "Q", 1.0, fluid);
        }
        acc += PropsSI("D", "P", 0.5 * (p_in + p_mid), "H", h_in, fluid);
        acc += PropsSI("D", "P", p_mid, "H", h_two, fluid);
        acc += PropsSI("D", "P", 0.5 * (p_mid + p_out), "H", h_out, fluid);
        benchmark::DoNotOptimize(acc);
    }
    state.counters["queries"] = 27;
}
BENCHMARK_CAPTURE(condenser_mix, R134a, "R134a", 1.2e6);
BENCHMARK_CAPTURE(condenser_mix, R410A, "R410A", 2.4e6);
BENCHMARK_CAPTURE(condenser_mix, R32, "R32", 2.5e6);
BENCHMARK_CAPTURE(condenser_mix, R744, "R744", 6.0e6);
BENCHMARK_CAPTURE(condenser_mix, R290, "R290", 1.4e6);

}  // namespace

int main(int argc, char** argv) {
    // Start-up cost: the first query of the process builds the fluid tables.
    const auto t0 = std::chrono::steady_clock::now();
    const double h = PropsSI("H", "P", kPc, "Q", 1.0, "R134a");
    const auto t1 = std::chrono::steady_clock::now();
    std::printf("first call in process: %.1f us (result %.6g)\n",
                std::chrono::duration<double, std::micro>(t1 - t0).count(), h);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
