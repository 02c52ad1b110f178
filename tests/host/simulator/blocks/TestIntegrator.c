/*
 * TestIntegrator: one continuous state with dx/dt = rate * x + u.
 *
 * Input 0 (1): u, not direct feedthrough
 * Output 0 (1): x
 * Parameters: 0 rate [1/s] (number); 1 initial value x(0) (number)
 * Prints one line at start and one at terminate, so that a host can show
 * where block output goes and that terminate ran.
 */
#define S_FUNCTION_NAME TestIntegrator
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"

static int is_number(const mxArray *p)
{
    return mxIsDouble(p) && mxGetNumberOfElements(p) == 1;
}

#define MDL_CHECK_PARAMETERS
#if defined(MDL_CHECK_PARAMETERS) && defined(MATLAB_MEX_FILE)
static void mdlCheckParameters(SimStruct *S)
{
    if (!is_number(ssGetSFcnParam(S, 0))) {
        ssSetErrorStatus(S, "parameter 1 (rate) must be a number");
        return;
    }
    if (!is_number(ssGetSFcnParam(S, 1))) ssSetErrorStatus(S, "parameter 2 (initial value) must be a number");
}
#endif

static void mdlInitializeSizes(SimStruct *S)
{
    ssSetNumSFcnParams(S, 2);
    if (ssGetNumSFcnParams(S) != ssGetSFcnParamsCount(S)) return;
#if defined(MATLAB_MEX_FILE)
    mdlCheckParameters(S);
    if (ssGetErrorStatus(S) != NULL) return;
#endif
    if (!ssSetNumInputPorts(S, 1)) return;
    ssSetInputPortWidth(S, 0, 1);
    ssSetInputPortDirectFeedThrough(S, 0, 0);
    if (!ssSetNumOutputPorts(S, 1)) return;
    ssSetOutputPortWidth(S, 0, 1);
    ssSetNumContStates(S, 1);
    ssSetNumDiscStates(S, 0);
    ssSetNumRWork(S, 0);
    ssSetOptions(S, 2);
    ssSetNumSampleTimes(S, 1);
}

static void mdlInitializeSampleTimes(SimStruct *S)
{
    ssSetSampleTime(S, 0, 0.0);
    ssSetOffsetTime(S, 0, 0.0);
}

#define MDL_START
#if defined(MDL_START)
static void mdlStart(SimStruct *S)
{
    mexPrintf("%s: started with rate %g\n", ssGetPath(S), mxGetScalar(ssGetSFcnParam(S, 0)));
}
#endif

#define MDL_INITIALIZE_CONDITIONS
#if defined(MDL_INITIALIZE_CONDITIONS)
static void mdlInitializeConditions(SimStruct *S)
{
    ssGetContStates(S)[0] = mxGetScalar(ssGetSFcnParam(S, 1));
}
#endif

static void mdlOutputs(SimStruct *S, int_T tid)
{
    UNUSED_ARG(tid);
    ssGetOutputPortRealSignal(S, 0)[0] = ssGetContStates(S)[0];
}

#define MDL_DERIVATIVES
#if defined(MDL_DERIVATIVES)
static void mdlDerivatives(SimStruct *S)
{
    InputRealPtrsType u = ssGetInputPortRealSignalPtrs(S, 0);
    ssGetdX(S)[0] = mxGetScalar(ssGetSFcnParam(S, 0)) * ssGetContStates(S)[0] + *u[0];
}
#endif

static void mdlTerminate(SimStruct *S)
{
    mexPrintf("%s: terminated\n", ssGetPath(S));
}

#ifdef MATLAB_MEX_FILE
#include "simulink.c"
#else
#include "cg_sfun.h"
#endif
