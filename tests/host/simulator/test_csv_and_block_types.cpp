// The one CSV reader (results files and time tables) and the one list of
// built-in block types, which both the model-file check and the block
// factory read.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <map>

#include "builtin_block_base.h"
#include "builtin_blocks.h"
#include "csv_reader.h"
#include "errors.h"
#include "model_file.h"
#include "test_workdir.h"

using namespace cyclesim;
using json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

fs::path write_file(const fs::path& dir, const std::string& name, const std::string& text)
{
    std::ofstream(dir / name) << text;
    return dir / name;
}

std::string failure_of(const std::function<void()>& action)
{
    try {
        action();
    } catch (const SimulationError& e) {
        return e.what();
    }
    return "(no failure)";
}

#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)

}  // namespace

TEST(CsvReader, HeaderQuotesCommentsAndLineEndings)
{
    testsupport::ScopedWorkdir wd("");
    const auto file = write_file(wd.path(), "t.csv",
                                 "# written by hand\r\n"
                                 "time [s], \"flow, in [kg/s]\" ,p\r\n"
                                 "\n"
                                 "0, 1.5e-2 ,3e5\r\n"
                                 "   # a comment between rows\n"
                                 "1,nan,-Infinity\n");
    const CsvTable t = read_csv(file);
    ASSERT_EQ(t.header, (std::vector<std::string>{"time [s]", "flow, in [kg/s]", "p"}));
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0], (std::vector<double>{0.0, 1.5e-2, 3e5}));
    EXPECT_TRUE(std::isnan(t.rows[1][1]));
    EXPECT_EQ(t.rows[1][2], -INFINITY);
    EXPECT_EQ(t.line_numbers, (std::vector<int>{4, 6}));

    // No header at all: every line is a row.
    EXPECT_TRUE(read_csv(write_file(wd.path(), "n.csv", "0,1\n2,3\n")).header.empty());
}

TEST(CsvReader, RefusesTextAfterTheFirstRowAndMissingFiles)
{
    testsupport::ScopedWorkdir wd("");
    const auto file = write_file(wd.path(), "bad.csv", "t,x\n0,1\n1,oops\n");
    EXPECT_HAS(failure_of([&] { read_csv(file); }), "bad.csv line 3: not a row of numbers");
    // A second header line is just as wrong.
    const auto twice = write_file(wd.path(), "twice.csv", "t,x\nt,x\n0,1\n");
    EXPECT_HAS(failure_of([&] { read_csv(twice); }), "twice.csv line 2: not a row of numbers");
    EXPECT_HAS(failure_of([&] { read_csv(wd.path() / "absent.csv"); }), "cannot read");
}

TEST(BuiltinBlockTypes, TheModelFileAcceptsExactlyTheSettingsOfTheTable)
{
    ASSERT_FALSE(builtin_block_types().empty());
    for (const auto& type : builtin_block_types()) {
        SCOPED_TRACE(type.type);
        ASSERT_TRUE(type.make) << "no factory";
        EXPECT_EQ(find_builtin_block_type(type.type), &type);
        // A key the table does not list is refused, and the message lists
        // every key the table does.
        json doc = {{"blocks", {{{"name", "b"}, {"type", type.type}, {"no_such_setting", 1}}}},
                    {"log", json::array()},
                    {"solver", {{"stop_time", 1}}}};
        const std::string message = failure_of([&] { parse_model(doc, "m.json"); });
        EXPECT_HAS(message, "unknown key \"no_such_setting\"");
        for (const auto& key : type.keys) EXPECT_HAS(message, key);
        // Every key the table lists passes the key check (its value may still
        // be refused when the block is built).
        doc["blocks"][0].erase("no_such_setting");
        for (const auto& key : type.keys) doc["blocks"][0][key] = 1;
        EXPECT_EQ(failure_of([&] { parse_model(doc, "m.json"); }), "(no failure)");
    }
    EXPECT_EQ(find_builtin_block_type("sfunction"), nullptr);
    EXPECT_EQ(find_builtin_block_type("no_such_type"), nullptr);
}

TEST(BuiltinBlockTypes, EachFactoryBuildsItsOwnKindFromTheModelFile)
{
    // The smallest settings of each type; the kind a block reports is its type.
    const std::map<std::string, json> settings = {
        {"constant", {{"value", 2}}},
        {"step", {{"time", 1}}},
        {"ramp", {{"slope", 1}}},
        {"sine", json::object()},
        {"table", {{"time", {0, 1}}, {"values", {0, 1}}}},
        {"memory", json::object()},
        {"gain", {{"gain", 3}}},
        {"sum", json::object()},
        {"product", json::object()},
        {"integrator", json::object()},
        {"first_order", {{"tau", 1}}},
        {"saturation", {{"upper", 1}}},
        {"rate_limiter", {{"rising", 1}}},
        {"lookup", {{"x", {0, 1}}, {"y", {0, 1}}}},
        {"pid", {{"kp", 1}}},
        {"min", json::object()},
        {"max", json::object()},
        {"trip", {{"limit", 1}}},
    };
    EXPECT_EQ(settings.size(), builtin_block_types().size()) << "a type without its smallest settings here";
    for (const auto& [type, values] : settings) {
        SCOPED_TRACE(type);
        json block = values;
        block["name"] = "b";
        block["type"] = type;
        json doc = {{"blocks", {block}}, {"log", json::array()}, {"solver", {{"stop_time", 1}}}};
        const ModelSpec model = parse_model(doc, "m.json");
        SettingsReadLog asked;
        auto built = make_builtin_block(model.blocks[0], ".");
        ASSERT_TRUE(built);
        EXPECT_EQ(built->kind(), type);
        EXPECT_EQ(built->name(), "b");
        // The type's list of settings is exactly what its constructor asks
        // about: a listed setting nobody reads would be accepted and ignored.
        const BuiltinBlockType* listed = find_builtin_block_type(type);
        ASSERT_NE(listed, nullptr);
        EXPECT_EQ(asked.keys(), listed->keys);
    }
    BlockSpec unknown{"x", "sfunction", json::object(), "m.json: block 'x'"};
    EXPECT_HAS(failure_of([&] { make_builtin_block(unknown, "."); }), "'sfunction' is not a built-in block type");

    // A constructor asking for a setting its type does not list is a
    // programming error, named as such rather than read as absent.
    BlockSpec gain{"g", "gain", json{{"gain", 2}}, "m.json: block 'g'"};
    Settings s(gain);
    EXPECT_HAS(failure_of([&] { (void)s.has("tau"); }), "reads a setting \"tau\" that its type does not list");
    EXPECT_TRUE(s.has("gain"));
}

TEST(BuiltinBlockTypes, TableFilesReadThroughTheCsvReader)
{
    testsupport::ScopedWorkdir wd("");
    write_file(wd.path(), "u.csv", "time,a,b\n0,1,10\n2,3,30\n");
    write_file(wd.path(), "gap.csv", "time,a\n0,1\n1,nan\n");
    auto build = [&](json settings) {
        settings["name"] = "tab";
        settings["type"] = "table";
        json doc = {{"blocks", {settings}}, {"log", json::array()}, {"solver", {{"stop_time", 1}}}};
        const ModelSpec model = parse_model(doc, wd.path() / "m.json");
        return make_builtin_block(model.blocks[0], wd.path());
    };
    auto tab = build({{"file", "u.csv"}, {"columns", {"b"}}});
    tab->outputs(1.0, true);
    ASSERT_EQ(tab->output(0).size(), 1u);
    EXPECT_DOUBLE_EQ(tab->output(0)[0], 20.0);
    EXPECT_HAS(failure_of([&] { build({{"file", "gap.csv"}}); }), "row 2 holds a non-finite value");
    EXPECT_HAS(failure_of([&] { build({{"file", "u.csv"}, {"columns", {"c"}}}); }), "no value column named \"c\"");
}
