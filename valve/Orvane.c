/*
 * Orvane: electronic expansion valve.
 *
 * Static block: the refrigerant mass flow through the valve follows the
 * orifice relation m = C·A·sqrt(2·rho·dp), with the flow coefficient C_eev of
 * the dialog, the opening Av on the input, the pressure drop from the
 * condenser outlet to the evaporator and the density of the entering liquid.
 *
 * Input 0 (4): Av, pc_out [Pa], pe [Pa], h_c_out [J/kg]
 * Output 0 (1): refrigerant mass flow [kg/s]
 * Parameters: 0 record with field "C_eev"; 1 refrigerant name (text)
 */
#define S_FUNCTION_NAME Orvane
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"
#include "propiedades.h"
#include "parametros.h"
#include "errores.h"

#include <math.h>

static void *lib_handle = NULL;
/* Blocks of this type that have started and not yet terminated: they share
 * one binding, made by the first start and released by the last terminate. */
static int bloques_activos = 0;
static CPType PropsSI = NULL;

/* A flow coefficient that is no area factor is refused: a negative C_eev
 * would turn the flow around while the pressures still push it forwards. */
static const RangoDialogo rango_ceev[] = {{0, "C_eev", "flow coefficient", 0.0, 1, HUGE_VAL, 0}};

/* Refuses the dialog values that could not be read safely or lie outside
 * their domain. */
static int parametros_validos(SimStruct *S)
{
    return comprobar_rangos(S, rango_ceev, 1) && comprobar_texto(S, 1, "refrigerant name", CAPACIDAD_TEXTO);
}

/* Checked when the block is sized (below) and by the host whenever the dialog
 * values change; only a simulation checks them, so only a MEX build has it. */
#define MDL_CHECK_PARAMETERS
#if defined(MDL_CHECK_PARAMETERS) && defined(MATLAB_MEX_FILE)
static void mdlCheckParameters(SimStruct *S)
{
    parametros_validos(S);
}
#endif

static void mdlInitializeSizes(SimStruct *S)
{
    ssSetNumSFcnParams(S, 2);
    if (ssGetNumSFcnParams(S) != ssGetSFcnParamsCount(S)) {
        return; /* the host reports the mismatch */
    }
#if defined(MATLAB_MEX_FILE)
    mdlCheckParameters(S);
    if (ssGetErrorStatus(S) != NULL) return;
#endif

    if (!ssSetNumInputPorts(S, 1)) return;
    ssSetInputPortWidth(S, 0, 4);
    ssSetInputPortDirectFeedThrough(S, 0, 1);

    if (!ssSetNumOutputPorts(S, 1)) return;
    ssSetOutputPortWidth(S, 0, 1);

    ssSetNumContStates(S, 0);
    ssSetNumDiscStates(S, 0);
    ssSetNumRWork(S, 0);
    ssSetOptions(S, SS_OPTION_EXCEPTION_FREE_CODE);
    /* One sample time: mdlInitializeSampleTimes sets index 0, and an index
     * must be below this count (the default is none). */
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
    tomar_libreria_compartida(S, &lib_handle, &PropsSI, &bloques_activos);
}
#endif

static void mdlOutputs(SimStruct *S, int_T tid)
{
    const real_T *ceev;
    char refr[CAPACIDAD_TEXTO];
    real_T ro;
    InputRealPtrsType u = ssGetInputPortRealSignalPtrs(S, 0);
    real_T *y = ssGetOutputPortRealSignal(S, 0);
    UNUSED_ARG(tid);

    /* Parameters are read anew at every call, so a changed dialog value
     * takes effect at the next output. */
    if (!parametros_validos(S)) return;
    if (PropsSI == NULL) {
        fijar_error(S, "%s: the property library is not bound", ssGetPath(S));
        return;
    }
    ceev = mxGetPr(mxGetField(ssGetSFcnParam(S, 0), 0, "C_eev"));

    {
        const real_T Av = *u[0];
        const real_T pc_out = *u[1];
        const real_T pe = *u[2];
        const real_T h_c_out = *u[3];

        /* An opening below zero (a controller output without a limit) would
         * give a flow of the same size running backwards, which looks like
         * a result; the valve cannot open less than shut. */
        if (Av < 0.0) {
            fijar_error(S, "%s: the valve opening Av (input 0) is %g at t = %g; it cannot be negative", ssGetPath(S),
                        Av, ssGetT(S));
            return;
        }
        /* Nor more than fully open: as a fraction of the full stroke the
         * opening ends at 1, and read as an area it would be an orifice of
         * more than a square metre. A value above 1 is a unit slip (an
         * opening in percent) that would otherwise reach the loop solver as
         * a flow a hundred times too large. */
        if (Av > 1.0) {
            fijar_error(S, "%s: the valve opening Av (input 0) is %g at t = %g; it must lie in 0..1 (fully "
                           "open = 1, not 100)", ssGetPath(S), Av, ssGetT(S));
            return;
        }

        /* Absolute pressures: a negative one is no state at all, and at
         * the outlet it would only inflate the pressure difference. */
        if (pc_out < 0.0 || pe < 0.0) {
            fijar_error(S, "%s: the %s pressure %s (input %d) is %g Pa at t = %g; an absolute pressure cannot "
                           "be negative", ssGetPath(S), pe < 0.0 ? "outlet" : "inlet", pe < 0.0 ? "pe" : "pc_out",
                        pe < 0.0 ? 2 : 1, pe < 0.0 ? pe : pc_out, ssGetT(S));
            return;
        }

        mxGetString(ssGetSFcnParam(S, 1), refr, CAPACIDAD_TEXTO);

        /* Density of the liquid entering the valve. The library's error
         * value (HUGE_VAL: unknown refrigerant, state outside its range)
         * is no density; read as one it gives an infinite flow. */
        ro = PropsSI("D", "P", pc_out, "H", h_c_out, refr);
        if (!(isfinite(ro) && ro > 0.0)) {
            fijar_error(S, "%s: the property library gives no density of \"%s\" at the valve inlet "
                           "(pc_out = %g Pa, h_c_out = %g J/kg) at t = %g: unknown refrigerant or a state "
                           "outside its range", ssGetPath(S), refr, pc_out, h_c_out, ssGetT(S));
            return;
        }

        /* Orifice relation: coefficient product, then the root, then their
         * product. A reversed pressure difference gives NaN, which the host
         * reports as a non-finite output. */
        y[0] = (*ceev * Av) * sqrt((pc_out - pe) * 2.0 * ro);
    }
}

static void mdlTerminate(SimStruct *S)
{
    soltar_libreria_compartida(S, &lib_handle, &PropsSI, &bloques_activos);
}

#ifdef MATLAB_MEX_FILE
#include "simulink.c"
#else
#include "cg_sfun.h"
#endif
