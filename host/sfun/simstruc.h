/*
 * The S-function interface seen by a Level-2 C S-function.
 *
 * A SimStruct holds what the host owns for one block instance: the dialog
 * parameters, port widths and signals, continuous and discrete states, the
 * derivative vector, the real work vector, sample times, the option word, the
 * error status and the simulation time. Blocks reach it only through the ss...
 * macros below, whose meanings are those of the block-diagram host the blocks
 * were written for; the same block sources therefore compile against either.
 *
 * Sizes are registered in mdlInitializeSizes; the host allocates the vectors
 * afterwards (sfun_allocate). Input ports hold one pointer per element, which
 * the host points at the output elements wired to them.
 */
#ifndef CYCLESIM_SIMSTRUC_H
#define CYCLESIM_SIMSTRUC_H

#include "tmwtypes.h"
#include "mex.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Every source module of an S-function that reaches the SimStruct defines
 * S_FUNCTION_NAME and S_FUNCTION_LEVEL 2 before including this header; the
 * block-diagram host's own header depends on them. Block builds define
 * SFUN_REQUIRE_MODULE_DEFINES so that a module without them fails here as it
 * would there. The host's side of the interface includes this header without
 * them and gets Level 2.
 */
#if defined(SFUN_REQUIRE_MODULE_DEFINES) && (!defined(S_FUNCTION_NAME) || !defined(S_FUNCTION_LEVEL))
#error "define S_FUNCTION_NAME and S_FUNCTION_LEVEL 2 before including simstruc.h in every module that uses the SimStruct"
#endif
#ifndef S_FUNCTION_LEVEL
#define S_FUNCTION_LEVEL 2
#endif

typedef const real_T *const *InputRealPtrsType;
typedef InputRealPtrsType InputPtrsType;

#define SFUN_MAX_SAMPLE_TIMES 4

#define CONTINUOUS_SAMPLE_TIME 0.0
#define INHERITED_SAMPLE_TIME (-1.0)
#define FIXED_IN_MINOR_STEP_OFFSET 1.0
#define DYNAMICALLY_SIZED (-1)

/* Option bits, with the host's values. */
#define SS_OPTION_EXCEPTION_FREE_CODE 0x00000002u
#define SS_OPTION_RUNTIME_EXCEPTION_FREE_CODE 0x00000004u
#define SS_OPTION_DISALLOW_CONSTANT_SAMPLE_TIME 0x00000008u
/* Asks for mdlTerminate even when mdlStart did not complete (our own value;
 * blocks use the name only). */
#define SS_OPTION_CALL_TERMINATE_ON_EXIT 0x00100000u

#define UNUSED_ARG(arg) (void)(arg)

typedef struct SimStruct_tag SimStruct;

struct SimStruct_tag {
    const char *path;          /* block name in the model */
    const char *sfunctionName; /* S-function name */

    int_T numSFcnParamsDeclared; /* what the block declares */
    int_T numSFcnParamsGiven;    /* what the host holds */
    const mxArray *const *sfcnParams;

    int_T numInputPorts;
    int_T *inputWidths;
    int_T *inputDirectFeedThrough;
    const real_T ***inputSignalPtrs; /* [port][element] -> value */

    int_T numOutputPorts;
    int_T *outputWidths;
    real_T **outputSignals; /* [port] -> contiguous values */

    int_T numContStates;
    real_T *contStates;
    real_T *dX;

    int_T numDiscStates;
    real_T *discStates;

    int_T numRWork;
    real_T *rwork;
    int_T numIWork;
    int_T *iwork;
    int_T numPWork;
    void **pwork;

    int_T numSampleTimes; /* 0 unless the block sets it */
    real_T sampleTimes[SFUN_MAX_SAMPLE_TIMES];
    real_T offsetTimes[SFUN_MAX_SAMPLE_TIMES];
    boolean_T sampleTimeBeyondCount; /* a sample time was written at an index >= the count */
    int_T sampleTimeBeyondIndex;     /* the first such index */

    uint_T options;
    const char *errorStatus;
    time_T t;
    boolean_T majorTimeStep;
    boolean_T solverNeedsReset; /* set by the block after changing a continuous state */
    void *userData;
};

/* Runtime services behind the macros (libsfunrt). */
SFUN_RT_API boolean_T sfun_set_num_input_ports(SimStruct *S, int_T n);
SFUN_RT_API boolean_T sfun_set_num_output_ports(SimStruct *S, int_T n);
SFUN_RT_API boolean_T sfun_set_input_port_width(SimStruct *S, int_T port, int_T width);
SFUN_RT_API boolean_T sfun_set_input_port_direct_feedthrough(SimStruct *S, int_T port, int_T flag);
SFUN_RT_API boolean_T sfun_set_output_port_width(SimStruct *S, int_T port, int_T width);
SFUN_RT_API int_T sfun_get_input_port_width(const SimStruct *S, int_T port);
SFUN_RT_API int_T sfun_get_output_port_width(const SimStruct *S, int_T port);
SFUN_RT_API InputRealPtrsType sfun_get_input_port_real_signal_ptrs(const SimStruct *S, int_T port);
SFUN_RT_API real_T *sfun_get_output_port_real_signal(const SimStruct *S, int_T port);
SFUN_RT_API const mxArray *sfun_get_param(const SimStruct *S, int_T index);
SFUN_RT_API void sfun_set_sample_time(SimStruct *S, int_T index, real_T value);
SFUN_RT_API void sfun_set_offset_time(SimStruct *S, int_T index, real_T value);

/* Host side: allocate every vector from the registered sizes (zeroed; input
 * elements point at a shared zero until wired) and release them again. */
SFUN_RT_API int sfun_allocate(SimStruct *S);
SFUN_RT_API void sfun_release(SimStruct *S);

/* --- Sizes ------------------------------------------------------------- */
#define ssSetNumSFcnParams(S, n) ((S)->numSFcnParamsDeclared = (n))
#define ssGetNumSFcnParams(S) ((S)->numSFcnParamsDeclared)
#define ssGetSFcnParamsCount(S) ((S)->numSFcnParamsGiven)
#define ssGetSFcnParam(S, index) sfun_get_param((S), (index))
#define ssSetSFcnParamTunable(S, index, tunable) ((void)(S), (void)(index), (void)(tunable))

#define ssSetNumInputPorts(S, n) sfun_set_num_input_ports((S), (n))
#define ssGetNumInputPorts(S) ((S)->numInputPorts)
#define ssSetInputPortWidth(S, port, w) sfun_set_input_port_width((S), (port), (w))
#define ssGetInputPortWidth(S, port) sfun_get_input_port_width((S), (port))
#define ssSetInputPortDirectFeedThrough(S, port, f) sfun_set_input_port_direct_feedthrough((S), (port), (f))
#define ssGetInputPortDirectFeedThrough(S, port) ((S)->inputDirectFeedThrough[(port)])
#define ssSetInputPortRequiredContiguous(S, port, f) ((void)(S), (void)(port), (void)(f))

#define ssSetNumOutputPorts(S, n) sfun_set_num_output_ports((S), (n))
#define ssGetNumOutputPorts(S) ((S)->numOutputPorts)
#define ssSetOutputPortWidth(S, port, w) sfun_set_output_port_width((S), (port), (w))
#define ssGetOutputPortWidth(S, port) sfun_get_output_port_width((S), (port))

#define ssSetNumContStates(S, n) ((S)->numContStates = (n))
#define ssGetNumContStates(S) ((S)->numContStates)
#define ssSetNumDiscStates(S, n) ((S)->numDiscStates = (n))
#define ssGetNumDiscStates(S) ((S)->numDiscStates)
#define ssSetNumRWork(S, n) ((S)->numRWork = (n))
#define ssGetNumRWork(S) ((S)->numRWork)
#define ssSetNumIWork(S, n) ((S)->numIWork = (n))
#define ssGetNumIWork(S) ((S)->numIWork)
#define ssSetNumPWork(S, n) ((S)->numPWork = (n))
#define ssGetNumPWork(S) ((S)->numPWork)
#define ssSetNumModes(S, n) ((void)(S), (void)(n))
#define ssSetNumNonsampledZCs(S, n) ((void)(S), (void)(n))
#define ssSetNumSampleTimes(S, n) ((S)->numSampleTimes = (n))
#define ssGetNumSampleTimes(S) ((S)->numSampleTimes)
#define ssSetOptions(S, opts) ((S)->options = (uint_T)(opts))
#define ssGetOptions(S) ((S)->options)

/* --- Sample times -------------------------------------------------------- */
#define ssSetSampleTime(S, index, value) sfun_set_sample_time((S), (index), (value))
#define ssSetOffsetTime(S, index, value) sfun_set_offset_time((S), (index), (value))
#define ssGetSampleTime(S, index) ((S)->sampleTimes[(index)])
#define ssGetOffsetTime(S, index) ((S)->offsetTimes[(index)])

/* --- Signals, states, work ------------------------------------------------ */
#define ssGetInputPortRealSignalPtrs(S, port) sfun_get_input_port_real_signal_ptrs((S), (port))
#define ssGetInputPortSignalPtrs(S, port) sfun_get_input_port_real_signal_ptrs((S), (port))
#define ssGetOutputPortRealSignal(S, port) sfun_get_output_port_real_signal((S), (port))
#define ssGetOutputPortSignal(S, port) ((void *)sfun_get_output_port_real_signal((S), (port)))
#define ssGetContStates(S) ((S)->contStates)
#define ssGetdX(S) ((S)->dX)
#define ssGetRealDiscStates(S) ((S)->discStates)
#define ssGetDiscStates(S) ((S)->discStates)
#define ssGetRWork(S) ((S)->rwork)
#define ssGetIWork(S) ((S)->iwork)
#define ssGetPWork(S) ((S)->pwork)
#define ssGetUserData(S) ((S)->userData)
#define ssSetUserData(S, p) ((S)->userData = (p))

/* --- Status, time ----------------------------------------------------- */
/* The message must stay valid after the callback returns (static storage);
 * the host copies it at once. */
#define ssSetErrorStatus(S, msg) ((S)->errorStatus = (msg))
#define ssGetErrorStatus(S) ((S)->errorStatus)
#define ssGetT(S) ((S)->t)
#define ssIsMajorTimeStep(S) ((S)->majorTimeStep != 0)
#define ssIsMinorTimeStep(S) ((S)->majorTimeStep == 0)
#define ssSetSolverNeedsReset(S) ((S)->solverNeedsReset = 1)
#define ssGetPath(S) ((S)->path)
#define ssGetModelName(S) ((S)->sfunctionName)
#define ssPrintf mexPrintf
#define ssWarning(S, msg) mexPrintf("Warning: %s: %s\n", (S)->path, (msg))

#ifdef __cplusplus
}
#endif

#endif
