// The controlled chiller exported with `cyclesim fmu` and driven through its
// FMI functions by the tests' importer: the first minute of plant time in
// communication steps of 2 s (the model's output interval). The time of
// instantiation and initialisation is left out; the counter step_s is the
// time per communication step.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>

#include "child_process.h"
#include "fmu_importer.h"

namespace {

namespace fs = std::filesystem;

const fs::path& exported_chiller()
{
    static const fs::path fmu = [] {
        const fs::path dir = fs::temp_directory_path() / "cyclesim_fmu_bench";
        fs::create_directories(dir);
        const fs::path file = dir / "controlled_chiller.fmu";
        // An argument vector, no shell: the paths are data.
        const cyclesim::ProcessResult r = cyclesim::run_process(
            {std::string(CYCLESIM_BUILD_DIR) + "/bin/cyclesim", "fmu",
             std::string(CYCLESIM_SOURCE_DIR) + "/examples/controlled_chiller/controlled_chiller.json", "-o",
             file.string()},
            dir);
        if (r.exit_code != 0) throw std::runtime_error("cyclesim fmu failed: " + r.err);
        return file;
    }();
    return fmu;
}

void FmuChillerCommunicationStep(benchmark::State& state)
{
    const fs::path folder = exported_chiller().parent_path() / "unzipped";
    fmutest::Fmu fmu(exported_chiller(), folder);
    constexpr double step = 2.0, span = 60.0;
    const int steps = static_cast<int>(span / step);
    for (auto _ : state) {
        state.PauseTiming();
        fmi2Component c = fmu.make("bench", false);
        if (!c || fmu.setup_experiment(c, fmi2False, 0, 0, fmi2False, 0) != fmi2OK ||
            fmu.enter_initialization(c) != fmi2OK || fmu.exit_initialization(c) != fmi2OK) {
            state.SkipWithError("the FMU did not initialise");
            break;
        }
        state.ResumeTiming();
        for (int k = 0; k < steps; ++k)
            if (fmu.do_step(c, k * step, step, fmi2True) != fmi2OK) {
                state.SkipWithError("fmi2DoStep failed");
                break;
            }
        state.PauseTiming();
        fmu.free_instance(c);
        state.ResumeTiming();
    }
    state.counters["step_s"] = benchmark::Counter(steps, benchmark::Counter::kIsIterationInvariantRate |
                                                             benchmark::Counter::kInvert);
}
BENCHMARK(FmuChillerCommunicationStep)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
