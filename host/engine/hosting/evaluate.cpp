#include "evaluate.h"

#include "block_output_names.h"

#include "block_instance.h"
#include "errors.h"
#include "json_numbers.h"

#include <cmath>

namespace cyclesim {

namespace {

void apply_override(std::span<double> target, const std::vector<double>& values, const std::string& what,
                    const std::string& block)
{
    if (values.size() != target.size())
        throw SimulationError(block + ": " + what + " needs " + std::to_string(target.size()) +
                              " values, " + std::to_string(values.size()) + " given");
    std::copy(values.begin(), values.end(), target.begin());
}

}  // namespace

nlohmann::json evaluate_block(PluginRegistry& registry, const EvaluationRequest& request)
{
    // The time reaches the block through ssGetT; a block has no way to refuse
    // a time that is not a number, so it is refused here.
    if (!std::isfinite(request.time))
        throw SimulationError(request.block + ": --time must be a finite number, got " +
                              (std::isnan(request.time) ? std::string("nan") : std::string(request.time > 0 ? "inf" : "-inf")));
    auto plugin = registry.load(request.block);
    BlockInstance block(plugin, request.block, dialog_from_json(request.params, request.block));
    block.initialize_sizes();

    // Inputs: one array per port, each of the port's width.
    if (!request.inputs.is_array() || static_cast<int>(request.inputs.size()) != block.num_inputs())
        throw SimulationError(request.block + ": --inputs needs " + std::to_string(block.num_inputs()) +
                              " arrays (one per input port)");
    std::vector<std::vector<double>> input_values;
    for (int p = 0; p < block.num_inputs(); ++p) {
        auto values = numbers_from_json(request.inputs[p], request.block + ": input port " + std::to_string(p));
        if (static_cast<int>(values.size()) != block.input_width(p))
            throw SimulationError(request.block + ": input port " + std::to_string(p) + " has width " +
                                  std::to_string(block.input_width(p)) + ", " +
                                  std::to_string(values.size()) + " values given");
        input_values.push_back(std::move(values));
    }
    for (int p = 0; p < block.num_inputs(); ++p)
        for (int e = 0; e < block.input_width(p); ++e) block.connect_input(p, e, &input_values[p][e]);

    block.initialize_sample_times();
    block.start();
    block.initialize_conditions();

    if (request.states) apply_override(block.cont_states(), *request.states, "--states", request.block);
    if (request.disc_states)
        apply_override(block.disc_states(), *request.disc_states, "--disc-states", request.block);
    if (request.rwork) apply_override(block.rwork(), *request.rwork, "--rwork", request.block);

    block.outputs(request.time, true);
    if (block.has_derivatives()) block.derivatives(request.time, true);
    if (request.update) block.update(request.time);
    block.terminate();

    nlohmann::json result;
    result["outputs"] = nlohmann::json::array();
    for (int p = 0; p < block.num_outputs(); ++p) result["outputs"].push_back(numbers_to_json(block.output(p)));
    result["derivatives"] = numbers_to_json(block.derivatives_vector());
    result["states"] = numbers_to_json(block.cont_states());
    result["disc_states"] = numbers_to_json(block.disc_states());
    result["rwork"] = numbers_to_json(block.rwork());
    // Beside the numbers (whose shape scripts rely on), what each one is,
    // for the blocks we know and where the widths agree.
    const auto& names = block_output_names(request.block);
    bool labelled = static_cast<int>(names.size()) == block.num_outputs();
    for (int p = 0; labelled && p < block.num_outputs(); ++p)
        labelled = names[p].size() == block.output(p).size();
    if (labelled) {
        nlohmann::json all_names = nlohmann::json::array(), all_units = nlohmann::json::array();
        for (const auto& port : names) {
            nlohmann::json n = nlohmann::json::array(), u = nlohmann::json::array();
            for (const auto& o : port) n.push_back(o.name), u.push_back(o.unit);
            all_names.push_back(n);
            all_units.push_back(u);
        }
        result["output_names"] = all_names;
        result["output_units"] = all_units;
    }
    return result;
}

}  // namespace cyclesim
