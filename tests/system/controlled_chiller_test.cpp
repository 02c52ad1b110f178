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
constexpr double kEvaporatingLimit = 271.15;  // K, the low-temperature override's
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
void expect_settled_at_setpoints(const Results& r, double t, const std::string& where,
                                 double water_setpoint = kWaterSetpoint)
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
    // The low-temperature override in command (speed_loop 1): the
    // evaporating temperature at its limit, the water short of its setpoint.
    const bool override = r.value("speed_loop", t) == 1.0;
    if (override) {
        EXPECT_NEAR(r.value("T_evap", t), kEvaporatingLimit, 0.05) << where;
        EXPECT_GT(tw, water_setpoint) << "speed limited, yet the water is at or below its setpoint: " << where;
    } else if (speed > kSpeedMin + 1e-6 && speed < kSpeedMax - 1e-6) {
        EXPECT_NEAR(tw, water_setpoint, 0.05) << where;
    } else if (speed >= kSpeedMax - 1e-6) {
        EXPECT_GT(tw, water_setpoint) << "full speed, yet the water is at or below its setpoint: " << where;
    } else {
        EXPECT_LT(tw, water_setpoint) << "least speed, yet the water is above its setpoint: " << where;
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
        const bool override = std::stod(row["speed_loop"]) == 1.0;
        EXPECT_EQ(named("speed held by the evaporating-temperature limit"), override) << where << ": " << limits;
        if (override) {
            EXPECT_GT(tw, kWaterSetpoint) << where;
        } else if (speed > kSpeedMin + 1e-3 && speed < kSpeedMax - 1e-3) {
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

// --- ride-through at the design point ---------------------------------------

json summary_of(const std::string& run) { return read_json(run_dir(run) / "summary.json"); }

// Leaving-water setpoint steps at 300 s: no stop, and the unit settles at
// the new setpoint (or, stepped down by 3 K, with the low-temperature
// override holding the evaporating temperature at its limit), the suction
// superheated throughout.
TEST(ControlledChillerRideThrough, SettlesAtEachNewSetpointAfterStepsUpAndDown)
{
    for (const char* step : {"0.5", "1", "3"})
        for (const char* sign : {"up", "down"}) {
            const std::string run = std::string("controlled_chiller_setpoint_") + sign + "_" + step;
            const json summary = summary_of(run);
            ASSERT_EQ(summary.at("status"), "completed") << run << ": " << summary.value("message", "");
            const Results r(run_dir(run) / "results.csv");
            const double t = summary.at("final_time").get<double>();
            const double setpoint = kWaterSetpoint + (sign == std::string("up") ? 1 : -1) * std::stod(step);
            EXPECT_GE(t, 600.0) << run;
            expect_settled_at_setpoints(r, t, run, setpoint);
            expect_dry_suction_throughout(r, run);
        }
}

// Fast unloading: the water inlet drops 4 K in 2 s, or the unit starts
// against 8 degC water. Both complete and end at the least speed with the
// water below its setpoint, or at the setpoint.
TEST(ControlledChillerRideThrough, FastUnloadingAndAStartAtEightDegreesComplete)
{
    for (const char* run : {"controlled_chiller_inlet_drop", "controlled_chiller_start_8C"}) {
        const json summary = summary_of(run);
        ASSERT_EQ(summary.at("status"), "completed") << run << ": " << summary.value("message", "");
        const Results r(run_dir(run) / "results.csv");
        expect_settled_at_setpoints(r, summary.at("final_time").get<double>(), run);
        for (std::size_t i = 0; i < r.rows(); ++i)
            ASSERT_GT(r.at(i, r.column("superheat")), 0.0) << run << " at t = " << r.time(i);
    }
}

// Below the unit's least capacity (water entering at 7.5 degC for a 7 degC
// setpoint) it starts at its minimum speed and stays there, the water below
// its setpoint and above the freeze protection, nothing tripped.
TEST(ControlledChillerRideThrough, LightLoadRunsAtTheLeastSpeedBelowTheSetpoint)
{
    const json summary = summary_of("controlled_chiller_light_load");
    ASSERT_EQ(summary.at("status"), "completed") << summary.value("message", "");
    const Results r(run_dir("controlled_chiller_light_load") / "results.csv");
    EXPECT_EQ(r.value("speed", 0.0), kSpeedMin) << "the compressor starts at its minimum speed";
    const double t = summary.at("final_time").get<double>();
    EXPECT_EQ(r.value("speed", t), kSpeedMin);
    EXPECT_LT(r.value("T_water_out", t), kWaterSetpoint);
    EXPECT_GT(r.value("T_water_out", t), 276.15) << "above the freeze protection";
    expect_settled_at_setpoints(r, t, "light load");
    expect_dry_suction_throughout(r, "light load");
}

// A condenser fan running down to 0.05 kg/s: the condensing pressure rises
// until the high-pressure cut-out trips the unit, which the run reports as
// tripped, with the alarm, the signal, its value and the limit, the results
// up to the trip kept.
TEST(ControlledChillerRideThrough, AFailingFanTripsTheHighPressureCutOut)
{
    const json summary = summary_of("controlled_chiller_fan_failure");
    ASSERT_EQ(summary.at("status"), "tripped") << summary.value("message", "");
    EXPECT_EQ(summary.at("alarm"), "high pressure cut-out");
    const json& trip = summary.at("trip");
    const json model = read_json(model_file("controlled_chiller"));
    const double limit = block(model, "hp_cutout").at("limit").get<double>();
    EXPECT_EQ(trip.at("limit").get<double>(), limit);
    EXPECT_GE(trip.at("value").get<double>(), limit);
    EXPECT_NE(trip.at("signal").get<std::string>().find("p_cond"), std::string::npos);
    EXPECT_GT(trip.at("since").get<double>(), 300.0) << "only once the fan has slowed";
    EXPECT_GE(trip.at("time").get<double>() - trip.at("since").get<double>(), 1.0) << "the switch's delay";
    const Results r(run_dir("controlled_chiller_fan_failure") / "results.csv");
    EXPECT_GT(r.rows(), 100u);
    EXPECT_LE(r.time(r.rows() - 1), trip.at("time").get<double>());
    // Up to the fan's failure the unit ran normally, below the cut-out.
    EXPECT_LT(r.value("p_cond", 299.0), 0.6 * limit);
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
