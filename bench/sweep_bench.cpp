// cyclesim sweep, timed whole (wall time; each iteration into a new folder,
// so nothing is resumed):
//   Envelope/settle     examples/controlled_chiller/envelope.json: 6 ambients x
//                       4 water temperatures, each point until settled (300 s
//                       at most), 2 points at a time;
//   Envelope/fixed      the same points run their full 300 s (no settle
//                       criterion), as envelope.sh did;
//   Overhead            24 points of a model that does almost nothing (the PI
//                       example for 0.5 s), with and without a preparation
//                       command: what the sweep itself costs per point (GNU
//                       parallel, process start, the point file, the run
//                       directory, collection, the table).
// Counters: points, wall per point, and from the points' own results the mean
// preparation and run times; "overhead_per_point" is the wall time the two
// workers spent per point on anything but preparing and running.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

const fs::path kSource = CYCLESIM_SOURCE_DIR;
const fs::path kCyclesim = fs::path(CYCLESIM_BUILD_DIR) / "bin" / "cyclesim";
constexpr int kJobs = 2;

fs::path scratch()
{
    static int n = 0;
    fs::path dir = fs::temp_directory_path() / ("cyclesim-sweep-bench-" + std::to_string(::getpid()) + "-" +
                                                std::to_string(n++));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Runs the sweep with stdout and stderr to files; returns its exit code.
int run_sweep(const fs::path& sweep_file, const fs::path& out)
{
    const std::vector<std::string> args = {kCyclesim.string(), "sweep", sweep_file.string(), "-o", out.string(),
                                           "--jobs", std::to_string(kJobs), "--no-plot"};
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::freopen((out.string() + ".log").c_str(), "w", stderr);
        std::freopen("/dev/null", "w", stdout);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void time_sweep(benchmark::State& state, const fs::path& sweep_file)
{
    double points = 0, prepare = 0, run = 0, wall_total = 0;
    for (auto _ : state) {
        const fs::path out = scratch() / "out";
        const auto t0 = std::chrono::steady_clock::now();
        const int code = run_sweep(sweep_file, out);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(wall);
        wall_total += wall;
        if (code != 0) {
            state.SkipWithError(("cyclesim sweep exited with " + std::to_string(code) + ", see " + out.string() +
                                 ".log")
                                    .c_str());
            return;
        }
        points = 0;
        for (const auto& e : fs::directory_iterator(out / "points")) {
            if (!e.path().string().ends_with(".result.json")) continue;
            std::ifstream in(e.path());
            const json r = json::parse(in);
            points += 1;
            prepare += r.value("prepare_s", 0.0);
            run += r.value("run_s", 0.0);
        }
        fs::remove_all(out.parent_path());
    }
    const double n = static_cast<double>(state.iterations()) * points;
    state.counters["points"] = points;
    state.counters["wall_per_point_s"] = wall_total / n;
    state.counters["prepare_per_point_s"] = prepare / n;
    state.counters["run_per_point_s"] = run / n;
    state.counters["overhead_per_point_s"] = (wall_total * kJobs - prepare - run) / n;
}

// The envelope's sweep file, as it is or with changes, written beside the
// original (its model and preparation are named relative to it).
fs::path envelope_variant(const std::string& name, bool settle)
{
    const fs::path dir = kSource / "examples" / "controlled_chiller";
    std::ifstream in(dir / "envelope.json");
    json d = json::parse(in);
    if (!settle) d.erase("settle");
    const fs::path file = scratch() / (name + ".json");
    d["model"] = (dir / d["model"].get<std::string>()).string();
    // Scripts of the preparation are named relative to the sweep file.
    for (auto& a : d["prepare"])
        if (a.is_string() && a.get<std::string>().ends_with(".py") && fs::path(a.get<std::string>()).is_relative())
            a = (dir / a.get<std::string>()).lexically_normal().string();
    std::ofstream(file) << d.dump(2);
    return file;
}

void BM_Envelope(benchmark::State& state)
{
    time_sweep(state, envelope_variant(state.range(0) ? "settle" : "fixed", state.range(0) != 0));
}
BENCHMARK(BM_Envelope)->Arg(1)->Arg(0)->ArgNames({"settle"})->UseManualTime()->Unit(benchmark::kSecond)->Iterations(2);

void BM_Overhead(benchmark::State& state)
{
    json d = {{"model", (kSource / "examples" / "control" / "pi_lag.json").string()},
              {"stop_time", 0.5},
              {"variables", {{{"name", "kp"}, {"set", "pi.kp"}, {"range", {{"from", 1}, {"to", 2}, {"count", 24}}}}}},
              {"metrics", {"y"}}};
    if (state.range(0)) d["prepare"] = {"python3", "-c", "print('--set pi.ti=2')", "{kp}"};
    const fs::path file = scratch() / "overhead.json";
    std::ofstream(file) << d.dump(2);
    time_sweep(state, file);
}
BENCHMARK(BM_Overhead)->Arg(0)->Arg(1)->ArgNames({"prepare"})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
