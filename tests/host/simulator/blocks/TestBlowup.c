/*
 * TestBlowup: dx/dt = log(T - t), finite before T and not a number after it.
 *
 * Output 0 (1): x. No inputs. Parameter 0: T [s].
 */
#define S_FUNCTION_NAME TestBlowup
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"

#include <math.h>

static void mdlInitializeSizes(SimStruct *S)
{
    ssSetNumSFcnParams(S, 1);
    if (ssGetNumSFcnParams(S) != ssGetSFcnParamsCount(S)) return;
    if (!ssSetNumInputPorts(S, 0)) return;
    if (!ssSetNumOutputPorts(S, 1)) return;
    ssSetOutputPortWidth(S, 0, 1);
    ssSetNumContStates(S, 1);
    ssSetOptions(S, 2);
    ssSetNumSampleTimes(S, 1);
}

static void mdlInitializeSampleTimes(SimStruct *S)
{
    ssSetSampleTime(S, 0, 0.0);
    ssSetOffsetTime(S, 0, 0.0);
}

static void mdlOutputs(SimStruct *S, int_T tid)
{
    UNUSED_ARG(tid);
    ssGetOutputPortRealSignal(S, 0)[0] = ssGetContStates(S)[0];
}

#define MDL_DERIVATIVES
#if defined(MDL_DERIVATIVES)
static void mdlDerivatives(SimStruct *S)
{
    ssGetdX(S)[0] = log(mxGetScalar(ssGetSFcnParam(S, 0)) - ssGetT(S));
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
