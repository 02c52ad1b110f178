// cyclesim run / cyclesim check: simulate a model file, or validate it.
#include <unistd.h>
#include "json_messages.h"

#include <iostream>

#include "commands.h"
#include "json_depth.h"
#include "errors.h"
#include "plotting.h"
#include "run_directory.h"
#include "run_model.h"
#include "simulation.h"

namespace cyclesim::cli {

namespace {

struct RunCliOptions {
    std::string model, out, props;
    std::vector<std::string> sets;
    std::string settle;
    double stop_time = 0.0;
    bool stop_time_given = false;
    bool no_plot = false;
    bool strict = false;
    std::string format = "both";
    std::string start;
    double charge = 0.0;
    double approach = 0.0, subcooling = 0.0;
};

std::filesystem::path blocks_folder(const GlobalOptions& globals)
{
    return globals.blocks_dir.empty() ? PluginRegistry::default_folder() : std::filesystem::path(globals.blocks_dir);
}

}  // namespace

void add_run_command(CLI::App& app, const GlobalOptions& globals, int& exit_code)
{
    auto options = std::make_shared<RunCliOptions>();
    auto* cmd = app.add_subcommand("run", "simulate a model file; results in the run directory");
    cmd->add_option("model", options->model, "model file (JSON)")->required();
    cmd->add_option("-o,--output", options->out, "run directory (default: out/<model name>)");
    auto* stop = cmd->add_option("--stop-time", options->stop_time, "stop time, overriding the model's");
    cmd->add_option("--props", options->props,
                    "property library behind Tarvex_files/libCoolProp.so (default: our lib/libfluidprops.so)");
    cmd->add_option("--set", options->sets,
                    "BLOCK.PARAM[.FIELD]=VALUE: override a dialog value (PARAM = 1-based position) or a source "
                    "setting (PARAM = its name); repeatable")
        ->allow_extra_args(false);
    cmd->add_option("--settle", options->settle,
                    "settle criterion as JSON, replacing the model's solver.settle: end the run once settled, e.g. "
                    "'{\"signals\": [{\"name\": \"y\", \"abs\": 1e-3}], \"window\": 5}'");
    cmd->add_option("--start", options->start,
                    "how the run begins: dialog (the blocks' initial states), charge (the condenser's start state "
                    "from the unit's charge and the air entering it), auto (the dialog's where it condenses against the air, "
                    "else from the charge) or steady (the settled operating point of the "
                    "initial conditions); default: the model's \"start\" section")
        ->check(CLI::IsMember({"dialog", "charge", "auto", "steady"}));
    auto* charge = cmd->add_option("--charge", options->charge,
                                   "refrigerant charge in kg: the condenser starts holding it (implies --start charge "
                                   "unless --start says steady)");
    auto* approach = cmd->add_option("--approach", options->approach,
                                     "start from the charge: condensing this many K above the entering air (default: "
                                     "the model's start.approach, else 15)");
    auto* subcooling = cmd->add_option("--subcooling", options->subcooling,
                                       "start from the charge: the liquid this many K below condensing (default: the "
                                       "model's start.subcooling, else 2)");
    cmd->add_flag("--no-plot", options->no_plot, "do not draw the plots at the end of the run");
    cmd->add_flag("--strict", options->strict,
                  "stop the run when a block breaks a rule of the S-function interface (a continuous state changed "
                  "in a minor step, or in a major step without a solver reset) instead of reporting it in run.log");

    cmd->add_option("--format", options->format,
                    "result files: csv (results.csv), mat (results.mat, MAT-file v7) or both (default)")
        ->check(CLI::IsMember({"csv", "mat", "both"}));
    cmd->footer("Example:\n  cyclesim run examples/chiller/chiller.json --stop-time 600 --set speed.before=55 "
                "-o out/fast\n  (results in out/fast: results.csv, results.mat, summary.json, run.log, plots)");

    cmd->callback([options, stop, charge, approach, subcooling, &globals, &exit_code]() {
        RunOptions run;
        if (approach->count() > 0) run.approach = options->approach;
        if (subcooling->count() > 0) run.subcooling = options->subcooling;
        if (!options->start.empty()) run.start_from = options->start;
        if (charge->count() > 0) run.charge = options->charge;
        run.write_csv = options->format != "mat";
        run.write_mat = options->format != "csv";
        run.command_line = globals.command_line;
        run.model = options->model;
        if (!options->out.empty()) run.run_dir = options->out;
        if (stop->count() > 0) run.stop_time = options->stop_time;
        if (!options->props.empty()) run.props = options->props;
        run.sets = options->sets;
        run.blocks_dir = blocks_folder(globals);
        run.progress = isatty(STDERR_FILENO) != 0;
        run.strict = options->strict;
        if (!options->settle.empty()) {
            try {
                check_json_depth(options->settle, "--settle");
                run.settle = nlohmann::json::parse(options->settle);
            } catch (const SimulationError& e) {
                std::cerr << "cyclesim run: " << e.what() << std::endl;
                exit_code = 1;
                return;
            } catch (const nlohmann::json::exception&) {
                std::cerr << "cyclesim run: --settle: not valid JSON" << std::endl;
                exit_code = 1;
                return;
            }
        }
        RunOutcome outcome = run_model(run);
        // Plots of what was logged, also of a run that stopped early; a
        // plotting problem is reported but does not turn a run into a failure.
        if (!options->no_plot && !outcome.run_dir.empty() &&
            (std::filesystem::exists(outcome.run_dir / "results.csv") ||
             std::filesystem::exists(outcome.run_dir / "results.mat")))
            plot_run_directory(outcome.run_dir, run.props ? *run.props : default_property_library());
        if (outcome.ok) {
            std::cerr << "cyclesim run: completed at t = " << outcome.final_time << " ("
                      << outcome.stats.major_steps << " steps"
                      << (outcome.settled_at ? ", settled" : "") << "); results in " << outcome.run_dir.string()
                      << std::endl;
            exit_code = 0;
        } else {
            std::cerr << "cyclesim run: " << (outcome.trip ? "tripped: " : "") << outcome.message << std::endl;
            if (!outcome.run_dir.empty())
                std::cerr << "cyclesim run: results so far in " << outcome.run_dir.string() << std::endl;
            // A unit that a protection stopped is not a failed simulation:
            // scripts tell the two apart by the exit status.
            exit_code = outcome.trip ? kExitTripped : 1;
        }
    });
}

void add_check_command(CLI::App& app, const GlobalOptions& globals, int& exit_code)
{
    auto options = std::make_shared<RunCliOptions>();
    auto* cmd = app.add_subcommand("check", "validate a model file without running it");
    cmd->add_option("model", options->model, "model file (JSON)")->required();
    auto* stop = cmd->add_option("--stop-time", options->stop_time, "stop time, overriding the model's");
    cmd->add_option("--set", options->sets, "BLOCK.PARAM[.FIELD]=VALUE overrides, as for run");
    cmd->footer("Example:\n  cyclesim check examples/chiller/chiller.json --stop-time 100");

    cmd->callback([options, stop, &globals, &exit_code]() {
        try {
            ModelOverrides overrides;
            if (stop->count() > 0) overrides.stop_time = options->stop_time;
            overrides.sets = options->sets;
            ModelSpec spec = load_model(options->model, overrides);
            PluginRegistry registry(blocks_folder(globals));
            Simulation sim(spec, registry);
            for (const auto& w : spec.warnings) std::cout << "warning: " << w << "\n";
            for (const auto& w : ph_time_warnings(spec.plots, spec.solver.start_time, spec.solver.stop_time))
                std::cout << "warning: " << w << "\n";
            std::cout << "model '" << spec.name << "': " << spec.blocks.size() << " blocks, "
                      << spec.connections.size() << " connections, " << sim.num_states() << " continuous states, "
                      << spec.log.size() << " logged signals\n";
            for (const auto& l : sim.loops()) std::cout << l << "\n";
            for (const auto& l : sim.feedback_loops()) std::cout << l << "\n";
            if (!spec.interface.empty())
                std::cout << "interface: " << spec.interface.parameters.size() << " parameters, "
                          << spec.interface.inputs.size() << " inputs, " << spec.interface.outputs.size()
                          << " outputs\n";
            std::cout << "ok" << std::endl;
            exit_code = 0;
        } catch (const std::exception& e) {
            std::cerr << "cyclesim check: " << e.what() << std::endl;
            exit_code = 1;
        }
    });
}

}  // namespace cyclesim::cli
