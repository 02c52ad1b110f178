// PID controller in the standard (ideal) form, with setpoint weighting,
// output limits, a filtered derivative, a feed-forward input, anti-windup by
// back-calculation (optionally tracking an external signal) and a bumpless
// start.
//
// Inputs: port 0 the setpoint r, port 1 the measurement y; with
// "feedforward": true port 2 a feed-forward value w; with "tracking": true
// the next port the value the actuator really receives, a (after a rate
// limiter or a min/max selector). Outputs: port 0 the controller output u;
// port 1 [error, P, I, D] for logging.
//
//   e = r - y                 reverse acting (default): u rises when y falls
//                             below r (a heater, a pump raising a pressure);
//   e = y - r                 direct acting: u rises when y rises above r (a
//                             valve that opens on rising superheat, a
//                             compressor that speeds up on rising water
//                             temperature);
//   P = kp ep,   ep = b r - y (reverse) or y - b r (direct), b = setpoint_weight
//   dI/dt = kp e / ti + (a - v) / tracking_time          (no I when ti is absent;
//                             a = u without a tracking input)
//   D = kp td (m - f) / filter_time,  df/dt = (m - f) / filter_time
//         where m = c r - y (reverse) or y - c r (direct), c = derivative_weight;
//         as filter_time -> 0, D -> kp td dm/dt
//   v = bias + P + I + D + w  (the unlimited output)
//   u = min(max(v, lower), upper)
//
// Setpoint weighting (the ISA form): with b = 1 (default) the proportional
// term acts on the error; with b < 1 a setpoint step moves the output by
// only kp b times the step at once (b = 0: no kick at all) and the integral
// brings the measurement to the new setpoint all the same, since it always
// acts on the full error. The derivative acts on the measurement alone by
// default (c = 0), so a setpoint step gives no derivative kick.
//
// Feed-forward: w is added before the limits, so that the output follows a
// known disturbance or demand (a valve opening that follows the compressor's
// capacity) and the integral only corrects what the feed-forward misses.
//
// Anti-windup: while the output is held at a limit, the back-calculation
// term (u - v) / tracking_time pulls the integral back until v exceeds the
// limit by no more than kp e tracking_time / ti, so the integral cannot wind
// up during a long saturation. With the default tracking_time = ti (PI) or
// sqrt(ti td) (PID) the excess of v over the limit is about the P term: when
// the error changes sign, the P term changes sign with it and the output
// leaves the limit at once, with no wind-down delay. With a tracking input
// the same term pulls v towards what the actuator really receives, so a
// controller that a selector has overridden, or that a rate limiter holds
// back, stays ready to take over from where the actuator is. The tracking
// input acts on the integral only (no direct feedthrough): it closes no
// algebraic loop.
//
// Bumpless start: at the start time the output is `initial` (default:
// `bias` plus the feed-forward at that time): the integral part starts from
// the value that makes it so and the derivative filter from the
// measurement. A controller without integral action holds that difference
// as a constant offset instead.
#include "builtin_block_base.h"
#include "control_blocks.h"

#include <algorithm>

namespace cyclesim {

namespace {

class PidBlock final : public BuiltinBlock {
public:
    explicit PidBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "pid")
    {
        Settings s(spec);
        kp_ = s.positive("kp");
        ti_ = s.optional_scalar("ti");
        if (ti_ && !(*ti_ > 0.0)) s.fail("ti", "must be positive, or null for no integral action");
        td_ = s.scalar("td", 0.0);
        if (td_ < 0.0) s.fail("td", "must not be negative (is " + Settings::number_text(td_) + ")");
        // The default filter time td/10 can underflow to zero for a td
        // that is positive but tiny: that is the td's fault, not that of a
        // filter_time nobody gave.
        if (td_ > 0.0 && !s.has("filter_time") && !(td_ / 10.0 > 0.0))
            s.fail("td", "is too small (" + Settings::number_text(td_) +
                             ") for the derivative filter's default time td/10; give filter_time, or td = 0 for no "
                             "derivative action");
        if (td_ > 0.0)
            filter_time_ = s.positive("filter_time", td_ / 10.0);
        else if (s.has("filter_time"))
            s.fail("filter_time", "only used with a derivative time td > 0");
        if (ti_)
            tracking_time_ = s.positive("tracking_time", td_ > 0.0 ? std::sqrt(*ti_ * td_) : *ti_);
        else if (s.has("tracking_time"))
            s.fail("tracking_time", "only used with integral action (ti)");
        sign_ = s.choice("direction", {"reverse", "direct"}) == "direct" ? 1.0 : -1.0;
        setpoint_weight_ = s.scalar("setpoint_weight", 1.0);
        if (setpoint_weight_ < 0.0 || setpoint_weight_ > 1.0)
            s.fail("setpoint_weight", "must lie in 0..1 (is " + Settings::number_text(setpoint_weight_) + ")");
        derivative_weight_ = s.scalar("derivative_weight", 0.0);
        if (derivative_weight_ < 0.0 || derivative_weight_ > 1.0)
            s.fail("derivative_weight", "must lie in 0..1 (is " + Settings::number_text(derivative_weight_) + ")");
        if (td_ == 0.0 && s.has("derivative_weight")) s.fail("derivative_weight", "only used with a derivative time td > 0");
        const bool feedforward = s.flag("feedforward", false);
        const bool tracking = s.flag("tracking", false);
        if (tracking && !ti_) s.fail("tracking", "only used with integral action (ti)");
        bias_ = s.scalar("bias", 0.0);
        lower_ = s.has("lower") ? s.scalar("lower") : -INFINITY;
        upper_ = s.has("upper") ? s.scalar("upper") : INFINITY;
        s.check_limits({lower_}, {upper_});
        // Without a feed-forward the start output is known now and checked
        // against the limits; with one it depends on the feed-forward's
        // value at the start.
        if (s.has("initial"))
            initial_ = s.scalar("initial");
        else if (!feedforward)
            initial_ = bias_;
        if (initial_ && (*initial_ < lower_ || *initial_ > upper_))
            s.fail("initial", "lies outside lower..upper (" + Settings::number_text(*initial_) + ")");

        add_input(1);  // setpoint
        add_input(1);  // measurement
        if (feedforward) feedforward_port_ = num_inputs(), add_input(1);
        if (tracking) tracking_port_ = num_inputs(), add_input(1);
        add_output(1);
        add_output(4);
        feedthrough_ = true;
        if (ti_) integral_index_ = static_cast<int>(x_.size()), x_.push_back(0.0);
        if (td_ > 0.0) filter_index_ = static_cast<int>(x_.size()), x_.push_back(0.0);
        dx_.assign(x_.size(), 0.0);
    }

    // The tracked actuator value only steers the integral's derivative.
    bool direct_feedthrough(int port) const override
    {
        return port >= 0 && port < num_inputs() && port != tracking_port_;
    }

    std::span<double> cont_states() override { return x_; }
    std::span<double> derivatives_vector() override { return dx_; }

    void start() override
    {
        started_ = false;
        offset_ = 0.0;
        major_steps_ = 0;
        held_side_ = 0;
        held_by_other_ = false;
        lowest_setpoint_.reset();
        std::fill(x_.begin(), x_.end(), 0.0);
    }

    void outputs(double, bool major_step) override
    {
        if (!started_ && major_step) {
            // First major step: start the filter at the measurement (no
            // derivative action) and the integral part (or the offset) where
            // the output is `initial`.
            if (filter_index_ >= 0) x_[filter_index_] = derivative_input();
            const double start = initial_ ? *initial_ : bias_ + feedforward();
            const double rest = start - bias_ - kp_ * proportional_error() - feedforward();
            if (integral_index_ >= 0)
                x_[integral_index_] = rest;
            else
                offset_ = rest;
        }
        const Terms k = terms();
        out(0)[0] = k.output;
        out(1)[0] = k.error;
        out(1)[1] = k.p;
        out(1)[2] = k.i;
        out(1)[3] = k.d;
    }

    void update(double t) override
    {
        started_ = true;
        watch_major_step(t);
    }

    void name_input(int port, int, const std::string& signal) override
    {
        if (port == 1) measurement_ = signal;
    }
    void input_unit(int port, int, const std::string& unit) override
    {
        if (port == 1) measurement_unit_ = unit;
    }

    std::vector<std::string> warnings() const override
    {
        std::vector<std::string> out;
        const std::string who = "pid '" + name() + "'";
        if (lowest_setpoint_ && *lowest_setpoint_ < kLowestTemperatureSetpoint)
            out.push_back(who + ": its setpoint was " + Settings::number_text(*lowest_setpoint_) + " at t = " +
                          Settings::number_text(lowest_setpoint_time_) +
                          ", below 200 K, while its measurement is a temperature in K (" + measurement_ +
                          "): a setpoint in degC?");
        if (held_side_ != 0 && !held_by_other_ && major_steps_ > 1 && last_time_ > first_time_) {
            const bool upper = held_side_ > 0;
            out.push_back(who + ": its output stayed at its " + (upper ? "upper" : "lower") + " limit " +
                          Settings::number_text(upper ? upper_ : lower_) + " for the whole run (t = " +
                          Settings::number_text(first_time_) + " .. " + Settings::number_text(last_time_) +
                          "): the setpoint " + Settings::number_text(last_setpoint_) +
                          " was out of its reach (the measurement ended at " +
                          Settings::number_text(last_measurement_) + ")");
        }
        return out;
    }

    void derivatives(double, bool) override
    {
        const Terms k = terms();
        if (integral_index_ >= 0)
            dx_[integral_index_] = kp_ * k.error / *ti_ + (actuator(k) - k.unlimited) / tracking_time_;
        if (filter_index_ >= 0) dx_[filter_index_] = (derivative_input() - x_[filter_index_]) / filter_time_;
    }

private:
    struct Terms {
        double error, p, i, d, unlimited, output;
    };

    double error() const { return sign_ * (in(1, 0) - in(0, 0)); }
    double proportional_error() const { return sign_ * (in(1, 0) - setpoint_weight_ * in(0, 0)); }
    double derivative_input() const { return sign_ * (in(1, 0) - derivative_weight_ * in(0, 0)); }
    double feedforward() const { return feedforward_port_ >= 0 ? in(feedforward_port_, 0) : 0.0; }
    // What the actuator receives: the tracked signal, or the output itself.
    double actuator(const Terms& k) const { return tracking_port_ >= 0 ? in(tracking_port_, 0) : k.output; }

    // Keeps what the warnings need, at each major step: whether the output
    // has sat at one limit all along (and, with a tracking input, is still
    // the value the actuator receives: an override held at its limit while
    // another loop is in command is doing its job), and the lowest setpoint
    // of a loop on an absolute temperature.
    void watch_major_step(double t)
    {
        const double u = out(0)[0];
        const int side = std::isfinite(upper_) && u >= upper_ ? 1 : std::isfinite(lower_) && u <= lower_ ? -1 : 0;
        if (major_steps_ == 0) {
            first_time_ = t;
            held_side_ = side;
        } else if (side != held_side_) {
            held_side_ = 0;
        }
        held_by_other_ = tracking_port_ >= 0 && std::fabs(in(tracking_port_, 0) - u) > 1e-9 * std::max(1.0, std::fabs(u));
        ++major_steps_;
        last_time_ = t;
        last_setpoint_ = in(0, 0);
        last_measurement_ = in(1, 0);
        // "K" is also the unit of a temperature difference (a superheat):
        // a measurement above 200 K is an absolute temperature.
        if (measurement_unit_ == "K" && in(1, 0) > kLowestTemperatureSetpoint &&
            (!lowest_setpoint_ || in(0, 0) < *lowest_setpoint_)) {
            lowest_setpoint_ = in(0, 0);
            lowest_setpoint_time_ = t;
        }
    }
    Terms terms() const
    {
        Terms k{};
        k.error = error();
        k.p = kp_ * proportional_error();
        k.i = integral_index_ >= 0 ? x_[integral_index_] : offset_;
        k.d = filter_index_ >= 0 ? kp_ * td_ * (derivative_input() - x_[filter_index_]) / filter_time_ : 0.0;
        k.unlimited = bias_ + k.p + k.i + k.d + feedforward();
        k.output = std::clamp(k.unlimited, lower_, upper_);
        return k;
    }

    double kp_ = 1.0;
    std::optional<double> ti_;
    double td_ = 0.0, filter_time_ = 0.0, tracking_time_ = 0.0;
    double sign_ = -1.0;  // -1 reverse acting, +1 direct acting
    double setpoint_weight_ = 1.0, derivative_weight_ = 0.0;
    double bias_ = 0.0, lower_ = -INFINITY, upper_ = INFINITY;
    std::optional<double> initial_;  // absent: bias plus the feed-forward at the start
    int feedforward_port_ = -1, tracking_port_ = -1;

    std::vector<double> x_, dx_;  // [integral part] [derivative filter], as configured
    int integral_index_ = -1, filter_index_ = -1;
    double offset_ = 0.0;  // without integral action: the constant that makes the start bumpless
    bool started_ = false;

    // What the end-of-run warnings need (watch_major_step).
    static constexpr double kLowestTemperatureSetpoint = 200.0;  // K; no chiller or heat pump aims lower
    std::string measurement_, measurement_unit_;
    long major_steps_ = 0;
    int held_side_ = 0;  // +1 upper, -1 lower: the limit the output has sat at all along; 0 none
    bool held_by_other_ = false;  // at the latest major step the actuator followed another value (tracking)
    double first_time_ = 0.0, last_time_ = 0.0, last_setpoint_ = 0.0, last_measurement_ = 0.0;
    std::optional<double> lowest_setpoint_;
    double lowest_setpoint_time_ = 0.0;
};

}  // namespace

std::unique_ptr<SimBlock> make_pid_block(const BlockSpec& spec)
{
    return std::make_unique<PidBlock>(spec);
}

}  // namespace cyclesim
