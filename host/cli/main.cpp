// cyclesim: runs refrigeration-cycle models built from S-function blocks.
#include <iostream>

#include "commands.h"

namespace {

// The command as typed, for the run's summary: arguments holding a space or
// a quote are quoted so that the line can be pasted back into a shell.
std::string command_line(int argc, char** argv)
{
    std::string line;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        if (i > 0) line += ' ';
        if (!arg.empty() && arg.find_first_of(" \t'\"\\$`") == std::string::npos) {
            line += arg;
            continue;
        }
        line += '\'';
        for (char c : arg) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += '\'';
    }
    return line;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"cyclesim: refrigeration-cycle simulator for S-function blocks"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("cyclesim ") + CYCLESIM_VERSION);
    cyclesim::cli::GlobalOptions globals;
    globals.command_line = command_line(argc, argv);
    app.add_option("--blocks", globals.blocks_dir,
                   "folder holding the block plug-ins (default: ../blocks next to this program)");
    int exit_code = 0;
    // Each subcommand registers itself; a new one is one more line here.
    cyclesim::cli::add_eval_command(app, globals, exit_code);
    cyclesim::cli::add_run_command(app, globals, exit_code);
    cyclesim::cli::add_steady_command(app, globals, exit_code);
    cyclesim::cli::add_start_command(app, globals, exit_code);
    cyclesim::cli::add_check_command(app, globals, exit_code);
    cyclesim::cli::add_plot_command(app, globals, exit_code);
    cyclesim::cli::add_sweep_command(app, globals, exit_code);
    cyclesim::cli::add_fmu_command(app, globals, exit_code);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    return exit_code;
}
