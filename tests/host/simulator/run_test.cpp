// Runs of small models with known solutions through cyclesim: integration
// accuracy, the stiff solver, restarts after state changes and breakpoints,
// algebraic loops, and failures that must stop the run cleanly.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "sim_test_support.h"

using json = nlohmann::json;
using namespace simtest;

namespace {

class RunTest : public ::testing::Test {
protected:
    TempDir tmp;

    // Writes the model, runs it into <tmp>/<name>, returns the process result.
    // Runs are strict: a block breaking a rule of the S-function interface
    // fails the run, as it would misbehave in the commercial host.
    ProcessResult run(const std::string& name, const json& model, const std::string& extra = "--strict")
    {
        auto file = tmp.write_json(name + ".json", model);
        return run_cyclesim("run " + file.string() + " -o " + dir(name).string() + " " + extra, tmp.path());
    }
    std::string run_log(const std::string& name) const
    {
        std::ifstream in(dir(name) / "run.log");
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    fs::path dir(const std::string& name) const { return tmp.path() / name; }
    Results results(const std::string& name) const { return read_results(dir(name) / "results.csv"); }
    json summary(const std::string& name) const { return read_json(dir(name) / "summary.json"); }
};

json integrator_model(double rate, double x0, const json& solver)
{
    return {{"blocks",
             {{{"name", "u"}, {"type", "constant"}, {"value", 0.0}},
              {{"name", "int"}, {"sfunction", "TestIntegrator"}, {"params", {rate, x0}}}}},
            {"connections", {{{"from", "u.0.0"}, {"to", "int.0.0"}}}},
            {"log", {{{"signal", "int.0.0"}, {"name", "x"}, {"unit", "m"}}}},
            {"solver", solver}};
}

double max_relative_error(const Results& r, double rate, double x0)
{
    double worst = 0.0;
    for (const auto& row : r.rows) {
        double exact = x0 * std::exp(rate * row[0]);
        worst = std::max(worst, std::fabs(row[1] - exact) / exact);
    }
    return worst;
}

}  // namespace

TEST_F(RunTest, ExponentialDecayFollowsTheToleranceAndWritesEveryFile)
{
    json solver = {{"stop_time", 5.0}, {"rtol", 1e-6}, {"atol", 1e-12}, {"output_interval", 0.25}};
    auto r = run("loose", integrator_model(-1.0, 2.0, solver));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    auto res = results("loose");
    ASSERT_EQ(res.header, (std::vector<std::string>{"time [s]", "x [m]"}));
    ASSERT_EQ(res.rows.size(), 21u);  // 0, 0.25, ..., 5 exactly
    EXPECT_DOUBLE_EQ(res.rows.back()[0], 5.0);
    EXPECT_DOUBLE_EQ(res.rows[1][0], 0.25);
    double loose_error = max_relative_error(res, -1.0, 2.0);
    EXPECT_LT(loose_error, 1e-4);

    solver["rtol"] = 1e-9;
    ASSERT_EQ(run("tight", integrator_model(-1.0, 2.0, solver)).exit_code, 0);
    double tight_error = max_relative_error(results("tight"), -1.0, 2.0);
    EXPECT_LT(tight_error, loose_error / 10) << "a tighter tolerance must reduce the error";

    auto s = summary("loose");
    EXPECT_EQ(s["status"], "completed");
    EXPECT_NEAR(s["final_values"]["x"].get<double>(), 2.0 * std::exp(-5.0), 1e-4);
    EXPECT_GT(s["steps"].get<long>(), 10);
    EXPECT_GE(s["rhs_evaluations"].get<long>(), s["steps"].get<long>());
    // Block prints go to the run log, and terminate ran.
    auto log = read_text(dir("loose") / "run.log");
    EXPECT_NE(log.find("int: started with rate -1"), std::string::npos) << log;
    EXPECT_NE(log.find("int: terminated"), std::string::npos) << log;
    // Not a terminal: no progress line.
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    EXPECT_EQ(s["warnings"], json::array());
}

TEST_F(RunTest, ALegalButSuspiciousRunCompletesWithItsWarningsInTheSummaryAndLog)
{
    // A temperature loop whose setpoint was typed in degC: the run is legal
    // and completes, and says so where a script and a reader look.
    json model = {{"blocks",
                   {{{"name", "r"}, {"type", "constant"}, {"value", 7.0}},
                    {{"name", "plant"}, {"type", "first_order"}, {"tau", 1000.0}, {"initial", 290.0}},
                    {{"name", "c"}, {"type", "pid"}, {"kp", 1.0}, {"ti", 5.0}, {"lower", 0.0}, {"upper", 1.0}}}},
                  {"connections",
                   {{{"from", "r.0.0"}, {"to", "c.0.0"}},
                    {{"from", "plant.0.0"}, {"to", "c.1.0"}},
                    {{"from", "c.0.0"}, {"to", "plant.0.0"}}}},
                  {"log", {{{"signal", "plant.0.0"}, {"name", "T_out"}, {"unit", "K"}}}},
                  {"solver", {{"stop_time", 10.0}, {"output_interval", 1.0}}}};
    auto r = run("degc", model);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const json s = summary("degc");
    EXPECT_EQ(s["status"], "completed");
    ASSERT_EQ(s["warnings"].size(), 2u) << s["warnings"].dump();
    EXPECT_NE(s["warnings"][0].get<std::string>().find("setpoint was 7 at t = 0, below 200 K"), std::string::npos);
    EXPECT_NE(s["warnings"][1].get<std::string>().find("lower limit 0 for the whole run"), std::string::npos);
    const std::string log = run_log("degc");
    EXPECT_NE(log.find("warning: pid 'c': its setpoint was 7"), std::string::npos) << log;
    EXPECT_NE(r.err.find("warning: pid 'c'"), std::string::npos) << r.err;
}

TEST_F(RunTest, StiffSystemIsAccurateAndBdfNeedsFarFewerStepsThanAdams)
{
    json model = {{"blocks", {{{"name", "s"}, {"sfunction", "TestStiff"}, {"params", {1e4}}}}},
                  {"log", {"s.0.0", "s.0.1"}},
                  {"solver", {{"stop_time", 10.0}, {"rtol", 1e-6}, {"atol", 1e-10}, {"output_interval", 1.0}}}};
    ASSERT_EQ(run("bdf", model).exit_code, 0);
    model["solver"]["method"] = "Adams";
    ASSERT_EQ(run("adams", model).exit_code, 0);
    for (const char* name : {"bdf", "adams"}) {
        auto res = results(name);
        ASSERT_EQ(res.rows.size(), 11u);
        for (const auto& row : res.rows) {
            if (row[0] == 0.0) continue;
            double slow = std::exp(-row[0]);
            EXPECT_NEAR(row[1], slow + std::exp(-1e4 * row[0]), 1e-3 * slow) << name << " t=" << row[0];
            EXPECT_NEAR(row[2], slow, 1e-3 * slow) << name << " t=" << row[0];
        }
    }
    EXPECT_EQ(summary("bdf")["method"], "BDF");
    EXPECT_LT(3 * summary("bdf")["steps"].get<long>(), summary("adams")["steps"].get<long>());
}

TEST_F(RunTest, StateResetInUpdateRestartsTheIntegratorAndMinorStepChangesDoNotPersist)
{
    for (int vandal : {0, 1}) {
        json model = {{"blocks", {{{"name", "saw"}, {"sfunction", "TestReset"}, {"params", {1.0, vandal}}}}},
                      {"log", {{{"signal", "saw.0.0"}, {"name", "x"}}, {{"signal", "saw.0.1"}, {"name", "resets"}}}},
                      {"solver", {{"stop_time", 3.5}, {"max_step", 0.01}}}};
        std::string name = "saw" + std::to_string(vandal);
        // The vandal breaks the interface's rules: reported, not fatal, unless strict.
        ASSERT_EQ(run(name, model, vandal ? "" : "--strict").exit_code, 0) << vandal;
        const std::string log = run_log(name);
        const bool reported = log.find("block 'saw' (S-function TestReset) in mdlOutputs: continuous state 0 "
                                       "changed from") != std::string::npos &&
                              log.find("in a minor step") != std::string::npos;
        EXPECT_EQ(reported, vandal == 1) << log;
        auto res = results(name);
        ASSERT_GT(res.rows.size(), 300u);
        // Between major steps the state rises at rate 1; a reset takes it to 0
        // and the count up by one. Anything else means a stale or vandalised state.
        for (std::size_t i = 1; i < res.rows.size(); ++i) {
            const auto &a = res.rows[i - 1], &b = res.rows[i];
            double dt = b[0] - a[0];
            if (b[2] == a[2])
                EXPECT_NEAR(b[1] - a[1], dt, 1e-9) << name << " t=" << b[0];
            else
                EXPECT_EQ(b[2], a[2] + 1);
            EXPECT_LT(b[1], 1.0 + 0.01 + 1e-9) << name << " t=" << b[0];
        }
        EXPECT_EQ(res.rows.back()[2], 3.0) << name;
        EXPECT_EQ(summary(name)["statistics"]["restarts"].get<long>(), 3) << name;
    }
    // Under --strict the vandal's minor-step change stops the run, naming it.
    json vandal = {{"blocks", {{{"name", "saw"}, {"sfunction", "TestReset"}, {"params", {1.0, 1}}}}},
                   {"log", {{{"signal", "saw.0.0"}, {"name", "x"}}}},
                   {"solver", {{"stop_time", 1.0}, {"max_step", 0.01}}}};
    auto r = run("strict_vandal", vandal);
    EXPECT_NE(r.exit_code, 0);
    EXPECT_NE(r.err.find("S-function contract: block 'saw' (S-function TestReset) in mdlOutputs"), std::string::npos)
        << r.err;
}

// A block that switches its own mode (kept outside its states) at a major
// step and asks for a reset: no state changed, yet the derivative jumped, so
// the integrator must restart there instead of carrying its history across.
TEST_F(RunTest, ResetRequestWithoutAStateChangeRestartsTheIntegrator)
{
    json model = {{"blocks", {{{"name", "tank"}, {"sfunction", "TestModeSwitch"}, {"params", {1.0}}}}},
                  {"log", {{{"signal", "tank.0.0"}, {"name", "x"}}, {{"signal", "tank.0.1"}, {"name", "mode"}}}},
                  {"solver", {{"stop_time", 2.0}, {"max_step", 0.01}, {"output_interval", 0.1}}}};
    auto r = run("switch", model, "--strict");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(summary("switch")["statistics"]["restarts"].get<long>(), 1);
    // Filled to the threshold (overshooting by at most a step), then drained.
    auto res = results("switch");
    ASSERT_FALSE(res.rows.empty());
    EXPECT_EQ(res.rows.back()[2], 1.0);
    EXPECT_NEAR(res.rows.back()[1], 0.0, 0.02 + 1e-6);
}

TEST_F(RunTest, SourcesDriveTheIntegratorWithExactBreakpoints)
{
    // x' = u with u a step from 0 to 2 at t = 1, then a table from a CSV file:
    // the integrator stops at each breakpoint, so the kinks are exact.
    tmp.write("u.csv", "time,flow\n0,0\n2,0\n3,1\n4,1\n");
    json model = {
        {"blocks",
         {{{"name", "step"}, {"type", "step"}, {"time", 1.0}, {"before", 0.0}, {"after", 2.0}},
          {{"name", "tab"}, {"type", "table"}, {"file", "u.csv"}, {"columns", {"flow"}}},
          {{"name", "ramp"}, {"type", "ramp"}, {"slope", 0.5}, {"start_time", 1.0}, {"initial", 1.0}},
          {{"name", "sin"}, {"type", "sine"}, {"amplitude", 2.0}, {"frequency", 0.25}, {"bias", 1.0}},
          {{"name", "sum"}, {"type", "sum"}, {"signs", "+-"}},
          {{"name", "gain"}, {"type", "gain"}, {"gain", 3.0}},
          {{"name", "ratio"}, {"type", "product"}, {"operations", "*/"}},
          {{"name", "a"}, {"sfunction", "TestIntegrator"}, {"params", {0.0, 0.0}}},
          {{"name", "b"}, {"sfunction", "TestIntegrator"}, {"params", {0.0, 0.0}}}}},
        {"connections",
         {{{"from", "step.0.0"}, {"to", "a.0.0"}},
          {{"from", "tab.0"}, {"to", "gain.0"}},
          {{"from", "gain.0.0"}, {"to", "sum.0.0"}},
          {{"from", "ramp.0.0"}, {"to", "sum.1.0"}},
          {{"from", "sum.0.0"}, {"to", "b.0.0"}},
          {{"from", "sin.0.0"}, {"to", "ratio.0.0"}},
          {{"from", "ramp.0.0"}, {"to", "ratio.1.0"}}}},
        {"log", {{{"signal", "a.0.0"}, {"name", "a"}}, {{"signal", "b.0.0"}, {"name", "b"}},
                 {{"signal", "sum.0.0"}, {"name", "sum"}}, {{"signal", "sin.0.0"}, {"name", "sin"}},
                 {{"signal", "ratio.0.0"}, {"name", "ratio"}}}},
        {"solver", {{"stop_time", 5.0}, {"rtol", 1e-8}, {"atol", 1e-10}, {"output_interval", 0.5}}}};
    auto r = run("src", model);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    auto res = results("src");
    for (const auto& row : res.rows) {
        double t = row[0];
        SCOPED_TRACE("t=" + std::to_string(t));
        EXPECT_NEAR(row[1], 2.0 * std::max(0.0, t - 1.0), 1e-9);
        // u = 3 * table - ramp, table 0 until 2, rising to 1 at 3, then 1.
        auto table = [](double s) { return s <= 2 ? 0.0 : s >= 3 ? 1.0 : s - 2; };
        double ramp = 1.0 + 0.5 * std::max(0.0, t - 1.0);
        EXPECT_NEAR(row[3], 3 * table(t) - ramp, 1e-12);
        // Integral of u from 0 to t.
        double int_table = t <= 2 ? 0 : t <= 3 ? 0.5 * (t - 2) * (t - 2) : 0.5 + (t - 3);
        double int_ramp = t + 0.25 * std::pow(std::max(0.0, t - 1.0), 2);
        EXPECT_NEAR(row[2], 3 * int_table - int_ramp, 1e-6);
        EXPECT_NEAR(row[4], 1.0 + 2.0 * std::sin(2 * M_PI * 0.25 * t), 1e-12);
        EXPECT_NEAR(row[5], (1.0 + 2.0 * std::sin(2 * M_PI * 0.25 * t)) / ramp, 1e-12);
    }
}

TEST_F(RunTest, AlgebraicLoopsAreSolvedAtTheirFixedPoints)
{
    // y = cos(y) around one block.
    json cosine = {{"blocks", {{{"name", "f"}, {"sfunction", "TestMap"}, {"params", {{{"k", 1.0}}}}}}},
                   {"connections", {{{"from", "f.0.0"}, {"to", "f.0.0"}}}},
                   {"log", {"f.0.0"}},
                   {"solver", {{"stop_time", 1.0}, {"output_interval", 0.5}}}};
    ASSERT_EQ(run("cos", cosine).exit_code, 0);
    for (const auto& row : results("cos").rows) EXPECT_NEAR(row[1], 0.7390851332151607, 1e-7);
    EXPECT_GT(summary("cos")["loop_iterations"].get<long>(), 0);

    // A flow through an orifice fed by a line with a quadratic pressure drop,
    // through a sum block: pressures near 1e6 Pa and flows near 1e-2 kg/s.
    //   m = C sqrt(p - p_low),  p = p_src - R m^2  =>  m^2 = C^2 (p_src - p_low) / (1 + C^2 R)
    const double C = 2e-5, R = 1e9, p_src = 1.2e6, p_low = 3e5;
    json flow = {{"blocks",
                  {{{"name", "plow"}, {"type", "constant"}, {"value", p_low}},
                   {{"name", "dp"}, {"type", "sum"}, {"signs", "+-"}},
                   {{"name", "orifice"}, {"sfunction", "TestMap"}, {"params", {{{"s", C}}}}},
                   {{"name", "line"}, {"sfunction", "TestMap"}, {"params", {{{"c0", p_src}, {"c2", -R}}}}}}},
                 {"connections",
                  {{{"from", "line.0.0"}, {"to", "dp.0.0"}},
                   {{"from", "plow.0"}, {"to", "dp.1"}},
                   {{"from", "dp.0.0"}, {"to", "orifice.0.0"}},
                   {{"from", "orifice.0.0"}, {"to", "line.0.0"}}}},
                 {"log", {{{"signal", "orifice.0.0"}, {"name", "m"}}, {{"signal", "line.0.0"}, {"name", "p"}}}},
                 {"solver", {{"stop_time", 1.0}}}};
    auto r = run("flow", flow);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const double m = std::sqrt(C * C * (p_src - p_low) / (1 + C * C * R));
    for (const auto& row : results("flow").rows) {
        EXPECT_NEAR(row[1], m, 1e-6 * m);
        EXPECT_NEAR(row[2], p_src - R * m * m, 1e-6 * p_src);
    }
    ASSERT_EQ(summary("flow")["loops"].size(), 1u);
}

TEST_F(RunTest, LoopGuessesStartALoopWhoseBlocksRefuseZero)
{
    // y = -3 + u/2 (fixed point -6) from a block that refuses any input above -1:
    // starting from the outputs' initial 0 it cannot even be evaluated.
    json model = {{"blocks", {{{"name", "f"}, {"sfunction", "TestMap"},
                               {"params", {{{"c0", -3.0}, {"c1", 0.5}, {"fail_above", -1.0}}}}}}},
                  {"connections", {{{"from", "f.0.0"}, {"to", "f.0.0"}}}},
                  {"log", {"f.0.0"}},
                  {"solver", {{"stop_time", 1.0}}}};
    auto r = run("unguessed", model);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("input above the limit"), std::string::npos) << r.err;

    model["loop_guesses"] = {{"f.0.0", -4.0}};
    r = run("guessed", model);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    for (const auto& row : results("guessed").rows) EXPECT_NEAR(row[1], -6.0, 1e-9);
}

TEST_F(RunTest, LoopWithoutSolutionStopsWithAClearMessage)
{
    // y = 1 + y^2 has no real solution.
    json model = {{"blocks", {{{"name", "f"}, {"sfunction", "TestMap"}, {"params", {{{"c0", 1.0}, {"c2", 1.0}}}}}}},
                  {"connections", {{{"from", "f.0.0"}, {"to", "f.0.0"}}}},
                  {"log", {"f.0.0"}},
                  {"solver", {{"stop_time", 1.0}}}};
    auto r = run("noroot", model);
    EXPECT_NE(r.exit_code, 0);
    EXPECT_NE(r.err.find("algebraic loop through 'f'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("could not be solved at t = 0"), std::string::npos) << r.err;
    auto s = summary("noroot");
    EXPECT_EQ(s["status"], "failed");
    EXPECT_NE(s["message"].get<std::string>().find("could not be solved"), std::string::npos);
}

TEST_F(RunTest, MemoryBreaksTheLoopOneMajorStepAtATime)
{
    json model = {{"blocks",
                   {{{"name", "f"}, {"sfunction", "TestMap"}, {"params", {{{"k", 1.0}}}}},
                    {{"name", "m"}, {"type", "memory"}, {"initial", 0.0}}}},
                  {"connections", {{{"from", "f.0.0"}, {"to", "m.0.0"}}, {{"from", "m.0.0"}, {"to", "f.0.0"}}}},
                  {"log", {{{"signal", "m.0.0"}, {"name", "held"}}, {{"signal", "f.0.0"}, {"name", "y"}}}},
                  {"solver", {{"stop_time", 20.0}, {"max_step", 0.5}}}};
    ASSERT_EQ(run("mem", model).exit_code, 0);
    auto res = results("mem");
    ASSERT_GT(res.rows.size(), 30u);
    EXPECT_EQ(res.rows[0][1], 0.0);
    for (std::size_t i = 0; i < res.rows.size(); ++i) {
        EXPECT_DOUBLE_EQ(res.rows[i][2], std::cos(res.rows[i][1]));
        if (i > 0) {
            EXPECT_DOUBLE_EQ(res.rows[i][1], res.rows[i - 1][2]) << "memory holds the previous major step";
        }
    }
    EXPECT_NEAR(res.rows.back()[2], 0.7390851332151607, 1e-6);
    auto s = summary("mem");
    EXPECT_TRUE(s["loops"].empty());
    EXPECT_EQ(s["statistics"]["loop_solves"].get<long>(), 0);
}

TEST_F(RunTest, NonFiniteDerivativeStopsAndKeepsWhatWasLogged)
{
    json model = {{"blocks", {{{"name", "b"}, {"sfunction", "TestBlowup"}, {"params", {2.1}}}}},
                  {"log", {{{"signal", "b.0.0"}, {"name", "x"}}}},
                  {"solver", {{"stop_time", 5.0}, {"output_interval", 0.25}}}};
    auto r = run("blow", model);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("non-finite value: block 'b' (S-function TestBlowup) derivative of state 0 is "),
              std::string::npos)
        << r.err;
    auto res = results("blow");
    ASSERT_EQ(res.rows.size(), 9u);  // 0 .. 2.0
    // x = integral of log(T - s) from 0 to t.
    auto F = [](double s) { return -((2.1 - s) * std::log(2.1 - s) - (2.1 - s)); };
    EXPECT_NEAR(res.rows.back()[1], F(2.0) - F(0.0), 1e-3);
    auto s = summary("blow");
    EXPECT_EQ(s["status"], "failed");
    EXPECT_GT(s["final_time"].get<double>(), 2.0);
    EXPECT_LT(s["final_time"].get<double>(), 2.1);
}

TEST_F(RunTest, BlockErrorStatusStopsTheRunAndEveryBlockIsTerminated)
{
    // x' = 1 feeds a map that refuses inputs above 1.6.
    json model = {{"blocks",
                   {{{"name", "one"}, {"type", "constant"}, {"value", 1.0}},
                    {{"name", "int"}, {"sfunction", "TestIntegrator"}, {"params", {0.0, 0.0}}},
                    {{"name", "lim"}, {"sfunction", "TestMap"}, {"params", {{{"c1", 1.0}, {"fail_above", 1.6}}}}}}},
                  {"connections", {{{"from", "one.0.0"}, {"to", "int.0.0"}}, {{"from", "int.0.0"}, {"to", "lim.0.0"}}}},
                  {"log", {"lim.0.0"}},
                  {"solver", {{"stop_time", 3.0}, {"output_interval", 0.5}}}};
    auto r = run("status", model);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("block 'lim' (S-function TestMap) in mdlOutputs at t = "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("input above the limit"), std::string::npos) << r.err;
    // The rows written before the failure stay: every output time up to the
    // last completed integrator step (at least 0 and 0.5, never 2), each x = t.
    const auto rows = results("status").rows;
    ASSERT_GE(rows.size(), 2u);
    EXPECT_LE(rows.size(), 4u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_DOUBLE_EQ(rows[i][0], 0.5 * static_cast<double>(i));
        EXPECT_NEAR(rows[i][1], rows[i][0], 1e-6);
    }
    EXPECT_NE(read_text(dir("status") / "run.log").find("int: terminated"), std::string::npos);
}

TEST_F(RunTest, ABlockFailureNamesTheLoggedStateUpstreamWhereItBegan)
{
    // one -> gain -> integrator -> map, the map refusing inputs above 1.6:
    // the message goes on to the state of what feeds the map, nearest first,
    // the refusing block's own last.
    json model = {{"blocks",
                   {{{"name", "one"}, {"type", "constant"}, {"value", 1.0}},
                    {{"name", "twice"}, {"type", "gain"}, {"gain", 2.0}},
                    {{"name", "int"}, {"sfunction", "TestIntegrator"}, {"params", {0.0, 0.0}}},
                    {{"name", "lim"}, {"sfunction", "TestMap"}, {"params", {{{"c1", 1.0}, {"fail_above", 1.6}}}}}}},
                  {"connections",
                   {{{"from", "one.0.0"}, {"to", "twice.0.0"}}, {{"from", "twice.0.0"}, {"to", "int.0.0"}},
                    {{"from", "int.0.0"}, {"to", "lim.0.0"}}}},
                  {"log",
                   {{{"signal", "lim.0.0"}, {"name", "mapped"}},
                    {{"signal", "twice.0.0"}, {"name", "rate"}, {"unit", "m/s"}},
                    {{"signal", "int.0.0"}, {"name", "x"}, {"unit", "m"}},
                    {{"signal", "one.0.0"}, {"name", "unit_input"}}}},
                  {"solver", {{"stop_time", 3.0}, {"output_interval", 0.5}}}};
    auto r = run("origin", model);
    EXPECT_EQ(r.exit_code, 1);
    const std::string tag = "where it began: the logged state upstream of 'lim' at the last evaluation: int (x = ";
    const auto at = r.err.find(tag);
    ASSERT_NE(at, std::string::npos) << r.err;
    const double x = std::stod(r.err.substr(at + tag.size()));
    // The map's refusal of a trial state is retried with smaller steps, so
    // the run ends where x first reaches the limit (t = 0.8), not a long step
    // past it.
    EXPECT_GE(x, 1.6) << "the refused input";
    EXPECT_LT(x, 1.6 + 1e-6) << "the refused input";
    EXPECT_NE(r.err.find("in mdlOutputs at t = 0.8: input above the limit"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" m); twice (rate = 2 m/s); lim (mapped = "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("unit_input"), std::string::npos) << "three blocks up is too far: " << r.err;
}

TEST_F(RunTest, RunDirectoryLinksThePropertyLibraryAndFailuresCarryItsMessage)
{
    // The expansion valve reads the liquid density from the property library.
    json model = {{"blocks",
                   {{{"name", "in"}, {"type", "constant"}, {"value", {0.5, 1e6, 3e5, 1.5e5}}},
                    {{"name", "valve"}, {"sfunction", "Orvane"}, {"params", {{{"C_eev", 1e-6}}, "Analytic"}}}}},
                  {"connections", {{{"from", "in.0"}, {"to", "valve.0"}}}},
                  {"log", {{{"signal", "valve.0.0"}, {"name", "m"}, {"unit", "kg/s"}}}},
                  {"solver", {{"stop_time", 2.0}, {"output_interval", 0.5}}}};
    const fs::path analytic = testsupport::analytic_library();
    const fs::path failing = testsupport::build_dir() / "testlib" / "libprops_with_message.so";

    // Overrides from the command line: stop time, a record field of a dialog value.
    auto r = run("ok", model, "--strict --props " + analytic.string() + " --stop-time 1 --set valve.1.C_eev=2e-6");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(fs::read_symlink(dir("ok") / "Tarvex_files" / "libCoolProp.so"), fs::absolute(analytic));
    auto res = results("ok");
    ASSERT_EQ(res.rows.size(), 3u);  // 0, 0.5, 1
    const double m = 2e-6 * 0.5 * std::sqrt(2.0 * 1200.0 * (1e6 - 3e5));  // liquid density 1200 kg/m3
    EXPECT_NEAR(res.rows.back()[1], m, 1e-12 * m);

    // A library that knows no fluid: the valve refuses its error value as a
    // density, and the message ends with what the library said.
    model["blocks"][1]["params"][1] = "Nothing";
    r = run("bad", model, "--strict --props " + failing.string());
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("block 'valve' (S-function Orvane) in mdlOutputs at t = 0: valve: the property library "
                         "gives no density of \"Nothing\""),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("property library: no such fluid: Nothing"), std::string::npos) << r.err;

    // A link already in the run directory is kept: the run still uses the failing library.
    model["blocks"][1]["params"][1] = "Analytic";
    r = run("bad", model, "--strict --props " + analytic.string());
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(fs::read_symlink(dir("bad") / "Tarvex_files" / "libCoolProp.so"), fs::absolute(failing));
    EXPECT_NE(read_text(dir("bad") / "run.log").find("kept the existing property library"), std::string::npos);
}
