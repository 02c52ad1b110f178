/*
 * TestStiff: a stiff linear system with a known solution.
 *
 *   dx0/dt = -lambda x0 + (lambda - 1) x1,   x0(0) = 2
 *   dx1/dt = -x1,                            x1(0) = 1
 *
 * gives x1 = exp(-t) and x0 = exp(-t) + exp(-lambda t): a fast mode that dies
 * at once and a slow one that sets the step size of a stiff solver.
 *
 * Output 0 (2): x0, x1. No inputs. Parameter 0: lambda [1/s].
 */
#define S_FUNCTION_NAME TestStiff
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"

static void mdlInitializeSizes(SimStruct *S)
{
    ssSetNumSFcnParams(S, 1);
    if (ssGetNumSFcnParams(S) != ssGetSFcnParamsCount(S)) return;
    if (!ssSetNumInputPorts(S, 0)) return;
    if (!ssSetNumOutputPorts(S, 1)) return;
    ssSetOutputPortWidth(S, 0, 2);
    ssSetNumContStates(S, 2);
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
    ssGetContStates(S)[0] = 2.0;
    ssGetContStates(S)[1] = 1.0;
}
#endif

static void mdlOutputs(SimStruct *S, int_T tid)
{
    UNUSED_ARG(tid);
    ssGetOutputPortRealSignal(S, 0)[0] = ssGetContStates(S)[0];
    ssGetOutputPortRealSignal(S, 0)[1] = ssGetContStates(S)[1];
}

#define MDL_DERIVATIVES
#if defined(MDL_DERIVATIVES)
static void mdlDerivatives(SimStruct *S)
{
    const real_T lambda = mxGetScalar(ssGetSFcnParam(S, 0));
    const real_T *x = ssGetContStates(S);
    ssGetdX(S)[0] = -lambda * x[0] + (lambda - 1.0) * x[1];
    ssGetdX(S)[1] = -x[1];
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
