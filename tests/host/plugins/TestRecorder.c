/*
 * TestRecorder: a block that registers sizes taken from its dialog and
 * announces every callback on the console, so tests can check registration,
 * parameter access, the callback order and error reporting.
 *
 * Parameter 0: record with "inputs" (row vector of input widths), "outputs"
 *              (row vector of output widths), "states", "rwork" (numbers).
 * Parameter 1: text, copied into an 8-byte buffer; the copy's return code
 *              and length are published on output port 0, elements 0 and 1.
 * Output 0 element 2 = sum of every input element; a negative input element 0
 * sets the error status.
 * Optional fields of parameter 0, to break the interface's rules on purpose:
 *   "sample_times" count given to ssSetNumSampleTimes (default 1; -1 leaves
 *                  it unset) before index 0 is set;
 *   "fail_start"   non-zero: mdlStart sets the error status;
 *   "terminate_on_exit" non-zero: SS_OPTION_CALL_TERMINATE_ON_EXIT;
 *   "touch_state"  1: mdlOutputs adds 1 to state 0 at every call; 2: the same,
 *                  asking for a solver reset.
 */
#define S_FUNCTION_NAME TestRecorder
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"

#include <string.h>

static double field(SimStruct *S, const char *name, int i)
{
    const mxArray *f = mxGetField(ssGetSFcnParam(S, 0), 0, name);
    const double *p = mxGetPr(f);
    return (p && i < (int)mxGetNumberOfElements(f)) ? p[i] : 0.0;
}

static int count(SimStruct *S, const char *name)
{
    return (int)mxGetNumberOfElements(mxGetField(ssGetSFcnParam(S, 0), 0, name));
}

static double optional(SimStruct *S, const char *name, double otherwise)
{
    const mxArray *f = mxGetField(ssGetSFcnParam(S, 0), 0, name);
    return f && mxGetPr(f) && mxGetNumberOfElements(f) > 0 ? mxGetPr(f)[0] : otherwise;
}

#define MDL_CHECK_PARAMETERS
#if defined(MDL_CHECK_PARAMETERS) && defined(MATLAB_MEX_FILE)
static void mdlCheckParameters(SimStruct *S)
{
    mexPrintf("check;");
    if (!mxIsStruct(ssGetSFcnParam(S, 0))) ssSetErrorStatus(S, "parameter 1 must be a record");
}
#endif

static void mdlInitializeSizes(SimStruct *S)
{
    mexPrintf("sizes;");
    ssSetNumSFcnParams(S, 2);
    if (ssGetNumSFcnParams(S) != ssGetSFcnParamsCount(S)) return;
#if defined(MATLAB_MEX_FILE)
    mdlCheckParameters(S);
    if (ssGetErrorStatus(S) != NULL) return;
#endif
    if (!ssSetNumInputPorts(S, count(S, "inputs"))) return;
    for (int p = 0; p < count(S, "inputs"); ++p) {
        ssSetInputPortWidth(S, p, (int)field(S, "inputs", p));
        ssSetInputPortDirectFeedThrough(S, p, 1);
    }
    if (!ssSetNumOutputPorts(S, count(S, "outputs"))) return;
    for (int p = 0; p < count(S, "outputs"); ++p) ssSetOutputPortWidth(S, p, (int)field(S, "outputs", p));
    ssSetNumContStates(S, (int)field(S, "states", 0));
    ssSetNumDiscStates(S, 1);
    ssSetNumRWork(S, (int)field(S, "rwork", 0));
    ssSetOptions(S, optional(S, "terminate_on_exit", 0.0) != 0.0 ? 2u | SS_OPTION_CALL_TERMINATE_ON_EXIT : 2u);
    if (optional(S, "sample_times", 1.0) >= 0.0) ssSetNumSampleTimes(S, (int)optional(S, "sample_times", 1.0));
}

static void mdlInitializeSampleTimes(SimStruct *S)
{
    mexPrintf("sampletimes;");
    ssSetSampleTime(S, 0, 0.0);
    ssSetOffsetTime(S, 0, 0.0);
}

#define MDL_START
static void mdlStart(SimStruct *S)
{
    mexPrintf("start;");
    if (optional(S, "fail_start", 0.0) != 0.0) ssSetErrorStatus(S, "start refused");
}

#define MDL_INITIALIZE_CONDITIONS
static void mdlInitializeConditions(SimStruct *S)
{
    mexPrintf("initcond;");
    for (int i = 0; i < ssGetNumContStates(S); ++i) ssGetContStates(S)[i] = i + 1.0;
}

static void mdlOutputs(SimStruct *S, int_T tid)
{
    char buffer[8];
    double sum = 0.0;
    UNUSED_ARG(tid);
    mexPrintf("outputs;");
    int rc = mxGetString(ssGetSFcnParam(S, 1), buffer, sizeof buffer);
    for (int p = 0; p < ssGetNumInputPorts(S); ++p) {
        InputRealPtrsType u = ssGetInputPortRealSignalPtrs(S, p);
        for (int i = 0; i < ssGetInputPortWidth(S, p); ++i) sum += *u[i];
    }
    if (ssGetNumInputPorts(S) > 0 && ssGetInputPortWidth(S, 0) > 0 &&
        *ssGetInputPortRealSignalPtrs(S, 0)[0] < 0) {
        ssSetErrorStatus(S, "negative input");
        return;
    }
    if (ssGetNumOutputPorts(S) > 0 && ssGetOutputPortWidth(S, 0) >= 3) {
        real_T *y = ssGetOutputPortRealSignal(S, 0);
        y[0] = rc;
        y[1] = (double)strlen(buffer);
        y[2] = sum;
    }
    if (ssGetNumContStates(S) > 0 && optional(S, "touch_state", 0.0) != 0.0) {
        ssGetContStates(S)[0] += 1.0;
        if (optional(S, "touch_state", 0.0) == 2.0) ssSetSolverNeedsReset(S);
    }
}

#define MDL_DERIVATIVES
static void mdlDerivatives(SimStruct *S)
{
    mexPrintf("derivatives;");
    for (int i = 0; i < ssGetNumContStates(S); ++i) ssGetdX(S)[i] = -ssGetContStates(S)[i];
}

#define MDL_UPDATE
static void mdlUpdate(SimStruct *S, int_T tid)
{
    UNUSED_ARG(tid);
    mexPrintf("update;");
    ssGetRealDiscStates(S)[0] += 1.0;
}

static void mdlTerminate(SimStruct *S)
{
    UNUSED_ARG(S);
    mexPrintf("terminate;");
}

#ifdef MATLAB_MEX_FILE
#include "simulink.c"
#else
#include "cg_sfun.h"
#endif
