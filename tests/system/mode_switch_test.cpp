// The mode-switching example: the compressor is held at the design flow
// while the valve opens wider (it drains the condenser until the refrigerant
// leaves two-phase: three zones -> two) and then closes below the design
// opening (liquid collects again: two zones -> three). The run logs every
// major step, so every change of the mode is seen.
#include <gtest/gtest.h>

#include <cmath>

#include "run_results.h"

namespace {

using namespace systemtest;

struct Switch {
    double time;
    double from, to;
};

class ModeSwitch : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        model_ = new json(read_json(model_file("mode_switch")));
        results_ = new Results(run_dir("mode_switch") / "results.csv");
        props_ = new Props();
    }
    static void TearDownTestSuite()
    {
        delete model_;
        delete results_;
        delete props_;
    }

    static std::vector<Switch> switches()
    {
        std::vector<Switch> out;
        const std::size_t c = results_->column("cond_mode");
        for (std::size_t r = 1; r < results_->rows(); ++r)
            if (results_->at(r, c) != results_->at(r - 1, c))
                out.push_back({results_->time(r), results_->at(r - 1, c), results_->at(r, c)});
        return out;
    }
    // The opening table: design opening until times[1], wider from times[2]
    // (draining) until times[3], narrower from times[4] (refilling) until
    // times[5], design opening again from times[6].
    static std::vector<double> opening_times()
    {
        return block(*model_, "opening").at("time").get<std::vector<double>>();
    }
    static double v(const std::string& name, double t) { return results_->value(name, t); }

    static json* model_;
    static Results* results_;
    static Props* props_;
};
json* ModeSwitch::model_ = nullptr;
Results* ModeSwitch::results_ = nullptr;
Props* ModeSwitch::props_ = nullptr;

TEST_F(ModeSwitch, RunsToItsStopTimeWithFiniteResults)
{
    json summary = read_json(run_dir("mode_switch") / "summary.json");
    EXPECT_EQ(summary.at("status"), "completed");
    EXPECT_DOUBLE_EQ(results_->time(results_->rows() - 1), model_->at("solver").at("stop_time").get<double>());
    for (std::size_t r = 0; r < results_->rows(); ++r)
        for (std::size_t c = 0; c < results_->columns(); ++c)
            ASSERT_TRUE(std::isfinite(results_->at(r, c)))
                << results_->names()[c] << " at t = " << results_->time(r);
}

TEST_F(ModeSwitch, DrawsEveryPlotItsModelAsksFor)
{
    const auto problems = missing_plots(*model_, run_dir("mode_switch"));
    EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
}

// Exactly one switch each way, each while the opening that causes it holds:
// no chattering between the modes.
TEST_F(ModeSwitch, SwitchesToTwoZonesAndBackOnce)
{
    const auto s = switches();
    ASSERT_EQ(s.size(), 2u) << "mode changes: " << [&] {
        std::string t;
        for (const auto& x : s) t += std::to_string(x.time) + " ";
        return t;
    }();
    const auto op = opening_times();
    EXPECT_EQ(s[0].from, 1.0);
    EXPECT_EQ(s[0].to, 2.0);
    EXPECT_GT(s[0].time, op[1]);
    EXPECT_LT(s[0].time, op[3]);
    EXPECT_EQ(s[1].from, 2.0);
    EXPECT_EQ(s[1].to, 1.0);
    EXPECT_GT(s[1].time, op[3]);
    EXPECT_LT(s[1].time, op[5]);
}

// What each mode means for the refrigerant leaving the condenser, at the
// design state before the valve opens, at the end of the draining (settled
// in two zones) and at the end of the run.
TEST_F(ModeSwitch, OutletIsSubcooledInThreeZonesAndTwoPhaseInTwo)
{
    const Props& P = *props_;
    const auto op = opening_times();
    const double stop = model_->at("solver").at("stop_time").get<double>();
    const double lmin = block_params(*model_, "condenser")[4].at("Lmin").get<double>();
    for (double t : {op[1] - 1, stop}) {
        EXPECT_EQ(v("cond_mode", t), 1.0) << "t = " << t;
        EXPECT_GT(v("subcooling", t), 0.0) << "t = " << t;
        EXPECT_LT(v("h_liquid", t), P("H", "P", v("p_cond_out", t), "Q", 0)) << "t = " << t;
        EXPECT_GE(v("L3", t), lmin) << "t = " << t;
    }
    const double t = op[3] - 1;
    EXPECT_EQ(v("cond_mode", t), 2.0);
    EXPECT_EQ(v("subcooling", t), 0.0);
    const double p_out = v("p_cond_out", t);
    EXPECT_GE(v("h_liquid", t), P("H", "P", p_out, "Q", 0));
    EXPECT_LT(v("h_liquid", t), P("H", "P", p_out, "Q", 1));
}

// The flows behind the switching: the wider valve passes more than the
// compressor delivers until vapour reaches it; with a two-phase inlet its
// flow falls back to the compressor's and the condenser settles in two
// zones. The narrower valve passes less, so liquid collects.
TEST_F(ModeSwitch, ValveFlowFollowsTheCondenserOutletState)
{
    const auto op = opening_times();
    const double m_comp = v("m_compressor", 0);
    EXPECT_GT(v("m_valve", op[2] + 1), 1.02 * m_comp);
    EXPECT_NEAR(v("m_valve", op[3] - 1), m_comp, 0.005 * m_comp);
    EXPECT_LT(v("m_valve", op[4] + 1), 0.95 * m_comp);
    EXPECT_LT(results_->relative_drift("p_cond", op[3] - 10, op[3] - 1), 1e-4);
}

}  // namespace
