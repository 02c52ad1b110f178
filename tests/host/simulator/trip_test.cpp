// The trip block through `cyclesim run`: a protection that acts ends the run
// with status "tripped" and exit status 3, names the alarm, the signal, its
// value, the limit and the times, and keeps the results; short excursions
// and excursions before the protection is armed do not trip it.
#include <gtest/gtest.h>

#include "sim_test_support.h"

using json = nlohmann::json;
using namespace simtest;

namespace {

json trip_model(const json& source, const json& trip, double stop)
{
    json t = trip;
    t["name"] = "guard";
    t["type"] = "trip";
    return {{"blocks", {source, t}},
            {"connections", {{{"from", "x.0"}, {"to", "guard.0"}}}},
            {"log", {{{"signal", "x.0.0"}, {"name", "pressure"}, {"unit", "Pa"}}, {{"signal", "guard.0.0"}, {"name", "pending"}}}},
            {"solver", {{"stop_time", stop}, {"max_step", 0.05}, {"output_interval", 0.5}}}};
}

}  // namespace

TEST(Trip, ASignalAboveItsLimitForTheDelayEndsTheRunTrippedWithTheResultsKept)
{
    TempDir tmp;
    const json ramp = {{"name", "x"}, {"type", "ramp"}, {"slope", 1.0}};
    const json trip = {{"limit", 5.0}, {"delay", 2.0}, {"alarm", "high pressure cut-out"}};
    auto file = tmp.write_json("m.json", trip_model(ramp, trip, 20.0));
    auto r = run_cyclesim("run " + file.string() + " -o " + (tmp.path() / "out").string() + " --no-plot", tmp.path());
    EXPECT_EQ(r.exit_code, 3) << r.err;
    EXPECT_NE(r.err.find("tripped: high pressure cut-out: pressure (block 'x' output port 0 element 0) = "),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("above the limit 5 since t = "), std::string::npos) << r.err;

    const json summary = read_json(tmp.path() / "out" / "summary.json");
    EXPECT_EQ(summary["status"], "tripped");
    EXPECT_EQ(summary["alarm"], "high pressure cut-out");
    const json& t = summary["trip"];
    EXPECT_EQ(t["block"], "guard");
    EXPECT_EQ(t["direction"], "above");
    EXPECT_EQ(t["limit"], 5.0);
    // Judged at major steps of at most 0.05 s: crossed at 5, tripped 2 s on.
    EXPECT_GE(t["since"].get<double>(), 5.0);
    EXPECT_LE(t["since"].get<double>(), 5.05 + 1e-9);
    EXPECT_GE(t["time"].get<double>() - t["since"].get<double>(), 2.0 - 1e-9);
    EXPECT_LE(t["time"].get<double>(), 7.1 + 1e-9);
    EXPECT_DOUBLE_EQ(t["value"].get<double>(), t["time"].get<double>()) << "the ramp's value when it tripped";
    EXPECT_DOUBLE_EQ(summary["final_time"].get<double>(), t["time"].get<double>());

    // The rows up to the trip are kept, and show the alarm pending from 5 s.
    auto res = read_results(tmp.path() / "out" / "results.csv");
    ASSERT_GE(res.rows.size(), 14u);
    EXPECT_LE(res.rows.back()[0], t["time"].get<double>());
    for (const auto& row : res.rows) EXPECT_EQ(row[2], row[1] >= 5.0 ? 1.0 : 0.0) << "t = " << row[0];
}

TEST(Trip, ShortExcursionsAndExcursionsBeforeItIsArmedDoNotTripIt)
{
    // Below -1 from 1 to 3 s (before it is armed at 4 s), from 5 to 6 s
    // (shorter than the 2 s delay), and from 8 s on: it trips at 10 s.
    const json table = {{"name", "x"},
                        {"type", "table"},
                        {"time", {0, 1, 1, 3, 3, 5, 5, 6, 6, 8, 8, 20}},
                        {"values", {0, 0, -5, -5, 0, 0, -5, -5, 0, 0, -5, -5}}};
    const json trip = {{"limit", -1.0}, {"direction", "below"}, {"delay", 2.0}, {"after", 4.0}};
    for (double stop : {7.5, 20.0}) {
        TempDir tmp;
        auto file = tmp.write_json("m.json", trip_model(table, trip, stop));
        auto r = run_cyclesim("run " + file.string() + " -o " + (tmp.path() / "out").string() + " --no-plot", tmp.path());
        const json summary = read_json(tmp.path() / "out" / "summary.json");
        if (stop < 8.0) {
            EXPECT_EQ(r.exit_code, 0) << r.err;
            EXPECT_EQ(summary["status"], "completed");
            continue;
        }
        EXPECT_EQ(r.exit_code, 3) << r.err;
        EXPECT_EQ(summary["status"], "tripped");
        EXPECT_EQ(summary["alarm"], "guard") << "the block's name when no alarm text is given";
        EXPECT_DOUBLE_EQ(summary["trip"]["since"].get<double>(), 8.0) << "a table row is a major step";
        EXPECT_GE(summary["trip"]["time"].get<double>(), 10.0);
        EXPECT_LE(summary["trip"]["time"].get<double>(), 10.05 + 1e-9);
        EXPECT_NE(r.err.find("below the limit -1 since t = 8 (delay 2 s)"), std::string::npos) << r.err;
    }
}
