// The example chiller (examples/chiller) run whole through the simulator with
// our property library behind a query counter: CPU time per run, property
// queries per run and the solver's statistics as counters.
//   ChillerRun/60     the first minute of plant time (the start-up);
//   ChillerRun/3600   one hour, registered only when CYCLESIM_BENCH_LONG is
//                     set in the environment (it takes seconds per run).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "counting_props.h"
#include "errors.h"
#include "model_file.h"
#include "simulation.h"
#include "test_workdir.h"

extern "C" {
#include "sfun_runtime.h"
}

namespace {

using json = nlohmann::json;

void discard(const char*, void*) {}

void ChillerRun(benchmark::State& state)
{
    const std::filesystem::path model_path = std::filesystem::path(CYCLESIM_SOURCE_DIR) / "examples" / "chiller" / "chiller.json";
    json doc;
    {
        std::ifstream in(model_path);
        doc = json::parse(in);
    }
    doc["solver"]["stop_time"] = static_cast<double>(state.range(0));
    doc.erase("plots");
    sfun_set_print_sink(&discard, nullptr);

    testsupport::ScopedWorkdir wd(testsupport::build_dir() / "testlib" / "libcounting_props.so");
    if (!counting_props_use(testsupport::real_library().c_str())) {
        state.SkipWithError("real property library not built");
        return;
    }
    cyclesim::RunStatistics stats;
    long queries = 0;
    try {
        cyclesim::PluginRegistry registry(testsupport::blocks_dir());
        for (auto _ : state) {
            counting_props_reset();
            cyclesim::Simulation sim(cyclesim::parse_model(doc, model_path.string()), registry);
            cyclesim::RunObserver quiet;
            sim.run(quiet);
            stats = sim.statistics();
            queries = counting_props_count();
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    state.counters["queries"] = static_cast<double>(queries);
    state.counters["steps"] = static_cast<double>(stats.major_steps);
    state.counters["rhs"] = static_cast<double>(stats.rhs_evaluations);
    state.counters["loop_solves"] = static_cast<double>(stats.loop_solves);
    state.counters["loop_residuals"] = static_cast<double>(stats.loop_residual_evaluations);
}

BENCHMARK(ChillerRun)->Arg(60)->Unit(benchmark::kMillisecond);

const bool long_run_registered = std::getenv("CYCLESIM_BENCH_LONG") != nullptr &&
                                 benchmark::RegisterBenchmark("ChillerRun", [](benchmark::State& s) {
                                     ChillerRun(s);
                                 })->Arg(3600)->Iterations(1)->Unit(benchmark::kMillisecond) != nullptr;

}  // namespace

BENCHMARK_MAIN();
