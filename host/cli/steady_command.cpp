// cyclesim steady: the settled operating point of a model, directly.
#include <iostream>

#include "commands.h"
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
        if (outcome.ok && !options->no_plot) plot_run_directory(outcome.run_dir);
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

}  // namespace cyclesim::cli
