#include "steady_model.h"

#include "csv_results_writer.h"
#include "errors.h"
#include "mat_results_writer.h"
#include "number_text.h"
#include "run_directory.h"
#include "run_directory_guard.h"
#include "utf8_text.h"

extern "C" {
#include "sfun_runtime.h"
}

#include <cstdio>
#include <cstdlib>

namespace cyclesim {

namespace {

using json = nlohmann::json;

// Block prints go to the run log only.
void log_sink(const char* text, void* context) { static_cast<RunLog*>(context)->write(text); }

class PointRecorder final : public RunObserver {
public:
    PointRecorder(const std::vector<std::unique_ptr<ResultWriter>>& writers, std::filesystem::path dir)
        : writers_(writers), dir_(std::move(dir))
    {
    }
    void on_log(double t, const std::vector<double>& values) override
    {
        for (const auto& w : writers_) w->row(t, values);
        row_ = values;
    }
    std::string explain_failure() override
    {
        const std::string msg = property_library_message(dir_);
        return msg.empty() ? msg : "property library: " + msg;
    }
    const std::vector<double>& row() const { return row_; }

private:
    const std::vector<std::unique_ptr<ResultWriter>>& writers_;
    std::filesystem::path dir_;
    std::vector<double> row_;
};

json rating_json(const SteadyPoint::Rating& r)
{
    return {{"capacity_W", r.capacity},
            {"power_W", r.power},
            {"COP", r.cop},
            {"heat_rejected_W", r.heat_rejected},
            {"compression_gain_W", r.compression_gain},
            {"compressor_heat_loss_W", r.power - r.compression_gain},
            {"energy_balance_residual", r.energy_residual},
            {"suction_pressure_Pa", r.suction_pressure},
            {"condensing_pressure_Pa", r.condensing_pressure},
            {"superheat_K", r.superheat},
            {"subcooling_K", r.subcooling},
            {"refrigerant_flow_kg_s", r.refrigerant_flow}};
}

json point_json(const SteadyPoint& p, const Simulation& sim, const std::vector<double>& row)
{
    json out;
    out["steady"] = p.solved;
    if (!p.solved) out["reason"] = escape_invalid_utf8(p.reason);
    out["method"] = p.method;
    out["time"] = p.time;
    if (p.rating) out["rating"] = rating_json(*p.rating);
    json signals = json::object();
    const auto names = sim.log_names();
    const auto units = sim.log_units();
    for (std::size_t i = 0; i < names.size() && i < row.size(); ++i)
        signals[escape_invalid_utf8(names[i])] = {{"value", row[i]}, {"unit", escape_invalid_utf8(units[i])}};
    out["signals"] = signals;
    json states = json::array();
    for (const auto& s : p.states)
        states.push_back({{"state", escape_invalid_utf8(s.name)},
                          {"value", s.value},
                          {"derivative", s.derivative},
                          {"scaled_derivative", s.scaled},
                          {"role", s.role}});
    out["states"] = states;
    out["largest_scaled_derivative"] = p.worst_scaled_derivative;
    out["largest_derivative_state"] = escape_invalid_utf8(p.worst_state);
    if (p.charge) out["charge_kg"] = *p.charge;
    if (p.charge_target) out["charge_pinned_kg"] = *p.charge_target;
    json limits = json::array();
    for (const auto& l : p.limits) limits.push_back(escape_invalid_utf8(l));
    out["controllers_at_limits"] = limits;
    out["newton_iterations"] = p.newton_iterations;
    out["residual_evaluations"] = p.residual_evaluations;
    out["cpu_seconds"] = p.cpu_seconds;
    return out;
}

}  // namespace

SteadyOutcome steady_model(const RunOptions& options)
{
    SteadyOutcome outcome;
    std::unique_ptr<Simulation> sim;
    std::unique_ptr<PluginRegistry> registry;
    ModelSpec spec;
    try {
        ModelOverrides overrides = model_overrides(options);
        overrides.stop_time.reset();
        overrides.settle.reset();
        spec = load_model(options.model, overrides);
        registry = std::make_unique<PluginRegistry>(options.blocks_dir);
        sim = std::make_unique<Simulation>(spec, *registry);
    } catch (const std::exception& e) {
        outcome.message = e.what();
        return outcome;
    }
    std::filesystem::path dir =
        options.run_dir ? *options.run_dir : std::filesystem::path("out") / (spec.name + "_steady");
    try {
        dir = std::filesystem::absolute(dir);
        claim_run_directory(dir);
        auto notes = prepare_run_directory(dir, options.props ? *options.props : default_property_library());
        outcome.run_dir = dir;
        RunLog log(dir / "run.log");
        log.line("steady state of model " + spec.name + " (" + std::filesystem::absolute(spec.file).string() + ")");
        for (const auto& s : options.sets) log.line("--set " + s);
        for (const auto& w : spec.warnings) log.line("warning: " + w);
        for (const auto& n : notes) log.line(n);

        std::error_code stale;
        for (const char* f : {"results.csv", "results.mat", "summary.json", "steady.json"})
            std::filesystem::remove(dir / f, stale);
        const ResultColumns columns{sim->log_names(), sim->log_units()};
        json summary = {{"model", escape_invalid_utf8(spec.name)}, {"command_line", escape_invalid_utf8(options.command_line)}};
        std::vector<std::unique_ptr<ResultWriter>> writers;
        if (options.write_csv) writers.push_back(std::make_unique<CsvResultsWriter>(dir / "results.csv", columns));
        if (options.write_mat)
            writers.push_back(std::make_unique<MatResultsWriter>(dir / "results.mat", columns, summary));
        // The model's pressure-enthalpy diagram, drawn at the point (the
        // time plots of a single row would show nothing).
        json plots = {{"time", json::array()}};
        if (spec.plots.is_object() && spec.plots.contains("ph")) {
            plots["ph"] = spec.plots["ph"];
            plots["ph"]["times"] = json::array({spec.solver.start_time});
        }
        write_json_file(dir / "plots.json", plots);

        PointRecorder recorder(writers, dir);
        SteadyPoint point;
        try {
            sfun_set_print_sink(&log_sink, &log);
            WorkingDirectory wd(dir);
            point = sim->steady(recorder);
            sfun_set_print_sink(nullptr, nullptr);
        } catch (const std::exception& e) {
            sfun_set_print_sink(nullptr, nullptr);
            outcome.message = e.what();
            log.line("error: " + outcome.message);
            json failed = {{"model", escape_invalid_utf8(spec.name)}, {"steady", false},
                           {"reason", escape_invalid_utf8(outcome.message)}};
            write_json_file(dir / "steady.json", failed);
            outcome.report = failed;
            return outcome;
        }
        for (const auto& n : sim->start_notes()) log.line(n);
        json report = point_json(point, *sim, recorder.row());
        report["model"] = escape_invalid_utf8(spec.name);
        report["model_file"] = escape_invalid_utf8(std::filesystem::absolute(spec.file).string());
        report["command_line"] = escape_invalid_utf8(options.command_line);
        report["start"] = sim->start_notes();
        const auto& st = sim->statistics();
        report["loop_solves"] = st.loop_solves;
        report["loop_residual_evaluations"] = st.loop_residual_evaluations;
        write_json_file(dir / "steady.json", report);
        summary["status"] = point.solved ? "steady" : "no steady state";
        for (const auto& w : writers) w->finish(summary);
        char line[300];
        std::snprintf(line, sizeof line,
                      "%s: %ld Newton iterations, %ld residual evaluations, largest scaled derivative %.3g 1/s (%s), "
                      "cpu %.3f s",
                      point.solved ? "steady point found" : "no steady point", point.newton_iterations,
                      point.residual_evaluations, point.worst_scaled_derivative, point.worst_state.c_str(),
                      point.cpu_seconds);
        log.line(line);
        if (!point.solved) log.line("reason: " + point.reason);
        outcome.point = point;
        outcome.report = report;
        outcome.ok = point.solved;
        if (!point.solved) outcome.message = "no steady state: " + point.reason;
    } catch (const std::exception& e) {
        if (outcome.message.empty()) outcome.message = e.what();
        outcome.ok = false;
    }
    return outcome;
}

Simulation::StartState start_state_model(const RunOptions& options)
{
    const ModelSpec spec = load_model(options.model, model_overrides(options));
    PluginRegistry registry(options.blocks_dir);
    Simulation sim(spec, registry);
    // The blocks run in a scratch run directory linking to the property
    // library, removed afterwards.
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "cyclesim-start-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw SimulationError("cannot create a temporary directory for the start");
    const fs::path dir = pattern;
    struct Remove {
        fs::path dir;
        ~Remove()
        {
            std::error_code ec;
            fs::remove_all(dir, ec);
        }
    } remove{dir};
    prepare_run_directory(dir, options.props ? *options.props : default_property_library());
    std::vector<std::unique_ptr<ResultWriter>> none;
    PointRecorder quiet(none, dir);
    sfun_set_print_sink([](const char*, void*) {}, nullptr);
    try {
        WorkingDirectory wd(dir);
        auto state = sim.start_state(quiet);
        sfun_set_print_sink(nullptr, nullptr);
        return state;
    } catch (...) {
        sfun_set_print_sink(nullptr, nullptr);
        throw;
    }
}

std::string steady_text(const json& report)
{
    std::string out;
    char line[400];
    auto add = [&](const char* label, const char* key, const char* unit, double factor = 1.0, double offset = 0.0) {
        if (!report.contains("rating") || !report["rating"].contains(key)) return;
        std::snprintf(line, sizeof line, "  %-28s %14.6g %s\n", label, report["rating"][key].get<double>() * factor + offset,
                      unit);
        out += line;
    };
    if (report.contains("rating")) {
        out += "rating at the steady point:\n";
        add("cooling capacity", "capacity_W", "W");
        add("compressor power", "power_W", "W");
        add("COP", "COP", "-");
        add("condenser heat", "heat_rejected_W", "W");
        add("compressor heat loss", "compressor_heat_loss_W", "W");
        add("energy balance residual", "energy_balance_residual", "(of the condenser heat)");
        add("suction pressure", "suction_pressure_Pa", "Pa");
        add("condensing pressure", "condensing_pressure_Pa", "Pa");
        add("superheat", "superheat_K", "K");
        add("subcooling", "subcooling_K", "K");
        add("refrigerant flow", "refrigerant_flow_kg_s", "kg/s");
    }
    if (report.contains("charge_kg")) {
        std::snprintf(line, sizeof line, "  %-28s %14.9g kg (pinned %.9g kg)\n", "charge", report["charge_kg"].get<double>(),
                      report.value("charge_pinned_kg", 0.0));
        out += line;
    }
    for (const auto& l : report.value("controllers_at_limits", json::array())) out += "  controller " + l.get<std::string>() + "\n";
    if (report.contains("signals")) {
        out += "logged signals:\n";
        for (auto it = report["signals"].begin(); it != report["signals"].end(); ++it) {
            std::snprintf(line, sizeof line, "  %-28s %14.9g %s\n", it.key().c_str(), (*it)["value"].get<double>(),
                          (*it)["unit"].get<std::string>().c_str());
            out += line;
        }
    }
    return out;
}

}  // namespace cyclesim
