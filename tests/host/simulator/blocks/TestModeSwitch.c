/*
 * TestModeSwitch: a tank filled at rate 1 until its level reaches the
 * threshold, then drained at rate 1. The mode lives in IWork, not in a state:
 * the update callback switches it and asks for a solver reset without
 * changing any state, so only the request tells the host that the derivative
 * has jumped.
 *
 * Output 0 (2): level x, mode (0 filling, 1 draining).
 * Parameter 0: threshold.
 */
#define S_FUNCTION_NAME TestModeSwitch
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"

static void mdlInitializeSizes(SimStruct *S)
{
    ssSetNumSFcnParams(S, 1);
    if (ssGetNumSFcnParams(S) != ssGetSFcnParamsCount(S)) return;
    if (!ssSetNumInputPorts(S, 0)) return;
    if (!ssSetNumOutputPorts(S, 1)) return;
    ssSetOutputPortWidth(S, 0, 2);
    ssSetNumContStates(S, 1);
    ssSetNumIWork(S, 1);
    ssSetOptions(S, SS_OPTION_EXCEPTION_FREE_CODE);
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
    ssGetIWork(S)[0] = 0;
}
#endif

static void mdlOutputs(SimStruct *S, int_T tid)
{
    UNUSED_ARG(tid);
    real_T *y = ssGetOutputPortRealSignal(S, 0);
    y[0] = ssGetContStates(S)[0];
    y[1] = ssGetIWork(S)[0];
}

#define MDL_UPDATE
#if defined(MDL_UPDATE)
static void mdlUpdate(SimStruct *S, int_T tid)
{
    UNUSED_ARG(tid);
    if (ssGetIWork(S)[0] == 0 && ssGetContStates(S)[0] >= mxGetScalar(ssGetSFcnParam(S, 0))) {
        ssGetIWork(S)[0] = 1;
        ssSetSolverNeedsReset(S);
    }
}
#endif

#define MDL_DERIVATIVES
#if defined(MDL_DERIVATIVES)
static void mdlDerivatives(SimStruct *S)
{
    ssGetdX(S)[0] = ssGetIWork(S)[0] ? -1.0 : 1.0;
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
