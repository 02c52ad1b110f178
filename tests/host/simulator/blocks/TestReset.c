/*
 * TestReset: a sawtooth. One state rising at rate 1; the update callback sets
 * it back to 0 once it has reached the threshold, so the host must restart
 * its integrator from the changed state.
 *
 * Output 0 (2): x, number of resets so far.
 * Parameters: 0 threshold; 1 vandal flag: when non-zero, the output callback
 *   overwrites the state with 1e6 in every minor step (a host must not let a
 *   minor-step change persist).
 * RWork 0: number of resets.
 */
#define S_FUNCTION_NAME TestReset
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"

static void mdlInitializeSizes(SimStruct *S)
{
    ssSetNumSFcnParams(S, 2);
    if (ssGetNumSFcnParams(S) != ssGetSFcnParamsCount(S)) return;
    if (!ssSetNumInputPorts(S, 0)) return;
    if (!ssSetNumOutputPorts(S, 1)) return;
    ssSetOutputPortWidth(S, 0, 2);
    ssSetNumContStates(S, 1);
    ssSetNumRWork(S, 1);
    ssSetOptions(S, 2);
    ssSetNumSampleTimes(S, 1);
}

static void mdlInitializeSampleTimes(SimStruct *S)
{
    ssSetSampleTime(S, 0, 0.0);
    ssSetOffsetTime(S, 0, 0.0);
}

#define MDL_INITIALIZE_CONDITIONS
#if defined(MDL_INITIALIZE_CONDITIONS)
static void mdlInitializeConditions(SimStruct *S)
{
    ssGetContStates(S)[0] = 0.0;
    ssGetRWork(S)[0] = 0.0;
}
#endif

static void mdlOutputs(SimStruct *S, int_T tid)
{
    UNUSED_ARG(tid);
    real_T *y = ssGetOutputPortRealSignal(S, 0);
    y[0] = ssGetContStates(S)[0];
    y[1] = ssGetRWork(S)[0];
    if (!ssIsMajorTimeStep(S) && mxGetScalar(ssGetSFcnParam(S, 1)) != 0.0) ssGetContStates(S)[0] = 1e6;
}

#define MDL_UPDATE
#if defined(MDL_UPDATE)
static void mdlUpdate(SimStruct *S, int_T tid)
{
    UNUSED_ARG(tid);
    if (ssGetContStates(S)[0] >= mxGetScalar(ssGetSFcnParam(S, 0))) {
        ssGetContStates(S)[0] = 0.0;
        ssGetRWork(S)[0] += 1.0;
        ssSetSolverNeedsReset(S);
    }
}
#endif

#define MDL_DERIVATIVES
#if defined(MDL_DERIVATIVES)
static void mdlDerivatives(SimStruct *S)
{
    ssGetdX(S)[0] = 1.0;
}
#endif

static void mdlTerminate(SimStruct *S)
{
    UNUSED_ARG(S);
}

#ifdef MATLAB_MEX_FILE
#include "simulink.c"
#else
#include "cg_sfun.h"
#endif
