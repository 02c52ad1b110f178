/*
 * Compressor: variable-speed compressor, static model.
 *
 * The cycle imposes the mass flow; the block finds the suction pressure at
 * which the compressor delivers it (solver_compresor.c), then the electrical
 * power and the discharge enthalpy:
 *
 *   W     = (h_desc,s - h_asp) b m + a
 *   T_desc,s = (h_desc,s - h_v(p_desc)) / cp_v(p_desc) + T_sat(p_desc)
 *   h_desc = (W - UA (T_desc,s - T_sur)) / m + h_asp
 *
 * h_desc,s is the isentropic discharge enthalpy; the isentropic discharge
 * temperature is extrapolated from the saturated-vapour point with a constant
 * specific heat, and the shell loses UA (T_desc,s - T_sur) to the
 * surroundings.
 *
 * Input 0 (5): N [1/s], pdesc [Pa], m_vsc [kg/s], hasp [J/kg], T_sur [K]
 * Output 0 (3): pasp [Pa], hdesc [J/kg], W_vsc [W]
 * Parameters: 0 record with fields "a", "b", "c", "St", "UA_vsc";
 *             1 refrigerant name (text); 2 starting guess of the suction pressure [Pa]
 * Work: 1 real, the starting guess, set at initial conditions.
 */
#define S_FUNCTION_NAME Compressor
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"
#include "propiedades.h"
#include "parametros.h"
#include "errores.h"
#include "consultas.h"
#include "solver_compresor.h"

#include <math.h>

static void *lib_handle = NULL;
/* Blocks of this type that have started and not yet terminated: they share
 * one binding, made by the first start and released by the last terminate. */
static int bloques_activos = 0;

/* Compressor record, read through pointers into the dialog values; fetched
 * anew at every output call so that a changed dialog takes effect at once. */
static const real_T *a = NULL, *b = NULL, *c = NULL, *st = NULL, *ua_vsc = NULL;
static char refr[CAPACIDAD_TEXTO];

/* Physical domain of each dialog number: the constant power a and the shell
 * conductance UA_vsc cannot be negative, the factor on the isentropic power b
 * and the swept volume St must be positive, the clearance factor c
 * (clearance volume over swept volume) lies in [0, 1), and the starting guess
 * is a pressure. */
static const RangoDialogo rangos_compresor[] = {
    {0, "a", "constant term of the power, W", 0.0, 1, HUGE_VAL, 0},
    {0, "b", "factor on the isentropic power", 0.0, 0, HUGE_VAL, 0},
    {0, "c", "clearance factor", 0.0, 1, 1.0, 0},
    {0, "St", "swept volume per revolution, m3", 0.0, 0, HUGE_VAL, 0},
    {0, "UA_vsc", "heat-loss conductance, W/K", 0.0, 1, HUGE_VAL, 0},
    {2, NULL, "starting suction pressure, Pa", 0.0, 0, HUGE_VAL, 0},
};

/* Refuses dialog values that could not be read safely, values outside the
 * model's physical domain, and a starting guess that is no pressure at all. */
static int parametros_validos(SimStruct *S)
{
    return comprobar_rangos(S, rangos_compresor, sizeof rangos_compresor / sizeof rangos_compresor[0]) &&
           comprobar_texto(S, 1, "refrigerant name", CAPACIDAD_TEXTO);
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
    ssSetNumSFcnParams(S, 3);
    if (ssGetNumSFcnParams(S) != ssGetSFcnParamsCount(S)) {
        return; /* the host reports the mismatch */
    }
#if defined(MATLAB_MEX_FILE)
    mdlCheckParameters(S);
    if (ssGetErrorStatus(S) != NULL) return;
#endif

    if (!ssSetNumInputPorts(S, 1)) return;
    ssSetInputPortWidth(S, 0, 5);
    ssSetInputPortDirectFeedThrough(S, 0, 1);

    if (!ssSetNumOutputPorts(S, 1)) return;
    ssSetOutputPortWidth(S, 0, 3);

    ssSetNumContStates(S, 0);
    ssSetNumDiscStates(S, 0);
    ssSetNumRWork(S, 1);
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

#define MDL_INITIALIZE_CONDITIONS
#if defined(MDL_INITIALIZE_CONDITIONS)
static void mdlInitializeConditions(SimStruct *S)
{
    /* The starting guess is taken once; every solve starts from it. */
    if (!comprobar_numero(S, 2, "starting suction pressure")) return;
    ssGetRWork(S)[0] = *mxGetPr(ssGetSFcnParam(S, 2));
}
#endif

#define MDL_START
#if defined(MDL_START)
static void mdlStart(SimStruct *S)
{
    tomar_libreria_compartida(S, &lib_handle, &PropsSI, &bloques_activos);
}
#endif

static void mdlOutputs(SimStruct *S, int_T tid)
{
    InputRealPtrsType u = ssGetInputPortRealSignalPtrs(S, 0);
    real_T *y = ssGetOutputPortRealSignal(S, 0);
    real_T N, pdesc, m_vsc, hasp, T_sur;
    real_T pasp, sasp, hdesc_s, Tdesc, hv_pdesc, Cpv_pdesc, Tdesc_s, W_vsc, hdesc;
    const real_T Pe = ssGetRWork(S)[0];
    UNUSED_ARG(tid);

    if (!parametros_validos(S)) return;
    if (PropsSI == NULL) {
        fijar_error(S, "%s: the property library is not bound", ssGetPath(S));
        return;
    }

    a = mxGetPr(mxGetField(ssGetSFcnParam(S, 0), 0, "a"));
    b = mxGetPr(mxGetField(ssGetSFcnParam(S, 0), 0, "b"));
    c = mxGetPr(mxGetField(ssGetSFcnParam(S, 0), 0, "c"));
    st = mxGetPr(mxGetField(ssGetSFcnParam(S, 0), 0, "St"));
    ua_vsc = mxGetPr(mxGetField(ssGetSFcnParam(S, 0), 0, "UA_vsc"));

    N = *u[0];
    pdesc = *u[1];
    m_vsc = *u[2];
    hasp = *u[3];
    T_sur = *u[4];

    mxGetString(ssGetSFcnParam(S, 1), refr, CAPACIDAD_TEXTO);

    /* The relative flow error of the solve and the energy balance per unit
     * mass both divide by the flow: no suction state is defined without
     * one, and a compressor does not run backwards. */
    if (!(isfinite(m_vsc) && m_vsc > 0.0)) {
        fijar_error(S, "%s: the demanded mass flow m_vsc must be positive to define a suction "
                       "pressure, got %g kg/s", ssGetPath(S), m_vsc);
        return;
    }

    /* The other inputs of the model: a turning compressor, absolute
     * pressure and temperature, a suction state. */
    if (!(isfinite(N) && N > 0.0)) {
        fijar_error(S, "%s: the speed N (input 0) must be positive, 1/s; got %g at t = %g", ssGetPath(S), N,
                    ssGetT(S));
        return;
    }
    if (!(isfinite(pdesc) && pdesc > 0.0)) {
        fijar_error(S, "%s: the discharge pressure pdesc (input 1) must be positive, Pa; got %g at t = %g",
                    ssGetPath(S), pdesc, ssGetT(S));
        return;
    }
    if (!isfinite(hasp)) {
        fijar_error(S, "%s: the suction enthalpy hasp (input 3) must be finite, J/kg; got %g at t = %g",
                    ssGetPath(S), hasp, ssGetT(S));
        return;
    }
    if (!(isfinite(T_sur) && T_sur > 0.0)) {
        fijar_error(S, "%s: the surroundings temperature T_sur (input 4) must be a positive absolute "
                       "temperature, K; got %g at t = %g", ssGetPath(S), T_sur, ssGetT(S));
        return;
    }

    /* Suction pressure that delivers the demanded flow. */
    pasp = secant_method_Pe(Pe, m_vsc, pdesc, hasp, N, *st, *c, refr);
    if (pasp == -1.0) {
        /* Never publish the failure marker as a pressure, nor query at it. */
        fijar_error(S, "%s: no suction pressure found that delivers the mass flow %g kg/s "
                       "(speed %g 1/s, discharge pressure %g Pa, suction enthalpy %g J/kg, %s, "
                       "starting guess %g Pa): the pressure search and iteration did not converge",
                    ssGetPath(S), m_vsc, N, pdesc, hasp, refr, Pe);
        return;
    }

    /* Isentropic compression to the discharge pressure, then the saturated
     * vapour there. A refused query stops the block: a refused specific heat
     * taken as a number would put the isentropic discharge at the saturation
     * temperature and publish a discharge enthalpy that looks sound. */
    if (!consultar_propiedad(S, PropsSI, &sasp, "S", "P", pasp, "H", hasp, refr) ||
        !consultar_propiedad(S, PropsSI, &hdesc_s, "H", "P", pdesc, "S", sasp, refr) ||
        !consultar_propiedad(S, PropsSI, &Tdesc, "T", "P", pdesc, "Q", 1.0, refr) ||
        !consultar_propiedad(S, PropsSI, &hv_pdesc, "H", "P", pdesc, "Q", 1.0, refr) ||
        !consultar_propiedad(S, PropsSI, &Cpv_pdesc, "C", "P", pdesc, "Q", 1.0, refr))
        return;

    /* Isentropic discharge temperature, constant cp above saturation. */
    Tdesc_s = (hdesc_s - hv_pdesc) / Cpv_pdesc + Tdesc;

    /* Electrical power: a constant part plus a multiple of the isentropic
     * power. */
    W_vsc = (hdesc_s - hasp) * (*b * m_vsc) + *a;

    /* Energy balance of the shell with the heat loss to the surroundings. */
    hdesc = (W_vsc - (Tdesc_s - T_sur) * *ua_vsc) / m_vsc + hasp;

    /* A property the library refused (HUGE_VAL) or a state the model does
     * not describe must not leave as a result: the discharge pressure must
     * lie above the suction pressure (else the isentropic enthalpy falls),
     * the power cannot be negative, and the heat lost to the surroundings
     * cannot exceed the work put in (a very small flow makes the loss per
     * kilogram huge and the discharge colder than the suction). */
    if (!(isfinite(sasp) && isfinite(hdesc_s) && isfinite(Tdesc) && isfinite(hv_pdesc) && isfinite(Cpv_pdesc) &&
          Cpv_pdesc > 0.0 && isfinite(hdesc) && isfinite(W_vsc))) {
        fijar_error(S, "%s: the property library gives no suction or discharge state of %s at suction pressure "
                       "%g Pa, suction enthalpy %g J/kg, discharge pressure %g Pa (t = %g)",
                    ssGetPath(S), refr, pasp, hasp, pdesc, ssGetT(S));
        return;
    }
    if (hdesc_s < hasp || W_vsc < 0.0 || hdesc < hasp) {
        fijar_error(S, "%s: no physical compression at t = %g: %s (speed %g 1/s, flow %g kg/s, suction %g Pa "
                       "and %g J/kg, discharge %g Pa, surroundings %g K; power %g W, discharge enthalpy %g J/kg)",
                    ssGetPath(S), ssGetT(S),
                    hdesc_s < hasp ? "the discharge pressure lies below the suction pressure"
                    : W_vsc < 0.0  ? "the power is negative"
                                   : "the heat lost to the surroundings exceeds the work, the discharge "
                                     "enthalpy falls below the suction enthalpy",
                    N, m_vsc, pasp, hasp, pdesc, T_sur, W_vsc, hdesc);
        return;
    }

    y[0] = pasp;
    y[1] = hdesc;
    y[2] = W_vsc;
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
