// Small helpers around SUNDIALS shared by the integrator and the loop solver
// (internal to the engine: public headers never include SUNDIALS).
#pragma once

#include <string>

#include <sundials/sundials_context.h>

namespace cyclesim {

class SundialsContext {
public:
    SundialsContext();
    ~SundialsContext();
    SundialsContext(const SundialsContext&) = delete;
    SundialsContext& operator=(const SundialsContext&) = delete;
    SUNContext get() const { return ctx_; }

private:
    SUNContext ctx_ = nullptr;
};

// Throws SimulationError("<what> failed (<flag>)") when a setup call fails.
void check_sundials(int flag, const char* what);

}  // namespace cyclesim
