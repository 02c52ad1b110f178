// The example chiller (examples/chiller) run whole through the simulator with
// our property library behind a query counter: CPU time per run, property
// queries per run and the solver's statistics as counters.
//   ChillerRun/60     the first minute of plant time (the start-up);
//   ChillerRun/3600   one hour, registered only when CYCLESIM_BENCH_LONG is
//                     set in the environment (it takes seconds per run).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "model_run.h"

namespace {

using json = nlohmann::json;

void ChillerRun(benchmark::State& state)
{
    const auto model_path = benchrun::example("chiller", "chiller.json");
    json doc = benchrun::read_model(model_path);
    doc["solver"]["stop_time"] = static_cast<double>(state.range(0));
    doc.erase("plots");
    const auto run = benchrun::run_each_iteration(state, doc, model_path, true);
    if (!run.ok) return;
    const auto& stats = run.stats;
    const long queries = run.queries;
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
