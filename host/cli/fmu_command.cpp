// cyclesim fmu: a model file exported as an FMI 2.0 co-simulation FMU.
#include "commands.h"

#include "fmu_export.h"
#include "model_description.h"
#include "model_file.h"
#include "plugin_library.h"
#include "run_directory.h"

#include <iostream>
#include <memory>

namespace cyclesim::cli {

void add_fmu_command(CLI::App& app, const GlobalOptions& globals, int& exit_code)
{
    struct Options {
        std::string model, output, props;
    };
    auto options = std::make_shared<Options>();
    auto* cmd = app.add_subcommand("fmu", "export a model file as an FMI 2.0 co-simulation FMU");
    cmd->add_option("model", options->model, "model file (JSON) with an \"interface\" section")->required();
    cmd->add_option("-o,--output", options->output, "the FMU to write (default: <model name>.fmu)");
    cmd->add_option("--props", options->props, "property library to carry (default: ours)");
    cmd->footer("Example:\n  cyclesim fmu examples/controlled_chiller/controlled_chiller.json -o chiller.fmu");
    cmd->callback([options, &globals, &exit_code]() {
        try {
            fmu::ExportOptions o;
            o.model = options->model;
            o.blocks_dir = globals.blocks_dir.empty() ? PluginRegistry::default_folder()
                                                      : std::filesystem::path(globals.blocks_dir);
            o.property_library = options->props.empty() ? default_property_library() : std::filesystem::path(options->props);
            o.binary_dir = fmu::default_binary_dir();
            o.tool = std::string("cyclesim ") + CYCLESIM_VERSION;
            if (options->output.empty()) {
                const ModelSpec spec = load_model(o.model);
                o.output = fmu::model_identifier(spec.name) + ".fmu";
            } else {
                o.output = options->output;
            }
            const fmu::ExportResult r = fmu::export_fmu(o);
            std::cout << "wrote " << o.output.string() << " (" << r.bytes << " bytes): model identifier "
                      << r.model_identifier << ", " << r.parameters << " parameters, " << r.inputs << " inputs, "
                      << r.outputs << " outputs" << std::endl;
            exit_code = 0;
        } catch (const std::exception& e) {
            std::cerr << "cyclesim fmu: " << e.what() << std::endl;
            exit_code = 1;
        }
    });
}

}  // namespace cyclesim::cli
