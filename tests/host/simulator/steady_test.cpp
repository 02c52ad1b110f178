// The steady point on small models whose settled state is known in closed
// form (a stable linear state, a PI loop on a lag, the same loop with a
// setpoint its output limit cannot reach, a rate limiter in the loop), a
// model without one, and the "start" section of a model file.
#include <gtest/gtest.h>

#include <cmath>

#include "errors.h"
#include "model_file.h"
#include "simulation.h"
#include "sim_test_support.h"

using json = nlohmann::json;
using namespace simtest;

namespace {

class LastRow final : public cyclesim::RunObserver {
public:
    void on_log(double, const std::vector<double>& values) override { row = values; }
    std::vector<double> row;
};

cyclesim::SteadyPoint steady(const json& doc, std::vector<double>* row = nullptr)
{
    auto model = cyclesim::parse_model(doc, "m.json");
    cyclesim::PluginRegistry registry(testsupport::blocks_dir());
    cyclesim::Simulation sim(model, registry);
    LastRow last;
    auto p = sim.steady(last);
    if (row) *row = last.row;
    return p;
}

// A PI (kp 1.5, ti 2) on the lag 2 / (4 s + 1), setpoint r, output limits.
json pi_loop(double setpoint, double upper, bool rate_limited = false)
{
    json blocks = {{{"name", "setpoint"}, {"type", "constant"}, {"value", setpoint}},
                   {{"name", "pi"}, {"type", "pid"}, {"kp", 1.5}, {"ti", 2.0}, {"lower", 0.0}, {"upper", upper}},
                   {{"name", "plant"}, {"type", "first_order"}, {"tau", 4.0}, {"gain", 2.0}}};
    json connections = {{{"from", "setpoint.0"}, {"to", "pi.0"}}, {{"from", "plant.0"}, {"to", "pi.1"}}};
    if (rate_limited) {
        blocks.push_back({{"name", "slew"}, {"type", "rate_limiter"}, {"rising", 0.01}, {"initial", 0.0}});
        connections.push_back({{"from", "pi.0"}, {"to", "slew.0"}});
        connections.push_back({{"from", "slew.0"}, {"to", "plant.0"}});
    } else {
        connections.push_back({{"from", "pi.0"}, {"to", "plant.0"}});
    }
    return {{"blocks", blocks},
            {"connections", connections},
            {"log", {{{"signal", "plant.0.0"}, {"name", "y"}}, {{"signal", "pi.0.0"}, {"name", "u"}}}},
            {"solver", {{"stop_time", 10}}}};
}

}  // namespace

TEST(SteadyPoint, StableLinearStateSettlesAtItsEquilibrium)
{
    // x' = -0.5 x + 2: x = 4.
    json doc = {{"blocks",
                 {{{"name", "u"}, {"type", "constant"}, {"value", 2.0}},
                  {{"name", "int"}, {"sfunction", "TestIntegrator"}, {"params", {-0.5, 1.0}}}}},
                {"connections", {{{"from", "u.0.0"}, {"to", "int.0.0"}}}},
                {"log", {{{"signal", "int.0.0"}, {"name", "x"}}}},
                {"solver", {{"stop_time", 1}}}};
    std::vector<double> row;
    auto p = steady(doc, &row);
    ASSERT_TRUE(p.solved) << p.reason;
    ASSERT_EQ(row.size(), 1u);
    EXPECT_NEAR(row[0], 4.0, 1e-9);
    ASSERT_EQ(p.states.size(), 1u);
    EXPECT_EQ(p.states[0].role, "solved");
    EXPECT_FALSE(p.charge.has_value());
    EXPECT_FALSE(p.rating.has_value());  // no cycle blocks
}

TEST(SteadyPoint, PiLoopSettlesAtZeroErrorAndASaturatedOneReportsItsLimit)
{
    std::vector<double> row;
    auto free = steady(pi_loop(1.0, 1.6), &row);
    ASSERT_TRUE(free.solved) << free.reason;
    EXPECT_NEAR(row[0], 1.0, 1e-8);  // y = r
    EXPECT_NEAR(row[1], 0.5, 1e-8);  // u = y / gain
    EXPECT_TRUE(free.limits.empty());

    // r = 4 needs u = 2 beyond the limit 1.6: the plant stalls at 3.2, the
    // controller rests on its limit with the error 0.8 left.
    auto held = steady(pi_loop(4.0, 1.6), &row);
    ASSERT_TRUE(held.solved) << held.reason;
    EXPECT_NEAR(row[0], 3.2, 1e-8);
    EXPECT_EQ(row[1], 1.6);
    ASSERT_EQ(held.limits.size(), 1u);
    EXPECT_NE(held.limits[0].find("'pi' held at its limit: output 1.6, error 0.8 remains"), std::string::npos)
        << held.limits[0];
}

TEST(SteadyPoint, RateLimiterShowsWhatItSettlesAt)
{
    // The slew limit (0.01 per second) holds the transient for a long time;
    // the steady point is where it ends.
    std::vector<double> row;
    auto p = steady(pi_loop(1.0, 1.6, true), &row);
    ASSERT_TRUE(p.solved) << p.reason;
    EXPECT_NEAR(row[0], 1.0, 1e-8);
}

TEST(SteadyPoint, ModelWithoutOneIsReportedNotSolved)
{
    // x' = 0.2 x + 1 from x = 1 is unstable; its equilibrium x = -5 is one,
    // but x' = u with u = 1 (an integrator fed a constant) has none.
    json doc = {{"blocks",
                 {{{"name", "u"}, {"type", "constant"}, {"value", 1.0}},
                  {{"name", "tank"}, {"type", "integrator"}, {"initial", 0.0}}}},
                {"connections", {{{"from", "u.0.0"}, {"to", "tank.0.0"}}}},
                {"log", {{{"signal", "tank.0.0"}, {"name", "level"}}}},
                {"solver", {{"stop_time", 1}}}};
    auto p = steady(doc);
    EXPECT_FALSE(p.solved);
    EXPECT_NE(p.reason.find("d/dt tank = 1 per second"), std::string::npos) << p.reason;
}

TEST(StartSection, ReadsItsSettingsAndRefusesMistakes)
{
    json doc = pi_loop(1.0, 1.6);
    auto m = cyclesim::parse_model(doc, "m.json");
    EXPECT_EQ(m.start.from, cyclesim::StartFrom::dialog);
    EXPECT_FALSE(m.start.charge.has_value());

    doc["start"] = {{"charge", 0.2}, {"approach", 12}};
    m = cyclesim::parse_model(doc, "m.json");
    EXPECT_EQ(m.start.from, cyclesim::StartFrom::charge);  // a charge given means a start from it
    EXPECT_EQ(*m.start.charge, 0.2);
    EXPECT_EQ(m.start.approach, 12.0);

    cyclesim::ModelOverrides o;
    o.start_from = "steady";
    o.charge = 0.3;
    m = cyclesim::parse_model(doc, "m.json", o);
    EXPECT_EQ(m.start.from, cyclesim::StartFrom::steady);
    EXPECT_EQ(*m.start.charge, 0.3);

    auto failure = [](json d, const cyclesim::ModelOverrides& ov = {}) -> std::string {
        try {
            cyclesim::parse_model(d, "m.json", ov);
        } catch (const cyclesim::SimulationError& e) {
            return e.what();
        }
        return "(no failure)";
    };
    json bad = pi_loop(1.0, 1.6);
    bad["start"] = {{"from", "hot"}};
    EXPECT_NE(failure(bad).find("m.json: start.from: expected \"dialog\", \"charge\", \"auto\" or \"steady\""),
              std::string::npos)
        << failure(bad);
    bad["start"] = {{"charge", -1}};
    EXPECT_NE(failure(bad).find("start.charge: must be positive"), std::string::npos) << failure(bad);
    bad["start"] = {{"charges", 1}};
    EXPECT_NE(failure(bad).find("unknown key \"charges\""), std::string::npos) << failure(bad);
    cyclesim::ModelOverrides nan_charge;
    nan_charge.charge = std::nan("");
    EXPECT_NE(failure(pi_loop(1.0, 1.6), nan_charge).find("--charge"), std::string::npos);

    // A start from the charge needs a condenser to hold it.
    doc = pi_loop(1.0, 1.6);
    doc["start"] = {{"charge", 0.2}};
    cyclesim::PluginRegistry registry(testsupport::blocks_dir());
    cyclesim::Simulation sim(cyclesim::parse_model(doc, "m.json"), registry);
    cyclesim::RunObserver quiet;
    try {
        sim.run(quiet);
        ADD_FAILURE() << "a start from the charge without a condenser ran";
    } catch (const cyclesim::SimulationError& e) {
        EXPECT_NE(std::string(e.what()).find("needs a Condenser block, and the model has none"), std::string::npos)
            << e.what();
    }
}
