// The FMI 2.0 co-simulation entry points over one Instance.
//
// One instance per process: the blocks keep their parameters in globals of
// their plug-ins, and the host's services the blocks rely on (the working
// directory they bind the property library from, the console their prints
// go to) are the process's. A second instance while one lives is refused
// with a message; after fmi2FreeInstance a new one may be made.
//
// No exception leaves these functions: every failure is an fmi2Error (or
// fmi2Fatal where nothing can go on) with its message sent to the logger.
#include "fmi2_functions.h"
#include "fmu_instance.h"

#include <atomic>
#include <cctype>
#include <cstring>
#include <new>
#include <string>

namespace {

using cyclesim::fmu::Instance;

std::atomic<bool> g_instance_alive{false};

// The folder a resource location names: a file URI (file:///dir,
// file://localhost/dir, file:/dir), percent-escapes decoded; a plain path
// as it is.
std::string resource_folder(const char* location)
{
    std::string s = location ? location : "";
    if (s.rfind("file://localhost/", 0) == 0)
        s = s.substr(16);
    else if (s.rfind("file:///", 0) == 0)
        s = s.substr(7);
    else if (s.rfind("file:/", 0) == 0)
        s = s.substr(5);
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

Instance* instance_of(fmi2Component c) { return static_cast<Instance*>(c); }

// Runs `work` on the instance, any exception turned into fmi2Error.
template <class Work>
fmi2Status guarded(fmi2Component c, const char* function, Work&& work)
{
    Instance* instance = instance_of(c);
    if (!instance) return fmi2Error;
    try {
        return work(*instance);
    } catch (const std::bad_alloc&) {
        instance->log(fmi2Fatal, "logStatusFatal", std::string(function) + ": out of memory");
        return fmi2Fatal;
    } catch (const std::exception& e) {
        instance->log(fmi2Error, "logStatusError", std::string(function) + ": " + e.what());
        return fmi2Error;
    } catch (...) {
        instance->log(fmi2Error, "logStatusError", std::string(function) + ": unexpected failure");
        return fmi2Error;
    }
}

fmi2Status unsupported(fmi2Component c, const char* function)
{
    return guarded(c, function, [&](Instance& in) {
        in.log(fmi2Error, "logStatusError",
               std::string(function) + " is not supported by this FMU (see its capability flags)");
        return fmi2Error;
    });
}

void log_without_instance(const fmi2CallbackFunctions* functions, fmi2String name, const std::string& text)
{
    if (functions && functions->logger)
        functions->logger(functions->componentEnvironment, name ? name : "", fmi2Error, "logStatusError", "%s",
                          text.c_str());
}

}  // namespace

extern "C" {

const char* fmi2GetTypesPlatform(void) { return "default"; }
const char* fmi2GetVersion(void) { return "2.0"; }

fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean loggingOn, size_t, const fmi2String[])
{
    return guarded(c, "fmi2SetDebugLogging", [&](Instance& in) {
        in.set_logging(loggingOn != fmi2False);
        return fmi2OK;
    });
}

fmi2Component fmi2Instantiate(fmi2String instanceName, fmi2Type fmuType, fmi2String fmuGUID,
                              fmi2String fmuResourceLocation, const fmi2CallbackFunctions* functions, fmi2Boolean,
                              fmi2Boolean loggingOn)
{
    if (!functions) return nullptr;
    if (fmuType != fmi2CoSimulation) {
        log_without_instance(functions, instanceName, "this FMU is for co-simulation only");
        return nullptr;
    }
    bool expected = false;
    if (!g_instance_alive.compare_exchange_strong(expected, true)) {
        log_without_instance(functions, instanceName,
                             "a second instance in one process is refused (canBeInstantiatedOnlyOncePerProcess): "
                             "the blocks keep their parameters in globals shared by every instance; free the "
                             "first instance, or run the second in another process");
        return nullptr;
    }
    try {
        return new Instance(instanceName ? instanceName : "", resource_folder(fmuResourceLocation),
                            fmuGUID ? fmuGUID : "", *functions, loggingOn != fmi2False);
    } catch (const std::exception& e) {
        log_without_instance(functions, instanceName, std::string("fmi2Instantiate: ") + e.what());
    } catch (...) {
        log_without_instance(functions, instanceName, "fmi2Instantiate: unexpected failure");
    }
    g_instance_alive = false;
    return nullptr;
}

void fmi2FreeInstance(fmi2Component c)
{
    if (!c) return;
    try {
        delete instance_of(c);
    } catch (...) {
    }
    g_instance_alive = false;
}

fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean toleranceDefined, fmi2Real tolerance,
                               fmi2Real startTime, fmi2Boolean stopTimeDefined, fmi2Real stopTime)
{
    return guarded(c, "fmi2SetupExperiment", [&](Instance& in) {
        return in.setup_experiment(toleranceDefined != fmi2False, tolerance, startTime, stopTimeDefined != fmi2False,
                                   stopTime);
    });
}

fmi2Status fmi2EnterInitializationMode(fmi2Component c)
{
    return guarded(c, "fmi2EnterInitializationMode", [](Instance& in) { return in.enter_initialization(); });
}

fmi2Status fmi2ExitInitializationMode(fmi2Component c)
{
    return guarded(c, "fmi2ExitInitializationMode", [](Instance& in) { return in.exit_initialization(); });
}

fmi2Status fmi2Terminate(fmi2Component c)
{
    return guarded(c, "fmi2Terminate", [](Instance& in) { return in.terminate(); });
}

fmi2Status fmi2Reset(fmi2Component c)
{
    return guarded(c, "fmi2Reset", [](Instance& in) { return in.reset(); });
}

fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Real value[])
{
    return guarded(c, "fmi2GetReal", [&](Instance& in) { return in.get_real(vr, nvr, value); });
}

fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2Real value[])
{
    return guarded(c, "fmi2SetReal", [&](Instance& in) { return in.set_real(vr, nvr, value); });
}

// The model has Real variables only: an empty request is answered, any
// other is an error naming the reference.
fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Integer[])
{
    return nvr == 0 ? fmi2OK : unsupported(c, ("fmi2GetInteger (value reference " + std::to_string(vr ? vr[0] : 0) + " is not an Integer)").c_str());
}
fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Boolean[])
{
    return nvr == 0 ? fmi2OK : unsupported(c, ("fmi2GetBoolean (value reference " + std::to_string(vr ? vr[0] : 0) + " is not a Boolean)").c_str());
}
fmi2Status fmi2GetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2String[])
{
    return nvr == 0 ? fmi2OK : unsupported(c, ("fmi2GetString (value reference " + std::to_string(vr ? vr[0] : 0) + " is not a String)").c_str());
}
fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2Integer[])
{
    return nvr == 0 ? fmi2OK : unsupported(c, ("fmi2SetInteger (value reference " + std::to_string(vr ? vr[0] : 0) + " is not an Integer)").c_str());
}
fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2Boolean[])
{
    return nvr == 0 ? fmi2OK : unsupported(c, ("fmi2SetBoolean (value reference " + std::to_string(vr ? vr[0] : 0) + " is not a Boolean)").c_str());
}
fmi2Status fmi2SetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2String[])
{
    return nvr == 0 ? fmi2OK : unsupported(c, ("fmi2SetString (value reference " + std::to_string(vr ? vr[0] : 0) + " is not a String)").c_str());
}

fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate*) { return unsupported(c, "fmi2GetFMUstate"); }
fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate) { return unsupported(c, "fmi2SetFMUstate"); }
fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate*) { return unsupported(c, "fmi2FreeFMUstate"); }
fmi2Status fmi2SerializedFMUstateSize(fmi2Component c, fmi2FMUstate, size_t*)
{
    return unsupported(c, "fmi2SerializedFMUstateSize");
}
fmi2Status fmi2SerializeFMUstate(fmi2Component c, fmi2FMUstate, fmi2Byte[], size_t)
{
    return unsupported(c, "fmi2SerializeFMUstate");
}
fmi2Status fmi2DeSerializeFMUstate(fmi2Component c, const fmi2Byte[], size_t, fmi2FMUstate*)
{
    return unsupported(c, "fmi2DeSerializeFMUstate");
}
fmi2Status fmi2GetDirectionalDerivative(fmi2Component c, const fmi2ValueReference[], size_t,
                                        const fmi2ValueReference[], size_t, const fmi2Real[], fmi2Real[])
{
    return unsupported(c, "fmi2GetDirectionalDerivative");
}
fmi2Status fmi2SetRealInputDerivatives(fmi2Component c, const fmi2ValueReference[], size_t, const fmi2Integer[],
                                       const fmi2Real[])
{
    return unsupported(c, "fmi2SetRealInputDerivatives");
}
fmi2Status fmi2GetRealOutputDerivatives(fmi2Component c, const fmi2ValueReference[], size_t, const fmi2Integer[],
                                        fmi2Real[])
{
    return unsupported(c, "fmi2GetRealOutputDerivatives");
}

fmi2Status fmi2DoStep(fmi2Component c, fmi2Real currentCommunicationPoint, fmi2Real communicationStepSize,
                      fmi2Boolean)
{
    return guarded(c, "fmi2DoStep",
                   [&](Instance& in) { return in.do_step(currentCommunicationPoint, communicationStepSize); });
}

fmi2Status fmi2CancelStep(fmi2Component c) { return unsupported(c, "fmi2CancelStep (doStep is synchronous)"); }

fmi2Status fmi2GetStatus(fmi2Component c, const fmi2StatusKind s, fmi2Status* value)
{
    return guarded(c, "fmi2GetStatus", [&](Instance& in) {
        if (s != fmi2DoStepStatus || !value) {
            in.log(fmi2Error, "logStatusError", "fmi2GetStatus answers fmi2DoStepStatus only");
            return fmi2Error;
        }
        *value = fmi2OK;  // doStep is synchronous: nothing is ever pending
        return fmi2OK;
    });
}

fmi2Status fmi2GetRealStatus(fmi2Component c, const fmi2StatusKind s, fmi2Real* value)
{
    return guarded(c, "fmi2GetRealStatus", [&](Instance& in) {
        if (s != fmi2LastSuccessfulTime || !value) {
            in.log(fmi2Error, "logStatusError", "fmi2GetRealStatus answers fmi2LastSuccessfulTime only");
            return fmi2Error;
        }
        *value = in.time();
        return fmi2OK;
    });
}

fmi2Status fmi2GetIntegerStatus(fmi2Component c, const fmi2StatusKind, fmi2Integer*)
{
    return unsupported(c, "fmi2GetIntegerStatus");
}

fmi2Status fmi2GetBooleanStatus(fmi2Component c, const fmi2StatusKind s, fmi2Boolean* value)
{
    return guarded(c, "fmi2GetBooleanStatus", [&](Instance& in) {
        if (s != fmi2Terminated || !value) {
            in.log(fmi2Error, "logStatusError", "fmi2GetBooleanStatus answers fmi2Terminated only");
            return fmi2Error;
        }
        *value = in.tripped() ? fmi2True : fmi2False;  // a protection ended the run
        return fmi2OK;
    });
}

fmi2Status fmi2GetStringStatus(fmi2Component c, const fmi2StatusKind, fmi2String*)
{
    return unsupported(c, "fmi2GetStringStatus");
}

}  // extern "C"
