// Hostile and careless input through cyclesim: text of a model or of the
// command line never runs as a command (neither through a shell nor through
// gnuplot), plot files stay inside the run directory, files that never end
// or block are refused, and messages name the option, key or setting.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <functional>

#include "sim_test_support.h"

using json = nlohmann::json;
using namespace simtest;

namespace {

json small_model(const std::string& log_name = "x", const std::string& unit = "m")
{
    return {{"blocks",
             {{{"name", "u"}, {"type", "constant"}, {"value", 0.0}},
              {{"name", "int"}, {"sfunction", "TestIntegrator"}, {"params", {-1.0, 2.0}}}}},
            {"connections", {{{"from", "u.0.0"}, {"to", "int.0.0"}}}},
            {"log", {{{"signal", "int.0.0"}, {"name", log_name}, {"unit", unit}}}},
            {"solver", {{"stop_time", 1.0}, {"output_interval", 0.25}}}};
}

json time_plot(const std::string& file, const std::string& title, const std::string& ylabel,
               const std::string& signal = "x")
{
    return {{"time", {{{"file", file}, {"title", title}, {"ylabel", ylabel}, {"signals", {signal}}}}}};
}

// Files named `marker` anywhere below `root`.
bool marker_below(const fs::path& root, const std::string& marker)
{
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (ec) break;
        if (it->path().filename() == marker && !it->is_directory()) return true;
    }
    return false;
}

std::uintmax_t png_bytes(const fs::path& dir)
{
    std::uintmax_t total = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.path().extension() == ".png") total += e.file_size();
    return total;
}

class Hostile : public ::testing::Test {
protected:
    TempDir tmp;
    DirectResult cyclesim(const std::vector<std::string>& args, unsigned limit_s = 120)
    {
        return run_cyclesim_argv(args, tmp.path(), tmp.path(), limit_s);
    }
};

}  // namespace

// Every route by which model or command-line text reaches the plotting:
// each would run `touch` through the shell or through gnuplot if it were
// interpreted. The run must draw its plots (so the text did reach gnuplot)
// and no marker file may appear.
TEST_F(Hostile, NoTextOfAModelOrOfTheCommandLineRunsAsACommand)
{
    struct Route {
        std::string what;
        std::function<json()> model;
        std::string out;  // -o, relative to the temporary folder; empty: default out/<name>
    };
    auto with = [](json m, const std::string& key, const json& value) {
        m[key] = value;
        return m;
    };
    const std::vector<Route> routes{
        {"model name (shell)", [&] { return with(small_model(), "name", "m$(touch pwned)"); }, ""},
        {"model name (backquotes)", [&] { return with(small_model(), "name", "m`touch pwned`"); }, ""},
        {"-o", [&] { return small_model(); }, "o$(touch pwned)`touch pwned`"},
        {"plot file", [&] { return with(small_model(), "plots", time_plot("p$(touch pwned)`touch pwned`.png", "t", "y")); }, "f"},
        {"title (backquotes)", [&] { return with(small_model(), "plots", time_plot("p.png", "`touch pwned`", "y")); }, "t1"},
        {"title (line break)",
         [&] { return with(small_model(), "plots", time_plot("p.png", "a\"\nsystem('touch pwned')\nset title 'b", "y")); },
         "t2"},
        {"title (quote)", [&] { return with(small_model(), "plots", time_plot("p.png", "a' . system('touch pwned') . '", "y")); }, "t3"},
        {"label", [&] { return with(small_model(), "plots", time_plot("p.png", "t", "`touch pwned`\nsystem('touch pwned')")); }, "l"},
        {"log name", [&] { return with(small_model("x`touch pwned`"), "plots", time_plot("p.png", "t", "y", "x`touch pwned`")); }, "n"},
        {"unit (default plots)", [&] { return small_model("x", "`touch pwned`"); }, "u"},
    };
    for (const auto& route : routes) {
        SCOPED_TRACE(route.what);
        const fs::path case_dir = tmp.path() / ("case" + std::to_string(&route - routes.data()));
        fs::create_directories(case_dir);
        const fs::path model = case_dir / "model.json";
        std::ofstream(model) << route.model().dump(2);
        std::vector<std::string> args{"run", model.string()};
        if (!route.out.empty()) args.insert(args.end(), {"-o", (case_dir / route.out).string()});
        auto r = run_cyclesim_argv(args, case_dir, tmp.path());
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_NE(r.err.find("cyclesim plot: wrote"), std::string::npos) << r.err;
        EXPECT_FALSE(r.err.find("plot:") != std::string::npos && r.err.find("failed") != std::string::npos) << r.err;
        EXPECT_GT(png_bytes(case_dir), 1000u);
        // Each route runs in its own folder, so each is proven on its own.
        EXPECT_FALSE(marker_below(case_dir, "pwned"));
    }
    EXPECT_FALSE(marker_below(tmp.path(), "pwned"));
    EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));
    // The hostile names are names like any other: the run directory is there.
    EXPECT_TRUE(fs::exists(tmp.path() / "case0" / "out" / "m$(touch pwned)" / "results.csv"));
    EXPECT_TRUE(fs::exists(tmp.path() / "case2" / "o$(touch pwned)`touch pwned`" / "summary.json"));
}

TEST_F(Hostile, PlotFilesOutsideTheRunDirectoryAreRefusedAtCheckAndAtPlot)
{
    std::ofstream(tmp.path() / "victim.png") << "the user's own file";
    const std::vector<std::string> bad{"../victim.png", (tmp.path() / "victim.png").string(), "sub/p.png",
                                       "..", ".hidden.png", "p.csv", "line\nbreak.png"};
    for (const auto& name : bad) {
        SCOPED_TRACE(name);
        json m = small_model();
        m["plots"] = time_plot(name, "t", "y");
        auto r = cyclesim({"check", tmp.write_json("m.json", m).string()});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_NE(r.err.find("plots.time[0].file"), std::string::npos) << r.err;
        m["plots"] = {{"ph", {{"file", name}, {"fluid", "Analytic"}, {"points", json::array({json::array({"x", "x"})})}}}};
        r = cyclesim({"check", tmp.write_json("m.json", m).string()});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_NE(r.err.find("plots.ph.file"), std::string::npos) << r.err;
    }

    // A run directory whose plots.json was edited afterwards: `plot` refuses too.
    json m = small_model();
    m["plots"] = time_plot("p.png", "t", "y");
    ASSERT_EQ(cyclesim({"run", tmp.write_json("m.json", m).string(), "-o", (tmp.path() / "run").string()}).exit_code, 0);
    for (const auto& name : {std::string("../victim.png"), (tmp.path() / "victim.png").string()}) {
        std::ofstream(tmp.path() / "run" / "plots.json") << time_plot(name, "t", "y").dump();
        auto r = cyclesim({"plot", (tmp.path() / "run").string()});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_NE(r.err.find(".file: a plot file is a plain name"), std::string::npos) << r.err;
    }
    EXPECT_EQ(read_text(tmp.path() / "victim.png"), "the user's own file");
}

TEST_F(Hostile, FilesThatNeverEndOrBlockAreRefusedAtOnce)
{
    auto table_model = [](const std::string& file) {
        json m = small_model();
        m["blocks"][0] = {{"name", "u"}, {"type", "table"}, {"file", file}};
        return m;
    };
    // A device that never ends, a FIFO nobody writes, a file beyond the
    // size limit (sparse: takes no disk).
    ASSERT_EQ(::mkfifo((tmp.path() / "fifo").c_str(), 0600), 0);
    {
        std::ofstream big(tmp.path() / "big.csv");
    }
    fs::resize_file(tmp.path() / "big.csv", 300ull * 1024 * 1024);
    const std::vector<std::pair<std::string, std::string>> tables{{"/dev/zero", "not a regular file"},
                                                                  {(tmp.path() / "fifo").string(), "not a regular file"},
                                                                  {(tmp.path() / "big.csv").string(), "larger than 256 MB"}};
    for (const auto& [file, reason] : tables) {
        SCOPED_TRACE(file);
        auto r = cyclesim({"check", tmp.write_json("m.json", table_model(file)).string()}, 30);
        EXPECT_EQ(r.signal, 0) << "check hung or crashed";
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_NE(r.err.find("block 'u'.file"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
    }
    // The model file itself, and a JSON argument given as @file.
    auto r = cyclesim({"check", (tmp.path() / "fifo").string()}, 30);
    EXPECT_EQ(r.signal, 0);
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    r = cyclesim({"check", "/dev/zero"}, 30);
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    r = cyclesim({"eval", "Orvane", "--params", "@/dev/zero", "--inputs", "[[0.5, 1e6, 3e5, 2e5]]"}, 30);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("--params: /dev/zero is not a regular file"), std::string::npos) << r.err;
}

TEST_F(Hostile, AnOutputCountBeyondTenMillionRowsIsRefusedAtCheck)
{
    json m = small_model();
    m["solver"] = {{"stop_time", 1e9}, {"output_interval", 1e-9}};
    auto r = cyclesim({"check", tmp.write_json("m.json", m).string()});
    EXPECT_EQ(r.exit_code, 1);
    for (const char* word : {"output_interval 1e-09", "stop_time 1000000000", "10000000"})
        EXPECT_NE(r.err.find(word), std::string::npos) << r.err;
    // Just inside the limit: accepted (10 000 001 rows would not be).
    m["solver"] = {{"stop_time", 9999999.0}, {"output_interval", 1.0}};
    EXPECT_EQ(cyclesim({"check", tmp.write_json("m.json", m).string()}).exit_code, 0);
    m["solver"] = {{"stop_time", 10000000.0}, {"output_interval", 1.0}};
    EXPECT_EQ(cyclesim({"check", tmp.write_json("m.json", m).string()}).exit_code, 1);
    // The limit holds for the stop time given on the command line too.
    m["solver"] = {{"stop_time", 9.0}, {"output_interval", 1e-6}};
    EXPECT_EQ(cyclesim({"check", tmp.write_json("m.json", m).string()}).exit_code, 0);
    EXPECT_EQ(cyclesim({"check", tmp.write_json("m.json", m).string(), "--stop-time", "1e3"}).exit_code, 1);
}

TEST_F(Hostile, MessagesNameTheOptionKeyOrSettingAndPrintNumbersCompactly)
{
    auto expect = [&](const std::vector<std::string>& args, const std::vector<std::string>& words) {
        auto r = cyclesim(args);
        EXPECT_EQ(r.exit_code, 1) << r.err;
        EXPECT_EQ(r.err.find("json.exception"), std::string::npos) << r.err;
        for (const auto& w : words) EXPECT_NE(r.err.find(w), std::string::npos) << w << " in " << r.err;
        return r.err;
    };
    const std::string inputs = "[[0.5, 1e6, 3e5, 2e5]]";
    expect({"eval", "Orvane", "--params", "[{\"C_eev\": 1e400}, \"R134a\"]", "--inputs", inputs},
           {"--params", "number overflow"});
    expect({"eval", "Orvane", "--params", "[{\"C_eev\": 1e-6}, \"R134a\"]", "--inputs", "[[1e400, 1, 1, 1]]"},
           {"--inputs", "number overflow"});

    json m = small_model();
    m["blocks"][0] = {{"name", "opening"}, {"type", "step"}, {"time", 0.5}, {"before", 0.0}, {"after", 1.0}};
    m["connections"][0]["from"] = "opening.0.0";
    const std::string model = tmp.write_json("m.json", m).string();
    expect({"check", model, "--set", "opening.time=1e400"}, {"--set opening.time=1e400", "number overflow"});
    expect({"check", model, "--set", "opening.time=NaN"}, {"--set opening.time=NaN", "finite number"});
    const std::string huge = expect({"check", model, "--stop-time", "-1e300"}, {"stop_time (-1e+300)"});
    EXPECT_LT(huge.size(), 300u) << huge;

    // A plots.json whose title is a number: named, not a library type error.
    ASSERT_EQ(cyclesim({"run", model, "-o", (tmp.path() / "run").string(), "--no-plot"}).exit_code, 0);
    std::ofstream(tmp.path() / "run" / "plots.json") << R"({"time": [{"file": "p.png", "title": 5, "signals": ["x"]}]})";
    expect({"plot", (tmp.path() / "run").string()}, {"plots.json.time[0].title: expected a text"});
    std::ofstream(tmp.path() / "run" / "plots.json") << R"({"time": [{"file": "p.png", "signals": ["x"], "yrange": [0, 1e400]}]})";
    expect({"plot", (tmp.path() / "run").string()}, {"plots.json", "number overflow"});
}

// JSON nested 150,000 levels deep (300 KB) crashed check on the stack; every
// route that reads JSON now refuses nesting beyond 64 levels with a message
// (the model file, a --set value, eval's arguments, a --settle criterion).
TEST_F(Hostile, DeepNestingIsRefusedWithAMessageNotACrash)
{
    const std::string deeper = std::string(150000, '[') + std::string(150000, ']');
    // A single command-line argument may hold at most 128 KB: 50,000 levels.
    const std::string deep = std::string(50000, '[') + std::string(50000, ']');
    std::string model_text = small_model().dump();
    model_text.insert(model_text.rfind('}'), ",\"comment\":" + deeper);
    const fs::path model = tmp.path() / "deep.json";
    std::ofstream(model) << model_text;

    auto r = cyclesim({"check", model.string()});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find("nested deeper than 64 levels"), std::string::npos) << r.err;

    const fs::path plain = tmp.write_json("m.json", small_model());
    r = cyclesim({"check", plain.string(), "--set", "u.value=" + deep});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find("nested deeper than 64 levels"), std::string::npos) << r.err;
    EXPECT_LT(r.err.size(), 2000u) << "the value is not echoed";

    r = cyclesim({"eval", "Orvane", "--params", "[{\"C_eev\": 2e-6}, \"R134a\"]", "--inputs", deep});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find("nested deeper than 64 levels"), std::string::npos) << r.err;

    r = cyclesim({"run", plain.string(), "-o", (tmp.path() / "out").string(), "--settle", deep});
    EXPECT_EQ(r.exit_code, 1) << r.err;

    // Sixty levels are still read (a model needs a handful).
    std::string sixty = std::string(60, '[') + "1" + std::string(60, ']');
    model_text = small_model().dump();
    model_text.insert(model_text.rfind('}'), ",\"comment\":" + sixty);
    std::ofstream(model) << model_text;
    r = cyclesim({"check", model.string()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
}

// A model at the size bound (2,000 blocks) is checked at once: a chain of
// them, and a ring broken by memories (the feedback-loop search and the
// lookups by name stay linear).
TEST_F(Hostile, AChainAndARingAtTheSizeBoundAreChecked)
{
    // Names built by appending (g++ 12 warns falsely on literal + string here).
    auto name = [](const char* stem, int i, const char* port = "") {
        std::string text = stem;
        text += std::to_string(i);
        text += port;
        return text;
    };
    const int n = 1999;
    json blocks = json::array({{{"name", "c"}, {"type", "constant"}, {"value", 1.0}}});
    json connections = json::array({{{"from", "c.0"}, {"to", "g0.0"}}});
    for (int i = 0; i < n; ++i) {
        blocks.push_back({{"name", name("g", i)}, {"type", "gain"}, {"gain", 1.0}});
        if (i + 1 < n) connections.push_back({{"from", name("g", i, ".0")}, {"to", name("g", i + 1, ".0")}});
    }
    const json chain = {{"blocks", blocks},
                        {"connections", connections},
                        {"log", {name("g", n - 1, ".0.0")}},
                        {"solver", {{"stop_time", 1}}}};
    auto r = cyclesim({"check", tmp.write_json("chain.json", chain).string()}, 60);
    EXPECT_EQ(r.exit_code, 0) << r.err.substr(0, 2000);

    const int m = 2000;
    json ring_blocks = json::array(), ring = json::array();
    for (int i = 0; i < m; ++i) {
        ring_blocks.push_back(i % 100 == 0 ? json{{"name", name("r", i)}, {"type", "memory"}}
                                           : json{{"name", name("r", i)}, {"type", "gain"}, {"gain", 1.0}});
        ring.push_back({{"from", name("r", i, ".0")}, {"to", name("r", (i + 1) % m, ".0")}});
    }
    const json model = {{"blocks", ring_blocks}, {"connections", ring}, {"log", {"r0.0.0"}}, {"solver", {{"stop_time", 1}}}};
    r = cyclesim({"check", tmp.write_json("ring.json", model).string()}, 60);
    EXPECT_EQ(r.exit_code, 0) << r.err.substr(0, 2000);
}
