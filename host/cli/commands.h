// Sub-commands of cyclesim. Each registers itself on the application and
// returns the exit code through the callback it installs.
#pragma once

#include <filesystem>

#include <CLI/CLI.hpp>

namespace cyclesim::cli {

// Exit status of `cyclesim run` when a protection (a trip block) ended the
// run: 0 completed, 1 failed, 3 tripped.
inline constexpr int kExitTripped = 3;

struct GlobalOptions {
    std::string blocks_dir;    // empty: default folder
    std::string command_line;  // as typed, for the run's summary
};

void add_eval_command(CLI::App& app, const GlobalOptions& globals, int& exit_code);
void add_steady_command(CLI::App& app, const GlobalOptions& globals, int& exit_code);
void add_start_command(CLI::App& app, const GlobalOptions& globals, int& exit_code);
void add_run_command(CLI::App& app, const GlobalOptions& globals, int& exit_code);
void add_check_command(CLI::App& app, const GlobalOptions& globals, int& exit_code);
void add_plot_command(CLI::App& app, const GlobalOptions& globals, int& exit_code);
void add_sweep_command(CLI::App& app, const GlobalOptions& globals, int& exit_code);
void add_fmu_command(CLI::App& app, const GlobalOptions& globals, int& exit_code);

// Draws the plots of a run directory; reports on stderr, returns false on failure.
bool plot_run_directory(const std::filesystem::path& dir, const std::filesystem::path& property_library);

}  // namespace cyclesim::cli
