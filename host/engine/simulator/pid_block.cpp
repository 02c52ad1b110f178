// PID controller in the standard (ideal) form, with output limits, a
// filtered derivative on the measurement, anti-windup by back-calculation
// and a bumpless start.
//
// Inputs: port 0 the setpoint r, port 1 the measurement y. Outputs: port 0
// the controller output u; port 1 [error, P, I, D] for logging.
//
//   e = r - y                 reverse acting (default): u rises when y falls
//                             below r (a heater, a pump raising a pressure);
//   e = y - r                 direct acting: u rises when y rises above r (a
//                             valve that opens on rising superheat, a
//                             compressor that speeds up on rising water
//                             temperature);
//   P = kp e
//   dI/dt = kp e / ti + (u - v) / tracking_time          (no I when ti is absent)
//   D = kp td (m - f) / filter_time,  df/dt = (m - f) / filter_time
//         where m = -y (reverse) or +y (direct): the derivative acts on the
//         measurement alone, so a setpoint step gives no derivative kick;
//         as filter_time -> 0, D -> kp td dm/dt
//   v = bias + P + I + D      (the unlimited output)
//   u = min(max(v, lower), upper)
//
// Anti-windup: while the output is held at a limit, the back-calculation
// term (u - v) / tracking_time pulls the integral back until v exceeds the
// limit by no more than kp e tracking_time / ti, so the integral cannot wind
// up during a long saturation. With the default tracking_time = ti (PI) or
// sqrt(ti td) (PID) the excess of v over the limit is about the P term: when
// the error changes sign, the P term changes sign with it and the output
// leaves the limit at once, with no wind-down delay.
//
// Bumpless start: at the start time the output is `initial` (default
// `bias`): the integral part starts from the value that makes it so and the
// derivative filter from the measurement. A controller without integral
// action holds that difference as a constant offset instead.
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
        if (td_ > 0.0)
            filter_time_ = s.positive("filter_time", td_ / 10.0);
        else if (s.has("filter_time"))
            s.fail("filter_time", "only used with a derivative time td > 0");
        if (ti_)
            tracking_time_ = s.positive("tracking_time", td_ > 0.0 ? std::sqrt(*ti_ * td_) : *ti_);
        else if (s.has("tracking_time"))
            s.fail("tracking_time", "only used with integral action (ti)");
        sign_ = s.choice("direction", {"reverse", "direct"}) == "direct" ? 1.0 : -1.0;
        bias_ = s.scalar("bias", 0.0);
        lower_ = s.has("lower") ? s.scalar("lower") : -INFINITY;
        upper_ = s.has("upper") ? s.scalar("upper") : INFINITY;
        s.check_limits({lower_}, {upper_});
        initial_ = s.scalar("initial", bias_);
        if (initial_ < lower_ || initial_ > upper_)
            s.fail("initial", "lies outside lower..upper (" + Settings::number_text(initial_) + ")");

        add_input(1);  // setpoint
        add_input(1);  // measurement
        add_output(1);
        add_output(4);
        feedthrough_ = true;
        if (ti_) integral_index_ = static_cast<int>(x_.size()), x_.push_back(0.0);
        if (td_ > 0.0) filter_index_ = static_cast<int>(x_.size()), x_.push_back(0.0);
        dx_.assign(x_.size(), 0.0);
    }

    std::span<double> cont_states() override { return x_; }
    std::span<double> derivatives_vector() override { return dx_; }

    void start() override
    {
        started_ = false;
        offset_ = 0.0;
        std::fill(x_.begin(), x_.end(), 0.0);
    }

    void outputs(double, bool major_step) override
    {
        if (!started_ && major_step) {
            // First major step: start the filter at the measurement (no
            // derivative action) and the integral part (or the offset) where
            // the output is `initial`.
            if (filter_index_ >= 0) x_[filter_index_] = sign_ * in(1, 0);
            const double rest = initial_ - bias_ - kp_ * error();
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

    void update(double) override { started_ = true; }

    void derivatives(double, bool) override
    {
        const Terms k = terms();
        if (integral_index_ >= 0)
            dx_[integral_index_] = kp_ * k.error / *ti_ + (k.output - k.unlimited) / tracking_time_;
        if (filter_index_ >= 0) dx_[filter_index_] = (sign_ * in(1, 0) - x_[filter_index_]) / filter_time_;
    }

private:
    struct Terms {
        double error, p, i, d, unlimited, output;
    };

    double error() const { return sign_ * (in(1, 0) - in(0, 0)); }

    Terms terms() const
    {
        Terms k{};
        k.error = error();
        k.p = kp_ * k.error;
        k.i = integral_index_ >= 0 ? x_[integral_index_] : offset_;
        k.d = filter_index_ >= 0 ? kp_ * td_ * (sign_ * in(1, 0) - x_[filter_index_]) / filter_time_ : 0.0;
        k.unlimited = bias_ + k.p + k.i + k.d;
        k.output = std::clamp(k.unlimited, lower_, upper_);
        return k;
    }

    double kp_ = 1.0;
    std::optional<double> ti_;
    double td_ = 0.0, filter_time_ = 0.0, tracking_time_ = 0.0;
    double sign_ = -1.0;  // -1 reverse acting, +1 direct acting
    double bias_ = 0.0, lower_ = -INFINITY, upper_ = INFINITY, initial_ = 0.0;

    std::vector<double> x_, dx_;  // [integral part] [derivative filter], as configured
    int integral_index_ = -1, filter_index_ = -1;
    double offset_ = 0.0;  // without integral action: the constant that makes the start bumpless
    bool started_ = false;
};

}  // namespace

std::unique_ptr<SimBlock> make_pid_block(const BlockSpec& spec)
{
    return std::make_unique<PidBlock>(spec);
}

}  // namespace cyclesim
