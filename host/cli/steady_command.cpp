// cyclesim steady: the settled operating point of a model, directly.
#include <cstdio>
#include <iostream>

#include "errors.h"

#include "commands.h"
#include "run_directory.h"
#include "steady_model.h"

namespace cyclesim::cli {

namespace {

struct SteadyCliOptions {
    std::string model, out, props, start;
    std::vector<std::string> sets;
    double charge = 0.0;
    bool no_plot = false;
    bool json = false;
};

}  // namespace

void add_steady_command(CLI::App& app, const GlobalOptions& globals, int& exit_code)
{
    auto options = std::make_shared<SteadyCliOptions>();
    auto* cmd = app.add_subcommand(
        "steady", "the settled operating point of a model at its start time's inputs: capacity, power, COP, state "
                  "points, every logged signal; steady.json and the p-h diagram in the run directory");
    cmd->add_option("model", options->model, "model file (JSON)")->required();
    cmd->add_option("-o,--output", options->out, "run directory (default: out/<model name>_steady)");
    cmd->add_option("--props", options->props,
                    "property library behind Tarvex_files/libCoolProp.so (default: our lib/libfluidprops.so)");
    cmd->add_option("--set", options->sets, "BLOCK.PARAM[.FIELD]=VALUE overrides, as for run")->allow_extra_args(false);
    auto* charge = cmd->add_option("--charge", options->charge,
                                   "refrigerant charge in kg that the point holds (default: the model's start.charge, "
                                   "else what the dialog's start state holds)");
    cmd->add_option("--start", options->start,
                    "where Newton starts: dialog, charge or auto (default: the model's \"start\" section)")
        ->check(CLI::IsMember({"dialog", "charge", "auto"}));
    cmd->add_flag("--no-plot", options->no_plot, "do not draw the pressure-enthalpy diagram");
    cmd->add_flag("--json", options->json, "print steady.json instead of the table");
    cmd->footer("Example:\n  cyclesim steady examples/chiller/chiller.json --set \"air.value=[308.15,0.4,101325]\"\n"
                "  (the point at 35 degC air; out/chiller_steady/steady.json, ph_diagram.png)");

    cmd->callback([options, charge, &globals, &exit_code]() {
        RunOptions run;
        run.command_line = globals.command_line;
        run.model = options->model;
        if (!options->out.empty()) run.run_dir = options->out;
        if (!options->props.empty()) run.props = options->props;
        if (!options->start.empty()) run.start_from = options->start;
        if (charge->count() > 0) run.charge = options->charge;
        run.sets = options->sets;
        run.blocks_dir = globals.blocks_dir.empty() ? PluginRegistry::default_folder()
                                                    : std::filesystem::path(globals.blocks_dir);
        SteadyOutcome outcome = steady_model(run);
        // The table only for a point found: the last iterate of a failed
        // solve is no operating point (steady.json keeps it, marked).
        if (outcome.ok && outcome.report.contains("signals")) {
            if (options->json)
                std::cout << outcome.report.dump(2) << std::endl;
            else
                std::cout << steady_text(outcome.report) << std::flush;
        }
        if (outcome.ok && !options->no_plot)
            plot_run_directory(outcome.run_dir, run.props ? *run.props : default_property_library());
        if (outcome.ok) {
            std::cerr << "cyclesim steady: steady point found (" << outcome.point->newton_iterations
                      << " Newton iterations, cpu " << outcome.point->cpu_seconds << " s); results in "
                      << outcome.run_dir.string() << std::endl;
            exit_code = 0;
        } else {
            std::cerr << "cyclesim steady: " << outcome.message << std::endl;
            if (!outcome.run_dir.empty()) std::cerr << "cyclesim steady: details in " << outcome.run_dir.string() << std::endl;
            exit_code = 1;
        }
    });
}

void add_start_command(CLI::App& app, const GlobalOptions& globals, int& exit_code)
{
    auto options = std::make_shared<SteadyCliOptions>();
    auto approach = std::make_shared<double>(0.0), subcooling = std::make_shared<double>(0.0);
    auto* cmd = app.add_subcommand(
        "start", "the condenser's start state a run would take (from the unit's charge unless --start says "
                 "otherwise), as --set arguments for run, one per line; --json: also the charge");
    cmd->add_option("model", options->model, "model file (JSON)")->required();
    cmd->add_option("--props", options->props, "property library (default: our lib/libfluidprops.so)");
    cmd->add_option("--set", options->sets, "BLOCK.PARAM[.FIELD]=VALUE overrides, as for run")->allow_extra_args(false);
    auto* charge = cmd->add_option("--charge", options->charge,
                                   "refrigerant charge in kg (default: the model's start.charge, else what the "
                                   "dialog's start state holds)");
    auto* approach_opt = cmd->add_option("--approach", *approach, "condensing above the entering air, K (default 15)");
    auto* subcooling_opt = cmd->add_option("--subcooling", *subcooling, "liquid below condensing, K (default 2)");
    cmd->add_option("--start", options->start, "dialog, charge or auto (default: charge)")
        ->check(CLI::IsMember({"dialog", "charge", "auto"}));
    cmd->add_flag("--json", options->json, "print the state and the charge as JSON");
    cmd->footer("Example:\n  cyclesim run MODEL --set ambient.value=316.15 $(cyclesim start MODEL --set "
                "ambient.value=316.15 --charge 0.163)");

    cmd->callback([options, charge, approach, subcooling, approach_opt, subcooling_opt, &globals, &exit_code]() {
        RunOptions run;
        run.model = options->model;
        if (!options->props.empty()) run.props = options->props;
        if (!options->start.empty()) run.start_from = options->start;
        if (charge->count() > 0) run.charge = options->charge;
        if (approach_opt->count() > 0) run.approach = *approach;
        if (subcooling_opt->count() > 0) run.subcooling = *subcooling;
        run.sets = options->sets;
        run.blocks_dir = globals.blocks_dir.empty() ? PluginRegistry::default_folder()
                                                    : std::filesystem::path(globals.blocks_dir);
        try {
            const auto state = start_state_model(run);
            if (state.condenser.empty()) throw SimulationError("the model has no Condenser block to start");
            if (options->json) {
                nlohmann::json out = {{"condenser", state.condenser}, {"charge_kg", state.charge}};
                for (const auto& [name, value] : state.dialog_values) out[name] = value;
                std::cout << out.dump(2) << std::endl;
            } else {
                char line[200];
                for (const auto& [name, value] : state.dialog_values) {
                    std::snprintf(line, sizeof line, "--set %s.4.%s=%.10g", state.condenser.c_str(), name.c_str(),
                                  value);
                    std::cout << line << "\n";
                }
                std::cout << std::flush;
            }
            exit_code = 0;
        } catch (const std::exception& e) {
            std::cerr << "cyclesim start: " << e.what() << std::endl;
            exit_code = 1;
        }
    });
}

}  // namespace cyclesim::cli
