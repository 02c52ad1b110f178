// The controlled chiller: its scenario (start-up, load step, ambient rise,
// fan slow-down and recovery), a reduced envelope run by envelope.sh, and the
// same unit sized for other refrigerants. Checked against what the controls
// must achieve (setpoints where the actuators are free, saturation where the
// unit cannot deliver, a superheated suction throughout) and against physics
// the blocks do not compute themselves (the energy balance across blocks).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>

#include "run_results.h"

namespace {

using namespace systemtest;

constexpr double kSuperheatSetpoint = 5.0;  // K
constexpr double kWaterSetpoint = 280.15;   // K
constexpr double kSpeedMin = 20, kSpeedMax = 100, kOpeningMin = 0.1, kOpeningMax = 1.0;

// Condenser heat (air side) = evaporator heat (water side) + the compressor's
// net work on the refrigerant, m (h_discharge - h_suction); relative residual.
double balance_residual(const Results& r, double t)
{
    const double m = r.value("m_refr", t);
    const double net_work = m * (r.value("h_discharge", t) - r.value("h_suction", t));
    const double Qc = r.value("Q_cond", t);
    return (Qc - r.value("Q_evap", t) - net_work) / Qc;
}

// A settled state at t, as the controllers leave it: steady over the last 30
// s; the superheat at its setpoint unless the valve sits on a limit; the
// leaving water at its setpoint unless the speed sits on a limit, and then on
// the side the limit explains (too warm at full speed: capacity short).
void expect_settled_at_setpoints(const Results& r, double t, const std::string& where)
{
    for (const char* name : {"p_evap", "p_cond", "m_refr", "speed", "opening"})
        EXPECT_LT(r.relative_drift(name, t - 30, t), 5e-4) << name << ", " << where;
    const double opening = r.value("opening", t), speed = r.value("speed", t);
    const double sh = r.value("superheat", t), tw = r.value("T_water_out", t);
    EXPECT_GE(opening, kOpeningMin - 1e-9) << where;
    EXPECT_LE(opening, kOpeningMax + 1e-9) << where;
    EXPECT_GE(speed, kSpeedMin - 1e-9) << where;
    EXPECT_LE(speed, kSpeedMax + 1e-9) << where;
    if (opening > kOpeningMin + 1e-6 && opening < kOpeningMax - 1e-6) {
        EXPECT_NEAR(sh, kSuperheatSetpoint, 0.05) << where;
    }
    if (speed > kSpeedMin + 1e-6 && speed < kSpeedMax - 1e-6) {
        EXPECT_NEAR(tw, kWaterSetpoint, 0.05) << where;
    } else if (speed >= kSpeedMax - 1e-6) {
        EXPECT_GT(tw, kWaterSetpoint) << "full speed, yet the water is at or below its setpoint: " << where;
    } else {
        EXPECT_LT(tw, kWaterSetpoint) << "least speed, yet the water is above its setpoint: " << where;
    }
    EXPECT_LT(std::fabs(balance_residual(r, t)), 1e-3) << "energy balance, " << where;
}

// The suction stays superheated at every logged instant (transients
// included), and the condenser keeps a subcooled outlet.
void expect_dry_suction_throughout(const Results& r, const std::string& where)
{
    double least = INFINITY, at = 0;
    for (std::size_t i = 0; i < r.rows(); ++i) {
        const double sh = r.at(i, r.column("superheat"));
        if (sh < least) least = sh, at = r.time(i);
        ASSERT_EQ(r.at(i, r.column("evap_regime")), 1.0) << where << " at t = " << r.time(i);
        ASSERT_EQ(r.at(i, r.column("cond_mode")), 1.0) << where << " at t = " << r.time(i);
    }
    EXPECT_GT(least, 1.0) << "least superheat " << least << " K at t = " << at << ", " << where;
}

class ControlledChiller : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        model_ = new json(read_json(model_file("controlled_chiller")));
        results_ = new Results(run_dir("controlled_chiller") / "results.csv");
        summary_ = new json(read_json(run_dir("controlled_chiller") / "summary.json"));
    }
    static void TearDownTestSuite()
    {
        delete model_;
        delete results_;
        delete summary_;
    }
    // The scenario's events, from the model's tables: the load step, the
    // ambient rise (its start and end), the fan slow-down and its recovery.
    static double event(const char* table, int index)
    {
        return block(*model_, table).at("time").at(index).get<double>();
    }
    static double final_time() { return summary_->at("final_time").get<double>(); }
    // Ends of the stages the run reached (a sanitizer build runs a shorter plant time).
    static std::vector<std::pair<double, std::string>> stage_ends()
    {
        std::vector<std::pair<double, std::string>> all = {
            {event("water_load", 1) - 1, "after the start-up"},
            {event("ambient_rise", 1) - 1, "after the load step"},
            {event("fan", 1) - 1, "after the ambient rise"},
            {event("fan", 3) - 1, "with the fan slowed"},
            {model_->at("solver").at("stop_time").get<double>(), "after the fan's recovery"}};
        std::vector<std::pair<double, std::string>> reached;
        for (const auto& s : all)
            if (s.first <= final_time() + 1e-9) reached.push_back(s);
        return reached;
    }
    static double v(const std::string& name, double t) { return results_->value(name, t); }

    static json* model_;
    static Results* results_;
    static json* summary_;
};
json* ControlledChiller::model_ = nullptr;
Results* ControlledChiller::results_ = nullptr;
json* ControlledChiller::summary_ = nullptr;

TEST_F(ControlledChiller, CompletesWithFiniteResultsAndItsPlots)
{
    EXPECT_EQ(summary_->at("status"), "completed");
    ASSERT_GE(stage_ends().size(), 2u) << "the run must reach at least the load step's settled state";
    for (std::size_t r = 0; r < results_->rows(); ++r)
        for (std::size_t c = 0; c < results_->columns(); ++c)
            ASSERT_TRUE(std::isfinite(results_->at(r, c))) << results_->names()[c] << " at t = " << results_->time(r);
    const auto problems = missing_plots(*model_, run_dir("controlled_chiller"));
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

TEST_F(ControlledChiller, SettlesAtItsSetpointsThroughEveryStage)
{
    for (const auto& [t, what] : stage_ends()) expect_settled_at_setpoints(*results_, t, what);
}

TEST_F(ControlledChiller, KeepsTheSuctionSuperheatedThroughEveryTransient)
{
    expect_dry_suction_throughout(*results_, "scenario");
}

// What each disturbance does to the unit, in the direction physics demands.
TEST_F(ControlledChiller, RespondsToEachDisturbanceInTheRightDirection)
{
    const auto ends = stage_ends();
    const double start_up = ends[0].first, load = ends[1].first;
    // More load: the speed rises to deliver it (up to its limit), and so does the capacity.
    EXPECT_GT(v("speed", load), v("speed", start_up) + 10);
    EXPECT_GT(v("Q_evap", load), v("Q_evap", start_up) * 1.2);
    if (ends.size() < 5) GTEST_SKIP() << "shortened run: only " << ends.size() << " stages reached";
    const double hot = ends[2].first, slowed = ends[3].first, recovered = ends[4].first;
    // Hotter air: higher condensing pressure, lower COP.
    EXPECT_GT(v("p_cond", hot), v("p_cond", load) * 1.1);
    EXPECT_LT(v("COP", hot), v("COP", load));
    // Less air: the condensing pressure climbs further; with the fan back the
    // unit returns to the state it had before the slow-down.
    EXPECT_GT(v("p_cond", slowed), v("p_cond", hot) * 1.05);
    for (const char* name : {"p_cond", "p_evap", "m_refr", "Q_evap", "W_comp"})
        EXPECT_NEAR(v(name, recovered), v(name, hot), 2e-3 * std::fabs(v(name, hot))) << name;
}

// An hour at constant conditions. The condenser holds the cycle's whole charge
// and its entering and leaving flows are one signal, so once settled the
// condensing pressure must stay put: less than 5 Pa in half a day, here
// pro rata over the second half hour (a length fit left at 1e-6 of its duty
// made it fall some 16 Pa there).
TEST(ControlledChillerAtRest, HoldsItsChargeAndCondensingPressure)
{
    const Results r(run_dir("controlled_chiller_rest") / "results.csv");
    ASSERT_GE(r.time(r.rows() - 1), 3600.0);
    const double drift = r.value("p_cond", 3600) - r.value("p_cond", 1800);
    EXPECT_LT(std::fabs(drift), 5.0 * 1800 / 43200) << drift << " Pa";
    expect_settled_at_setpoints(r, 3600, "at rest");
}

// The reduced envelope (corners of the grid), run by `cyclesim sweep` of
// envelope.json: the sweep's settle criterion, saturation labels and energy
// balance, read from its sweep.csv.
TEST(ControlledChillerEnvelope, EveryCornerSettlesAndNamesEverySaturatedActuator)
{
    std::ifstream in(run_dir("envelope") / "sweep.csv");
    ASSERT_TRUE(in) << "no sweep.csv";
    std::string line;
    std::getline(in, line);
    std::vector<std::string> header;
    for (std::stringstream ss(line); std::getline(ss, line, ',');) header.push_back(line);
    int points = 0;
    while (std::getline(in, line)) {
        std::map<std::string, std::string> row;
        std::stringstream ss(line);
        for (const auto& h : header) std::getline(ss, row[h], ',');
        const std::string where = "ambient " + row["ambient_C"] + " degC, water in " + row["water_in_C"] + " degC";
        ++points;
        ASSERT_EQ(row["status"], "settled") << where << ": " << row["message"];
        EXPECT_EQ(row["settled"], "yes") << where;
        // Settled well before the bound of 300 s: the run ended there.
        EXPECT_LT(std::stod(row["settled_time"]), 290) << where;
        EXPECT_EQ(row["settled_time"], row["final_time"]) << where;
        const double speed = std::stod(row["speed"]), opening = std::stod(row["opening"]);
        const double sh = std::stod(row["superheat"]), tw = std::stod(row["water_out_C"]) + 273.15;
        EXPECT_LT(std::fabs(std::stod(row["balance"])), 1e-3) << where;
        EXPECT_GT(std::stod(row["subcooling"]), 0.0) << where;
        EXPECT_GT(std::stod(row["COP"]), 1.0) << where;
        // Every actuator on a limit is named, and only those.
        const std::string limits = row["limits"];
        auto named = [&limits](const char* label) { return limits.find(label) != std::string::npos; };
        EXPECT_EQ(named("speed at 100 1/s"), speed >= kSpeedMax - 1e-3) << where << ": " << limits;
        EXPECT_EQ(named("speed at 20 1/s"), speed <= kSpeedMin + 1e-3) << where << ": " << limits;
        EXPECT_EQ(named("valve fully open"), opening >= kOpeningMax - 1e-5) << where << ": " << limits;
        EXPECT_EQ(named("valve at 0.1"), opening <= kOpeningMin + 1e-5) << where << ": " << limits;
        if (speed > kSpeedMin + 1e-3 && speed < kSpeedMax - 1e-3) {
            EXPECT_NEAR(tw, kWaterSetpoint, 0.05) << where;
        } else if (speed >= kSpeedMax - 1e-3) {
            EXPECT_GT(tw, kWaterSetpoint) << where;
        } else {
            EXPECT_LT(tw, kWaterSetpoint) << where;
        }
        if (opening > kOpeningMin + 1e-5 && opening < kOpeningMax - 1e-5) {
            EXPECT_NEAR(sh, kSuperheatSetpoint, 0.05) << where;
        }
        // The table's capacity and COP agree with each other.
        EXPECT_NEAR(std::stod(row["COP"]), std::stod(row["capacity_W"]) / std::stod(row["power_W"]), 1e-6) << where;
        // The point's own run settled by the same criterion, in its summary.
        const json summary = read_json(run_dir("envelope") / row["run_dir"] / "summary.json");
        EXPECT_EQ(summary.at("settled"), true) << where;
    }
    EXPECT_EQ(points, 4) << "the reduced envelope holds the four corners";
}

// The same unit sized for other refrigerants settles after its start-up.
class ControlledChillerFluid : public ::testing::TestWithParam<std::string> {};

TEST_P(ControlledChillerFluid, StartsAndSettlesAtItsSetpoints)
{
    const std::string name = "controlled_chiller_" + GetParam();
    const json summary = read_json(run_dir(name) / "summary.json");
    ASSERT_EQ(summary.at("status"), "completed") << summary.value("message", "");
    const Results r(run_dir(name) / "results.csv");
    const double t = summary.at("final_time").get<double>();
    expect_settled_at_setpoints(r, t, GetParam());
    expect_dry_suction_throughout(r, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Refrigerants, ControlledChillerFluid,
                         ::testing::Values("R1234yf", "R290", "R32", "R410A", "R600a"),
                         [](const auto& case_info) { return case_info.param; });

}  // namespace
