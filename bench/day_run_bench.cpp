// One simulated day (86400 s) of the controlled chiller (examples/
// controlled_chiller) at constant conditions (its scenario's load, ambient and
// fan changes switched off), with output intervals of 1, 2 and 10 s: CPU time
// per run, the integrator's steps and the logged rows as counters. The steps
// are the solver's own; the output interval should change only the rows.
// Registered only when CYCLESIM_BENCH_LONG is set in the environment (each run
// takes tens of seconds).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

// A source table held at its first value.
void hold(json& doc, const std::string& block)
{
    for (auto& b : doc["blocks"])
        if (b["name"] == block) {
            const double first = b["values"][0].get<double>();
            for (auto& v : b["values"]) v = first;
        }
}


void DayRun(benchmark::State& state)
{
    const std::filesystem::path model_path =
        std::filesystem::path(CYCLESIM_SOURCE_DIR) / "examples" / "controlled_chiller" / "controlled_chiller.json";
    json doc;
    {
        std::ifstream in(model_path);
        doc = json::parse(in);
    }
    doc["solver"]["stop_time"] = 86400.0;
    doc["solver"]["output_interval"] = static_cast<double>(state.range(0));
    doc.erase("plots");
    for (const char* block : {"water_load", "ambient_rise", "fan"}) hold(doc, block);
    sfun_set_print_sink(&discard, nullptr);

    testsupport::ScopedWorkdir wd(testsupport::real_library());
    cyclesim::RunStatistics stats;
    try {
        cyclesim::PluginRegistry registry(testsupport::blocks_dir());
        for (auto _ : state) {
            cyclesim::Simulation sim(cyclesim::parse_model(doc, model_path.string()), registry);
            cyclesim::RunObserver quiet;
            sim.run(quiet);
            stats = sim.statistics();
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    state.counters["steps"] = static_cast<double>(stats.integrator_steps);
    state.counters["rhs"] = static_cast<double>(stats.rhs_evaluations);
    state.counters["rows"] = static_cast<double>(stats.logged_rows);
    state.counters["loop_solves"] = static_cast<double>(stats.loop_solves);
}

const bool registered = std::getenv("CYCLESIM_BENCH_LONG") != nullptr &&
                        benchmark::RegisterBenchmark("DayRun", DayRun)
                                ->Arg(1)
                                ->Arg(2)
                                ->Arg(10)
                                ->Iterations(1)
                                ->Unit(benchmark::kSecond) != nullptr;

}  // namespace

BENCHMARK_MAIN();
