// Blocks that shape a signal on its way: saturation, rate limiter and 1-D
// lookup. All pass their input through at once (direct feedthrough).
#include "builtin_block_base.h"
#include "control_blocks.h"

#include <algorithm>

namespace cyclesim {

namespace {

using json = nlohmann::json;

class SaturationBlock final : public BuiltinBlock {
public:
    explicit SaturationBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "saturation")
    {
        Settings s(spec);
        if (!s.has("lower") && !s.has("upper")) s.fail("lower", "missing setting (give lower, upper or both)");
        lower_ = s.limit("lower");
        upper_ = s.limit("upper");
        const int w = s.width();
        lower_ = Settings::broadcast(lower_, w);
        upper_ = Settings::broadcast(upper_, w);
        s.check_limits(lower_, upper_);
        add_input(w);
        add_output(w);
        feedthrough_ = true;
    }
    void outputs(double, bool) override
    {
        for (std::size_t i = 0; i < lower_.size(); ++i)
            out(0)[i] = std::clamp(in(0, static_cast<int>(i)), lower_[i], upper_[i]);
    }

private:
    std::vector<double> lower_, upper_;
};

// The output follows the input but moves by at most `rising` per second
// upwards and `falling` per second downwards, counted from its value at the
// previous major step (kept like the memory block keeps its input). At the
// start it is `initial` when given, else the input.
class RateLimiterBlock final : public BuiltinBlock {
public:
    explicit RateLimiterBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "rate_limiter")
    {
        Settings s(spec);
        rising_ = s.vector("rising");
        falling_ = s.has("falling") ? s.vector("falling") : rising_;
        has_initial_ = s.has("initial");
        initial_ = s.vector("initial", 0.0);
        const int w = s.width();
        for (auto* v : {&rising_, &falling_, &initial_}) *v = Settings::broadcast(*v, w);
        for (int i = 0; i < w; ++i) {
            if (!(rising_[i] > 0.0)) s.fail("rising", "must be positive (is " + Settings::number_text(rising_[i]) + ")");
            if (!(falling_[i] > 0.0))
                s.fail("falling", "must be positive (is " + Settings::number_text(falling_[i]) + ")");
        }
        add_input(w);
        add_output(w);
        held_.assign(static_cast<std::size_t>(w), 0.0);
        feedthrough_ = true;
    }

    void start() override { started_ = false; }
    void set_steady_evaluation(bool on) override { steady_ = on; }

    void outputs(double t, bool) override
    {
        for (std::size_t i = 0; i < held_.size(); ++i) {
            const double u = in(0, static_cast<int>(i));
            if (steady_) {
                out(0)[i] = u;  // settled: the output has caught up with a constant input
            } else if (!started_) {
                out(0)[i] = has_initial_ ? initial_[i] : u;
            } else {
                const double dt = std::max(0.0, t - t_held_);
                out(0)[i] = std::clamp(u, held_[i] - falling_[i] * dt, held_[i] + rising_[i] * dt);
            }
        }
    }

    void update(double t) override
    {
        std::copy(out(0).begin(), out(0).end(), held_.begin());
        t_held_ = t;
        started_ = true;
    }

private:
    std::vector<double> rising_, falling_, initial_;
    bool has_initial_ = false;
    std::vector<double> held_;  // output at the previous major step
    double t_held_ = 0.0;
    bool started_ = false;
    bool steady_ = false;
};

// y(u) by linear interpolation in a table of strictly increasing x; beyond
// the ends the end values are held or the end segments extended.
class LookupBlock final : public BuiltinBlock {
public:
    explicit LookupBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "lookup")
    {
        Settings s(spec);
        x_ = table(s, "x");
        y_ = table(s, "y");
        if (x_.size() < 2) s.fail("x", "needs at least two points");
        if (y_.size() != x_.size())
            s.fail("y", "has " + std::to_string(y_.size()) + " values, x has " + std::to_string(x_.size()));
        for (std::size_t i = 1; i < x_.size(); ++i)
            if (!(x_[i] > x_[i - 1]))
                s.fail("x", "must increase strictly: x[" + std::to_string(i) + "] = " + Settings::number_text(x_[i]) +
                                " follows " + Settings::number_text(x_[i - 1]));
        extrapolate_ = s.choice("beyond", {"hold", "extrapolate"}) == "extrapolate";
        const int w = s.width();
        add_input(w);
        add_output(w);
        feedthrough_ = true;
    }

    void outputs(double, bool) override
    {
        for (std::size_t i = 0; i < out(0).size(); ++i) out(0)[i] = interpolate(in(0, static_cast<int>(i)));
    }

private:
    static std::vector<double> table(Settings& s, const std::string& key)
    {
        const json& j = s.value(key);
        if (!j.is_array()) s.fail(key, "expected an array of numbers");
        std::vector<double> v;
        for (const auto& e : j) {
            if (!e.is_number() || !std::isfinite(e.get<double>())) s.fail(key, "expected an array of finite numbers");
            v.push_back(e.get<double>());
        }
        return v;
    }

    double interpolate(double u) const
    {
        const std::size_t n = x_.size();
        if (!extrapolate_) {
            if (u <= x_.front()) return y_.front();
            if (u >= x_.back()) return y_.back();
        }
        // Segment [k-1, k]: the first x above u, kept inside the table so that
        // the end segments extend beyond it.
        std::size_t k = static_cast<std::size_t>(std::upper_bound(x_.begin(), x_.end(), u) - x_.begin());
        k = std::clamp<std::size_t>(k, 1, n - 1);
        const double f = (u - x_[k - 1]) / (x_[k] - x_[k - 1]);
        return y_[k - 1] + f * (y_[k] - y_[k - 1]);
    }

    std::vector<double> x_, y_;
    bool extrapolate_ = false;
};

}  // namespace

std::unique_ptr<SimBlock> make_saturation_block(const BlockSpec& spec)
{
    return std::make_unique<SaturationBlock>(spec);
}

std::unique_ptr<SimBlock> make_rate_limiter_block(const BlockSpec& spec)
{
    return std::make_unique<RateLimiterBlock>(spec);
}

std::unique_ptr<SimBlock> make_lookup_block(const BlockSpec& spec)
{
    return std::make_unique<LookupBlock>(spec);
}

}  // namespace cyclesim
