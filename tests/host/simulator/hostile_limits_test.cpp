// Hostile input, second round: values nested deep enough to exhaust the
// machine stack, models long enough to make a recursive search overflow,
// links left in a run directory where the run writes its files, and a run
// directory whose property library would run code in `cyclesim plot`.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

#include "feedback_loops.h"
#include "sim_test_support.h"

using json = nlohmann::json;
using namespace simtest;

namespace {

std::string nested(std::size_t depth)
{
    return std::string(depth, '[') + std::string(depth, ']');
}

json small_model()
{
    return {{"blocks",
             {{{"name", "u"}, {"type", "constant"}, {"value", 0.0}},
              {{"name", "int"}, {"sfunction", "TestIntegrator"}, {"params", {-1.0, 2.0}}}}},
            {"connections", {{{"from", "u.0.0"}, {"to", "int.0.0"}}}},
            {"log", {{{"signal", "int.0.0"}, {"name", "x"}, {"unit", "m"}}}},
            {"solver", {{"stop_time", 1.0}, {"output_interval", 0.25}}}};
}

class HostileLimits : public ::testing::Test {
protected:
    TempDir tmp;
    DirectResult cyclesim(const std::vector<std::string>& args, unsigned limit_s = 120)
    {
        return run_cyclesim_argv(args, tmp.path(), tmp.path(), limit_s);
    }
};

}  // namespace

// 150,000 levels (300 KB) crashed `check` with a stack overflow; the same
// value through --set, an eval argument or a run's --settle. Each is now
// refused with a message naming where the value came from.
TEST_F(HostileLimits, DeeplyNestedValuesAreRefusedWithAMessageNotACrash)
{
    const std::string deep = nested(150'000);
    std::string model = small_model().dump();
    std::string comment = "\"comment\":";
    comment.append(deep).append(",");
    model.insert(model.find("\"name\":\"u\""), comment);
    const fs::path file = tmp.write("deep.json", model);
    auto r = cyclesim({"check", file.string()});
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("deep.json: values nested deeper than 64 levels"), std::string::npos) << r.err;

    const fs::path plain = tmp.write_json("m.json", small_model());
    // (An argument of the command line holds at most 128 KB.)
    std::string assignment = "int.1=";
    assignment.append(nested(60'000));
    r = cyclesim({"check", plain.string(), "--set", assignment});
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("--set int.1="), std::string::npos) << r.err.substr(0, 300);
    EXPECT_NE(r.err.find("nested deeper than 64"), std::string::npos) << r.err.substr(0, 300);
    EXPECT_LT(r.err.size(), 2000u) << "the message echoes the whole value";

    tmp.write("deep_inputs.json", deep);
    r = cyclesim({"eval", "Orvane", "--params", "[1, 2]", "--inputs", std::string("@").append((tmp.path() / "deep_inputs.json").string())});
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("--inputs: values nested deeper than 64"), std::string::npos) << r.err.substr(0, 300);

    // Brackets inside texts are text: a model may say "[[[[" in a comment.
    json fine = small_model();
    fine["blocks"][0]["comment"] = std::string(1000, '[').append("\"");
    EXPECT_EQ(cyclesim({"check", tmp.write_json("fine.json", fine).string()}).exit_code, 0);
    // A depth a model can mean is read.
    fine["blocks"][0]["comment"] = json::parse(nested(60));
    EXPECT_EQ(cyclesim({"check", tmp.write_json("fine.json", fine).string()}).exit_code, 0);
}

// The feedback-loop search walked a chain recursively, one stack frame per
// block: a 100,000-block chain crashed. Now it walks with its own stack.
TEST(FeedbackLoopSearch, ChainsAndRingsOfAQuarterMillionBlocks)
{
    const int n = 250'000;
    std::vector<cyclesim::WireEdge> chain;
    for (int i = 1; i < n; ++i) chain.push_back({i - 1, i, true});
    EXPECT_TRUE(cyclesim::find_feedback_loops(n, chain).empty());

    std::vector<cyclesim::WireEdge> ring = chain;
    ring.push_back({n - 1, 0, true});
    ring.push_back({n / 2, n / 2 + 1, false});  // a second wire into the middle: a state there breaks the loop
    const auto loops = cyclesim::find_feedback_loops(n, ring);
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_EQ(loops[0].members.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(loops[0].breakers, std::vector<int>{n / 2 + 1});

    // Two separate loops joined by a one-way wire stay two loops.
    const std::vector<cyclesim::WireEdge> two{{0, 1, true}, {1, 0, true}, {1, 2, true}, {2, 3, true}, {3, 2, true}};
    const auto both = cyclesim::find_feedback_loops(4, two);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].members.size(), 2u);
    EXPECT_EQ(both[1].members.size(), 2u);
}

// A 100,000-block model took minutes to check; its size is now refused at
// once, naming the bound.
TEST_F(HostileLimits, AModelOfMoreThanTwoThousandBlocksIsRefusedAtOnce)
{
    json m = small_model();
    for (int i = 0; i < 2'000; ++i) {
        std::string name = "c";
        name += std::to_string(i);
        m["blocks"].push_back({{"name", name}, {"type", "constant"}, {"value", 1.0}});
    }
    auto r = cyclesim({"check", tmp.write_json("big.json", m).string()}, 60);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("2002 blocks; a model may have at most 2000"), std::string::npos) << r.err;
}

// Links left where a run writes its files: the earlier run's directory is
// refused, and nothing outside it is written.
TEST_F(HostileLimits, ARunWritesNothingThroughLinksLeftInItsDirectory)
{
    const fs::path model = tmp.write_json("m.json", small_model());
    const fs::path prev = tmp.path() / "prev";
    ASSERT_EQ(cyclesim({"run", model.string(), "-o", prev.string(), "--no-plot"}).exit_code, 0);
    fs::create_directories(tmp.path() / "outside" / "lib");
    const std::vector<std::string> names{"results.csv", "run.log", "summary.json.part", "results.mat"};
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const fs::path victim = tmp.path() / "outside" / name;
        std::ofstream(victim) << "the user's own file";
        fs::remove(prev / name);
        fs::create_symlink(victim, prev / name);
        auto r = cyclesim({"run", model.string(), "-o", prev.string(), "--no-plot"});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_NE(r.err.find(name + " is a symbolic link to " + victim.string()), std::string::npos) << r.err;
        EXPECT_EQ(read_text(victim), "the user's own file");
        fs::remove(prev / name);
    }
    // Tarvex_files itself a link: the library link would land outside.
    fs::remove_all(prev / "Tarvex_files");
    fs::create_directory_symlink(tmp.path() / "outside" / "lib", prev / "Tarvex_files");
    auto r = cyclesim({"run", model.string(), "-o", prev.string(), "--no-plot"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("Tarvex_files is a symbolic link"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(tmp.path() / "outside" / "lib"));

    // With the links gone the directory is the run's again.
    fs::remove(prev / "Tarvex_files");
    EXPECT_EQ(cyclesim({"run", model.string(), "-o", prev.string(), "--no-plot"}).exit_code, 0);
}

// `cyclesim plot DIR` loaded DIR/Tarvex_files/libCoolProp.so for the
// pressure-enthalpy dome, running whatever code that library holds.
TEST_F(HostileLimits, PlottingLoadsNoLibraryFromTheDirectoryItPlots)
{
    const fs::path dir = tmp.path() / "received";
    fs::create_directories(dir / "Tarvex_files");
    fs::create_symlink(testsupport::build_dir() / "testlib" / "libprops_that_announce.so",
                       dir / "Tarvex_files" / "libCoolProp.so");
    std::ofstream(dir / "results.csv") << "time [s],p [Pa],h [J/kg]\n0,3e5,4e5\n1,3.1e5,4.1e5\n";
    std::ofstream(dir / "plots.json")
        << R"({"time": [], "ph": {"file": "ph.png", "fluid": "R134a", "points": [["p", "h"]]}})";
    const fs::path marker = tmp.path() / "LOADED";
    ::setenv("CYCLESIM_TEST_LOADED_MARKER", marker.c_str(), 1);
    auto r = cyclesim({"plot", dir.string()});
    ::unsetenv("CYCLESIM_TEST_LOADED_MARKER");
    EXPECT_FALSE(fs::exists(marker)) << "plot ran the directory's library";
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "ph.png")) << r.err;
}

// Slips that used to pass silently or be reported as something else: a
// misspelt dialog field reported only as the missing one, a NUL byte that
// cut a fluid name, a width that wrapped around 32 bits to 1, a time that is
// not a number.
TEST_F(HostileLimits, SlipsAreNamedAsTyped)
{
    const std::string inputs = "[[0.5, 1.2e6, 3.0e5, 2.5e5]]";
    auto r = cyclesim({"eval", "Orvane", "--params", R"([{"C_evv": 2.0e-6}, "R134a"])", "--inputs", inputs});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find(R"(has no field "C_eev" (dialog parameter 1 holds "C_evv": misspelt "C_eev"?))"),
              std::string::npos)
        << r.err;

    r = cyclesim({"eval", "Orvane", "--params", R"([{"C_eev": 2.0e-6}, "R134a\u0000junk"])", "--inputs", inputs});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("parameter 2: text holds a NUL character at position 5"), std::string::npos) << r.err;

    r = cyclesim({"eval", "Orvane", "--params", R"([{"C_eev": 2.0e-6}, "R134a"])", "--inputs", inputs, "--time", "nan"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("--time must be a finite number, got nan"), std::string::npos) << r.err;

    json m = small_model();
    m["blocks"].push_back({{"name", "g"}, {"type", "gain"}, {"gain", 2.0}, {"width", 4294967297LL}});
    m["connections"].push_back({{"from", "u.0.0"}, {"to", "g.0.0"}});
    r = cyclesim({"check", tmp.write_json("wide.json", m).string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("width"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("from 1 to 100000"), std::string::npos) << r.err;

    m = small_model();
    m["solver"]["stop_tme"] = 2.0;
    r = cyclesim({"check", tmp.write_json("typo.json", m).string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find(R"(unknown key "stop_tme" (did you mean "stop_time"?))"), std::string::npos) << r.err;
}

// A FIFO where the property library is expected blocked `run` and `eval` in
// the loader; both now refuse it at once (the alarm ends a hang at 30 s).
TEST_F(HostileLimits, APipeWhereThePropertyLibraryIsExpectedIsRefused)
{
    const fs::path fifo = tmp.path() / "lib.so";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    json m = small_model();
    auto r = cyclesim({"run", tmp.write_json("m.json", m).string(), "--props", fifo.string(), "-o",
                       (tmp.path() / "run").string(), "--no-plot"},
                      30);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("lib.so is not a regular file"), std::string::npos) << r.err;

    r = cyclesim({"eval", "Orvane", "--params", R"([{"C_eev": 2.0e-6}, "R134a"])", "--inputs",
                  "[[0.5, 1.2e6, 3.0e5, 2.5e5]]", "--props", fifo.string()},
                 30);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("lib.so is not a regular file"), std::string::npos) << r.err;

    // Placed in the working directory as the blocks' own set-up.
    fs::create_directories(tmp.path() / "Tarvex_files");
    ASSERT_EQ(::mkfifo((tmp.path() / "Tarvex_files" / "libCoolProp.so").c_str(), 0600), 0);
    r = cyclesim({"eval", "Orvane", "--params", R"([{"C_eev": 2.0e-6}, "R134a"])", "--inputs",
                  "[[0.5, 1.2e6, 3.0e5, 2.5e5]]"},
                 30);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
}

// A plot title starting with a quote left a 0-byte PNG (gnuplot read '''x
// as an empty string and junk) and an empty signal list did the same; both
// also cancelled the plots after them.
TEST_F(HostileLimits, TitlesStartingWithAQuoteAreDrawnAndEmptySignalListsRefused)
{
    json m = small_model();
    m["plots"] = {{"time",
                   {{{"file", "a.png"}, {"title", "'quoted' title"}, {"ylabel", "'m'"}, {"signals", {"x"}}},
                    {{"file", "b.png"}, {"title", "after it"}, {"signals", {"x"}}}}}};
    const fs::path run = tmp.path() / "run";
    auto r = cyclesim({"run", tmp.write_json("m.json", m).string(), "-o", run.string()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    for (const char* png : {"a.png", "b.png"}) {
        ASSERT_TRUE(fs::exists(run / png)) << png << "\n" << r.err;
        EXPECT_GT(fs::file_size(run / png), 1000u) << png << "\n" << r.err;
    }

    m["plots"]["time"][0]["signals"] = json::array();
    r = cyclesim({"check", tmp.write_json("m.json", m).string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("plots.time[0].signals: name at least one logged signal"), std::string::npos) << r.err;
}

// A PI controller with kp = 1e12 made the loop chatter: the integrator took
// ever more steps of nanoseconds and the run never ended, leaving
// summary.json "running". A bound on the steps ends it, naming the state
// that holds the steps down.
TEST_F(HostileLimits, AChatteringRunEndsAtTheStepBoundNamingTheBlock)
{
    json m = {{"blocks",
               {{{"name", "setpoint"}, {"type", "step"}, {"time", 1.0}, {"before", 0.0}, {"after", 1.0}},
                {{"name", "pi"}, {"type", "pid"}, {"kp", 1e12}, {"ti", 2.0}, {"lower", 0.0}, {"upper", 1.6}},
                {{"name", "plant"}, {"type", "first_order"}, {"tau", 4.0}, {"gain", 2.0}}}},
             {"connections",
              {{{"from", "setpoint.0"}, {"to", "pi.0"}},
               {{"from", "plant.0"}, {"to", "pi.1"}},
               {{"from", "pi.0"}, {"to", "plant.0"}}}},
             {"log", {{{"signal", "plant.0.0"}, {"name", "y"}}}},
             {"solver", {{"stop_time", 60.0}, {"rtol", 1e-8}, {"atol", 1e-10}, {"output_interval", 0.5},
                         {"max_steps", 20000}}}};
    const fs::path run = tmp.path() / "run";
    auto r = cyclesim({"run", tmp.write_json("m.json", m).string(), "-o", run.string(), "--no-plot"}, 60);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("integrator took max_steps = 20000 steps without reaching stop_time"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("the state holding the steps down: block 'pi'"), std::string::npos) << r.err;
    EXPECT_EQ(read_json(run / "summary.json").value("status", ""), "failed");

    m["solver"]["max_steps"] = 0.5;
    r = cyclesim({"check", tmp.write_json("m.json", m).string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("max_steps"), std::string::npos) << r.err;
}

// An integrator whose lower and upper limits are equal collapsed the step
// size; it is refused at check.
TEST_F(HostileLimits, AnIntegratorWithEqualLimitsIsRefusedAtCheck)
{
    json m = small_model();
    m["blocks"].push_back({{"name", "held"}, {"type", "integrator"}, {"lower", 1.0}, {"upper", 1.0}, {"initial", 1.0}});
    m["connections"].push_back({{"from", "u.0.0"}, {"to", "held.0.0"}});
    auto r = cyclesim({"check", tmp.write_json("m.json", m).string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("equals upper (1): the state could not move"), std::string::npos) << r.err;
}
