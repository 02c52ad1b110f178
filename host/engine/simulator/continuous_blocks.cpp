// The integrator and the first-order lag: blocks whose outputs are
// continuous states, advanced by the simulator's integrator together with
// every other state of the model.
#include "builtin_block_base.h"
#include "control_blocks.h"

#include <algorithm>

namespace cyclesim {

namespace {

// dx/dt = u, y = x. Limits hold the state inside [lower, upper]: against a
// limit the derivative is zero while the input pushes outwards, and the state
// leaves the limit as soon as the input turns back.
//
// Whether the state rests on a limit is decided at major steps and kept
// through the minor steps in between (a discrete state per element: -1 on
// the lower limit, +1 on the upper, 0 free). A derivative that switched off
// with the state itself inside a step would leave the integrator's implicit
// equations without a solution at the corner. Within a step a free state may
// thus run past a limit: the output is clipped at once, so it meets the limit
// exactly when the true solution does, and the next major step puts the
// state back on the limit and holds it there (a state and mode change the
// simulator takes over by restarting the integrator).
class IntegratorBlock final : public BuiltinBlock {
public:
    explicit IntegratorBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "integrator")
    {
        Settings s(spec);
        initial_ = s.vector("initial", 0.0);
        lower_ = s.limit("lower");
        upper_ = s.limit("upper");
        reset_ = s.flag("reset", false);
        const int w = s.width();
        for (auto* v : {&initial_, &lower_, &upper_}) *v = Settings::broadcast(*v, w);
        s.check_limits(lower_, upper_);
        for (int i = 0; i < w; ++i) {
            // A state pinned between equal limits is on both at once: every
            // derivative is "into" one of them, the state is clamped back at
            // each step and the step size collapses. A fixed value is a
            // constant source.
            if (lower_[i] == upper_[i])
                s.fail("lower", "equals upper (" + Settings::number_text(lower_[i]) +
                                    (w > 1 ? ", element " + std::to_string(i) : std::string()) +
                                    "): the state could not move; a fixed value is a constant source");
            if (initial_[i] < lower_[i] || initial_[i] > upper_[i])
                s.fail("initial", "lies outside lower..upper (" + Settings::number_text(initial_[i]) + ")");
        }
        add_input(w);
        if (reset_) add_input(w);
        add_output(w);
        x_ = initial_;
        dx_.assign(initial_.size(), 0.0);
        on_limit_.assign(initial_.size(), 0.0);
        reset_before_.assign(initial_.size(), 0.0);
    }

    std::span<double> cont_states() override { return x_; }
    std::span<double> derivatives_vector() override { return dx_; }
    std::span<double> disc_states() override { return on_limit_; }

    void start() override
    {
        x_ = initial_;
        std::fill(on_limit_.begin(), on_limit_.end(), 0.0);
        std::fill(reset_before_.begin(), reset_before_.end(), 0.0);
    }

    void outputs(double, bool) override
    {
        for (std::size_t i = 0; i < x_.size(); ++i) out(0)[i] = std::clamp(x_[i], lower_[i], upper_[i]);
    }

    void update(double) override
    {
        for (std::size_t i = 0; i < x_.size(); ++i) {
            if (reset_) {
                const double r = in(1, static_cast<int>(i));
                if (r > 0.0 && !(reset_before_[i] > 0.0)) x_[i] = initial_[i];
                reset_before_[i] = r;
            }
            x_[i] = std::clamp(x_[i], lower_[i], upper_[i]);
            on_limit_[i] = x_[i] >= upper_[i] ? 1.0 : x_[i] <= lower_[i] ? -1.0 : 0.0;
        }
    }

    void derivatives(double, bool) override
    {
        for (std::size_t i = 0; i < x_.size(); ++i) {
            const double u = in(0, static_cast<int>(i));
            const bool held = (on_limit_[i] > 0.0 && u > 0.0) || (on_limit_[i] < 0.0 && u < 0.0);
            dx_[i] = held ? 0.0 : u;
        }
    }

private:
    std::vector<double> initial_, lower_, upper_;
    bool reset_ = false;
    std::vector<double> x_, dx_;
    std::vector<double> on_limit_;      // -1 on the lower limit, +1 on the upper, 0 free
    std::vector<double> reset_before_;  // reset input at the previous major step
};

// First-order lag: tau dx/dt = gain u - x, y = x. A step of u gives
// y = gain u + (initial - gain u) exp(-t / tau).
class FirstOrderBlock final : public BuiltinBlock {
public:
    explicit FirstOrderBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "first_order")
    {
        Settings s(spec);
        tau_ = s.vector("tau");
        initial_ = s.vector("initial", 0.0);
        gain_ = s.vector("gain", 1.0);
        const int w = s.width();
        for (auto* v : {&tau_, &initial_, &gain_}) *v = Settings::broadcast(*v, w);
        for (int i = 0; i < w; ++i)
            if (!(tau_[i] > 0.0))
                s.fail("tau", "must be positive (is " + Settings::number_text(tau_[i]) + ")");
        add_input(w);
        add_output(w);
        x_ = initial_;
        dx_.assign(initial_.size(), 0.0);
    }

    std::span<double> cont_states() override { return x_; }
    std::span<double> derivatives_vector() override { return dx_; }

    void start() override { x_ = initial_; }
    void outputs(double, bool) override { std::copy(x_.begin(), x_.end(), out(0).begin()); }
    void derivatives(double, bool) override
    {
        for (std::size_t i = 0; i < x_.size(); ++i)
            dx_[i] = (gain_[i] * in(0, static_cast<int>(i)) - x_[i]) / tau_[i];
    }

private:
    std::vector<double> tau_, initial_, gain_;
    std::vector<double> x_, dx_;
};

}  // namespace

std::unique_ptr<SimBlock> make_integrator_block(const BlockSpec& spec)
{
    return std::make_unique<IntegratorBlock>(spec);
}

std::unique_ptr<SimBlock> make_first_order_block(const BlockSpec& spec)
{
    return std::make_unique<FirstOrderBlock>(spec);
}

}  // namespace cyclesim
