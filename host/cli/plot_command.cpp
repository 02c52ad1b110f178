// cyclesim plot: PNG plots of a run directory with gnuplot.
#include <iostream>

#include "commands.h"
#include "plotting.h"
#include "run_directory.h"

namespace cyclesim::cli {

bool plot_run_directory(const std::filesystem::path& dir, const std::filesystem::path& property_library)
{
    try {
        for (const auto& png : make_plots(dir, property_library)) std::cerr << "cyclesim plot: wrote " << png.string() << std::endl;
        return true;
    } catch (const std::exception& e) {
        std::cerr << "cyclesim plot: " << e.what() << std::endl;
        return false;
    }
}

void add_plot_command(CLI::App& app, const GlobalOptions&, int& exit_code)
{
    auto dir = std::make_shared<std::string>();
    auto props = std::make_shared<std::string>();
    auto* cmd = app.add_subcommand("plot", "draw the plots of a run directory (PNG, with gnuplot)");
    cmd->add_option("dir", *dir, "run directory holding results.csv or results.mat")->required();
    cmd->add_option("--props", *props,
                    "property library for the pressure-enthalpy dome (default: our lib/libfluidprops.so; "
                    "the run directory's own Tarvex_files library is never loaded)");
    cmd->footer("Example:\n  cyclesim plot out/chiller   (PNG files written into out/chiller)");
    cmd->callback([dir, props, &exit_code]() { 
        exit_code = plot_run_directory(*dir, props->empty() ? default_property_library() : std::filesystem::path(*props))
                        ? 0
                        : 1;
     });
}

}  // namespace cyclesim::cli
