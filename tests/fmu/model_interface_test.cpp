// The model file's "interface" section: what `cyclesim check` refuses, and
// the model document an importer's values make.
#include <gtest/gtest.h>

#include "errors.h"
#include "model_file.h"
#include "plugin_library.h"
#include "simulation.h"
#include "simulation_error.h"

namespace {

using cyclesim::parse_model;
using json = nlohmann::json;
using testsupport::simulation_error_of;

// Sources only: an S-function block with a record parameter, a constant
// pair, a step, a gain; the interface added by each test.
json model()
{
    return json::parse(R"({
      "blocks": [
        {"name": "c", "type": "constant", "value": [1.5, 2.5]},
        {"name": "s", "type": "step", "time": 5, "before": 3, "after": 4},
        {"name": "g", "type": "gain", "gain": 2},
        {"name": "valve", "type": "sfunction", "sfunction": "Orvane", "params": [{"C_eev": 1e-6}, "R134a"]}
      ],
      "connections": [{"from": "c.0.0", "to": "g.0.0"}],
      "log": [{"signal": "g.0.0", "name": "doubled"}],
      "plots": {"time": [{"file": "d.png", "signals": ["doubled"]}]},
      "solver": {"stop_time": 10, "settle": {"signals": [{"name": "doubled", "abs": 0.1}], "window": 1}}
    })");
}

std::string refusal(const json& interface)
{
    json doc = model();
    doc["interface"] = interface;
    return simulation_error_of([&] { parse_model(doc, "m.json"); });
}

TEST(ModelInterface, ReadsInputsOutputsParametersWithTheirStartValues)
{
    json doc = model();
    doc["interface"] = json::parse(R"({
      "inputs": [{"name": "second", "block": "c", "element": 1, "unit": "K", "description": "the second"},
                 {"name": "stepped", "block": "s", "unit": "1"}],
      "outputs": [{"name": "y", "signal": "g.0.0", "unit": "W"}],
      "parameters": [{"name": "C", "set": "valve.1.C_eev", "unit": "m2"}, {"name": "k", "set": "g.gain", "unit": "1"}]
    })");
    const auto spec = parse_model(doc, "m.json");
    const auto& i = spec.interface;
    ASSERT_EQ(i.inputs.size(), 2u);
    EXPECT_EQ(i.inputs[0].start, 2.5);
    EXPECT_EQ(i.inputs[0].description, "the second");
    EXPECT_EQ(i.inputs[1].start, 3.0);  // the step before its time
    ASSERT_EQ(i.parameters.size(), 2u);
    EXPECT_EQ(i.parameters[0].start, 1e-6);
    EXPECT_EQ(i.parameters[1].start, 2.0);
    EXPECT_EQ(i.outputs.at(0).signal, "g.0.0");
}

TEST(ModelInterface, RefusesEntriesNamingWhatIsWrong)
{
    struct Case {
        const char* interface;
        const char* expected;  // part of the message
    };
    const Case cases[] = {
        {R"({"inputs": [{"name": "x", "block": "nowhere", "unit": "K"}]})", "interface.inputs[0].block: no block named 'nowhere'"},
        {R"({"inputs": [{"name": "x", "block": "g", "unit": "K"}]})", "is a gain block; an input sets a constant (or step) block"},
        {R"({"inputs": [{"name": "x", "block": "c", "element": 2, "unit": "K"}]})", "has 2 elements; there is no element 2"},
        {R"({"inputs": [{"name": "x", "block": "c", "unit": "K"}, {"name": "y", "block": "c", "unit": "K"}]})", "element 0 of block 'c' is already an input"},
        {R"({"inputs": [{"name": "2x", "block": "c", "unit": "K"}]})", "\"2x\" is not a name other tools accept"},
        {R"({"inputs": [{"name": "x", "block": "c"}]})", "interface.inputs[0]: missing \"unit\""},
        {R"({"outputs": [{"name": "x", "signal": "g.0.0", "unit": "W"}, {"name": "x", "signal": "g.0.0", "unit": "W"}]})", "\"x\" is declared twice"},
        {R"({"outputs": [{"name": "x", "signal": "g.0", "unit": "W"}]})", "an output names one element"},
        {R"({"outputs": [{"name": "x", "signal": "h.0.0", "unit": "W"}]})", "no block named 'h'"},
        {R"({"parameters": [{"name": "p", "set": "valve.3.C_eev", "unit": "1"}]})", "block 'valve' has 2 dialog parameters"},
        {R"({"parameters": [{"name": "p", "set": "valve.1.D", "unit": "1"}]})", "has no field \"D\""},
        {R"({"parameters": [{"name": "p", "set": "valve.2", "unit": "1"}]})", "\"valve.2\" is not a number in the model file"},
        {R"({"parameters": [{"name": "p", "set": "g", "unit": "1"}]})", "expected BLOCK.PARAM[.FIELD]"},
        {R"({"input": []})", "interface: unknown key \"input\""},
        {R"([1])", "interface: expected an object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.interface);
        const std::string message = refusal(json::parse(c.interface));
        EXPECT_NE(message.find(c.expected), std::string::npos) << message;
        EXPECT_EQ(message.rfind("m.json: interface", 0), 0u) << message;  // names the file and the section
    }
}

TEST(ModelInterface, BindingSetsParametersAndInputsAndLogsTheOutputs)
{
    json doc = model();
    doc["interface"] = json::parse(R"({
      "inputs": [{"name": "second", "block": "c", "element": 1, "unit": "K"}, {"name": "stepped", "block": "s", "unit": "1"}],
      "outputs": [{"name": "y", "signal": "g.0.0", "unit": "W"}],
      "parameters": [{"name": "C", "set": "valve.1.C_eev", "unit": "m2"}, {"name": "k", "set": "g.gain", "unit": "1"}]
    })");
    const auto spec = parse_model(doc, "m.json");
    // A value that %.10g would round: the parameter must arrive exactly.
    const double c_eev = 1.2345678901234567e-6;
    const json bound = cyclesim::bind_interface(doc, spec.interface, {c_eev, 3.0}, {7.0, 9.0}, "m.json");
    EXPECT_EQ(bound["blocks"][3]["params"][0]["C_eev"].get<double>(), c_eev);
    EXPECT_EQ(bound["blocks"][2]["gain"].get<double>(), 3.0);
    EXPECT_EQ(bound["blocks"][0]["value"], json::parse("[1.5, 7.0]"));
    // The step has become a constant holding the importer's value.
    EXPECT_EQ(bound["blocks"][1]["type"], "constant");
    EXPECT_EQ(bound["blocks"][1]["value"].get<double>(), 9.0);
    // The outputs are what is logged; plots and settle, which named the old
    // log, are gone, and the result is a valid model.
    ASSERT_EQ(bound["log"].size(), 1u);
    EXPECT_EQ(bound["log"][0]["name"], "y");
    EXPECT_FALSE(bound.contains("plots"));
    EXPECT_FALSE(bound["solver"].contains("settle"));
    EXPECT_NO_THROW(parse_model(bound, "m.json"));
    // A non-finite parameter is refused by name.
    const std::string message =
        simulation_error_of([&] { cyclesim::bind_interface(doc, spec.interface, {NAN, 3.0}, {7.0, 9.0}, "m.json"); });
    EXPECT_NE(message.find("parameter C"), std::string::npos) << message;
}

}  // namespace

namespace {

// Ports and elements of output signals are checked when the model is built.
TEST(ModelInterface, OutputSignalBeyondTheBlocksPortsIsRefusedWhenBuilt)
{
    json doc = json::parse(R"({
      "blocks": [{"name": "c", "type": "constant", "value": 1}, {"name": "g", "type": "gain", "gain": 2}],
      "connections": [{"from": "c.0.0", "to": "g.0.0"}],
      "interface": {"outputs": [{"name": "y", "signal": "g.0.3", "unit": "1"}]}
    })");
    const auto spec = parse_model(doc, "m.json");
    cyclesim::PluginRegistry registry("no-plugins-needed");
    const std::string message = simulation_error_of([&] { cyclesim::Simulation sim(spec, registry); });
    EXPECT_NE(message.find("interface.outputs[0].signal: block 'g' output port 0 has width 1; there is no element 3"),
              std::string::npos)
        << message;
}

}  // namespace
