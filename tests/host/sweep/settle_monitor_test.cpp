// The settle criterion: bands, the window the history must cover, the
// earliest time, and its checks on a model's or a sweep's settings.
#include <gtest/gtest.h>

#include <cmath>

#include "errors.h"
#include "settle_monitor.h"

namespace {

using cyclesim::SettleMonitor;
using cyclesim::SettleSpec;
using json = nlohmann::json;

SettleSpec spec_of(const json& j) { return cyclesim::parse_settle(j, "here", {"a", "b"}); }

TEST(SettleMonitor, SettlesWhenEverySignalStaysInItsBandOverAWholeWindow)
{
    // a: an exponential approach, b: constant. Band 1e-3 on a, window 2 s,
    // rows every 0.5 s: settled at the first row t whose window [t-2, t]
    // moved less than 1e-3, i.e. exp(-(t-2)) - exp(-t) <= 1e-3.
    SettleMonitor m(spec_of({{"signals", {{{"name", "a"}, {"abs", 1e-3}}, {{"name", "b"}, {"rel", 1e-6}}}},
                             {"window", 2}}),
                    {"b", "a"});
    double expected = -1;
    for (int k = 0; k <= 40 && expected < 0; ++k) {
        const double t = 0.5 * k;
        if (t >= 2 && std::exp(-(t - 2)) - std::exp(-t) <= 1e-3) expected = t;
    }
    ASSERT_GT(expected, 0);
    double settled = -1;
    for (int k = 0; k <= 40; ++k) {
        const double t = 0.5 * k;
        if (m.add_row(t, {7.0, 1.0 - std::exp(-t)}) && settled < 0) settled = t;
    }
    EXPECT_DOUBLE_EQ(settled, expected);
    EXPECT_DOUBLE_EQ(*m.settled_at(), expected);
}

TEST(SettleMonitor, NeedsAWholeWindowTheEarliestTimeAndFiniteValues)
{
    // A constant signal is settled once a whole window is logged, not before.
    SettleMonitor flat(spec_of({{"signals", {{{"name", "a"}, {"abs", 1e-3}}}}, {"window", 3}}), {"a"});
    EXPECT_FALSE(flat.add_row(10, {1}));
    EXPECT_FALSE(flat.add_row(12, {1}));
    EXPECT_TRUE(flat.add_row(13, {1}));

    // "after": flat before a scheduled disturbance is not settled.
    SettleMonitor later(spec_of({{"signals", {{{"name", "a"}, {"abs", 1e-3}}}}, {"window", 1}, {"after", 5}}), {"a"});
    for (int t = 0; t < 5; ++t) EXPECT_FALSE(later.add_row(t, {1})) << t;
    EXPECT_TRUE(later.add_row(5, {1}));

    // A relative band follows the size of the value; a NaN never settles.
    SettleMonitor rel(spec_of({{"signals", {{{"name", "b"}, {"rel", 1e-3}}}}, {"window", 1}}), {"a", "b"});
    EXPECT_FALSE(rel.add_row(0, {0, 1000}));
    EXPECT_FALSE(rel.add_row(1, {0, 1002}));  // moved 2 > 1e-3 * 1002
    EXPECT_TRUE(rel.add_row(2, {0, 1002.5}));
    SettleMonitor nan(spec_of({{"signals", {{{"name", "a"}, {"abs", 1}}}}, {"window", 1}}), {"a"});
    nan.add_row(0, {NAN});
    EXPECT_FALSE(nan.add_row(1, {NAN}));
    EXPECT_FALSE(nan.settled());
}

TEST(SettleMonitor, OnlyTheRowsOfTheLastWindowCount)
{
    // A jump long ago does not keep the run from settling.
    SettleMonitor m(spec_of({{"signals", {{{"name", "a"}, {"abs", 0.1}}}}, {"window", 2}}), {"a"});
    EXPECT_FALSE(m.add_row(0, {0}));
    EXPECT_FALSE(m.add_row(1, {5}));
    EXPECT_FALSE(m.add_row(2, {5}));
    EXPECT_TRUE(m.add_row(3, {5}));  // window [1, 3]
}

TEST(SettleSettings, MistakesAreNamedWithTheirKey)
{
    auto message = [](const json& j) {
        try {
            cyclesim::parse_settle(j, "model.json: solver.settle", {"y"});
        } catch (const cyclesim::SimulationError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message({{"signals", {{{"name", "y"}, {"abs", 1}}}}}), "model.json: solver.settle: missing key \"window\"");
    EXPECT_EQ(message({{"signals", {{{"name", "y"}, {"abs", 1}}}}, {"window", 0}}),
              "model.json: solver.settle.window: must be greater than 0");
    EXPECT_EQ(message({{"signals", {{{"name", "x"}, {"abs", 1}}}}, {"window", 1}}),
              "model.json: solver.settle.signals[0].name: \"x\" is not a logged signal of the model");
    EXPECT_EQ(message({{"signals", {{{"name", "y"}}}}, {"window", 1}}),
              "model.json: solver.settle.signals[0]: give a band: \"abs\" (signal units) and/or \"rel\"");
    EXPECT_EQ(message({{"signals", {{{"name", "y"}, {"abs", -1}}}}, {"window", 1}}),
              "model.json: solver.settle.signals[0].abs: expected a finite number >= 0");
    EXPECT_EQ(message({{"signals", json::array()}, {"window", 1}}),
              "model.json: solver.settle.signals: expected a non-empty array");
    EXPECT_NE(message({{"signals", {{{"name", "y"}, {"abs", 1}}}}, {"window", 1}, {"windw", 2}}).find("unknown key \"windw\""),
              std::string::npos);
}

}  // namespace
