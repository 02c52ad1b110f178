// Sweep files: their checks, the points they expand to (grid, Latin
// hypercube, CSV), what a point runs with, and what is collected from a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>

#include "errors.h"
#include "metric_expression.h"
#include "point_worker.h"
#include "sweep_file.h"
#include "sweep_points.h"
#include "test_workdir.h"

namespace {

using namespace cyclesim;
using json = nlohmann::json;
namespace fs = std::filesystem;

json base_sweep()
{
    return json::parse(R"({
      "model": "m.json",
      "variables": [
        {"name": "a", "set": "air.value", "offset": 273.15, "values": [20, 30]},
        {"name": "w", "set": "water.value", "scale": 2, "range": {"from": 0, "to": 1, "count": 3}}
      ],
      "metrics": ["COP", {"name": "twice", "expr": "2 * COP"}]
    })");
}

std::string error_of(const json& doc)
{
    try {
        parse_sweep(doc, "sweep.json");
    } catch (const SimulationError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(SweepFile, MistakesAreNamedWithTheFileAndTheKey)
{
    json d = base_sweep();
    d["variabels"] = 1;
    EXPECT_NE(error_of(d).find("sweep.json: unknown key \"variabels\""), std::string::npos) << error_of(d);
    d = base_sweep();
    d.erase("model");
    EXPECT_EQ(error_of(d), "sweep.json: missing key \"model\"");
    d = base_sweep();
    d["variables"][1]["range"].erase("count");
    EXPECT_EQ(error_of(d), "sweep.json: points: variable \"w\": a grid needs \"count\" in its range (or \"values\")");
    d = base_sweep();
    d["variables"][0]["values"] = json::array({20, nullptr});
    EXPECT_EQ(error_of(d), "sweep.json: variables[0].values[1]: expected a number or a text");
    d = base_sweep();
    d["variables"][1]["name"] = "a";
    EXPECT_EQ(error_of(d), "sweep.json: variables[1].name: \"a\" is given twice");
    d = base_sweep();
    d["variables"][0]["name"] = "a b";
    EXPECT_EQ(error_of(d), "sweep.json: variables[0].name: \"a b\": use letters, digits and '_' only");
    d = base_sweep();
    d["prepare"] = "python3 start_state.py";
    EXPECT_EQ(error_of(d), "sweep.json: prepare: expected an argument vector [\"program\", \"arg\", ...] (no shell)");
    d = base_sweep();
    d["limits"] = json::array({{{"signal", "speed"}, {"label", "at the top"}}});
    EXPECT_EQ(error_of(d),
              "sweep.json: limits[0]: give \"above\" or \"below\" (the bound at which the limit is active)");
    d = base_sweep();
    d["maps"] = json::array({{{"file", "../cop.png"}, {"metric", "COP"}, {"x", "a"}}});
    EXPECT_EQ(error_of(d), "sweep.json: maps[0].file: expected a plain .png name (no '/', no '..', no leading '.')");
    d = base_sweep();
    d["maps"] = json::array({{{"file", "cop.png"}, {"metric", "EER"}, {"x", "a"}}});
    EXPECT_EQ(error_of(d), "sweep.json: maps[0].metric: \"EER\" is not one of the sweep's metrics");
    d = base_sweep();
    d["points"] = json{{"latin_hypercube", 4}};
    EXPECT_EQ(error_of(d), "sweep.json: points: variable \"a\": a Latin hypercube needs a \"range\" (from, to)");
    d = base_sweep();
    d["points"] = "random";
    EXPECT_EQ(error_of(d),
              "sweep.json: points: expected \"grid\", {\"latin_hypercube\": N, \"seed\": S} or {\"csv\": FILE}");
}

std::string error_of_csv(const json& doc, const fs::path& dir)
{
    try {
        parse_sweep(doc, dir / "sweep.json");
    } catch (const SimulationError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(SweepFile, AGridIsEveryCombinationAndEachPointRunsWithItsSets)
{
    const SweepPlan plan = parse_sweep(base_sweep(), "/data/sweep.json");
    EXPECT_EQ(plan.model, fs::path("/data/m.json"));
    ASSERT_EQ(plan.points.size(), 6u);
    // The last variable runs fastest; a range gives count values, ends included.
    EXPECT_EQ(plan.points[0], (std::vector<json>{20, 0.0}));
    EXPECT_EQ(plan.points[1], (std::vector<json>{20, 0.5}));
    EXPECT_EQ(plan.points[5], (std::vector<json>{30, 1.0}));
    // value * scale + offset, 12 significant digits (298.35, not 298.34999999999997).
    EXPECT_EQ(point_sets(plan, 4), (std::vector<std::string>{"air.value=303.15", "water.value=1"}));
    EXPECT_EQ(substitute(plan, 4, "--air={a}"), "--air=30");
    EXPECT_EQ(substitute(plan, 4, "{model} {unknown} {w"), "/data/m.json {unknown} {w");
}

TEST(SweepFile, ALatinHypercubeHasOnePointPerStratumAndTheSameSeedGivesTheSamePoints)
{
    json d = base_sweep();
    d["variables"][0] = json{{"name", "a"}, {"range", {{"from", 10}, {"to", 20}}}};
    d["points"] = json{{"latin_hypercube", 8}, {"seed", 42}};
    const SweepPlan plan = parse_sweep(d, "sweep.json");
    ASSERT_EQ(plan.points.size(), 8u);
    for (std::size_t k = 0; k < 2; ++k) {
        const double from = k == 0 ? 10 : 0, to = k == 0 ? 20 : 1;
        std::set<int> strata;
        for (const auto& p : plan.points) {
            const double u = (p[k].get<double>() - from) / (to - from);
            ASSERT_GE(u, 0.0);
            ASSERT_LT(u, 1.0);
            strata.insert(static_cast<int>(u * 8));
        }
        EXPECT_EQ(strata.size(), 8u) << "variable " << k << ": every eighth of the range holds one point";
    }
    EXPECT_EQ(parse_sweep(d, "sweep.json").points, plan.points);
    d["points"]["seed"] = 43;
    EXPECT_NE(parse_sweep(d, "sweep.json").points, plan.points);
}

TEST(SweepFile, CsvPointsAreReadByColumnNameAndCheckedRowByRow)
{
    const fs::path dir = fs::temp_directory_path() / ("cyclesim-sweep-csv-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "p.csv") << "w,a\n1,R290\n2.5,R32\n";
    json d = base_sweep();
    d["variables"][0] = json{{"name", "a"}, {"set", "fluid.value"}};
    d["variables"][1] = json{{"name", "w"}};
    d["points"] = json{{"csv", "p.csv"}};
    const SweepPlan plan = parse_sweep(d, dir / "sweep.json");
    ASSERT_EQ(plan.points.size(), 2u);
    EXPECT_EQ(plan.points[1], (std::vector<json>{"R32", 2.5}));
    EXPECT_EQ(point_sets(plan, 0), (std::vector<std::string>{"fluid.value=R290"}));
    std::ofstream(dir / "p.csv") << "w,a,x\n1,R290,3\n";
    EXPECT_EQ(error_of_csv(d, dir), (dir / "p.csv").string() + ":1: column \"x\" is not a variable of the sweep");
    std::ofstream(dir / "p.csv") << "w,a\n1,R290\n2\n";
    EXPECT_EQ(error_of_csv(d, dir), (dir / "p.csv").string() + ":3: 1 values, the header has 2");
    fs::remove_all(dir);
}

TEST(SweepMetrics, ExpressionsFollowArithmeticAndRefuseAnythingElse)
{
    const MetricExpression balance("(Q_cond - Q_evap - m * (h_dis - h_suc)) / Q_cond", "balance");
    EXPECT_DOUBLE_EQ(balance.evaluate({{"Q_cond", 4000}, {"Q_evap", 3000}, {"m", 0.02}, {"h_dis", 4.5e5}, {"h_suc", 4e5}}),
                     (4000 - 3000 - 0.02 * 5e4) / 4000);
    EXPECT_DOUBLE_EQ(MetricExpression("-2 - -3 * 4 / 2", "x").evaluate({}), 4.0);
    EXPECT_DOUBLE_EQ(MetricExpression("T - 273.15", "x").evaluate({{"T", 280.15}}), 7.0);
    EXPECT_TRUE(std::isnan(MetricExpression("missing + 1", "x").evaluate({})));
    for (const char* bad : {"a +", "(a", "a b", "system(1)", "a; b", ""}) {
        EXPECT_THROW(MetricExpression(bad, "metric m"), SimulationError) << bad;
    }
    try {
        MetricExpression("a * * b", "metric m");
    } catch (const SimulationError& e) {
        EXPECT_STREQ(e.what(), "metric m: unexpected '*' at character 5 of \"a * * b\"");
    }
}

TEST(SweepPreparation, OnlySetLinesAreTakenFromItsOutput)
{
    EXPECT_EQ(parse_prepared_sets("--set a.1=2\n\n  --set=b.x=[1, 2]\r\n--set c.value=two words\n"),
              (std::vector<std::string>{"a.1=2", "b.x=[1, 2]", "c.value=two words"}));
    EXPECT_THROW(parse_prepared_sets("--set a.1=2\nwarning: something\n"), SimulationError);
    EXPECT_THROW(parse_prepared_sets("--set =2\n"), SimulationError);
    EXPECT_NE(preparation_key({"a", "bc"}), preparation_key({"ab", "c"}));
}

TEST(SweepCollection, StatusSettledStateEveryActiveLimitAndMetrics)
{
    const json collect = json::parse(R"({
      "metrics": [{"name": "speed"}, {"name": "tw_C", "expr": "T_water_out - 273.15"}, {"name": "absent"}],
      "limits": [{"signal": "speed", "above": 99.999, "label": "speed at 100 1/s"},
                 {"signal": "opening", "above": 0.99999, "label": "valve fully open"},
                 {"signal": "opening", "below": 0.10001, "label": "valve at 0.1"},
                 {"signal": "tw_C", "above": 12, "label": "water warm"}]
    })");
    json summary = {{"status", "completed"}, {"settled", true}, {"settled_time", 96.0}, {"final_time", 96.0},
                    {"final_values", {{"speed", 100.0}, {"opening", 1.0}, {"T_water_out", 286.15}}}};
    json r = collect_point(summary, collect, "");
    EXPECT_EQ(r["status"], "settled");
    // Both saturated actuators, not the first one only.
    EXPECT_EQ(r["limits"], json::array({"speed at 100 1/s", "valve fully open", "water warm"}));
    EXPECT_DOUBLE_EQ(r["metrics"]["tw_C"].get<double>(), 13.0);
    EXPECT_TRUE(r["metrics"]["absent"].is_null());

    summary["settled"] = false;  // at its bound, unsettled
    EXPECT_EQ(collect_point(summary, collect, "")["status"], "completed");
    summary["status"] = "tripped";  // any status the run reports is passed on, with its text
    summary["message"] = "high pressure 2.9 MPa above 2.8 MPa at t = 12 s";
    r = collect_point(summary, collect, "");
    EXPECT_EQ(r["status"], "tripped");
    EXPECT_EQ(r["message"], "high pressure 2.9 MPa above 2.8 MPa at t = 12 s");
    summary["status"] = "running";  // killed
    EXPECT_EQ(collect_point(summary, collect, "")["status"], "failed");
    r = collect_point(nullptr, collect, "model.json: unknown block 'x'");
    EXPECT_EQ(r["status"], "failed");
    EXPECT_EQ(r["message"], "model.json: unknown block 'x'");
    EXPECT_EQ(r["limits"], json::array());
}

}  // namespace
