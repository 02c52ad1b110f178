#include "sundials_context.h"

#include "errors.h"

#include <cvode/cvode.h>
#include <kinsol/kinsol.h>
#include <sundials/sundials_config.h>

#include <strings.h>

namespace cyclesim {

namespace {

std::string describe(const char* function, const char* message, const char* fallback)
{
    return std::string(function ? function : fallback) + ": " + (message ? message : "");
}

#if SUNDIALS_VERSION_MAJOR >= 7

// One handler for every solver of the context; warnings do not come here.
void context_error_handler(int, const char* function, const char*, const char* message, SUNErrCode, void* user,
                           SUNContext)
{
    static_cast<SundialsContext*>(user)->route(function, message);
}

#else

// Per-solver handlers of SUNDIALS 6; positive codes are warnings.
void cvode_error_handler(int code, const char*, const char* function, char* message, void* sink)
{
    if (code > 0) return;
    *static_cast<std::string*>(sink) = describe(function, message, "CVODE");
}

void kinsol_error_handler(int code, const char*, const char* function, char* message, void* sink)
{
    if (code > 0) return;
    *static_cast<std::string*>(sink) = describe(function, message, "KINSOL");
}

#endif

}  // namespace

SundialsContext::SundialsContext()
{
#if SUNDIALS_VERSION_MAJOR >= 7
    if (SUNContext_Create(SUN_COMM_NULL, &ctx_) != 0 || !ctx_) throw SimulationError("cannot create the SUNDIALS context");
    // Our handler instead of the default one, which prints to standard error.
    if (SUNContext_ClearErrHandlers(ctx_) != 0 || SUNContext_PushErrHandler(ctx_, context_error_handler, this) != 0) {
        SUNContext_Free(&ctx_);
        throw SimulationError("cannot install the SUNDIALS error handler");
    }
#else
    if (SUNContext_Create(nullptr, &ctx_) != 0 || !ctx_) throw SimulationError("cannot create the SUNDIALS context");
#endif
}

SundialsContext::~SundialsContext()
{
    if (ctx_) SUNContext_Free(&ctx_);
}

void SundialsContext::capture_cvode_errors(void* cvode_mem, std::string* sink)
{
#if SUNDIALS_VERSION_MAJOR >= 7
    (void)cvode_mem;
    cvode_sink_ = sink;
#else
    check_sundials(CVodeSetErrHandlerFn(cvode_mem, cvode_error_handler, sink), "CVodeSetErrHandlerFn");
#endif
}

void SundialsContext::capture_kinsol_errors(void* kinsol_mem, std::string* sink)
{
#if SUNDIALS_VERSION_MAJOR >= 7
    (void)kinsol_mem;
    kinsol_sink_ = sink;
#else
    check_sundials(KINSetErrHandlerFn(kinsol_mem, kinsol_error_handler, sink), "KINSetErrHandlerFn");
#endif
}

void SundialsContext::release(const std::string* sink)
{
    if (cvode_sink_ == sink) cvode_sink_ = nullptr;
    if (kinsol_sink_ == sink) kinsol_sink_ = nullptr;
}

void SundialsContext::route(const char* function, const char* message)
{
    // KINSOL's functions are named KIN... or kin...; everything else here is CVODE.
    const bool kinsol = function && strncasecmp(function, "kin", 3) == 0;
    std::string* sink = kinsol ? kinsol_sink_ : cvode_sink_;
    if (sink) *sink = describe(function, message, kinsol ? "KINSOL" : "CVODE");
}

void check_sundials(int flag, const char* what)
{
    if (flag < 0) throw SimulationError(std::string(what) + " failed (flag " + std::to_string(flag) + ")");
}

}  // namespace cyclesim
