/*
 * Evaporator: plate evaporator with a two-phase and a superheated zone.
 *
 * Static block. At every output call it takes the refrigerant arriving from
 * the expansion valve and the secondary fluid entering the other way, finds
 * the refrigerant outlet enthalpy by the effectiveness-NTU zone model
 * (modelo_evaporador.h) and reports the zone split, the zone heat rates, the
 * secondary-fluid temperatures, the regime and the superheat. The only value
 * carried between calls is the last published outlet enthalpy (RWork[3]),
 * kept when an output call publishes nothing.
 *
 * Input 0 (6): hc_out [J/kg], mR [kg/s], Pe [Pa], Tsec_in [K], msec_in [kg/s],
 *              psec_in [Pa]
 * Output 0 (11): h_e_f, h_e_g, T_e_1_R, L_e_1, Q_e1, Q_e2, T_e_out_1_A,
 *              T_e_out_A, modo_e, h_e_out, TSH
 * Parameters: 0 record (geometry, "alfa1", "alfa2", "tipo_intercambiador");
 *             1 refrigerant name; 2 secondary-fluid name; 3 starting outlet
 *             enthalpy [J/kg]
 * RWork (4): mean channel gap [m], heat-transfer area [m2], refrigerant-side
 *            volume [m3], last accepted outlet enthalpy [J/kg]
 */
#define S_FUNCTION_NAME Evaporator
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"
#include "propiedades.h"
#include "parametros.h"
#include "errores.h"
#include "secundario.h"
#include "Evap.h"
#include "modelo_evaporador.h"

#include <math.h>
#include <string.h>

/* Evaporators started and not yet terminated (they share the binding). */
static int instancias_iniciadas = 0;

/* Geometry fields of parameter 0, in the order of the record. */
static const char *const campos_geometria[] = {"N_placas", "medidaF1", "medidaC",
                                               "medidaD", "medidaF", "medidaG",
                                               "peso_intercambiador", "peso_placa",
                                               "densidad_material"};
#define NUM_CAMPOS_GEOMETRIA (sizeof campos_geometria / sizeof campos_geometria[0])

static const real_T *campo(SimStruct *S, const char *nombre)
{
    return mxGetPr(mxGetField(ssGetSFcnParam(S, 0), 0, nombre));
}

static const char *nombre(SimStruct *S)
{
    return ssGetPath(S) ? ssGetPath(S) : "Evaporator";
}

/* The geometry fields of this block's dialog, bound into a record. */
static ParamEvap geometria_del_dialogo(SimStruct *S)
{
    ParamEvap g = Evap;
    g.N_placas = (double *)campo(S, "N_placas");
    g.F1 = (double *)campo(S, "medidaF1");
    g.C = (double *)campo(S, "medidaC");
    g.D = (double *)campo(S, "medidaD");
    g.F = (double *)campo(S, "medidaF");
    g.G = (double *)campo(S, "medidaG");
    g.peso_int = (double *)campo(S, "peso_intercambiador");
    g.peso_placa = (double *)campo(S, "peso_placa");
    g.d_mat = (double *)campo(S, "densidad_material");
    return g;
}

/* Fields present and numeric, and a plate pack that exists: a positive
 * heat-transfer area (at least three plates, plates wider than their port
 * margins) and room left for the channels once the metal is taken out. Too
 * few plates would give a zero or negative area, and with it zero or
 * negative heat rates that look like results. */
static int geometria_valida(SimStruct *S)
{
    double e_hueco, Area_eq, V_refrigerante;
    for (size_t k = 0; k < NUM_CAMPOS_GEOMETRIA; ++k)
        if (!comprobar_campo_numerico(S, 0, campos_geometria[k])) return 0;
    if (!comprobar_numero(S, 3, "starting outlet enthalpy")) return 0;

    const ParamEvap g = geometria_del_dialogo(S);
    geometria_evaporador(g, &e_hueco, &Area_eq, &V_refrigerante);
    if (!(isfinite(Area_eq) && Area_eq > 0.0)) {
        fijar_error(S,
                    "%s: the plate pack of dialog parameter 1 has no heat-transfer area (%g m2 from N_placas = %g, "
                    "medidaC = %g m, medidaD = %g m, medidaF1 = %g m): it needs at least 3 plates and "
                    "medidaC > 2 medidaF1",
                    nombre(S), Area_eq, *g.N_placas, *g.C, *g.D, *g.F1);
        return 0;
    }
    if (!(isfinite(e_hueco) && e_hueco > 0.0)) {
        fijar_error(S,
                    "%s: the plate pack of dialog parameter 1 leaves no room for the channels (mean gap %g m): "
                    "the metal (peso_intercambiador + N_placas peso_placa over densidad_material) must take "
                    "less than the pack's volume",
                    nombre(S), e_hueco);
        return 0;
    }
    return 1;
}

/* The heat-transfer coefficients are finite numbers, zero or more. */
static const RangoDialogo rangos_coeficientes[] = {
    {0, "alfa1", "two-phase heat-transfer coefficient, W/(m2 K)", 0.0, 1, HUGE_VAL, 0},
    {0, "alfa2", "superheated heat-transfer coefficient, W/(m2 K)", 0.0, 1, HUGE_VAL, 0},
};

/* The exchanger type must name one of the two effectiveness relations. */
static int tipo_valido(SimStruct *S)
{
    char tipo[CAPACIDAD_TEXTO];
    if (!comprobar_campo_texto(S, 0, "tipo_intercambiador", CAPACIDAD_TEXTO)) return 0;
    mxGetString(mxGetField(ssGetSFcnParam(S, 0), 0, "tipo_intercambiador"), tipo, CAPACIDAD_TEXTO);
    if (strcmp(tipo, TIPO_PLACAS_CONTRACORRIENTE) != 0 && strcmp(tipo, TIPO_FLUJO_CRUZADO) != 0) {
        fijar_error(S,
                    "%s: field \"tipo_intercambiador\" of dialog parameter 1 is \"%s\"; "
                    "known types are \"%s\" and \"%s\"",
                    nombre(S), tipo, TIPO_PLACAS_CONTRACORRIENTE,
                    TIPO_FLUJO_CRUZADO);
        return 0;
    }
    return 1;
}

/* What every output call reads from the dialog. */
static int salida_valida(SimStruct *S)
{
    return comprobar_rangos(S, rangos_coeficientes, 2) && tipo_valido(S) &&
           comprobar_texto(S, 1, "refrigerant name", CAPACIDAD_TEXTO) &&
           comprobar_texto(S, 2, "secondary-fluid name", CAPACIDAD_TEXTO);
}

/* Checked when the block is sized (below) and by the host whenever the dialog
 * values change; only a simulation checks them, so only a MEX build has it. */
#define MDL_CHECK_PARAMETERS
#if defined(MDL_CHECK_PARAMETERS) && defined(MATLAB_MEX_FILE)
static void mdlCheckParameters(SimStruct *S)
{
    if (geometria_valida(S)) salida_valida(S);
}
#endif

static void mdlInitializeSizes(SimStruct *S)
{
    ssSetNumSFcnParams(S, 4);
    if (ssGetNumSFcnParams(S) != ssGetSFcnParamsCount(S)) {
        return; /* the host reports the mismatch */
    }
#if defined(MATLAB_MEX_FILE)
    mdlCheckParameters(S);
    if (ssGetErrorStatus(S) != NULL) return;
#endif

    if (!ssSetNumInputPorts(S, 1)) return;
    ssSetInputPortWidth(S, 0, 6);
    ssSetInputPortDirectFeedThrough(S, 0, 1);

    if (!ssSetNumOutputPorts(S, 1)) return;
    ssSetOutputPortWidth(S, 0, NUM_SALIDAS_EVAPORADOR);

    ssSetNumContStates(S, 0);
    ssSetNumDiscStates(S, 0);
    ssSetNumRWork(S, 4);
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
    tomar_libreria_compartida(S, &lib_handle, &PropsSI, &instancias_iniciadas);
}
#endif

#define MDL_INITIALIZE_CONDITIONS
#if defined(MDL_INITIALIZE_CONDITIONS)
static void mdlInitializeConditions(SimStruct *S)
{
    real_T *rwork = ssGetRWork(S);

    if (!geometria_valida(S)) return;

    /* Starting outlet enthalpy, held until the first output call publishes one. */
    rwork[3] = *mxGetPr(ssGetSFcnParam(S, 3));

    Evap = geometria_del_dialogo(S);

    geometria_evaporador(Evap, &rwork[0], &rwork[1], &rwork[2]);
}
#endif

/* Inputs the model can work with: finite numbers, and flows that do not run
 * backwards (a zero flow exchanges no heat; a negative one would turn the
 * zone balances into heat rates with the wrong sign that look like results). */
static int entradas_validas(SimStruct *S, const real_T *u)
{
    static const char *const nombres[6] = {"hc_out", "mR", "Pe", "Tsec_in", "msec_in", "psec_in"};
    for (int k = 0; k < 6; ++k) {
        if (!isfinite(u[k])) {
            fijar_error(S, "%s: input %d (%s) is %g at t = %g", nombre(S), k, nombres[k], u[k], ssGetT(S));
            return 0;
        }
    }
    static const int flujos[2] = {1, 4};
    for (int i = 0; i < 2; ++i) {
        const int k = flujos[i];
        if (u[k] < 0.0) {
            fijar_error(S, "%s: input %d (%s) is a negative mass flow, %g kg/s, at t = %g", nombre(S), k, nombres[k],
                        u[k], ssGetT(S));
            return 0;
        }
    }
    return 1;
}

static void mdlOutputs(SimStruct *S, int_T tid)
{
    char refr[CAPACIDAD_TEXTO];
    char sec_flux[CAPACIDAD_TEXTO];
    real_T u[6];
    InputRealPtrsType uPtrs = ssGetInputPortRealSignalPtrs(S, 0);
    real_T *y = ssGetOutputPortRealSignal(S, 0);
    real_T *rwork = ssGetRWork(S);
    UNUSED_ARG(tid);

    if (!salida_valida(S)) return;
    if (PropsSI == NULL) {
        fijar_error(S, "%s: the property library is not bound", nombre(S));
        return;
    }

    /* Coefficients and type are bound from this instance's dialog on every
     * call: the record is shared by all evaporators of the model. */
    Evap.alfa_tp = (double *)campo(S, "alfa1");
    Evap.alfa_sh = (double *)campo(S, "alfa2");
    mxGetString(mxGetField(ssGetSFcnParam(S, 0), 0, "tipo_intercambiador"), Evap.tipo_int,
                sizeof Evap.tipo_int);

    for (int k = 0; k < 6; ++k) u[k] = *uPtrs[k];
    if (!entradas_validas(S, u)) return;
    mxGetString(ssGetSFcnParam(S, 1), refr, CAPACIDAD_TEXTO);
    mxGetString(ssGetSFcnParam(S, 2), sec_flux, CAPACIDAD_TEXTO);

    /* The water or brine must be liquid (or a gas) at its pressure before
     * anything is computed with it, and stay so down to the temperature it
     * leaves at. */
    const EntradasSecundario entradas_sec = {"input 5 (psec_in)", "input 3 (Tsec_in)"};
    if (!secundario_plausible(S, PropsSI, sec_flux, u[5], u[3], u[3], entradas_sec)) return;

    switch (salidas_evaporador(u, refr, sec_flux, rwork[1], &rwork[3], y)) {
    case SALIDA_CORRECTA:
        secundario_plausible(S, PropsSI, sec_flux, u[5], u[3], y[SAL_T_E_OUT_A], entradas_sec);
        break;
    case SALIDA_SIN_SATURACION:
        fijar_error(S, "%s: the property library gives no saturated liquid and vapour of %s at Pe = %g Pa "
                       "(input 2) at t = %g: unknown refrigerant, or a pressure outside its two-phase range",
                    nombre(S), refr, u[2], ssGetT(S));
        break;
    case SALIDA_SIN_ENTRADA:
        fijar_error(S, "%s: the property library cannot place the inlet state of %s (Pe = %g Pa, hc_out = %g J/kg, "
                       "inputs 2 and 0) at t = %g",
                    nombre(S), refr, u[2], u[0], ssGetT(S));
        break;
    case SALIDA_SIN_CP_SECUNDARIO:
        fijar_error(S, "%s: the property library gives no specific heat of the secondary fluid %s at "
                       "T = %g K, P = %g Pa (inputs 3 and 5) at t = %g",
                    nombre(S), sec_flux, u[3], u[5], ssGetT(S));
        break;
    case SALIDA_SECUNDARIO_FRIO:
        fijar_error(S, "%s: the secondary fluid enters at Tsec_in = %g K (input 3), colder than the refrigerant %s "
                       "evaporating at Pe = %g Pa (input 2) with hc_out = %g J/kg (input 0), at t = %g: it would "
                       "condense the refrigerant, not evaporate it",
                    nombre(S), u[3], refr, u[2], u[0], ssGetT(S));
        break;
    case SALIDA_SIN_ESTADO:
        fijar_error(S, "%s: no zone state closes the energy balance at t = %g for hc_out = %g J/kg, mR = %g kg/s, "
                       "Pe = %g Pa, Tsec_in = %g K, msec_in = %g kg/s, psec_in = %g Pa (inputs 0-5) with %s "
                       "against %s",
                    nombre(S), ssGetT(S), u[0], u[1], u[2], u[3], u[4], u[5], refr, sec_flux);
        break;
    default:
        break;
    }
}

static void mdlTerminate(SimStruct *S)
{
    soltar_libreria_compartida(S, &lib_handle, &PropsSI, &instancias_iniciadas);
}

#ifdef MATLAB_MEX_FILE
#include "simulink.c"
#else
#include "cg_sfun.h"
#endif
