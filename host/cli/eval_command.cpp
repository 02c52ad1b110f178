// cyclesim eval: one block at one operating point, for users checking a
// component and for tests.
#include <fstream>
#include <optional>
#include <iostream>
#include <sstream>
#include <cstdio>

#include "bounded_file.h"
#include "commands.h"
#include "errors.h"
#include "evaluate.h"
#include "json_depth.h"
#include "json_messages.h"
#include "json_numbers.h"
#include "number_text.h"
#include "run_directory.h"

#include <cstdlib>

namespace cyclesim::cli {

namespace {

// A JSON argument given inline or as @file.
nlohmann::json parse_json_argument(const std::string& text, const std::string& option)
{
    std::string source = text;
    if (!text.empty() && text[0] == '@') source = read_bounded_file(text.substr(1), kModelFileLimit, option);
    check_json_depth(source, option);
    try {
        return nlohmann::json::parse(source);
    } catch (const nlohmann::json::exception& e) {
        // Also a number beyond the range of a double ("1e400").
        throw SimulationError(option + ": invalid JSON: " + json_reason(e));
    }
}

// The directory the block runs in: the working directory when it holds
// Tarvex_files/libCoolProp.so and no library was named (the user's own
// set-up), else a temporary directory linking to the named library or to
// ours, removed afterwards. So eval finds the library from anywhere, as run
// does.
class EvalDirectory {
public:
    explicit EvalDirectory(const std::string& props)
    {
        namespace fs = std::filesystem;
        if (props.empty() && fs::exists("Tarvex_files/libCoolProp.so")) {
            // A pipe or device there would block or fail in the loader.
            if (!fs::is_regular_file("Tarvex_files/libCoolProp.so"))
                throw SimulationError("property library Tarvex_files/libCoolProp.so is not a regular file "
                                      "(a pipe, device or directory cannot be loaded)");
            return;
        }
        const fs::path library = props.empty() ? default_property_library() : fs::absolute(props);
        if (!fs::exists(library)) throw SimulationError("--props: property library " + library.string() + " not found");
        std::string pattern = (fs::temp_directory_path() / "cyclesim-eval-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw SimulationError("cannot create a temporary directory for the block");
        temp_ = pattern;
        prepare_run_directory(temp_, library);
        enter_.emplace(temp_);
    }
    ~EvalDirectory()
    {
        enter_.reset();
        std::error_code ec;
        if (!temp_.empty()) std::filesystem::remove_all(temp_, ec);
    }
    EvalDirectory(const EvalDirectory&) = delete;
    EvalDirectory& operator=(const EvalDirectory&) = delete;

private:
    std::filesystem::path temp_;
    std::optional<WorkingDirectory> enter_;
};

struct EvalOptions {
    std::string block, params, inputs, states, disc_states, rwork, props;
    double time = 0.0;
    bool update = false;
    bool table = false;
};

// The outputs one per line, named where the block is known:
//   port element  name                 value  unit
void print_output_table(const nlohmann::json& result, std::ostream& out)
{
    const auto& outputs = result.at("outputs");
    const bool named = result.contains("output_names");
    char line[256];
    std::snprintf(line, sizeof line, "%-4s %-7s %-28s %-22s %s\n", "port", "element", "name", "value", "unit");
    out << line;
    for (std::size_t p = 0; p < outputs.size(); ++p)
        for (std::size_t e = 0; e < outputs[p].size(); ++e) {
            const auto& v = outputs[p][e];
            const std::string value = v.is_number() ? number_text(v.get<double>()) : v.dump();
            const std::string name = named ? result["output_names"][p][e].get<std::string>() : "";
            const std::string unit = named ? result["output_units"][p][e].get<std::string>() : "";
            std::snprintf(line, sizeof line, "%-4zu %-7zu %-28s %-22s %s\n", p, e, name.c_str(), value.c_str(),
                          unit.c_str());
            out << line;
        }
}

}  // namespace

void add_eval_command(CLI::App& app, const GlobalOptions& globals, int& exit_code)
{
    auto options = std::make_shared<EvalOptions>();
    auto* cmd = app.add_subcommand("eval", "evaluate one block at one operating point; prints JSON");
    cmd->add_option("block", options->block, "S-function name (Orvane, Compressor, Evaporator, Condenser)")
        ->required();
    cmd->add_option("--params", options->params, "dialog parameters: JSON array in dialog order (or @file)")
        ->required();
    cmd->add_option("--inputs", options->inputs, "inputs: JSON array with one array per input port (or @file)")
        ->required();
    cmd->add_option("--states", options->states, "continuous states after initial conditions (JSON array)");
    cmd->add_option("--disc-states", options->disc_states, "discrete states after initial conditions (JSON array)");
    cmd->add_option("--rwork", options->rwork, "real work vector after initial conditions (JSON array)");
    cmd->add_option("--time", options->time, "simulation time of the evaluation (default 0)");
    cmd->add_flag("--update", options->update, "call the update callback after outputs and derivatives");
    cmd->add_flag("--table", options->table,
                  "print the outputs as a table (port, element, name, value, unit) instead of JSON");
    cmd->add_option("--props", options->props,
                    "property library the block loads (default: Tarvex_files/libCoolProp.so of the working "
                    "directory when present, else our lib/libfluidprops.so)");
    cmd->footer("Example:\n  cyclesim eval Orvane --params '[{\"C_eev\": 2.0e-6}, \"R134a\"]' "
                "--inputs '[[0.5, 1.2e6, 3.0e5, 2.5e5]]'");

    cmd->callback([options, &globals, &exit_code]() {
        try {
            EvaluationRequest request;
            request.block = options->block;
            request.params = parse_json_argument(options->params, "--params");
            request.inputs = parse_json_argument(options->inputs, "--inputs");
            if (!options->states.empty())
                request.states = numbers_from_json(parse_json_argument(options->states, "--states"), "--states");
            if (!options->disc_states.empty())
                request.disc_states =
                    numbers_from_json(parse_json_argument(options->disc_states, "--disc-states"), "--disc-states");
            if (!options->rwork.empty())
                request.rwork = numbers_from_json(parse_json_argument(options->rwork, "--rwork"), "--rwork");
            request.time = options->time;
            request.update = options->update;

            PluginRegistry registry(globals.blocks_dir.empty() ? PluginRegistry::default_folder()
                                                                : std::filesystem::absolute(globals.blocks_dir));
            EvalDirectory where(options->props);
            auto result = evaluate_block(registry, request);
            if (options->table)
                print_output_table(result, std::cout);
            else
                std::cout << result.dump() << std::endl;
            exit_code = 0;
        } catch (const std::exception& e) {
            std::cerr << "cyclesim eval: " << e.what() << std::endl;
            exit_code = 1;
        }
    });
}

}  // namespace cyclesim::cli
