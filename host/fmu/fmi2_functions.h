/* The FMI 2.0 co-simulation interface as this FMU implements it: the types
 * and the functions an importer looks up by name in the FMU's binary, with
 * the argument lists the standard's function list gives. Written for this
 * project; the FMU exports the functions under their plain names (no
 * prefix). */
#ifndef CYCLESIM_FMI2_FUNCTIONS_H
#define CYCLESIM_FMI2_FUNCTIONS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CYCLESIM_FMI2_EXPORT __attribute__((visibility("default")))

typedef void *fmi2Component;
typedef void *fmi2ComponentEnvironment;
typedef void *fmi2FMUstate;
typedef unsigned int fmi2ValueReference;
typedef double fmi2Real;
typedef int fmi2Integer;
typedef int fmi2Boolean;
typedef char fmi2Char;
typedef const fmi2Char *fmi2String;
typedef char fmi2Byte;

#define fmi2True 1
#define fmi2False 0

typedef enum { fmi2OK, fmi2Warning, fmi2Discard, fmi2Error, fmi2Fatal, fmi2Pending } fmi2Status;
typedef enum { fmi2ModelExchange, fmi2CoSimulation } fmi2Type;
typedef enum { fmi2DoStepStatus, fmi2PendingStatus, fmi2LastSuccessfulTime, fmi2Terminated } fmi2StatusKind;

/* The importer's services. The logger's message is a printf format. */
typedef void (*fmi2CallbackLogger)(fmi2ComponentEnvironment, fmi2String instanceName, fmi2Status status,
                                   fmi2String category, fmi2String message, ...);
typedef void *(*fmi2CallbackAllocateMemory)(size_t count, size_t size);
typedef void (*fmi2CallbackFreeMemory)(void *object);
typedef void (*fmi2StepFinished)(fmi2ComponentEnvironment, fmi2Status status);

typedef struct {
    fmi2CallbackLogger logger;
    fmi2CallbackAllocateMemory allocateMemory;
    fmi2CallbackFreeMemory freeMemory;
    fmi2StepFinished stepFinished;
    fmi2ComponentEnvironment componentEnvironment;
} fmi2CallbackFunctions;

/* Common to model exchange and co-simulation. */
CYCLESIM_FMI2_EXPORT const char *fmi2GetTypesPlatform(void);
CYCLESIM_FMI2_EXPORT const char *fmi2GetVersion(void);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean loggingOn, size_t nCategories,
                                                    const fmi2String categories[]);
CYCLESIM_FMI2_EXPORT fmi2Component fmi2Instantiate(fmi2String instanceName, fmi2Type fmuType, fmi2String fmuGUID,
                                                   fmi2String fmuResourceLocation,
                                                   const fmi2CallbackFunctions *functions, fmi2Boolean visible,
                                                   fmi2Boolean loggingOn);
CYCLESIM_FMI2_EXPORT void fmi2FreeInstance(fmi2Component c);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean toleranceDefined,
                                                    fmi2Real tolerance, fmi2Real startTime,
                                                    fmi2Boolean stopTimeDefined, fmi2Real stopTime);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2EnterInitializationMode(fmi2Component c);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2ExitInitializationMode(fmi2Component c);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2Terminate(fmi2Component c);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2Reset(fmi2Component c);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                            fmi2Real value[]);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                               fmi2Integer value[]);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                               fmi2Boolean value[]);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2GetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                              fmi2String value[]);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                            const fmi2Real value[]);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                               const fmi2Integer value[]);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                               const fmi2Boolean value[]);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2SetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                              const fmi2String value[]);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate *state);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate state);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate *state);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2SerializedFMUstateSize(fmi2Component c, fmi2FMUstate state, size_t *size);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2SerializeFMUstate(fmi2Component c, fmi2FMUstate state, fmi2Byte bytes[],
                                                      size_t size);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2DeSerializeFMUstate(fmi2Component c, const fmi2Byte bytes[], size_t size,
                                                        fmi2FMUstate *state);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2GetDirectionalDerivative(fmi2Component c, const fmi2ValueReference unknowns[],
                                                             size_t nUnknown, const fmi2ValueReference knowns[],
                                                             size_t nKnown, const fmi2Real dvKnown[],
                                                             fmi2Real dvUnknown[]);

/* Co-simulation. */
CYCLESIM_FMI2_EXPORT fmi2Status fmi2SetRealInputDerivatives(fmi2Component c, const fmi2ValueReference vr[],
                                                            size_t nvr, const fmi2Integer order[],
                                                            const fmi2Real value[]);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2GetRealOutputDerivatives(fmi2Component c, const fmi2ValueReference vr[],
                                                             size_t nvr, const fmi2Integer order[],
                                                             fmi2Real value[]);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2DoStep(fmi2Component c, fmi2Real currentCommunicationPoint,
                                           fmi2Real communicationStepSize,
                                           fmi2Boolean noSetFMUStatePriorToCurrentPoint);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2CancelStep(fmi2Component c);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2GetStatus(fmi2Component c, const fmi2StatusKind s, fmi2Status *value);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2GetRealStatus(fmi2Component c, const fmi2StatusKind s, fmi2Real *value);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2GetIntegerStatus(fmi2Component c, const fmi2StatusKind s, fmi2Integer *value);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2GetBooleanStatus(fmi2Component c, const fmi2StatusKind s, fmi2Boolean *value);
CYCLESIM_FMI2_EXPORT fmi2Status fmi2GetStringStatus(fmi2Component c, const fmi2StatusKind s, fmi2String *value);

#ifdef __cplusplus
}
#endif

#endif
