// A protection device: it watches one signal and stops the run, tripped,
// when the signal has stayed beyond a limit for a delay, as a unit's
// pressure switches and freeze thermostats do.
//
//   limit       the trip value, in the signal's unit
//   direction   "above" (default: a high-pressure cut-out) or "below" (a
//               low-pressure cut-out, a freeze protection)
//   delay       seconds the signal must stay beyond the limit before the
//               trip (default 0): a real switch ignores short excursions
//   after       the protection is armed from this time on (default: from
//               the start): low-pressure cut-outs are bridged during the
//               pull-down of a start
//   alarm       the alarm's text (default: the block's name)
//
// The condition is judged at the integrator's major steps, so the trip time
// is the first major step at which the delay has run out; the message gives
// both that time and when the signal crossed the limit. Output port 0 is 1
// while the signal is beyond the limit (the alarm pending), else 0.
#include "builtin_block_base.h"
#include "control_blocks.h"

#include <cmath>

namespace cyclesim {

namespace {

class TripBlock final : public BuiltinBlock {
public:
    explicit TripBlock(const BlockSpec& spec) : BuiltinBlock(spec.name, "trip")
    {
        Settings s(spec);
        limit_ = s.scalar("limit");
        above_ = s.choice("direction", {"above", "below"}) == std::string("above");
        delay_ = s.scalar("delay", 0.0);
        if (delay_ < 0.0) s.fail("delay", "must not be negative (is " + Settings::number_text(delay_) + ")");
        after_ = s.scalar("after", -INFINITY);
        alarm_ = spec.name;
        if (s.has("alarm")) {
            const auto& j = s.value("alarm");
            if (!j.is_string() || j.get<std::string>().empty() || j.get<std::string>().size() > 200)
                s.fail("alarm", "expected a text of 1 to 200 characters");
            alarm_ = j.get<std::string>();
        }
        signal_ = "the input of block '" + spec.name + "'";
        add_input(1);
        add_output(1);
        feedthrough_ = true;
    }

    void name_input(int, int, const std::string& signal) override { signal_ = signal; }

    void start() override { since_.reset(); }

    void outputs(double, bool) override { out(0)[0] = beyond(in(0, 0)) ? 1.0 : 0.0; }

    void update(double t) override
    {
        const double v = in(0, 0);
        if (t < after_ || !beyond(v)) {
            since_.reset();
            return;
        }
        if (!since_) since_ = t;
        if (t - *since_ < delay_) return;
        TripError::Trip trip{alarm_, name(), signal_, v, limit_, above_ ? "above" : "below", *since_, t};
        std::string message = alarm_ + ": " + signal_ + " = " + number_text(v) + " " + trip.direction +
                              " the limit " + number_text(limit_) + " since t = " + time_text(*since_);
        if (delay_ > 0.0) message += " (delay " + number_text(delay_) + " s)";
        message += "; block '" + name() + "' tripped at t = " + time_text(t);
        throw TripError(message, std::move(trip));
    }

private:
    bool beyond(double v) const { return above_ ? v >= limit_ : v <= limit_; }

    double limit_ = 0.0, delay_ = 0.0, after_ = -INFINITY;
    bool above_ = true;
    std::string alarm_, signal_;
    std::optional<double> since_;
};

}  // namespace

std::unique_ptr<SimBlock> make_trip_block(const BlockSpec& spec) { return std::make_unique<TripBlock>(spec); }

}  // namespace cyclesim
