// The chiller example as a whole: start-up, steady states before and after a
// valve step and a speed step, checked against physics that the blocks do not
// compute themselves (energy balance across blocks, flows recomputed from the
// logged states with our property library, the design point).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "run_results.h"

namespace {

using namespace systemtest;

class Chiller : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        model_ = new json(read_json(model_file("chiller")));
        results_ = new Results(run_dir("chiller") / "results.csv");
        props_ = new Props();
    }
    static void TearDownTestSuite()
    {
        delete model_;
        delete results_;
        delete props_;
    }

    static double valve_step_time() { return block(*model_, "opening").at("time").get<double>(); }
    static double speed_step_time() { return block(*model_, "speed").at("time").get<double>(); }
    static double stop_time() { return model_->at("solver").at("stop_time").get<double>(); }
    // The three operating points: settled after the start-up, after the valve
    // step and after the speed step (each just before the next event).
    static std::vector<double> steady_times()
    {
        return {valve_step_time() - 1, speed_step_time() - 1, stop_time()};
    }
    static double v(const std::string& name, double t) { return results_->value(name, t); }

    static json* model_;
    static Results* results_;
    static Props* props_;
};
json* Chiller::model_ = nullptr;
Results* Chiller::results_ = nullptr;
Props* Chiller::props_ = nullptr;

TEST_F(Chiller, RunsToItsStopTimeWithFiniteResults)
{
    json summary = read_json(run_dir("chiller") / "summary.json");
    EXPECT_EQ(summary.at("status"), "completed");
    EXPECT_DOUBLE_EQ(summary.at("final_time").get<double>(), stop_time());
    for (const char* file : {"results.csv", "summary.json", "run.log"})
        EXPECT_GT(fs::file_size(run_dir("chiller") / file), 0u) << file;

    const double interval = model_->at("solver").at("output_interval").get<double>();
    EXPECT_EQ(results_->rows(), static_cast<std::size_t>(std::lround(stop_time() / interval)) + 1);
    EXPECT_DOUBLE_EQ(results_->time(results_->rows() - 1), stop_time());
    for (std::size_t r = 0; r < results_->rows(); ++r)
        for (std::size_t c = 0; c < results_->columns(); ++c)
            ASSERT_TRUE(std::isfinite(results_->at(r, c)))
                << results_->names()[c] << " at t = " << results_->time(r);
}

TEST_F(Chiller, DrawsEveryPlotItsModelAsksFor)
{
    const auto problems = missing_plots(*model_, run_dir("chiller"));
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

TEST_F(Chiller, SettlesBeforeEveryStep)
{
    for (double t : steady_times())
        for (const char* name : {"p_evap", "p_cond", "m_refr", "h_liquid", "h_suction"})
            EXPECT_LT(results_->relative_drift(name, t - 20, t), 2e-4) << name << " before t = " << t;
}

// Condenser heat (to the air, from its three zone heat rates) = evaporator heat
// (from the water) + compressor power - compressor heat loss; the compressor's
// net work on the refrigerant, power minus loss, is m (h_discharge - h_suction).
TEST_F(Chiller, EnergyBalanceClosesAtSteadyState)
{
    for (double t : steady_times()) {
        const double m = v("m_refr", t);
        const double net_work = m * (v("h_discharge", t) - v("h_suction", t));
        const double loss = v("W_comp", t) - net_work;
        EXPECT_GT(loss, 0.0) << "t = " << t;
        EXPECT_LT(loss, 0.1 * v("W_comp", t)) << "t = " << t;
        const double Qc = v("Q_cond", t), Qe = v("Q_evap", t);
        EXPECT_NEAR(Qc, Qe + v("W_comp", t) - loss, 0.005 * Qc) << "t = " << t;
        // The same duty seen on the refrigerant side of each exchanger.
        EXPECT_NEAR(Qc, m * (v("h_discharge", t) - v("h_liquid", t)), 0.005 * Qc) << "t = " << t;
        EXPECT_NEAR(Qe, m * (v("h_suction", t) - v("h_liquid", t)), 0.005 * Qe) << "t = " << t;
    }
}

// The valve's orifice relation and the compressor's displacement, both
// recomputed from the logged pressures and enthalpies, pass the logged flow.
TEST_F(Chiller, ValveAndCompressorPassTheSameFlow)
{
    const double C_eev = block_params(*model_, "valve")[0].at("C_eev").get<double>();
    const json& comp = block_params(*model_, "compressor")[0];
    const double St = comp.at("St").get<double>(), c = comp.at("c").get<double>();
    const Props& P = *props_;
    for (double t : steady_times()) {
        const double pe = v("p_evap", t), pc = v("p_cond", t);
        const double rho_liquid = P("D", "P", pc, "H", v("h_liquid", t));
        const double m_valve = C_eev * v("opening", t) * std::sqrt(2 * rho_liquid * (pc - pe));
        const double k_inv = P("O", "P", pe, "Q", 1) / P("C", "P", pe, "Q", 1);
        const double rho_suction = P("D", "P", pe, "H", v("h_suction", t));
        const double m_comp = v("speed", t) * St * (1 - c * (std::pow(pc / pe, k_inv) - 1)) * rho_suction;
        EXPECT_NEAR(m_valve, v("m_refr", t), 2e-3 * m_valve) << "t = " << t;
        EXPECT_NEAR(m_comp, v("m_refr", t), 2e-3 * m_comp) << "t = " << t;
    }
}

TEST_F(Chiller, SuperheatAndSubcoolingArePositiveAndConsistent)
{
    const Props& P = *props_;
    for (double t : steady_times()) {
        EXPECT_EQ(v("evap_regime", t), 1.0) << "t = " << t;  // superheated outlet, two zones
        EXPECT_EQ(v("cond_mode", t), 1.0) << "t = " << t;    // subcooled outlet, three zones
        const double sh = v("superheat", t), sc = v("subcooling", t);
        EXPECT_GT(sh, 1.0) << "t = " << t;
        EXPECT_LT(sh, 20.0) << "t = " << t;
        EXPECT_GT(sc, 1.0) << "t = " << t;
        EXPECT_LT(sc, 15.0) << "t = " << t;
        // Both measured from saturation at the logged pressures.
        const double pe = v("p_evap", t), pc = v("p_cond", t);
        EXPECT_NEAR(sh, P("T", "P", pe, "H", v("h_suction", t)) - P("T", "P", pe, "Q", 1), 0.01) << "t = " << t;
        EXPECT_NEAR(sc, P("T", "P", pc, "Q", 0) - P("T", "P", pc, "H", v("h_liquid", t)), 0.01) << "t = " << t;
        // The water leaves warmer than the refrigerant boils, the air colder
        // than the refrigerant condenses.
        EXPECT_GT(v("T_water_out", t), v("T_evap", t)) << "t = " << t;
        EXPECT_LT(v("T_air_out", t), P("T", "P", pc, "Q", 0)) << "t = " << t;
    }
}

// The example is sized for: evaporating at 2 degC, condensing at 45 degC,
// 5 K superheat, 5 K subcooling, 3 kW on water cooled from 12 to 7 degC.
TEST_F(Chiller, StartUpSettlesAtTheDesignPoint)
{
    const Props& P = *props_;
    const double t = valve_step_time() - 1;
    const double Te = 275.15, Tc = 318.15, Qe = 3000.0;
    const double h1 = P("H", "P", P("P", "T", Te, "Q", 1), "T", Te + 5);
    const double h3 = P("H", "P", P("P", "T", Tc, "Q", 0), "T", Tc - 5);
    EXPECT_NEAR(P("T", "P", v("p_evap", t), "Q", 1), Te, 0.3);
    EXPECT_NEAR(P("T", "P", v("p_cond", t), "Q", 0), Tc, 0.5);
    EXPECT_NEAR(v("superheat", t), 5.0, 0.5);
    EXPECT_NEAR(v("subcooling", t), 5.0, 0.5);
    EXPECT_NEAR(v("Q_evap", t), Qe, 0.02 * Qe);
    EXPECT_NEAR(v("m_refr", t), Qe / (h1 - h3), 0.02 * Qe / (h1 - h3));
    EXPECT_NEAR(v("T_water_out", t), 280.15, 0.2);
}

// Closing the valve starves the evaporator: less flow, lower suction
// pressure, more superheat, less cooling. Speeding the compressor up against
// the same opening pulls the suction pressure down further, and the larger
// pressure difference drives more flow through the valve.
TEST_F(Chiller, RespondsToTheValveAndSpeedSteps)
{
    const auto t = steady_times();
    EXPECT_LT(v("m_refr", t[1]), v("m_refr", t[0]));
    EXPECT_LT(v("p_evap", t[1]), v("p_evap", t[0]));
    EXPECT_GT(v("superheat", t[1]), v("superheat", t[0]));
    EXPECT_LT(v("Q_evap", t[1]), v("Q_evap", t[0]));

    EXPECT_LT(v("p_evap", t[2]), v("p_evap", t[1]));
    EXPECT_GT(v("m_refr", t[2]), v("m_refr", t[1]));
    EXPECT_GT(v("W_comp", t[2]), v("W_comp", t[1]));
    EXPECT_GT(v("p_cond", t[2]), v("p_cond", t[1]));
}

// The logged trajectory, every tenth second, as the blocks computed it before
// their solvers stopped repeating evaluations (recorded again when the
// condenser's superheated-length fit was taken to round-off, and again when
// the rows came from the integrator's dense output, and again when the step
// was no longer capped, the flashes started closer to their answers and the
// loop started from its solution extrapolated in time, a change of at most
// 2e-4 of any signal's range): every signal must match to
// the last bit (results.csv round-trips doubles exactly).
TEST_F(Chiller, TrajectoryStandsAsRecorded)
{
    const fs::path recorded_csv = fs::path(CYCLESIM_SOURCE_DIR) / "tests" / "system" / "data" / "chiller_recorded.csv";
    const Results recorded(recorded_csv);
    ASSERT_EQ(recorded.names(), results_->names());
    ASSERT_GT(recorded.rows(), 30u);
    for (std::size_t r = 0; r < recorded.rows(); ++r) {
        const double t = recorded.time(r);
        const std::size_t row = results_->row_at(t);
        ASSERT_EQ(results_->time(row), t);
        for (std::size_t c = 0; c < recorded.columns(); ++c)
            EXPECT_EQ(results_->at(row, c), recorded.at(r, c)) << recorded.names()[c] << " at t = " << t;
    }
}

}  // namespace

// The shipped chiller with a tight relative tolerance (1e-10) or a loose
// absolute one (1) stopped at t = 1.8e-5 s: the difference quotients of the
// Jacobian pushed the condenser's zone lengths by whole units (to L3 = 3.07),
// and the condenser's refusal of that trial state ended the run. Now the
// perturbation stays within a state's own scale and a refused trial state
// makes the integrator retry, so both carry the start-up.
TEST(ChillerTolerances, TightAndLooseTolerancesCarryTheStartUp)
{
    const fs::path dir = fs::temp_directory_path() / ("cyclesim-tolerances-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (const auto& [rtol, atol] : {std::pair{1e-10, 1e-6}, std::pair{1e-6, 1.0}}) {
        SCOPED_TRACE("rtol " + std::to_string(rtol) + ", atol " + std::to_string(atol));
        json model = read_json(model_file("chiller"));
        model["solver"]["rtol"] = rtol;
        model["solver"]["atol"] = atol;
        std::ofstream(dir / "model.json") << model.dump();
        fs::remove_all(dir / "run");
        const std::string cmd = testsupport::cyclesim_program().string() + " run " + (dir / "model.json").string() +
                                " -o " + (dir / "run").string() + " --stop-time 2 --no-plot 2> " +
                                (dir / "err.txt").string();
        const int status = std::system(cmd.c_str());
        std::ifstream err(dir / "err.txt");
        const std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
        EXPECT_EQ(status, 0) << text;
        EXPECT_EQ(read_json(dir / "run" / "summary.json").value("status", ""), "completed") << text;
    }
    fs::remove_all(dir);
}
