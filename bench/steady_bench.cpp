// The controlled chiller (examples/controlled_chiller) at constant conditions
// (the scenario's disturbances off), air at 30 or 35 degC, from the start of
// the unit's charge:
//   SteadyPoint/<air>       the settled point found directly (Newton with
//                           the charge pinned), as `cyclesim steady` does;
//   SettledTransient/<air>  the transient run until it has settled (pressures,
//                           flow, speed and opening within 1e-4 of their
//                           values over 20 s), as a rating by simulation does.
// CPU time per point; the counters give the point's condensing pressure and
// speed so that the two can be compared.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "model_file.h"
#include "simulation.h"
#include "test_workdir.h"

extern "C" {
#include "sfun_runtime.h"
}

namespace {

using json = nlohmann::json;

void discard(const char*, void*) {}

class LastRow final : public cyclesim::RunObserver {
public:
    void on_log(double, const std::vector<double>& values) override { row = values; }
    std::vector<double> row;
};

cyclesim::ModelSpec quiet_model(double air_c, bool settle)
{
    const std::filesystem::path path =
        std::filesystem::path(CYCLESIM_SOURCE_DIR) / "examples" / "controlled_chiller" / "controlled_chiller.json";
    cyclesim::ModelOverrides o;
    o.sets = {"water_load.values=[0,0,0]", "ambient_rise.values=[0,0,0]", "fan.values=[0.4,0.4,0.4,0.4,0.4]",
              "ambient.value=" + std::to_string(air_c + 273.15)};
    o.start_from = "charge";  // the charge the model's own start state holds
    o.approach = 10.0;        // the model's start convention: 10 K above the air, 5 K subcooled
    o.subcooling = 5.0;
    o.stop_time = 1200;
    if (settle)
        o.settle = json::parse(R"({"signals": [{"name": "p_cond", "rel": 1e-4}, {"name": "p_evap", "rel": 1e-4},
            {"name": "m_refr", "rel": 1e-4}, {"name": "speed", "rel": 1e-4}, {"name": "opening", "rel": 1e-4}],
            "window": 20})");
    auto model = cyclesim::load_model(path, o);
    model.plots = nullptr;
    return model;
}

template <bool Steady>
void Point(benchmark::State& state)
{
    sfun_set_print_sink(&discard, nullptr);
    testsupport::ScopedWorkdir wd(testsupport::real_library());
    const double air = static_cast<double>(state.range(0));
    std::vector<double> row;
    std::vector<std::string> names;
    try {
        const auto model = quiet_model(air, !Steady);
        cyclesim::PluginRegistry registry(testsupport::blocks_dir());
        for (auto _ : state) {
            cyclesim::Simulation sim(model, registry);
            LastRow last;
            if constexpr (Steady) {
                if (!sim.steady(last).solved) throw std::runtime_error("no steady point");
            } else {
                sim.run(last);
            }
            row = last.row;
            names = sim.log_names();
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    for (std::size_t i = 0; i < names.size() && i < row.size(); ++i)
        if (names[i] == "p_cond" || names[i] == "speed" || names[i] == "Q_evap") state.counters[names[i]] = row[i];
}

BENCHMARK(Point<true>)->Name("SteadyPoint")->Arg(30)->Arg(35)->Unit(benchmark::kMillisecond);
BENCHMARK(Point<false>)->Name("SettledTransient")->Arg(30)->Arg(35)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
