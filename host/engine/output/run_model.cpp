#include "run_model.h"

#include "contract_checks.h"
#include "csv_results_writer.h"
#include "mat_results_writer.h"
#include "errors.h"
#include "number_text.h"
#include "plotting.h"
#include "run_directory.h"
#include "run_directory_guard.h"
#include "utf8_text.h"

extern "C" {
#include "sfun_runtime.h"
}

#include <chrono>
#include <csignal>
#include <cstdio>

namespace cyclesim {

namespace {

struct PrintTarget {
    RunLog* log;
    bool echo;
};

void print_sink(const char* text, void* context)
{
    auto* target = static_cast<PrintTarget*>(context);
    target->log->write(text);
    if (target->echo) std::fputs(text, stderr);
}

// Installs the run's sink for block prints and restores the default after.
class ScopedPrintSink {
public:
    explicit ScopedPrintSink(PrintTarget* target) { sfun_set_print_sink(&print_sink, target); }
    ~ScopedPrintSink() { sfun_set_print_sink(nullptr, nullptr); }
    ScopedPrintSink(const ScopedPrintSink&) = delete;
    ScopedPrintSink& operator=(const ScopedPrintSink&) = delete;
};

// A run stopped by Ctrl-C or a polite kill (SIGINT, SIGTERM) ends like a
// failed run: the rows so far reach results.csv and results.mat, and
// summary.json says "interrupted". The handler only notes the signal; the
// recorder acts on it at the next logged row or progress report. It also
// gives the signal back its default action, so that a second one ends a run
// stuck inside a long solve at once.
volatile std::sig_atomic_t g_stop_signal = 0;

extern "C" void note_stop_signal(int sig)
{
    g_stop_signal = sig;
    std::signal(sig, SIG_DFL);
}

class ScopedStopSignals {
public:
    ScopedStopSignals()
    {
        g_stop_signal = 0;
        previous_int_ = std::signal(SIGINT, note_stop_signal);
        previous_term_ = std::signal(SIGTERM, note_stop_signal);
    }
    ~ScopedStopSignals()
    {
        std::signal(SIGINT, previous_int_ == SIG_ERR ? SIG_DFL : previous_int_);
        std::signal(SIGTERM, previous_term_ == SIG_ERR ? SIG_DFL : previous_term_);
    }
    ScopedStopSignals(const ScopedStopSignals&) = delete;
    ScopedStopSignals& operator=(const ScopedStopSignals&) = delete;

private:
    void (*previous_int_)(int) = SIG_DFL;
    void (*previous_term_)(int) = SIG_DFL;
};

void throw_if_stop_signal(double t)
{
    const int sig = g_stop_signal;
    if (sig == 0) return;
    throw SimulationError(std::string("interrupted by ") + (sig == SIGINT ? "SIGINT" : "SIGTERM") +
                           " at t = " + number_text(t));
}

class RunRecorder final : public RunObserver {
public:
    RunRecorder(const std::vector<std::unique_ptr<ResultWriter>>& writers, const std::filesystem::path& run_dir, const SolverSpec& solver, bool progress)
        : writers_(writers), run_dir_(run_dir), solver_(solver), progress_(progress)
    {
    }

    void watch_settle(const SettleSpec& spec, const std::vector<std::string>& log_names)
    {
        settle_.emplace(spec, log_names);
    }
    bool stop_requested() const override { return settle_ && settle_->settled(); }
    std::optional<double> settled_at() const { return settle_ ? settle_->settled_at() : std::nullopt; }

    void on_log(double t, const std::vector<double>& values) override
    {
        // The model check bounds the rows of a fixed output interval; a run
        // that logs every major step is bounded here.
        if (++rows_ > kMaxOutputRows)
            throw SimulationError("the results reached " + std::to_string(kMaxOutputRows) +
                                  " rows at t = " + number_text(t) +
                                  ": set solver.output_interval so that fewer rows are logged");
        for (const auto& w : writers_) w->row(t, values);
        last_row_ = values;
        throw_if_stop_signal(t);
        if (settle_) settle_->add_row(t, values);
    }

    void on_progress(double t, const RunStatistics& stats) override
    {
        throw_if_stop_signal(t);
        if (!progress_) return;
        auto now = std::chrono::steady_clock::now();
        if (shown_ && now - last_shown_ < std::chrono::milliseconds(200) && t < solver_.stop_time) return;
        last_shown_ = now;
        shown_ = true;
        double span = solver_.stop_time - solver_.start_time;
        double pct = span > 0 ? 100.0 * (t - solver_.start_time) / span : 100.0;
        double wall = std::chrono::duration<double>(now - started_).count();
        std::fprintf(stderr, "\rt = %-12.6g %5.1f %%   wall %7.1f s   steps %ld   ", t, pct, wall, stats.major_steps);
        std::fflush(stderr);
    }

    void finish_progress()
    {
        if (shown_) std::fputc('\n', stderr);
    }

    std::string explain_failure() override
    {
        std::string msg = property_library_message(run_dir_);
        return msg.empty() ? msg : "property library: " + msg;
    }

    const std::vector<double>& last_row() const { return last_row_; }

private:
    const std::vector<std::unique_ptr<ResultWriter>>& writers_;
    std::filesystem::path run_dir_;
    SolverSpec solver_;
    bool progress_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now(), last_shown_;
    std::vector<double> last_row_;
    long rows_ = 0;
    std::optional<SettleMonitor> settle_;
};

nlohmann::json statistics_json(const RunStatistics& s)
{
    return {
        {"major_steps", s.major_steps},
        {"rhs_evaluations", s.rhs_evaluations},
        {"integrator_steps", s.integrator_steps},
        {"error_test_failures", s.error_test_failures},
        {"nonlinear_iterations", s.nonlinear_iterations},
        {"nonlinear_convergence_failures", s.nonlinear_convergence_failures},
        {"jacobian_evaluations", s.jacobian_evaluations},
        {"restarts", s.restarts},
        {"loop_solves", s.loop_solves},
        {"loop_iterations", s.loop_iterations},
        {"loop_residual_evaluations", s.loop_residual_evaluations},
        {"logged_rows", s.logged_rows},
        {"last_step_size", s.last_step_size},
    };
}

}  // namespace

ModelOverrides model_overrides(const RunOptions& options)
{
    ModelOverrides o;
    o.stop_time = options.stop_time;
    o.sets = options.sets;
    o.settle = options.settle;
    o.start_from = options.start_from;
    o.charge = options.charge;
    o.approach = options.approach;
    o.subcooling = options.subcooling;
    return o;
}

RunOutcome run_model(const RunOptions& options)
{
    RunOutcome outcome;
    std::unique_ptr<Simulation> sim;
    std::unique_ptr<PluginRegistry> registry;
    ModelSpec spec;
    try {
        spec = load_model(options.model, model_overrides(options));
        registry = std::make_unique<PluginRegistry>(options.blocks_dir);
        sim = std::make_unique<Simulation>(spec, *registry);
    } catch (const std::exception& e) {
        outcome.message = e.what();
        return outcome;
    }

    const auto wall_start = std::chrono::steady_clock::now();
    std::filesystem::path dir = options.run_dir ? *options.run_dir : std::filesystem::path("out") / spec.name;
    // Texts that go into summary.json are made valid UTF-8 now, so that the
    // report at the end cannot fail on them.
    const std::string model_file = escape_invalid_utf8(std::filesystem::absolute(spec.file).string());
    const std::string model_name = escape_invalid_utf8(spec.name);
    try {
        dir = std::filesystem::absolute(dir);
        claim_run_directory(dir);
    } catch (const std::exception& e) {
        outcome.message = e.what();
        return outcome;
    }
    try {
        auto notes = prepare_run_directory(dir, options.props ? *options.props : default_property_library());
        outcome.run_dir = dir;
        const SolverSpec& sv = spec.solver;
        nlohmann::json summary;
        summary["model"] = model_name;
        summary["model_file"] = model_file;
        summary["status"] = "running";
        summary["start_time"] = sv.start_time;
        summary["stop_time"] = sv.stop_time;
        summary["method"] = sv.method == Method::BDF ? "BDF" : "Adams";
        summary["rtol"] = sv.rtol;
        summary["atol"] = sv.atol;
        summary["command_line"] = escape_invalid_utf8(options.command_line);
        nlohmann::json sets = nlohmann::json::array();
        for (const auto& set : options.sets) sets.push_back(escape_invalid_utf8(set));
        summary["sets"] = sets;
        // A run that is killed leaves this behind: it says the run never
        // finished.
        write_json_file(dir / "summary.json", summary);

        RunLog log(dir / "run.log");
        log.line("model " + spec.name + " (" + model_file + ")");
        for (const auto& s : options.sets) log.line("--set " + s);
        for (const auto& w : spec.warnings) log.line("warning: " + w);
        for (const auto& w : ph_time_warnings(spec.plots, sv.start_time, sv.stop_time)) {
            log.line("warning: " + w);
            if (options.echo_prints) std::fprintf(stderr, "warning: %s\n", w.c_str());
        }
        for (const auto& n : notes) log.line(n);
        for (const auto& l : sim->loops()) log.line(l);
        for (const auto& l : sim->feedback_loops()) log.line(l);
        char line[256];
        std::snprintf(line, sizeof line, "solver %s, rtol %g, atol %g, t = %g .. %g, max step %g, output interval %g",
                      sv.method == Method::BDF ? "BDF" : "Adams", sv.rtol, sv.atol, sv.start_time, sv.stop_time,
                      sv.max_step, sv.output_interval);
        log.line(line);

        // The writers that are on; each gets every logged row and the summary.
        const ResultColumns columns{sim->log_names(), sim->log_units()};
        // A previous run's file of a format that is off would be read (and
        // plotted) as this run's results: it goes.
        std::error_code stale;
        if (!options.write_csv) std::filesystem::remove(dir / "results.csv", stale);
        if (!options.write_mat) std::filesystem::remove(dir / "results.mat", stale);
        std::vector<std::unique_ptr<ResultWriter>> writers;
        if (options.write_csv) writers.push_back(std::make_unique<CsvResultsWriter>(dir / "results.csv", columns));
        if (options.write_mat)
            writers.push_back(std::make_unique<MatResultsWriter>(dir / "results.mat", columns, summary));
        // What `cyclesim plot` should draw travels with the results.
        // Without a plots section: an empty one (one plot per unit), so that
        // a previous run's section is replaced, not deleted.
        nlohmann::json plots = spec.plots.is_null() ? nlohmann::json::object() : spec.plots;
        for (const auto& l : spec.log)
            if (!l.description.empty()) plots["descriptions"][l.name] = escape_invalid_utf8(l.description);
        write_json_file(dir / "plots.json", plots);
        RunRecorder recorder(writers, dir, sv, options.progress);
        if (sv.settle) recorder.watch_settle(*sv.settle, sim->log_names());
        PrintTarget target{&log, options.echo_prints};
        // A block breaking a rule of the S-function interface is reported in
        // the run log (and on the console); under --strict it stops the run.
        ContractPolicy policy;
        policy.strict = options.strict;
        policy.sink = [&log, &options](const std::string& text) {
            log.line("warning: " + text);
            if (options.echo_prints) std::fprintf(stderr, "warning: %s\n", text.c_str());
        };
        try {
            ScopedPrintSink sink(&target);
            ScopedContractPolicy contract(policy);
            WorkingDirectory wd(dir);
            ScopedStopSignals stop_signals;
            sim->run(recorder);
            outcome.ok = true;
        } catch (const TripError& e) {
            outcome.message = e.what();
            outcome.trip = e.trip();
        } catch (const std::exception& e) {
            outcome.message = e.what();
        }
        // The simulator words every failure as its own; a stop signal noted
        // during the run is what ended it.
        const bool interrupted = !outcome.ok && !outcome.trip && g_stop_signal != 0;
        recorder.finish_progress();
        for (const auto& note : sim->start_notes()) log.line(note);
        summary["start"] = sim->start_notes();
        // Legal but suspicious: the model file's and the blocks' own, in
        // the summary as well as the log, so that a sweep or a script sees
        // them without reading the log.
        nlohmann::json warnings = nlohmann::json::array();
        for (const auto& w : spec.warnings) warnings.push_back(escape_invalid_utf8(w));
        for (const auto& w : ph_time_warnings(spec.plots, sv.start_time, sv.stop_time))
            warnings.push_back(escape_invalid_utf8(w));
        for (const auto& w : sim->block_warnings()) {
            log.line("warning: " + w);
            if (options.echo_prints) std::fprintf(stderr, "warning: %s\n", w.c_str());
            warnings.push_back(escape_invalid_utf8(w));
        }
        summary["warnings"] = warnings;
        outcome.stats = sim->statistics();
        outcome.final_time = sim->time();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();

        const auto& st = outcome.stats;
        std::snprintf(line, sizeof line,
                      "statistics: %ld major steps, %ld RHS evaluations, %ld error test failures, %ld Newton iterations, "
                      "%ld convergence failures, %ld Jacobians, %ld restarts; loops: %ld solves, %ld iterations, "
                      "%ld residual evaluations; wall %.3f s",
                      st.major_steps, st.rhs_evaluations, st.error_test_failures, st.nonlinear_iterations,
                      st.nonlinear_convergence_failures, st.jacobian_evaluations, st.restarts, st.loop_solves,
                      st.loop_iterations, st.loop_residual_evaluations, wall);
        log.line(line);
        log.line(outcome.ok     ? "completed at t = " + number_text(outcome.final_time)
                 : outcome.trip ? "tripped: " + outcome.message
                                : "error: " + outcome.message);

        summary["status"] = outcome.ok ? "completed" : outcome.trip ? "tripped" : interrupted ? "interrupted" : "failed";
        if (!outcome.ok) summary["message"] = escape_invalid_utf8(outcome.message);
        if (outcome.trip) {
            const TripError::Trip& trip = *outcome.trip;
            summary["alarm"] = escape_invalid_utf8(trip.alarm);
            summary["trip"] = {{"alarm", escape_invalid_utf8(trip.alarm)},
                               {"block", escape_invalid_utf8(trip.block)},
                               {"signal", escape_invalid_utf8(trip.signal)},
                               {"value", trip.value},
                               {"limit", trip.limit},
                               {"direction", trip.direction},
                               {"since", trip.since},
                               {"time", trip.time}};
        }
        summary["final_time"] = outcome.final_time;
        outcome.settled_at = recorder.settled_at();
        if (sv.settle) {
            // Settled or not, and when: a run that reached its stop time
            // unsettled says so.
            summary["settle"] = settle_to_json(*sv.settle);
            summary["settled"] = outcome.settled_at.has_value();
            summary["settled_time"] = outcome.settled_at ? nlohmann::json(*outcome.settled_at) : nlohmann::json();
            log.line(outcome.settled_at ? "settled at t = " + number_text(*outcome.settled_at)
                                        : "not settled by t = " + number_text(outcome.final_time));
        }
        summary["wall_time_s"] = wall;
        summary["statistics"] = statistics_json(st);
        summary["steps"] = st.major_steps;
        summary["rhs_evaluations"] = st.rhs_evaluations;
        summary["loop_iterations"] = st.loop_iterations;
        summary["loops"] = sim->loops();
        nlohmann::json finals = nlohmann::json::object();
        const auto names = sim->log_names();
        for (std::size_t i = 0; i < names.size() && i < recorder.last_row().size(); ++i)
            finals[names[i]] = recorder.last_row()[i];
        summary["final_values"] = finals;
        write_json_file(dir / "summary.json", summary);
        for (const auto& w : writers) w->finish(summary);
    } catch (const std::exception& e) {
        if (outcome.message.empty()) outcome.message = e.what();
        outcome.ok = false;
    }
    return outcome;
}

}  // namespace cyclesim
