// The control blocks against analytic solutions, run through the simulator:
// integrator (ramp, limits, reset), first-order lag (exact exponential), PID
// (closed-loop step response of a PI on a first-order plant, bumpless start,
// anti-windup recovery, filtered derivative, setpoint weighting, feed-forward,
// tracking), min/max selection, rate limiter slopes, lookup
// interpolation and ends, direct feedthrough (which loops are algebraic),
// and the settings each block refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "errors.h"
#include "model_file.h"
#include "simulation.h"
#include "sim_test_support.h"

using cyclesim::SimulationError;
using json = nlohmann::json;
using namespace simtest;

namespace {

struct Trace : cyclesim::RunObserver {
    std::vector<double> t;
    std::vector<std::vector<double>> rows;  // logged signals, in log order
    void on_log(double time, const std::vector<double>& values) override
    {
        t.push_back(time);
        rows.push_back(values);
    }
};

struct Outcome {
    Trace trace;
    std::vector<std::string> loops;     // algebraic loops
    std::vector<std::string> feedback;  // feedback loops broken by a block without feedthrough
    int states = 0;
    cyclesim::RunStatistics stats;
};

Outcome simulate(const json& model)
{
    auto spec = cyclesim::parse_model(model, "control.json");
    cyclesim::PluginRegistry registry(testsupport::blocks_dir());
    cyclesim::Simulation sim(spec, registry);
    Outcome o;
    o.loops = sim.loops();
    o.feedback = sim.feedback_loops();
    o.states = sim.num_states();
    sim.run(o.trace);
    o.stats = sim.statistics();
    return o;
}

std::string refusal(const json& model)
{
    try {
        simulate(model);
    } catch (const SimulationError& e) {
        return e.what();
    }
    return "(no failure)";
}

json solver(double stop, double interval, double rtol = 1e-8, double atol = 1e-10)
{
    return {{"stop_time", stop}, {"output_interval", interval}, {"rtol", rtol}, {"atol", atol}};
}

#define EXPECT_HAS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (text)

}  // namespace

// --- integrator -------------------------------------------------------------

TEST(Integrator, RampsAtItsInputAndIsHeldAgainstItsLimits)
{
    // u = +1 until t = 5, then -1; the state rises from 0, is held at 3 from
    // t = 3, falls from t = 5 at once, and is held at -1 from t = 9.
    json model = {{"blocks",
                   {{{"name", "u"}, {"type", "step"}, {"time", 5.0}, {"before", 1.0}, {"after", -1.0}},
                    {{"name", "free"}, {"type", "integrator"}, {"initial", 1.0}},
                    {{"name", "held"}, {"type", "integrator"}, {"lower", -1.0}, {"upper", 3.0}}}},
                  {"connections", {{{"from", "u.0"}, {"to", "free.0"}}, {{"from", "u.0"}, {"to", "held.0"}}}},
                  {"log", {"free.0.0", "held.0.0"}},
                  {"solver", solver(12.0, 0.25)}};
    auto o = simulate(model);
    ASSERT_EQ(o.trace.t.size(), 49u);
    EXPECT_EQ(o.states, 2);
    for (std::size_t k = 0; k < o.trace.t.size(); ++k) {
        const double t = o.trace.t[k];
        const double ramp = t <= 5 ? 1.0 + t : 6.0 - (t - 5);
        const double limited = t <= 3 ? t : t <= 5 ? 3.0 : std::max(-1.0, 3.0 - (t - 5));
        EXPECT_NEAR(o.trace.rows[k][0], ramp, 1e-7) << "t = " << t;
        EXPECT_NEAR(o.trace.rows[k][1], limited, 1e-6) << "t = " << t;
        EXPECT_LE(o.trace.rows[k][1], 3.0);
        EXPECT_GE(o.trace.rows[k][1], -1.0);
    }
}

// A table's rows only bend its line, except a row repeating the previous
// time, where it jumps: the integrator stops at every row but restarts only
// at the jump, and the integral of the line stays exact to the tolerance
// across both.
TEST(Integrator, StopsAtEveryTableRowAndRestartsOnlyWhereTheTableJumps)
{
    json model = {{"blocks",
                   {{{"name", "u"}, {"type", "table"}, {"time", {0.0, 1.0, 2.0, 3.0, 3.0, 5.0, 6.0}},
                     {"values", {0.0, 2.0, -1.0, 0.5, 3.0, 1.0, 1.0}}},
                    {{"name", "x"}, {"type", "integrator"}}}},
                  {"connections", {{{"from", "u.0"}, {"to", "x.0"}}}},
                  {"log", {"u.0.0", "x.0.0"}},
                  {"solver", {{"stop_time", 8.0}, {"rtol", 1e-8}, {"atol", 1e-10}}}};
    auto o = simulate(model);
    // Every row's time is a major step.
    for (double tb : {1.0, 2.0, 3.0, 5.0, 6.0})
        EXPECT_NE(std::find(o.trace.t.begin(), o.trace.t.end(), tb), o.trace.t.end()) << tb;
    EXPECT_EQ(o.stats.restarts, 1);
    // The exact integral of the piecewise-linear input.
    auto exact = [](double t) {
        const double a[] = {0, 1, 2, 3, 5, 6};
        const double yl[] = {0, 2, -1, 3, 1, 1};     // each segment's value at its start (3: after the jump)
        const double yb[] = {2, -1, 0.5, 1, 1, 1};   // and at its end
        double x = 0;
        for (int k = 0; k < 6; ++k) {
            const double t0 = a[k], t1 = k < 5 ? a[k + 1] : 1e9;
            if (t <= t0) break;
            const double te = std::min(t, t1);
            const double y0 = yl[k], slope = k < 5 ? (yb[k] - y0) / (t1 - t0) : 0.0;
            x += y0 * (te - t0) + 0.5 * slope * (te - t0) * (te - t0);
        }
        return x;
    };
    for (std::size_t k = 0; k < o.trace.t.size(); ++k)
        EXPECT_NEAR(o.trace.rows[k][1], exact(o.trace.t[k]), 1e-6) << "t = " << o.trace.t[k];
}

TEST(Integrator, RisingResetInputReturnsTheStateToInitial)
{
    // Reset rises at t = 4 and stays up: one reset, then integration again.
    json model = {{"blocks",
                   {{{"name", "u"}, {"type", "constant"}, {"value", 2.0}},
                    {{"name", "r"}, {"type", "step"}, {"time", 4.0}, {"before", 0.0}, {"after", 1.0}},
                    {{"name", "x"}, {"type", "integrator"}, {"initial", 0.5}, {"reset", true}}}},
                  {"connections", {{{"from", "u.0"}, {"to", "x.0"}}, {{"from", "r.0"}, {"to", "x.1"}}}},
                  {"log", {"x.0.0"}},
                  {"solver", solver(8.0, 0.5)}};
    auto o = simulate(model);
    for (std::size_t k = 0; k < o.trace.t.size(); ++k) {
        const double t = o.trace.t[k];
        // The output at the reset step itself is still the value before it.
        const double expected = t <= 4 ? 0.5 + 2 * t : 0.5 + 2 * (t - 4);
        EXPECT_NEAR(o.trace.rows[k][0], expected, 1e-7) << "t = " << t;
    }
}

// --- first-order lag --------------------------------------------------------

TEST(FirstOrder, StepResponseIsTheExactExponentialElementByElement)
{
    json model = {{"blocks",
                   {{{"name", "u"}, {"type", "constant"}, {"value", {2.0, -1.0}}},
                    {{"name", "lag"}, {"type", "first_order"}, {"tau", {0.5, 3.0}}, {"gain", 1.5},
                     {"initial", {1.0, 4.0}}}}},
                  {"connections", {{{"from", "u.0"}, {"to", "lag.0"}}}},
                  {"log", {"lag.0.0", "lag.0.1"}},
                  {"solver", solver(6.0, 0.1)}};
    auto o = simulate(model);
    double worst = 0.0;
    for (std::size_t k = 0; k < o.trace.t.size(); ++k) {
        const double t = o.trace.t[k];
        worst = std::max(worst, std::fabs(o.trace.rows[k][0] - (3.0 + (1.0 - 3.0) * std::exp(-t / 0.5))));
        worst = std::max(worst, std::fabs(o.trace.rows[k][1] - (-1.5 + (4.0 + 1.5) * std::exp(-t / 3.0))));
    }
    EXPECT_LT(worst, 1e-6);
}

// --- pid --------------------------------------------------------------------

namespace {

// PI (kp, ti) on a plant K / (tau s + 1), reverse acting, setpoint step 0 -> 1
// at t = 1 with everything at rest before.
json pi_loop(double kp, double ti, double K, double tau, double stop)
{
    return {{"blocks",
             {{{"name", "r"}, {"type", "step"}, {"time", 1.0}, {"before", 0.0}, {"after", 1.0}},
              {{"name", "pi"}, {"type", "pid"}, {"kp", kp}, {"ti", ti}},
              {{"name", "plant"}, {"type", "first_order"}, {"tau", tau}, {"gain", K}}}},
            {"connections",
             {{{"from", "r.0"}, {"to", "pi.0"}}, {{"from", "plant.0"}, {"to", "pi.1"}}, {{"from", "pi.0"}, {"to", "plant.0"}}}},
            {"log", {"plant.0.0", "pi.0.0"}},
            {"solver", solver(stop, 0.1)}};
}

}  // namespace

TEST(Pid, PiOnAFirstOrderPlantFollowsTheClosedFormStepResponse)
{
    // Closed loop y/r = c (ti s + 1) / (a s^2 + b s + c), a = ti tau,
    // b = ti (1 + kp K), c = kp K. Here the poles are -0.5 +- 0.354j:
    //   y = 1 + exp(-s t) (A cos w t + B sin w t), A = -1, B = (kp K / tau - s) / w
    const double kp = 1.5, ti = 2.0, K = 2.0, tau = 4.0;
    const double a = ti * tau, b = ti * (1 + kp * K), c = kp * K;
    const double sigma = b / (2 * a), omega = std::sqrt(c / a - sigma * sigma);
    const double B = (kp * K / tau - sigma) / omega;
    auto o = simulate(pi_loop(kp, ti, K, tau, 21.0));
    EXPECT_TRUE(o.loops.empty()) << "the lag breaks the loop";
    double worst = 0.0;
    for (std::size_t k = 0; k < o.trace.t.size(); ++k) {
        const double s = o.trace.t[k] - 1.0;
        const double y = s < 0 ? 0.0 : 1 + std::exp(-sigma * s) * (-std::cos(omega * s) + B * std::sin(omega * s));
        worst = std::max(worst, std::fabs(o.trace.rows[k][0] - y));
    }
    EXPECT_LT(worst, 1e-6);
    EXPECT_NEAR(o.trace.rows.back()[0], 1.0, 1e-4);
    EXPECT_NEAR(o.trace.rows.back()[1], 1.0 / K, 1e-4) << "the integral carries the output at rest";
}

TEST(Pid, StartIsBumplessWithAndWithoutIntegralAction)
{
    // Measurement 0.3 against setpoint 1 from the start: the error is 0.7,
    // yet the output starts at `initial` (or `bias`) and moves from there.
    json model = {{"blocks",
                   {{{"name", "r"}, {"type", "constant"}, {"value", 1.0}},
                    {{"name", "y"}, {"type", "constant"}, {"value", 0.3}},
                    {{"name", "pi"}, {"type", "pid"}, {"kp", 2.0}, {"ti", 4.0}, {"initial", 0.4}, {"bias", 0.1}},
                    {{"name", "p"}, {"type", "pid"}, {"kp", 2.0}, {"bias", 0.2}}}},
                  {"connections",
                   {{{"from", "r.0"}, {"to", "pi.0"}}, {{"from", "y.0"}, {"to", "pi.1"}},
                    {{"from", "r.0"}, {"to", "p.0"}}, {{"from", "y.0"}, {"to", "p.1"}}}},
                  {"log", {"pi.0.0", "p.0.0"}},
                  {"solver", solver(2.0, 0.5)}};
    auto o = simulate(model);
    EXPECT_EQ(o.states, 1) << "one integral part, no state for the P-only controller";
    for (std::size_t k = 0; k < o.trace.t.size(); ++k) {
        const double t = o.trace.t[k];
        EXPECT_NEAR(o.trace.rows[k][0], 0.4 + 2.0 * 0.7 * t / 4.0, 1e-8) << "t = " << t;
        EXPECT_NEAR(o.trace.rows[k][1], 0.2, 1e-12) << "t = " << t;
    }
}

TEST(Pid, OutputLeavesItsLimitAsSoonAsTheErrorChangesSign)
{
    // Open loop: the measurement steps from 0 to 2 at t = 40 against a
    // setpoint of 1, so a reverse-acting controller sees the error go from +1
    // to -1 (and works against its upper limit 3), a direct-acting one the
    // mirror image (against its lower limit -3). kp = 2, ti = 5: the output
    // ramps at 0.4/s from 0, meets the limit 3 at t = 7.5 and stays there
    // for 32.5 s. Back-calculation with tracking_time = ti keeps the integral
    // part at I = 3 - 2 exp(-(t - 7.5)/5) (I = 1 at t = 7.5, tending to 3), so
    // at the sign change the output drops to -2 + I(40) = 0.99698 at once and
    // ramps down at 0.4/s. A wound-up integral (I = 14 by t = 40) would hold
    // the output at the limit for another 22.5 s.
    for (const std::string direction : {"reverse", "direct"}) {
        const double m = direction == "reverse" ? 1.0 : -1.0;  // mirror for the direct-acting case
        json pid = {{"name", "c"}, {"type", "pid"}, {"kp", 2.0}, {"ti", 5.0}, {"direction", direction}};
        pid[m > 0 ? "upper" : "lower"] = 3.0 * m;
        json model = {{"blocks",
                       {{{"name", "r"}, {"type", "constant"}, {"value", 1.0}},
                        {{"name", "y"}, {"type", "step"}, {"time", 40.0}, {"before", 0.0}, {"after", 2.0}},
                        pid}},
                      {"connections", {{{"from", "r.0"}, {"to", "c.0"}}, {{"from", "y.0"}, {"to", "c.1"}}}},
                      {"log", {"c.0.0", "c.1.2"}},
                      {"solver", solver(45.0, 0.1)}};
        auto o = simulate(model);
        const double I40 = 3.0 - 2.0 * std::exp(-32.5 / 5.0);
        for (std::size_t k = 0; k < o.trace.t.size(); ++k) {
            const double t = o.trace.t[k];
            double u;
            if (t <= 7.5)
                u = 0.4 * t;
            else if (t < 40.0)
                u = 3.0;
            else
                u = -2.0 + I40 - 0.4 * (t - 40.0);
            EXPECT_NEAR(m * o.trace.rows[k][0], u, 1e-5) << direction << " t = " << t;
            if (t > 7.5 && t < 40.0) {
                EXPECT_NEAR(m * o.trace.rows[k][1], 3.0 - 2.0 * std::exp(-(t - 7.5) / 5.0), 1e-5)
                    << direction << " t = " << t;
            }
        }
        // At the sign change itself the output is already 2 below the limit.
        for (std::size_t k = 0; k < o.trace.t.size(); ++k)
            if (o.trace.t[k] >= 40.0) {
                EXPECT_LT(m * o.trace.rows[k][0], 1.0) << direction;
                break;
            }
    }
}

TEST(Pid, FilteredDerivativeActsOnTheMeasurementOnly)
{
    // Measurement ramps at 0.5/s, setpoint steps from 0 to 1 at t = 2;
    // kp = 2, td = 3, filter 0.5, no integral, reverse acting:
    //   D = -kp td 0.5 (1 - exp(-t / 0.5)),  u = kp (r - y) + D:
    // the setpoint step moves only the P term (no derivative kick).
    json model = {{"blocks",
                   {{{"name", "r"}, {"type", "step"}, {"time", 2.0}, {"before", 0.0}, {"after", 1.0}},
                    {{"name", "y"}, {"type", "ramp"}, {"slope", 0.5}},
                    {{"name", "c"}, {"type", "pid"}, {"kp", 2.0}, {"td", 3.0}, {"filter_time", 0.5}}}},
                  {"connections", {{{"from", "r.0"}, {"to", "c.0"}}, {{"from", "y.0"}, {"to", "c.1"}}}},
                  {"log", {"c.0.0", "c.1.3"}},
                  {"solver", solver(5.0, 0.25)}};
    auto o = simulate(model);
    for (std::size_t k = 0; k < o.trace.t.size(); ++k) {
        const double t = o.trace.t[k];
        const double d = -2.0 * 3.0 * 0.5 * (1.0 - std::exp(-t / 0.5));
        const double r = t >= 2.0 ? 1.0 : 0.0;
        EXPECT_NEAR(o.trace.rows[k][1], d, 1e-6) << "t = " << t;
        EXPECT_NEAR(o.trace.rows[k][0], 2.0 * (r - 0.5 * t) + d, 1e-6) << "t = " << t;
    }
}

TEST(Pid, SetpointWeightsShapeTheKickOfASetpointStep)
{
    // Open loop, measurement 0, setpoint step 0 -> 1 at t = 2, reverse acting.
    // PI kp = 2, ti = 4, setpoint weight b: u = kp b + kp (t - 2) / ti after
    // the step (the integral acts on the full error whatever b is).
    // PD kp = 2, td = 3, filter 0.5, derivative weight 1: the derivative
    // sees the step too, D = kp td / filter exp(-(t - 2) / filter).
    auto model = [](double b) {
        return json{{"blocks",
                     {{{"name", "r"}, {"type", "step"}, {"time", 2.0}, {"before", 0.0}, {"after", 1.0}},
                      {{"name", "y"}, {"type", "constant"}, {"value", 0.0}},
                      {{"name", "pi"}, {"type", "pid"}, {"kp", 2.0}, {"ti", 4.0}, {"setpoint_weight", b}},
                      {{"name", "pd"},
                       {"type", "pid"},
                       {"kp", 2.0},
                       {"td", 3.0},
                       {"filter_time", 0.5},
                       {"derivative_weight", 1.0}}}},
                    {"connections",
                     {{{"from", "r.0"}, {"to", "pi.0"}}, {{"from", "y.0"}, {"to", "pi.1"}},
                      {{"from", "r.0"}, {"to", "pd.0"}}, {{"from", "y.0"}, {"to", "pd.1"}}}},
                    {"log", {"pi.0.0", "pd.0.0"}},
                    {"solver", solver(6.0, 0.25)}};
    };
    for (double b : {0.0, 0.5, 1.0}) {
        auto o = simulate(model(b));
        for (std::size_t k = 0; k < o.trace.t.size(); ++k) {
            const double t = o.trace.t[k];
            const double pi = t < 2.0 ? 0.0 : 2.0 * b + 2.0 * (t - 2.0) / 4.0;
            const double pd = t < 2.0 ? 0.0 : 2.0 + 2.0 * 3.0 / 0.5 * std::exp(-(t - 2.0) / 0.5);
            EXPECT_NEAR(o.trace.rows[k][0], pi, 1e-6) << "b = " << b << " t = " << t;
            EXPECT_NEAR(o.trace.rows[k][1], pd, 1e-5) << "t = " << t;
        }
    }
}

TEST(Pid, FeedForwardIsAddedBeforeTheLimitsAndSetsTheStart)
{
    // No error (setpoint = measurement = 1): the output is the feed-forward
    // w = 0.5 t plus the integral's start. Without `initial` the output
    // starts at the feed-forward and follows it up to the limit 3; with
    // initial 1 the integral holds the difference, u = 1 + 0.5 t.
    json model = {{"blocks",
                   {{{"name", "one"}, {"type", "constant"}, {"value", 1.0}},
                    {{"name", "w"}, {"type", "ramp"}, {"slope", 0.5}},
                    {{"name", "a"}, {"type", "pid"}, {"kp", 1.0}, {"ti", 2.0}, {"upper", 3.0}, {"feedforward", true}},
                    {{"name", "b"}, {"type", "pid"}, {"kp", 1.0}, {"ti", 2.0}, {"initial", 1.0}, {"feedforward", true}}}},
                  {"connections",
                   {{{"from", "one.0"}, {"to", "a.0"}}, {{"from", "one.0"}, {"to", "a.1"}}, {{"from", "w.0"}, {"to", "a.2"}},
                    {{"from", "one.0"}, {"to", "b.0"}}, {{"from", "one.0"}, {"to", "b.1"}}, {{"from", "w.0"}, {"to", "b.2"}}}},
                  {"log", {"a.0.0", "b.0.0", "a.1.2"}},
                  {"solver", solver(10.0, 0.5)}};
    auto o = simulate(model);
    for (std::size_t k = 0; k < o.trace.t.size(); ++k) {
        const double t = o.trace.t[k];
        EXPECT_NEAR(o.trace.rows[k][0], std::min(0.5 * t, 3.0), 1e-8) << "t = " << t;
        EXPECT_NEAR(o.trace.rows[k][1], 1.0 + 0.5 * t, 1e-8) << "t = " << t;
        // Held at its limit from t = 6, the back-calculation pulls the
        // integral down against the rising feed-forward: z = I + w - 3 obeys
        // dz/dt = -z / 2 + 0.5, so I = 4 - 0.5 t - exp(-(t - 6) / 2).
        if (t > 6.0) {
            EXPECT_NEAR(o.trace.rows[k][2], 4.0 - 0.5 * t - std::exp(-(t - 6.0) / 2.0), 1e-6) << t;
        }
    }
}

TEST(Pid, TrackingInputPullsTheIntegralToTheActuatorWithoutAnAlgebraicLoop)
{
    // No error; initial 5; the actuator really gets a = 2 (a selector chose
    // another loop). With tracking_time 1: dI/dt = a - I, I = 2 + 3 exp(-t).
    // The second controller drives a rate limiter whose output it tracks:
    // the loop pid -> limiter -> pid runs through the tracking input, which
    // has no direct feedthrough, so it is no algebraic loop.
    json model = {{"blocks",
                   {{{"name", "one"}, {"type", "constant"}, {"value", 1.0}},
                    {{"name", "a"}, {"type", "constant"}, {"value", 2.0}},
                    {{"name", "c"}, {"type", "pid"}, {"kp", 1.0}, {"ti", 10.0}, {"initial", 5.0},
                     {"tracking", true}, {"tracking_time", 1.0}},
                    {{"name", "d"}, {"type", "pid"}, {"kp", 1.0}, {"ti", 10.0}, {"initial", 5.0}, {"tracking", true}},
                    {{"name", "ramp"}, {"type", "rate_limiter"}, {"rising", 1.0}, {"initial", 0.0}}}},
                  {"connections",
                   {{{"from", "one.0"}, {"to", "c.0"}}, {{"from", "one.0"}, {"to", "c.1"}}, {{"from", "a.0"}, {"to", "c.2"}},
                    {{"from", "one.0"}, {"to", "d.0"}}, {{"from", "one.0"}, {"to", "d.1"}},
                    {{"from", "d.0"}, {"to", "ramp.0"}}, {{"from", "ramp.0"}, {"to", "d.2"}}}},
                  {"log", {"c.0.0"}},
                  {"solver", solver(5.0, 0.25)}};
    auto o = simulate(model);
    EXPECT_TRUE(o.loops.empty()) << o.loops.front();
    for (std::size_t k = 0; k < o.trace.t.size(); ++k)
        EXPECT_NEAR(o.trace.rows[k][0], 2.0 + 3.0 * std::exp(-o.trace.t[k]), 1e-6) << "t = " << o.trace.t[k];
}

TEST(Pid, WarnsOfAnOutputHeldAtALimitAllRunAndOfASetpointInDegreesCelsius)
{
    // A lag "plant" starting at 290 K, measured as a logged temperature; a
    // controller asking for 7 (meant in degC) can never get there.
    auto model = [](double setpoint, double upper, bool tracked, double tau = 1000.0) {
        json blocks = {{{"name", "r"}, {"type", "constant"}, {"value", setpoint}},
                       {{"name", "plant"}, {"type", "first_order"}, {"tau", tau}, {"initial", 290.0}},
                       {{"name", "c"}, {"type", "pid"}, {"kp", 1.0}, {"ti", 5.0}, {"lower", 0.0}, {"upper", upper}},
                       {{"name", "other"}, {"type", "constant"}, {"value", 0.5}}};
        json connections = {{{"from", "r.0.0"}, {"to", "c.0.0"}},
                            {{"from", "plant.0.0"}, {"to", "c.1.0"}},
                            {{"from", "c.0.0"}, {"to", "plant.0.0"}}};
        if (tracked) {
            blocks[2]["tracking"] = true;
            connections.push_back({{"from", "other.0.0"}, {"to", "c.2.0"}});
        }
        return json{{"blocks", blocks},
                    {"connections", connections},
                    {"log", {{{"signal", "plant.0.0"}, {"name", "T_out"}, {"unit", "K"}}}},
                    {"solver", solver(20.0, 1.0, 1e-6, 1e-8)}};
    };
    auto warnings = [](const json& m) {
        auto spec = cyclesim::parse_model(m, "control.json");
        cyclesim::PluginRegistry registry(testsupport::blocks_dir());
        cyclesim::Simulation sim(spec, registry);
        Trace trace;
        sim.run(trace);
        return sim.block_warnings();
    };

    // Reverse acting: the measurement is far above the setpoint, the
    // output sits at 0 from start to end.
    auto w = warnings(model(7.0, 1.0, false));
    ASSERT_EQ(w.size(), 2u) << testing::PrintToString(w);
    EXPECT_HAS(w[0], "pid 'c': its setpoint was 7 at t = 0, below 200 K");
    EXPECT_HAS(w[0], "T_out (block 'plant' output port 0 element 0)");
    EXPECT_HAS(w[1], "pid 'c': its output stayed at its lower limit 0 for the whole run (t = 0 .. 20)");

    // A setpoint in K that the controller reaches: no warning at all.
    EXPECT_TRUE(warnings(model(289.0, 1e3, false, 5.0)).empty());
    // Held at its limit while the actuator follows another value (an
    // override that is not in command): doing its job, no warning; the
    // setpoint is still named.
    w = warnings(model(7.0, 1.0, true));
    ASSERT_EQ(w.size(), 1u) << testing::PrintToString(w);
    EXPECT_HAS(w[0], "below 200 K");
}

TEST(Select, MinAndMaxPickElementByElementAndSayWhichPort)
{
    // Ports: constant [1, 5], ramp t (both elements), constant [3, 3].
    json model = {{"blocks",
                   {{{"name", "c"}, {"type", "constant"}, {"value", {1.0, 5.0}}},
                    {{"name", "t"}, {"type", "ramp"}, {"slope", {1.0, 1.0}}},
                    {{"name", "k"}, {"type", "constant"}, {"value", {3.0, 3.0}}},
                    {{"name", "lo"}, {"type", "min"}, {"inputs", 3}, {"width", 2}},
                    {{"name", "hi"}, {"type", "max"}, {"width", 2}}}},
                  {"connections",
                   {{{"from", "c.0"}, {"to", "lo.0"}}, {{"from", "t.0"}, {"to", "lo.1"}}, {{"from", "k.0"}, {"to", "lo.2"}},
                    {{"from", "c.0"}, {"to", "hi.0"}}, {{"from", "t.0"}, {"to", "hi.1"}}}},
                  {"log", {"lo.0.0", "lo.0.1", "lo.1.0", "lo.1.1", "hi.0.0", "hi.0.1", "hi.1.0", "hi.1.1"}},
                  {"solver", solver(6.0, 0.5)}};
    auto o = simulate(model);
    for (std::size_t k = 0; k < o.trace.t.size(); ++k) {
        const double t = o.trace.t[k];
        const auto& r = o.trace.rows[k];
        EXPECT_DOUBLE_EQ(r[0], std::min({1.0, t, 3.0}));
        EXPECT_DOUBLE_EQ(r[1], std::min({5.0, t, 3.0}));
        EXPECT_EQ(r[2], t < 1.0 ? 1 : 0) << "ties go to the lower port, t = " << t;
        EXPECT_EQ(r[3], t <= 3.0 ? 1 : 2) << t;
        EXPECT_DOUBLE_EQ(r[4], std::max(1.0, t));
        EXPECT_DOUBLE_EQ(r[5], std::max(5.0, t));
        EXPECT_EQ(r[6], t > 1.0 ? 1 : 0) << t;
        EXPECT_EQ(r[7], t > 5.0 ? 1 : 0) << t;
    }
}

// --- rate limiter, lookup, saturation ---------------------------------------

TEST(RateLimiter, RisesAndFallsAtItsSlopesAndThenFollows)
{
    // Input 0, then 10 from t = 1, then -2 from t = 10; rising 2/s, falling
    // 4/s: a ramp up of 5 s, a plateau, a ramp down of 3 s.
    json model = {{"blocks",
                   {{{"name", "u"}, {"type", "table"}, {"time", {0, 1, 1, 10, 10, 20}}, {"values", {0, 0, 10, 10, -2, -2}}},
                    {{"name", "rl"}, {"type", "rate_limiter"}, {"rising", 2.0}, {"falling", 4.0}}}},
                  {"connections", {{{"from", "u.0"}, {"to", "rl.0"}}}},
                  {"log", {"rl.0.0", "u.0.0"}},
                  {"solver", {{"stop_time", 16.0}, {"max_step", 0.05}}}};
    auto o = simulate(model);
    const auto& t = o.trace.t;
    int rising = 0, falling = 0;
    for (std::size_t k = 1; k < t.size(); ++k) {
        const double y0 = o.trace.rows[k - 1][0], y1 = o.trace.rows[k][0], dt = t[k] - t[k - 1];
        EXPECT_LE(y1 - y0, 2.0 * dt + 1e-12) << "t = " << t[k];
        EXPECT_GE(y1 - y0, -4.0 * dt - 1e-12) << "t = " << t[k];
        if (t[k] > 1.1 && t[k] < 5.9) rising += std::fabs(y1 - y0 - 2.0 * dt) < 1e-9;
        if (t[k] > 10.1 && t[k] < 12.9) falling += std::fabs(y1 - y0 + 4.0 * dt) < 1e-9;
        if (t[k] < 1.0 || (t[k] > 6.0 && t[k] < 10.0) || t[k] > 13.0) {
            EXPECT_NEAR(y1, o.trace.rows[k][1], 1e-9) << "follows the input, t = " << t[k];
        }
    }
    EXPECT_GT(rising, 50) << "steps at exactly the rising slope";
    EXPECT_GT(falling, 30) << "steps at exactly the falling slope";
}

TEST(Lookup, InterpolatesLinearlyAndHoldsOrExtrapolatesBeyondTheEnds)
{
    json model = {{"blocks",
                   {{{"name", "u"}, {"type", "ramp"}, {"slope", 1.0}, {"initial", -1.0}},
                    {{"name", "held"}, {"type", "lookup"}, {"x", {0, 1, 3}}, {"y", {10, 20, 0}}},
                    {{"name", "extended"}, {"type", "lookup"}, {"x", {0, 1, 3}}, {"y", {10, 20, 0}},
                     {"beyond", "extrapolate"}},
                    {{"name", "sat"}, {"type", "saturation"}, {"lower", 0.5}, {"upper", 2.25}}}},
                  {"connections",
                   {{{"from", "u.0"}, {"to", "held.0"}}, {{"from", "u.0"}, {"to", "extended.0"}},
                    {{"from", "u.0"}, {"to", "sat.0"}}}},
                  {"log", {"u.0.0", "held.0.0", "extended.0.0", "sat.0.0"}},
                  {"solver", solver(5.0, 0.125)}};
    auto o = simulate(model);
    for (const auto& row : o.trace.rows) {
        const double u = row[0];
        const double inside = u <= 1 ? 10 + 10 * u : 20 - 10 * (u - 1);
        EXPECT_NEAR(row[1], u < 0 ? 10.0 : u > 3 ? 0.0 : inside, 1e-12) << "u = " << u;
        EXPECT_NEAR(row[2], inside, 1e-12) << "u = " << u;
        EXPECT_DOUBLE_EQ(row[3], std::clamp(u, 0.5, 2.25));
    }
}

// --- direct feedthrough -----------------------------------------------------

TEST(Feedthrough, LoopsThroughAStateAreNotAlgebraicLoopsThroughSaturationAre)
{
    // x' = -x through an integrator and a gain: no algebraic loop.
    json through_integrator = {{"blocks",
                                {{{"name", "x"}, {"type", "integrator"}, {"initial", 2.0}},
                                 {{"name", "g"}, {"type", "gain"}, {"gain", -1.0}}}},
                               {"connections", {{{"from", "x.0"}, {"to", "g.0"}}, {{"from", "g.0"}, {"to", "x.0"}}}},
                               {"log", {"x.0.0"}},
                               {"solver", solver(3.0, 0.5)}};
    auto o = simulate(through_integrator);
    EXPECT_TRUE(o.loops.empty());
    ASSERT_EQ(o.feedback.size(), 1u);
    EXPECT_HAS(o.feedback[0], "through 'x', 'g': not an algebraic loop, broken by 'x' (integrator)");
    for (std::size_t k = 0; k < o.trace.t.size(); ++k)
        EXPECT_NEAR(o.trace.rows[k][0], 2.0 * std::exp(-o.trace.t[k]), 1e-7);

    // y = sat(0.5 y + 1) through saturation, gain and sum: an algebraic loop,
    // solved at the limit (the free fixed point 2 lies above it).
    json through_saturation = {{"blocks",
                                {{{"name", "one"}, {"type", "constant"}, {"value", 1.0}},
                                 {{"name", "g"}, {"type", "gain"}, {"gain", 0.5}},
                                 {{"name", "s"}, {"type", "sum"}, {"signs", "++"}},
                                 {{"name", "sat"}, {"type", "saturation"}, {"upper", 1.5}}}},
                               {"connections",
                                {{{"from", "sat.0"}, {"to", "g.0"}}, {{"from", "g.0"}, {"to", "s.0"}},
                                 {{"from", "one.0"}, {"to", "s.1"}}, {{"from", "s.0"}, {"to", "sat.0"}}}},
                               {"log", {"sat.0.0"}},
                               {"solver", solver(1.0, 0.5)}};
    o = simulate(through_saturation);
    ASSERT_EQ(o.loops.size(), 1u);
    EXPECT_HAS(o.loops[0], "'sat'");
    EXPECT_TRUE(o.feedback.empty());
    for (const auto& row : o.trace.rows) EXPECT_NEAR(row[0], 1.5, 1e-9);

    // A pid closes an algebraic loop when its output reaches its measurement
    // directly; through a lag (an actuator or a sensor) it does not.
    json pid = {{"name", "c"}, {"type", "pid"}, {"kp", 1.0}, {"ti", 1.0}};
    json through_lag = {{"blocks",
                         {{{"name", "r"}, {"type", "constant"}, {"value", 1.0}}, pid,
                          {{"name", "lag"}, {"type", "first_order"}, {"tau", 1.0}}}},
                        {"connections",
                         {{{"from", "r.0"}, {"to", "c.0"}}, {{"from", "c.0"}, {"to", "lag.0"}},
                          {{"from", "lag.0"}, {"to", "c.1"}}}},
                        {"solver", solver(1.0, 0.5)}};
    o = simulate(through_lag);
    EXPECT_TRUE(o.loops.empty());
    ASSERT_EQ(o.feedback.size(), 1u);
    EXPECT_HAS(o.feedback[0], "broken by 'lag' (first_order)");
    json direct = {{"blocks", {{{"name", "r"}, {"type", "constant"}, {"value", 1.0}}, pid}},
                   {"connections", {{{"from", "r.0"}, {"to", "c.0"}}, {{"from", "c.0"}, {"to", "c.1"}}}},
                   {"solver", solver(1.0, 0.5)}};
    EXPECT_EQ(simulate(direct).loops.size(), 1u);
}

// --- refusals -----------------------------------------------------------------

TEST(ControlSettings, AreRefusedNamingTheBlockAndTheKey)
{
    struct Case {
        json block;
        std::string key, reason;
    };
    const std::vector<Case> cases = {
        {{{"type", "first_order"}}, ".tau", "missing setting"},
        {{{"type", "first_order"}, {"tau", 0.0}}, ".tau", "must be positive"},
        {{{"type", "first_order"}, {"tau", {1.0, -2.0}}}, ".tau", "must be positive"},
        {{{"type", "first_order"}, {"tau", "slow"}}, ".tau", "expected a number"},
        {{{"type", "integrator"}, {"lower", 2.0}, {"upper", 1.0}}, ".lower", "is above upper"},
        {{{"type", "integrator"}, {"lower", 1.0}}, ".initial", "outside lower..upper"},
        {{{"type", "integrator"}, {"reset", 1}}, ".reset", "true or false"},
        {{{"type", "saturation"}}, ".lower", "missing setting"},
        {{{"type", "saturation"}, {"lower", 5.0}, {"upper", {6.0, 4.0}}}, ".lower", "element 1"},
        {{{"type", "rate_limiter"}, {"rising", 1.0}, {"falling", -1.0}}, ".falling", "must be positive"},
        {{{"type", "rate_limiter"}}, ".rising", "missing setting"},
        {{{"type", "lookup"}, {"x", {0, 2, 1}}, {"y", {0, 1, 2}}}, ".x", "must increase strictly"},
        {{{"type", "lookup"}, {"x", {0, 1, 1}}, {"y", {0, 1, 2}}}, ".x", "must increase strictly"},
        {{{"type", "lookup"}, {"x", {0, 1}}, {"y", {0, 1, 2}}}, ".y", "has 3 values, x has 2"},
        {{{"type", "lookup"}, {"x", {0, 1}}, {"y", {0, 1}}, {"beyond", "wrap"}}, ".beyond", "\"hold\", \"extrapolate\""},
        {{{"type", "pid"}}, ".kp", "missing setting"},
        {{{"type", "pid"}, {"kp", "fast"}}, ".kp", "expected a finite number"},
        {{{"type", "pid"}, {"kp", -1.0}}, ".kp", "must be positive"},
        {{{"type", "pid"}, {"kp", 1.0}, {"ti", 0.0}}, ".ti", "must be positive"},
        {{{"type", "pid"}, {"kp", 1.0}, {"td", -1.0}}, ".td", "must not be negative"},
        {{{"type", "pid"}, {"kp", 1.0}, {"td", 1.0}, {"filter_time", 0.0}}, ".filter_time", "must be positive"},
        {{{"type", "pid"}, {"kp", 1.0}, {"filter_time", 0.1}}, ".filter_time", "td > 0"},
        // td/10 underflows: the td given is named, not a filter_time nobody gave.
        {{{"type", "pid"}, {"kp", 1.0}, {"td", 1e-323}}, ".td", "too small"},
        {{{"type", "pid"}, {"kp", 1.0}, {"tracking_time", 1.0}}, ".tracking_time", "integral action"},
        {{{"type", "pid"}, {"kp", 1.0}, {"direction", "forward"}}, ".direction", "\"reverse\", \"direct\""},
        {{{"type", "pid"}, {"kp", 1.0}, {"lower", 1.0}, {"upper", 0.0}}, ".lower", "is above upper"},
        {{{"type", "pid"}, {"kp", 1.0}, {"upper", 0.5}, {"bias", 0.7}}, ".initial", "outside lower..upper"},
        {{{"type", "pid"}, {"kp", 1.0}, {"width", 2}}, "unknown key \"width\"", ""},
        {{{"type", "pid"}, {"kp", 1.0}, {"setpoint_weight", 1.5}}, ".setpoint_weight", "must lie in 0..1"},
        {{{"type", "pid"}, {"kp", 1.0}, {"td", 1.0}, {"derivative_weight", -0.1}}, ".derivative_weight", "0..1"},
        {{{"type", "pid"}, {"kp", 1.0}, {"derivative_weight", 1.0}}, ".derivative_weight", "td > 0"},
        {{{"type", "pid"}, {"kp", 1.0}, {"feedforward", 1}}, ".feedforward", "true or false"},
        {{{"type", "pid"}, {"kp", 1.0}, {"tracking", true}}, ".tracking", "integral action"},
        {{{"type", "min"}, {"inputs", 1}}, ".inputs", "2 to 64"},
        {{{"type", "max"}, {"inputs", 2.5}}, ".inputs", "2 to 64"},
        {{{"type", "trip"}}, ".limit", "missing setting"},
        {{{"type", "trip"}, {"limit", 1.0}, {"direction", "up"}}, ".direction", "\"above\", \"below\""},
        {{{"type", "trip"}, {"limit", 1.0}, {"delay", -1.0}}, ".delay", "must not be negative"},
        {{{"type", "trip"}, {"limit", 1.0}, {"alarm", ""}}, ".alarm", "1 to 200 characters"},
    };
    for (const auto& c : cases) {
        json block = c.block;
        block["name"] = "ctl";
        json model = {{"blocks", {block}}, {"solver", solver(1.0, 0.5)}};
        const std::string msg = refusal(model);
        EXPECT_HAS(msg, "block 'ctl'");
        EXPECT_HAS(msg, c.key);
        EXPECT_HAS(msg, c.reason);
    }
}

TEST(ControlSettings, CheckListsWhatIsAndIsNotALoopAndRefusesAnUnsortedLookupTable)
{
    TempDir tmp;
    auto model = pi_loop(1.0, 1.0, 1.0, 1.0, 1.0);
    model["blocks"].push_back({{"name", "twice"}, {"type", "gain"}, {"gain", 2.0}});
    model["blocks"].push_back({{"name", "sat"}, {"type", "saturation"}, {"upper", 1.0}});
    model["connections"].push_back({{"from", "twice.0"}, {"to", "sat.0"}});
    model["connections"].push_back({{"from", "sat.0"}, {"to", "twice.0"}});
    auto r = run_cyclesim("check " + tmp.write_json("loops.json", model).string(), tmp.path());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string out = read_text(tmp.path() / "stdout.txt");
    EXPECT_HAS(out, "algebraic loop through '");
    EXPECT_HAS(out, "'sat'");
    EXPECT_HAS(out, "feedback loop through 'pi', 'plant': not an algebraic loop, broken by 'plant' (first_order)");

    json unsorted = {{"blocks",
                      {{{"name", "u"}, {"type", "constant"}, {"value", 1.0}},
                       {{"name", "map"}, {"type", "lookup"}, {"x", {0, 3, 2}}, {"y", {0, 1, 2}}}}},
                     {"connections", {{{"from", "u.0"}, {"to", "map.0"}}}}};
    r = run_cyclesim("check " + tmp.write_json("unsorted.json", unsorted).string(), tmp.path());
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_HAS(r.err, "block 'map'.x: must increase strictly: x[2] = 2 follows 3");
}
