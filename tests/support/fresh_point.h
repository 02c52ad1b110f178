// A value that differs in the last digits at every call, for benchmarks of
// one block call at a fixed operating point.
//
// The property library keeps the answers of its recent questions, so a block
// called again and again at exactly the same inputs would be answered from
// that table after its first call, which no simulation step sees: there the
// states and inputs move at every call. Scaling one input or state by
// 1 + k 1e-10, k cycling over 8192 values (more than the library keeps),
// makes every question new while the point stays the same to 1e-6.
#pragma once

namespace testsupport {

class FreshPoint {
public:
    explicit FreshPoint(double base) : base_(base) {}
    double next() {
        k_ = (k_ + 1) % 8192;
        return base_ * (1.0 + 1e-10 * k_);
    }

private:
    double base_;
    int k_ = 0;
};

}  // namespace testsupport
