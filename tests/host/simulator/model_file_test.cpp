// Model files and model building: every kind of mistake is refused with the
// file or block, the key or port and element, and the reason; overrides
// reach the right value.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "errors.h"
#include "execution_plan.h"
#include "model_file.h"
#include "simulation.h"
#include "sim_test_support.h"

using cyclesim::SimulationError;
using json = nlohmann::json;
using namespace simtest;

namespace {

json minimal_model()
{
    return json::parse(R"({
      "comment": "x' = -x + u",
      "blocks": [ {"name": "src", "type": "constant", "value": 1.0},
                  {"name": "int", "type": "sfunction", "sfunction": "TestIntegrator", "params": [-1.0, 1.0]},
                  {"name": "map", "sfunction": "TestMap", "params": [{"c1": 2.0, "k": 0.5}]} ],
      "connections": [ {"from": "src.0.0", "to": "int.0.0", "comment": "drive"},
                       {"from": "int.0", "to": "map.0"} ],
      "log": [ {"signal": "int.0.0", "name": "x", "unit": "m"}, "map.0.0" ],
      "solver": {"stop_time": 1.0}
    })");
}

// The message of the failure to read (and, with `build`, to build) a model.
std::string failure(const json& doc, bool build = false, const cyclesim::ModelOverrides& o = {})
{
    try {
        auto model = cyclesim::parse_model(doc, "models/m.json", o);
        if (build) {
            cyclesim::PluginRegistry registry(testsupport::blocks_dir());
            cyclesim::Simulation sim(model, registry);
        }
    } catch (const SimulationError& e) {
        return e.what();
    }
    return "(no failure)";
}

#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)

}  // namespace

TEST(ModelFile, ReadsAValidModelAndBuildsIt)
{
    auto m = cyclesim::parse_model(minimal_model(), "dir/cycle.json");
    EXPECT_EQ(m.name, "cycle");
    ASSERT_EQ(m.blocks.size(), 3u);
    EXPECT_EQ(m.blocks[2].type, "sfunction");
    ASSERT_EQ(m.connections.size(), 2u);
    EXPECT_EQ(m.connections[1].to.element, -1);  // whole port
    EXPECT_EQ(m.log[1].name, "map.0.0");
    EXPECT_EQ(m.log[0].unit, "m");
    EXPECT_EQ(m.solver.method, cyclesim::Method::BDF);

    cyclesim::PluginRegistry registry(testsupport::blocks_dir());
    cyclesim::Simulation sim(m, registry);
    EXPECT_EQ(sim.num_states(), 1);
    EXPECT_TRUE(sim.loops().empty());
}

// A model changed after it was read (by a caller that builds models in code)
// is not checked again: the simulator itself still names a block that is not
// there instead of reaching past its list.
TEST(ModelFile, UnknownBlockNamesStopTheBuildEvenWithoutTheFileCheck)
{
    cyclesim::PluginRegistry registry(testsupport::blocks_dir());
    auto build = [&](const cyclesim::ModelSpec& m) -> std::string {
        try {
            cyclesim::Simulation sim(m, registry);
        } catch (const SimulationError& e) {
            return e.what();
        }
        return "(no failure)";
    };
    auto m = cyclesim::parse_model(minimal_model(), "dir/cycle.json");
    m.connections[0].from.block = "ghost";
    std::string msg = build(m);
    EXPECT_HAS(msg, m.connections[0].where + ": there is no block named 'ghost'");

    m = cyclesim::parse_model(minimal_model(), "dir/cycle.json");
    m.connections[1].to.block = "phantom";
    EXPECT_HAS(build(m), "there is no block named 'phantom'");

    m = cyclesim::parse_model(minimal_model(), "dir/cycle.json");
    m.log[0].signal.block = "nobody";
    msg = build(m);
    EXPECT_HAS(msg, m.log[0].where + ": there is no block named 'nobody'");
}

TEST(ModelFile, MistakesInTheFileNameFileKeyAndReason)
{
    auto with = [](auto edit) {
        json d = minimal_model();
        edit(d);
        return failure(d);
    };
    std::string m = with([](json& d) { d["solver"]["rtoll"] = 1e-3; });
    EXPECT_HAS(m, "models/m.json: solver: unknown key \"rtoll\" (did you mean \"rtol\"?)");
    m = with([](json& d) { d["extra"] = 1; });
    EXPECT_HAS(m, "models/m.json: unknown key \"extra\" (allowed here:");  // nothing near it
    m = with([](json& d) { d["blocks"][0]["valeu"] = 2; });
    EXPECT_HAS(m, "models/m.json: block 'src': unknown key \"valeu\" (did you mean \"value\"?)");
    m = with([](json& d) { d["blocks"][0]["type"] = "konstant"; });
    EXPECT_HAS(m, "unknown block type \"konstant\"");
    m = with([](json& d) { d["blocks"][1]["name"] = "src"; });
    EXPECT_HAS(m, "block 'src': duplicate block name");
    m = with([](json& d) { d["connections"][0]["to"] = "nowhere.0.0"; });
    EXPECT_HAS(m, "connections[0]: no block named 'nowhere'");
    m = with([](json& d) { d["connections"][0]["to"] = "int.zero.0"; });
    EXPECT_HAS(m, "connections[0].to: port \"zero\" is not a non-negative integer");
    m = with([](json& d) { d["log"][0]["signal"] = "int.0"; });
    EXPECT_HAS(m, "log[0]: a logged signal names one element");
    m = with([](json& d) { d["loop_guesses"] = {{"int.0", 1.0}}; });
    EXPECT_HAS(m, "loop_guesses.\"int.0\": a guess names one element");
    m = with([](json& d) { d["solver"]["method"] = "RK45"; });
    EXPECT_HAS(m, "solver.method: expected \"BDF\" or \"Adams\"");
    m = with([](json& d) { d["solver"]["stop_time"] = -1; });
    EXPECT_HAS(m, "stop_time (-1");
    m = with([](json& d) { d["solver"]["rtol"] = 0; });
    EXPECT_HAS(m, "solver.rtol: must be positive");

    TempDir tmp;
    auto bad = tmp.write("broken.json", "{ \"blocks\": [ ");
    try {
        cyclesim::load_model(bad);
        ADD_FAILURE() << "invalid JSON accepted";
    } catch (const SimulationError& e) {
        EXPECT_HAS(std::string(e.what()), "broken.json: invalid JSON");
    }
}

TEST(ModelFile, MistakesInTheModelNameBlockPortAndElement)
{
    auto with = [](auto edit) {
        json d = minimal_model();
        edit(d);
        return failure(d, true);
    };
    std::string m = with([](json& d) { d["blocks"][1]["sfunction"] = "NoSuchBlock"; });
    EXPECT_HAS(m, "block 'int': unknown block 'NoSuchBlock'");
    m = with([](json& d) { d["blocks"][1]["params"] = {-1.0}; });
    EXPECT_HAS(m, "declares 2 dialog parameters but 1 were given");
    m = with([](json& d) { d["blocks"][1]["params"][0] = "fast"; });
    EXPECT_HAS(m, "block 'int' (S-function TestIntegrator) in mdlInitializeSizes");
    EXPECT_HAS(m, "parameter 1 (rate) must be a number");
    m = with([](json& d) { d["blocks"][2]["params"][0]["k"] = "half"; });
    EXPECT_HAS(m, "block 'map'");
    EXPECT_HAS(m, "not a number");
    m = with([](json& d) { d["connections"][0]["from"] = "src.0.1"; });
    EXPECT_HAS(m, "connections[0]: block 'src' output port 0 has width 1; there is no element 1");
    m = with([](json& d) { d["connections"][0]["to"] = "int.1.0"; });
    EXPECT_HAS(m, "block 'int' (S-function TestIntegrator) has 1 input ports; there is no port 1");
    m = with([](json& d) { d["blocks"][0]["value"] = {1.0, 2.0}; d["connections"][0] = {{"from", "src.0"}, {"to", "int.0"}}; });
    EXPECT_HAS(m, "width mismatch: block 'src' output port 0 has width 2, block 'int' input port 0 has width 1");
    m = with([](json& d) { d["connections"].erase(0); });
    EXPECT_HAS(m, "block 'int' (S-function TestIntegrator) input port 0 element 0 is not connected");
    m = with([](json& d) { d["connections"].push_back({{"from", "src.0.0"}, {"to", "map.0.0"}}); });
    EXPECT_HAS(m, "block 'map' input port 0 element 0 is already connected (by connections[1])");
    m = with([](json& d) { d["loop_guesses"] = {{"map.0.2", 1.0}}; });
    EXPECT_HAS(m, "loop_guesses.\"map.0.2\": block 'map' output port 0 has width 1; there is no element 2");
    m = with([](json& d) { d["log"][1] = "map.0.3"; });
    EXPECT_HAS(m, "log[1]: block 'map' output port 0 has width 1; there is no element 3");
    m = with([](json& d) { d["blocks"][0] = {{"name", "src"}, {"type", "table"}, {"time", {0, 1}}, {"values", {1}}}; });
    EXPECT_HAS(m, "block 'src'.values: expected one value (or one row of values) per time: 2");
    m = with([](json& d) { d["blocks"][0] = {{"name", "src"}, {"type", "table"}, {"file", "missing.csv"}}; });
    EXPECT_HAS(m, "block 'src'.file: cannot read models/missing.csv");
}

TEST(ModelFile, OverridesReachDialogValuesFieldsAndSourceSettings)
{
    json d = minimal_model();
    cyclesim::ModelOverrides o;
    o.sets = {"int.1=-3", "map.1.k=0.25", "src.value=[4]", "int.2=7"};
    o.stop_time = 9.0;
    auto m = cyclesim::parse_model(d, "m.json", o);
    EXPECT_EQ(m.blocks[1].settings["params"], json({-3, 7}));
    EXPECT_EQ(m.blocks[2].settings["params"][0], json({{"c1", 2.0}, {"k", 0.25}}));
    EXPECT_EQ(m.blocks[0].settings["value"], json({4}));
    EXPECT_DOUBLE_EQ(m.solver.stop_time, 9.0);

    // Text that is not JSON is taken as text.
    o.sets = {"map.1.k=fast"};
    EXPECT_EQ(cyclesim::parse_model(d, "m.json", o).blocks[2].settings["params"][0]["k"], "fast");

    auto refused = [&](const std::string& set) {
        cyclesim::ModelOverrides bad;
        bad.sets = {set};
        return failure(d, false, bad);
    };
    EXPECT_HAS(refused("int.3=1"), "block 'int' has 2 dialog parameters");
    EXPECT_HAS(refused("int.0=1"), "1-based position");
    EXPECT_HAS(refused("map.1.q=1"), "has no field \"q\"");
    EXPECT_HAS(refused("int.1.k=1"), "is not a record");
    EXPECT_HAS(refused("src.slope=1"), "block 'src' (constant) has no setting \"slope\"");
    EXPECT_HAS(refused("ghost.1=1"), "no block named 'ghost'");
    EXPECT_HAS(refused("int=1"), "expected BLOCK.PARAM[.FIELD]=VALUE");
}

TEST(ModelFile, LoopGuessesMayNameTheDialogValueTheyFollow)
{
    json d = minimal_model();
    d["loop_guesses"] = {{"map.0.0", "map.1.k"}, {"int.0.0", "int.2"}, {"src.0.0", "src.value"}};
    cyclesim::ModelOverrides o;
    auto guess = [&](const cyclesim::ModelSpec& m, const std::string& signal) {
        for (const auto& g : m.loop_guesses)
            if (g.signal.text == signal) return g.value;
        ADD_FAILURE() << "no guess for " << signal;
        return 0.0;
    };
    auto m = cyclesim::parse_model(d, "m.json", o);
    EXPECT_DOUBLE_EQ(guess(m, "map.0.0"), 0.5);
    EXPECT_DOUBLE_EQ(guess(m, "int.0.0"), 1.0);
    EXPECT_DOUBLE_EQ(guess(m, "src.0.0"), 1.0);
    // A --set of the named value moves the guess with it.
    o.sets = {"map.1.k=0.125"};
    EXPECT_DOUBLE_EQ(guess(cyclesim::parse_model(d, "m.json", o), "map.0.0"), 0.125);

    auto refused = [&](const json& reference) {
        json bad = minimal_model();
        bad["loop_guesses"] = {{"map.0.0", reference}};
        return failure(bad);
    };
    EXPECT_HAS(refused("map.1.q"), "loop_guesses.\"map.0.0\": \"map.1.q\": dialog parameter 1 has no field \"q\"");
    EXPECT_HAS(refused("map.2.k"), "block 'map' has no dialog parameter 2");
    // Positions as --set reads them: digits only.
    EXPECT_HAS(refused("map.+1.k"), "block 'map' has no dialog parameter +1");
    EXPECT_HAS(refused("map. 1.k"), "block 'map' has no dialog parameter  1");
    EXPECT_HAS(refused("ghost.1"), "no block named 'ghost'");
    EXPECT_HAS(refused("map.1"), "names {\"c1\":2.0,\"k\":0.5}, not a finite number");
    EXPECT_HAS(refused("src.slope"), "block 'src' has no setting \"slope\"");
    EXPECT_HAS(refused("map"), "expected a number or BLOCK.PARAM[.FIELD]");
    EXPECT_HAS(refused(json::array({1.0})), "expected a finite number or BLOCK.PARAM[.FIELD]");
}

// Properties every plan must have: an order over all blocks where each
// non-torn feedthrough edge points forward, and loops that are acyclic once torn.
TEST(ExecutionPlan, OrdersBlocksAndTearsEveryCycle)
{
    using cyclesim::ElementRef;
    using cyclesim::FeedthroughEdge;
    // 0 -> 1 -> 2 -> 1 (loop {1,2}); 2 -> 3; 3 -> 3 (self loop); 4 <-> 5 <-> 6 <-> 4 with a chord 4 -> 6;
    // 5 feeds 0 only through a non-feedthrough port (absent).
    std::vector<FeedthroughEdge> edges = {
        {{0, 0, 0}, {1, 0, 0}}, {{1, 0, 0}, {2, 0, 0}}, {{2, 0, 0}, {1, 0, 1}}, {{2, 0, 1}, {3, 0, 0}},
        {{3, 0, 0}, {3, 0, 1}}, {{4, 0, 0}, {5, 0, 0}}, {{5, 0, 0}, {6, 0, 0}}, {{6, 0, 0}, {4, 0, 0}},
        {{4, 0, 0}, {6, 0, 1}}, {{6, 0, 0}, {5, 0, 1}}, {{1, 0, 0}, {4, 0, 1}}};
    auto plan = cyclesim::make_execution_plan(7, edges);
    ASSERT_EQ(plan.loops.size(), 3u);

    std::map<int, std::size_t> position;  // block -> position of its item
    for (std::size_t i = 0; i < plan.order.size(); ++i) {
        const auto& item = plan.order[i];
        if (item.block >= 0)
            position[item.block] = i;
        else
            for (int m : plan.loops[item.loop].members) position[m] = i;
    }
    ASSERT_EQ(position.size(), 7u);
    for (const auto& e : edges)
        EXPECT_LE(position[e.from.block], position[e.to.block]) << e.from.block << "->" << e.to.block;

    for (const auto& loop : plan.loops) {
        std::set<std::pair<ElementRef, ElementRef>> torn;
        for (const auto& [in, k] : loop.torn_inputs) torn.insert({loop.tears[k], in});
        std::map<int, std::size_t> inner;
        for (std::size_t i = 0; i < loop.members.size(); ++i) inner[loop.members[i]] = i;
        for (const auto& e : edges) {
            if (!inner.count(e.from.block) || !inner.count(e.to.block) || torn.count({e.from, e.to})) continue;
            EXPECT_LT(inner[e.from.block], inner[e.to.block]) << "untorn edge " << e.from.block << "->" << e.to.block;
        }
        EXPECT_FALSE(loop.tears.empty());
    }
    // The triangle with a chord needs a single tear variable (6's output).
    const auto& tri = plan.loops[plan.order[position[4]].loop];
    EXPECT_EQ(tri.members.size(), 3u);
    EXPECT_EQ(tri.tears.size(), 1u);
}

TEST(CheckCommand, ValidatesWithoutRunning)
{
    TempDir tmp;
    auto ok = tmp.write_json("ok.json", minimal_model());
    auto r = run_cyclesim("check " + ok.string(), tmp.path());
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_HAS(read_text(tmp.path() / "stdout.txt"), "3 blocks, 2 connections, 1 continuous states");
    EXPECT_FALSE(fs::exists(tmp.path() / "out")) << "check must not create a run directory";

    json d = minimal_model();
    d["connections"].erase(0);
    auto bad = tmp.write_json("bad.json", d);
    r = run_cyclesim("check " + bad.string(), tmp.path());
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_HAS(r.err, "input port 0 element 0 is not connected");
}
