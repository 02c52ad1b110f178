// Whole simulator runs of small models with known behaviour:
//   StiffRun   the stiff linear system (lambda = 1e4) over 10 s, BDF against Adams;
//   LoopRun    an orifice/line algebraic loop (pressures ~1e6 Pa, flows ~1e-2 kg/s)
//              solved at every output evaluation while an integrator accumulates
//              the flow over 10 s.
// Counters: major steps, RHS evaluations, loop Newton iterations per solve.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "errors.h"
#include "model_file.h"
#include "simulation.h"

extern "C" {
#include "sfun_runtime.h"
}

namespace {

using json = nlohmann::json;

std::filesystem::path blocks_dir() { return std::filesystem::path(CYCLESIM_BUILD_DIR) / "blocks"; }

json stiff_model(const char* method)
{
    return {{"blocks", {{{"name", "s"}, {"sfunction", "TestStiff"}, {"params", {1e4}}}}},
            {"log", {"s.0.0", "s.0.1"}},
            {"solver", {{"stop_time", 10.0}, {"rtol", 1e-6}, {"atol", 1e-10}, {"method", method}}}};
}

json loop_model()
{
    return {{"blocks",
             {{{"name", "plow"}, {"type", "sine"}, {"amplitude", 5e4}, {"frequency", 0.2}, {"bias", 3e5}},
              {{"name", "dp"}, {"type", "sum"}, {"signs", "+-"}},
              {{"name", "orifice"}, {"sfunction", "TestMap"}, {"params", {{{"s", 2e-5}}}}},
              {{"name", "line"}, {"sfunction", "TestMap"}, {"params", {{{"c0", 1.2e6}, {"c2", -1e9}}}}},
              {{"name", "mass"}, {"sfunction", "TestIntegrator"}, {"params", {0.0, 0.0}}}}},
            {"connections",
             {{{"from", "line.0.0"}, {"to", "dp.0.0"}},
              {{"from", "plow.0"}, {"to", "dp.1"}},
              {{"from", "dp.0.0"}, {"to", "orifice.0.0"}},
              {{"from", "orifice.0.0"}, {"to", "line.0.0"}},
              {{"from", "orifice.0.0"}, {"to", "mass.0.0"}}}},
            {"log", {"mass.0.0", "line.0.0"}},
            {"solver", {{"stop_time", 10.0}, {"rtol", 1e-6}, {"atol", 1e-10}}}};
}

void discard(const char*, void*) {}

void run_model(benchmark::State& state, const json& doc)
{
    sfun_set_print_sink(&discard, nullptr);  // the blocks' console lines
    cyclesim::RunStatistics stats;
    try {
        cyclesim::PluginRegistry registry(blocks_dir());
        for (auto _ : state) {
            cyclesim::Simulation sim(cyclesim::parse_model(doc, "bench.json"), registry);
            cyclesim::RunObserver quiet;
            sim.run(quiet);
            stats = sim.statistics();
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    state.counters["steps"] = static_cast<double>(stats.major_steps);
    state.counters["rhs"] = static_cast<double>(stats.rhs_evaluations);
    state.counters["jac"] = static_cast<double>(stats.jacobian_evaluations);
    if (stats.loop_solves > 0) {
        state.counters["loop_solves"] = static_cast<double>(stats.loop_solves);
        state.counters["newton_per_solve"] = static_cast<double>(stats.loop_iterations) / stats.loop_solves;
        state.counters["residuals_per_solve"] =
            static_cast<double>(stats.loop_residual_evaluations) / stats.loop_solves;
    }
}

void StiffRunBDF(benchmark::State& state) { run_model(state, stiff_model("BDF")); }
void StiffRunAdams(benchmark::State& state) { run_model(state, stiff_model("Adams")); }
void LoopRun(benchmark::State& state) { run_model(state, loop_model()); }

BENCHMARK(StiffRunBDF)->Unit(benchmark::kMillisecond);
BENCHMARK(StiffRunAdams)->Unit(benchmark::kMillisecond);
BENCHMARK(LoopRun)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
