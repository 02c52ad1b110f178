// The SUNDIALS context shared by the integrator and the loop solvers, and the
// small helpers around it (internal to the simulator: public headers never
// include SUNDIALS).
//
// The solvers' error messages are kept instead of printed, so that a failure
// message can quote them. SUNDIALS 6 takes an error handler per solver
// (CVodeSetErrHandlerFn, KINSetErrHandlerFn); SUNDIALS 7 removed those and
// takes handlers on the context. Both hide behind capture_*_errors().
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

    // Keeps the error messages of a CVODE or KINSOL instance created in this
    // context in *sink ("function: message") instead of printing them.
    // SUNDIALS 7 reports through the context, for every solver at once: there
    // the messages of KINSOL go to the sink given last for KINSOL, the others
    // to the one given last for CVODE.
    void capture_cvode_errors(void* cvode_mem, std::string* sink);
    void capture_kinsol_errors(void* kinsol_mem, std::string* sink);
    // Stops writing to `sink` (before it is destroyed).
    void release(const std::string* sink);

    // Routes one message of SUNDIALS 7 (called from the context's handler).
    void route(const char* function, const char* message);

private:
    SUNContext ctx_ = nullptr;
    std::string* cvode_sink_ = nullptr;
    std::string* kinsol_sink_ = nullptr;
};

// Throws SimulationError("<what> failed (<flag>)") when a setup call fails.
void check_sundials(int flag, const char* what);

}  // namespace cyclesim
