// The property library against itself on the question stream of a run: the
// example chiller's first 120 s are run once through the counting library,
// which records every query the blocks make; the stream is then replayed
// through the library's core the way the C entry answers (the per-thread
// table of recent answers first, then the computation), with the fast path
// of new questions on (Arg 1) and with the earlier iterations (Arg 0). Time
// per replay of the whole stream; counters: questions, and new questions
// (those the table did not hold).
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "answer_cache.h"
#include "counting_props.h"
#include "fluidprops/flash.h"
#include "fluidprops/props_si.h"
#include "model_file.h"
#include "simulation.h"
#include "test_workdir.h"

extern "C" {
#include "sfun_runtime.h"
}

namespace {

void discard(const char*, void*) {}

// The recorded stream, made once.
const std::vector<counted_question>& stream()
{
    static std::vector<counted_question> questions = [] {
        std::vector<counted_question> q(2000000);
        const std::filesystem::path model_path =
            std::filesystem::path(CYCLESIM_SOURCE_DIR) / "examples" / "chiller" / "chiller.json";
        nlohmann::json doc;
        {
            std::ifstream in(model_path);
            doc = nlohmann::json::parse(in);
        }
        doc["solver"]["stop_time"] = 120.0;
        doc.erase("plots");
        sfun_set_print_sink(&discard, nullptr);
        testsupport::ScopedWorkdir wd(testsupport::build_dir() / "testlib" / "libcounting_props.so");
        if (!counting_props_use(testsupport::real_library().c_str())) return std::vector<counted_question>{};
        counting_props_record(q.data(), static_cast<long>(q.size()));
        {
            cyclesim::PluginRegistry registry(testsupport::blocks_dir());
            cyclesim::Simulation sim(cyclesim::parse_model(doc, model_path.string()), registry);
            cyclesim::RunObserver quiet;
            sim.run(quiet);
        }
        q.resize(static_cast<std::size_t>(counting_props_recorded()));
        counting_props_record(nullptr, 0);
        return q;
    }();
    return questions;
}

void QuestionStream(benchmark::State& state)
{
    const auto& questions = stream();
    if (questions.empty()) {
        state.SkipWithError("no stream recorded (real property library not built?)");
        return;
    }
    fluidprops::set_fast_starts_enabled(state.range(0) != 0);
    static fluidprops::AnswerCache cache;
    long fresh = 0;
    for (auto _ : state) {
        cache.clear();
        fluidprops::set_fast_starts_enabled(state.range(0) != 0);   // empty grid and saturation cache
        fresh = 0;
        double sum = 0.0;
        for (const auto& q : questions) {
            fluidprops::AnswerCache::Question key;
            const bool keep = fluidprops::AnswerCache::encode(q.output, q.name1, q.value1, q.name2, q.value2, q.fluid, key);
            double r;
            if (keep && cache.find(key, r)) {
                sum += r;
                continue;
            }
            ++fresh;
            try {
                r = fluidprops::props_si(q.output, q.name1, q.value1, q.name2, q.value2, q.fluid);
            } catch (const std::exception&) {
                r = HUGE_VAL;
            }
            if (keep && std::isfinite(r)) cache.store(key, r);
            sum += r;
        }
        benchmark::DoNotOptimize(sum);
    }
    fluidprops::set_fast_starts_enabled(true);
    state.counters["questions"] = static_cast<double>(questions.size());
    state.counters["new_questions"] = static_cast<double>(fresh);
}

BENCHMARK(QuestionStream)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
