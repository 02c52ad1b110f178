// One simulated day (86400 s) of the controlled chiller (examples/
// controlled_chiller), CPU time per run with the integrator's steps, the
// logged rows and the property questions per step as counters.
//   DayRun/<interval>                 constant conditions (its scenario's
//                                     load, ambient and fan changes off),
//                                     output intervals 1, 2 and 10 s;
//   DayProfile/<interval>/<table>     the daily profile: ambient 22-38 degC
//                                     (warmest at 15:00) and chilled-water
//                                     inlet 10-15 degC (highest at 16:00), as
//                                     tables sampled every <table> seconds,
//                                     output intervals 1, 10 and 60 s.
// The steps are the solver's own; the output interval should change only the
// rows, the table's resolution only the breakpoints the integrator stops at.
// Registered only when CYCLESIM_BENCH_LONG is set in the environment (each run
// takes seconds).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

#include "model_run.h"

namespace {

using json = nlohmann::json;

// A source table held at its first value.
void hold(json& doc, const std::string& block)
{
    for (auto& b : doc["blocks"])
        if (b["name"] == block) {
            const double first = b["values"][0].get<double>();
            for (auto& v : b["values"]) v = first;
        }
}

// A daily sine from `low` (at `peak_hour` - 12 h) to `high` (at `peak_hour`),
// sampled every `table_step` seconds, as a table of offsets from `low`.
void daily_table(json& doc, const std::string& block, double low, double high, double peak_hour, double table_step)
{
    json times = json::array(), values = json::array();
    for (double t = 0.0; t <= 86400.0 + 1e-9; t += table_step) {
        const double phase = 2.0 * M_PI * (t / 3600.0 - peak_hour) / 24.0;
        times.push_back(t);
        values.push_back(0.5 * (high - low) * (1.0 + std::cos(phase)));
    }
    for (auto& b : doc["blocks"])
        if (b["name"] == block) {
            b["time"] = times;
            b["values"] = values;
        }
}

void set_constant(json& doc, const std::string& block, double value)
{
    for (auto& b : doc["blocks"])
        if (b["name"] == block) b["value"] = value;
}

// The controlled chiller for one day, rows every `output_interval` seconds.
json day_model(const std::filesystem::path& model_path, double output_interval)
{
    json doc = benchrun::read_model(model_path);
    doc["solver"]["stop_time"] = 86400.0;
    doc["solver"]["output_interval"] = output_interval;
    doc.erase("plots");
    return doc;
}

void DayRun(benchmark::State& state)
{
    const auto model_path = benchrun::example("controlled_chiller", "controlled_chiller.json");
    json doc = day_model(model_path, static_cast<double>(state.range(0)));
    for (const char* block : {"water_load", "ambient_rise", "fan"}) hold(doc, block);
    const auto run = benchrun::run_each_iteration(state, doc, model_path, false);
    if (!run.ok) return;
    const auto& stats = run.stats;
    state.counters["steps"] = static_cast<double>(stats.integrator_steps);
    state.counters["rhs"] = static_cast<double>(stats.rhs_evaluations);
    state.counters["rows"] = static_cast<double>(stats.logged_rows);
    state.counters["loop_solves"] = static_cast<double>(stats.loop_solves);
}

void DayProfile(benchmark::State& state)
{
    const auto model_path = benchrun::example("controlled_chiller", "controlled_chiller.json");
    json doc = day_model(model_path, static_cast<double>(state.range(0)));
    const double table_step = static_cast<double>(state.range(1));
    // Base values plus the tables' offsets: water 10-15 degC, air 22-38 degC.
    set_constant(doc, "water_inlet", 283.15);
    daily_table(doc, "water_load", 283.15, 288.15, 16.0, table_step);
    set_constant(doc, "ambient", 295.15);
    daily_table(doc, "ambient_rise", 295.15, 311.15, 15.0, table_step);
    hold(doc, "fan");
    const auto run = benchrun::run_each_iteration(state, doc, model_path, true);
    if (!run.ok) return;
    const auto& stats = run.stats;
    const long queries = run.queries;
    state.counters["steps"] = static_cast<double>(stats.integrator_steps);
    state.counters["rhs"] = static_cast<double>(stats.rhs_evaluations);
    state.counters["restarts"] = static_cast<double>(stats.restarts);
    state.counters["rows"] = static_cast<double>(stats.logged_rows);
    state.counters["loop_solves"] = static_cast<double>(stats.loop_solves);
    state.counters["loop_residuals"] = static_cast<double>(stats.loop_residual_evaluations);
    state.counters["loop_iterations"] = static_cast<double>(stats.loop_iterations);
    state.counters["jacobians"] = static_cast<double>(stats.jacobian_evaluations);
    state.counters["questions_per_step"] =
        stats.integrator_steps > 0 ? static_cast<double>(queries) / static_cast<double>(stats.integrator_steps) : 0.0;
}

const bool profile_registered = std::getenv("CYCLESIM_BENCH_LONG") != nullptr &&
                                benchmark::RegisterBenchmark("DayProfile", DayProfile)
                                        ->Args({1, 900})
                                        ->Args({10, 900})
                                        ->Args({60, 900})
                                        ->Args({60, 3600})
                                        ->Args({60, 300})
                                        ->Args({60, 60})
                                        ->Iterations(1)
                                        ->Unit(benchmark::kSecond) != nullptr;

const bool registered = std::getenv("CYCLESIM_BENCH_LONG") != nullptr &&
                        benchmark::RegisterBenchmark("DayRun", DayRun)
                                ->Arg(1)
                                ->Arg(2)
                                ->Arg(10)
                                ->Iterations(1)
                                ->Unit(benchmark::kSecond) != nullptr;

}  // namespace

BENCHMARK_MAIN();
