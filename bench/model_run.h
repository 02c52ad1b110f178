// What the whole-model benchmarks share: a model file read as JSON (to be
// changed before it runs), and runs of it through the simulator with block
// prints discarded, optionally behind the property-question counter.
#pragma once

#include <benchmark/benchmark.h>

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

namespace benchrun {

using json = nlohmann::json;

inline std::filesystem::path example(const std::string& folder, const std::string& file)
{
    return std::filesystem::path(CYCLESIM_SOURCE_DIR) / "examples" / folder / file;
}

inline json read_model(const std::filesystem::path& model_path)
{
    std::ifstream in(model_path);
    return json::parse(in);
}

struct Outcome {
    bool ok = false;
    cyclesim::RunStatistics stats;
    long queries = 0;  // property questions of the last run (counted runs only)
};

// Runs the model once per benchmark iteration. With `count_questions` the
// blocks load the counting library in front of ours. A failure ends the
// benchmark with its message.
inline Outcome run_each_iteration(benchmark::State& state, const json& doc, const std::filesystem::path& model_path,
                                  bool count_questions)
{
    sfun_set_print_sink([](const char*, void*) {}, nullptr);
    Outcome out;
    const auto library = count_questions ? testsupport::build_dir() / "testlib" / "libcounting_props.so"
                                         : testsupport::real_library();
    testsupport::ScopedWorkdir wd(library);
    if (count_questions && !counting_props_use(testsupport::real_library().c_str())) {
        state.SkipWithError("real property library not built");
        return out;
    }
    try {
        cyclesim::PluginRegistry registry(testsupport::blocks_dir());
        for (auto _ : state) {
            if (count_questions) counting_props_reset();
            cyclesim::Simulation sim(cyclesim::parse_model(doc, model_path.string()), registry);
            cyclesim::RunObserver quiet;
            sim.run(quiet);
            out.stats = sim.statistics();
            if (count_questions) out.queries = counting_props_count();
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return out;
    }
    out.ok = true;
    return out;
}

}  // namespace benchrun
