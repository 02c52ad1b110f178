// One output call of the Compressor plug-in at a typical R134a point with the
// real property library: time per call and property queries per call (the
// library sits behind the query counter). The same point with the analytic
// stand-in (near its guess as well) shows the cost of the block itself.
#include <benchmark/benchmark.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "block_instance.h"
#include "counting_props.h"
#include "fresh_point.h"
#include "test_workdir.h"

namespace {

void output_call(benchmark::State& state, const std::filesystem::path& library, const char* fluid, double m_vsc)
{
    if (!std::filesystem::exists(library)) {
        state.SkipWithError("property library not built");
        return;
    }
    testsupport::ScopedWorkdir wd(testsupport::build_dir() / "testlib" / "libcounting_props.so");
    if (!counting_props_use(library.c_str())) {
        state.SkipWithError("property library has no PropsSI");
        return;
    }
    const nlohmann::json params = nlohmann::json::array(
        {{{"a", 50.0}, {"b", 1.2}, {"c", 0.04}, {"St", 9e-6}, {"UA_vsc", 1.0}}, fluid, 2.8e5});
    double in[5] = {50.0, 1.2e6, m_vsc, 4.03e5, 298.0};
    cyclesim::PluginRegistry registry(testsupport::blocks_dir());
    cyclesim::BlockInstance b(registry.load("Compressor"), "comp", cyclesim::dialog_from_json(params, "comp"));
    b.initialize_sizes();
    for (int e = 0; e < 5; ++e) b.connect_input(0, e, &in[e]);
    b.initialize_sample_times();
    b.check_parameters();
    b.start();
    b.initialize_conditions();

    // The flow and the discharge pressure move at every call, as in a run.
    testsupport::FreshPoint flow(in[2]), discharge(in[1]);
    counting_props_reset();
    for (auto _ : state) {
        in[2] = flow.next();
        in[1] = discharge.next();
        b.outputs(0.0, true);
        benchmark::DoNotOptimize(b.output(0)[0]);
    }
    state.counters["queries_per_call"] =
        static_cast<double>(counting_props_count()) / static_cast<double>(state.iterations());
    state.counters["pasp_Pa"] = b.output(0)[0];
    b.terminate();
}

void BM_CompressorOutputs_R134a(benchmark::State& state)
{
    output_call(state, testsupport::real_library(), "R134a", 0.0056);
}
void BM_CompressorOutputs_Analytic(benchmark::State& state)
{
    output_call(state, testsupport::analytic_library(), "Analytic", 0.0038);
}
BENCHMARK(BM_CompressorOutputs_R134a)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CompressorOutputs_Analytic)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
