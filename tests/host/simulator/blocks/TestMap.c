/*
 * TestMap: a static direct-feedthrough map for algebraic loops,
 *
 *   y = c0 + c1 u + c2 u^2 + s sqrt(u) + k cos(u)
 *
 * Input 0 (1): u (direct feedthrough). Output 0 (1): y.
 * Parameter 0: record with any of the numeric fields c0, c1, c2, s, k
 *   (missing ones are 0) and optionally fail_above: an input above it sets an
 *   error status.
 */
#define S_FUNCTION_NAME TestMap
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"

#include <math.h>

static const char *const fields[] = {"c0", "c1", "c2", "s", "k", "fail_above"};

static real_T field(SimStruct *S, const char *name)
{
    const double *p = mxGetPr(mxGetField(ssGetSFcnParam(S, 0), 0, name));
    return p ? *p : 0.0;
}

#define MDL_CHECK_PARAMETERS
#if defined(MDL_CHECK_PARAMETERS) && defined(MATLAB_MEX_FILE)
static void mdlCheckParameters(SimStruct *S)
{
    const mxArray *p = ssGetSFcnParam(S, 0);
    if (!mxIsStruct(p)) {
        ssSetErrorStatus(S, "parameter 1 must be a record of coefficients");
        return;
    }
    for (unsigned i = 0; i < sizeof fields / sizeof fields[0]; ++i) {
        const mxArray *f = mxGetField(p, 0, fields[i]);
        if (f && !mxGetPr(f)) {
            ssSetErrorStatus(S, "parameter 1: a coefficient field is not a number");
            return;
        }
    }
}
#endif

static void mdlInitializeSizes(SimStruct *S)
{
    ssSetNumSFcnParams(S, 1);
    if (ssGetNumSFcnParams(S) != ssGetSFcnParamsCount(S)) return;
#if defined(MATLAB_MEX_FILE)
    mdlCheckParameters(S);
    if (ssGetErrorStatus(S) != NULL) return;
#endif
    if (!ssSetNumInputPorts(S, 1)) return;
    ssSetInputPortWidth(S, 0, 1);
    ssSetInputPortDirectFeedThrough(S, 0, 1);
    if (!ssSetNumOutputPorts(S, 1)) return;
    ssSetOutputPortWidth(S, 0, 1);
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
    const real_T u = *ssGetInputPortRealSignalPtrs(S, 0)[0];
    UNUSED_ARG(tid);
    if (mxGetField(ssGetSFcnParam(S, 0), 0, "fail_above") && u > field(S, "fail_above")) {
        ssSetErrorStatus(S, "input above the limit fail_above");
        return;
    }
    {
        /* Terms with a zero coefficient are left out, so that sqrt of a
         * negative input only matters when s is given. */
        real_T y = field(S, "c0") + field(S, "c1") * u + field(S, "c2") * u * u;
        if (field(S, "s") != 0.0) y += field(S, "s") * sqrt(u);
        if (field(S, "k") != 0.0) y += field(S, "k") * cos(u);
        ssGetOutputPortRealSignal(S, 0)[0] = y;
    }
}

static void mdlTerminate(SimStruct *S)
{
    UNUSED_ARG(S);
}

#ifdef MATLAB_MEX_FILE
#include "simulink.c"
#else
#include "cg_sfun.h"
#endif
