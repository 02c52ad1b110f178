// cyclesim: runs refrigeration-cycle models built from S-function blocks.
#include <iostream>

#include "commands.h"

int main(int argc, char** argv)
{
    CLI::App app{"cyclesim: refrigeration-cycle simulator for S-function blocks"};
    app.require_subcommand(1);
    cyclesim::cli::GlobalOptions globals;
    app.add_option("--blocks", globals.blocks_dir,
                   "folder holding the block plug-ins (default: ../blocks next to this program)");
    int exit_code = 0;
    cyclesim::cli::add_eval_command(app, globals, exit_code);
    cyclesim::cli::add_run_command(app, globals, exit_code);
    cyclesim::cli::add_check_command(app, globals, exit_code);
    cyclesim::cli::add_plot_command(app, globals, exit_code);
    cyclesim::cli::add_sweep_command(app, globals, exit_code);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    return exit_code;
}
