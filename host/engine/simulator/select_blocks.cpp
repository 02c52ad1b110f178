// Selection of the least or the greatest of several signals, element by
// element: the selectors of override control (the lower of two controller
// demands reaches the actuator, so that a protection loop takes over from
// the main loop when it asks for less).
//
// Inputs: "inputs" ports (default 2) of equal width. Outputs: port 0 the
// selected value, port 1 the number of the port it came from (0-based; on a
// tie the lowest port), so that a log shows which loop is in command.
#include "builtin_block_base.h"
#include "control_blocks.h"

namespace cyclesim {

namespace {

class SelectBlock final : public BuiltinBlock {
public:
    SelectBlock(const BlockSpec& spec, bool greatest) : BuiltinBlock(spec.name, greatest ? "max" : "min"), greatest_(greatest)
    {
        Settings s(spec);
        int ports = 2;
        if (s.has("inputs")) {
            const auto& j = s.value("inputs");
            if (!j.is_number_integer() || j.get<long long>() < 2 || j.get<long long>() > 64)
                s.fail("inputs", "expected a whole number of input ports, 2 to 64");
            ports = j.get<int>();
        }
        width_ = s.width();
        for (int p = 0; p < ports; ++p) add_input(width_);
        add_output(width_);
        add_output(width_);
        feedthrough_ = true;
    }

    void outputs(double, bool) override
    {
        for (int e = 0; e < width_; ++e) {
            int chosen = 0;
            for (int p = 1; p < num_inputs(); ++p) {
                const double v = in(p, e), best = in(chosen, e);
                if (greatest_ ? v > best : v < best) chosen = p;
            }
            out(0)[e] = in(chosen, e);
            out(1)[e] = chosen;
        }
    }

private:
    bool greatest_;
    int width_ = 1;
};

}  // namespace

std::unique_ptr<SimBlock> make_min_block(const BlockSpec& spec) { return std::make_unique<SelectBlock>(spec, false); }
std::unique_ptr<SimBlock> make_max_block(const BlockSpec& spec) { return std::make_unique<SelectBlock>(spec, true); }

}  // namespace cyclesim
