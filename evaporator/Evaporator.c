/*
 * Evaporator: plate evaporator with a two-phase and a superheated zone.
 *
 * Static block. At every output call it takes the refrigerant arriving from
 * the expansion valve and the secondary fluid entering the other way, finds
 * the refrigerant outlet enthalpy by the effectiveness-NTU zone model
 * (modelo_evaporador.h) and reports the zone split, the zone heat rates, the
 * secondary-fluid temperatures, the regime and the superheat. The only value
 * carried between calls is the last accepted outlet enthalpy (RWork[3]), the
 * fallback when the outlet search fails.
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
#include "Evap.h"
#include "modelo_evaporador.h"

#include <string.h>

#define LONGITUD_TEXTO 100

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

static int geometria_valida(SimStruct *S)
{
    for (size_t k = 0; k < NUM_CAMPOS_GEOMETRIA; ++k)
        if (!comprobar_campo_numerico(S, 0, campos_geometria[k])) return 0;
    return comprobar_numero(S, 3, "starting outlet enthalpy");
}

/* The exchanger type must name one of the two effectiveness relations. */
static int tipo_valido(SimStruct *S)
{
    char tipo[LONGITUD_TEXTO];
    if (!comprobar_campo_texto(S, 0, "tipo_intercambiador", LONGITUD_TEXTO)) return 0;
    mxGetString(mxGetField(ssGetSFcnParam(S, 0), 0, "tipo_intercambiador"), tipo, LONGITUD_TEXTO);
    if (strcmp(tipo, TIPO_PLACAS_CONTRACORRIENTE) != 0 && strcmp(tipo, TIPO_FLUJO_CRUZADO) != 0) {
        fijar_error(S,
                    "%s: field \"tipo_intercambiador\" of dialog parameter 1 is \"%s\"; "
                    "known types are \"%s\" and \"%s\"",
                    ssGetPath(S) ? ssGetPath(S) : "Evaporator", tipo, TIPO_PLACAS_CONTRACORRIENTE,
                    TIPO_FLUJO_CRUZADO);
        return 0;
    }
    return 1;
}

/* What every output call reads from the dialog. */
static int salida_valida(SimStruct *S)
{
    return comprobar_campo_numerico(S, 0, "alfa1") && comprobar_campo_numerico(S, 0, "alfa2") &&
           tipo_valido(S) && comprobar_texto(S, 1, "refrigerant name", LONGITUD_TEXTO) &&
           comprobar_texto(S, 2, "secondary-fluid name", LONGITUD_TEXTO);
}

#define MDL_CHECK_PARAMETERS
#if defined(MDL_CHECK_PARAMETERS)
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

    if (!ssSetNumInputPorts(S, 1)) return;
    ssSetInputPortWidth(S, 0, 6);
    ssSetInputPortDirectFeedThrough(S, 0, 1);

    if (!ssSetNumOutputPorts(S, 1)) return;
    ssSetOutputPortWidth(S, 0, NUM_SALIDAS_EVAPORADOR);

    ssSetNumContStates(S, 0);
    ssSetNumDiscStates(S, 0);
    ssSetNumRWork(S, 4);
    ssSetOptions(S, 2);
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
    /* One binding serves every evaporator of the model (the handle and entry
     * are shared); it is made by the first start and released by the last
     * terminate. Opening again per instance would overwrite the held handle
     * and leave the library loaded for good, and a later open of the same
     * relative path from another working directory could then be handed that
     * stale library. */
    if (PropsSI == NULL) {
        liberar_libreria_propiedades(&lib_handle, &PropsSI);
        cargar_libreria_propiedades(S, &lib_handle, &PropsSI);
    }
    ++instancias_iniciadas;
}
#endif

#define MDL_INITIALIZE_CONDITIONS
#if defined(MDL_INITIALIZE_CONDITIONS)
static void mdlInitializeConditions(SimStruct *S)
{
    real_T *rwork = ssGetRWork(S);

    if (!geometria_valida(S)) return;

    /* Starting outlet enthalpy: the fallback of the first output call. */
    rwork[3] = *mxGetPr(ssGetSFcnParam(S, 3));

    Evap.N_placas = (double *)campo(S, "N_placas");
    Evap.F1 = (double *)campo(S, "medidaF1");
    Evap.C = (double *)campo(S, "medidaC");
    Evap.D = (double *)campo(S, "medidaD");
    Evap.F = (double *)campo(S, "medidaF");
    Evap.G = (double *)campo(S, "medidaG");
    Evap.peso_int = (double *)campo(S, "peso_intercambiador");
    Evap.peso_placa = (double *)campo(S, "peso_placa");
    Evap.d_mat = (double *)campo(S, "densidad_material");

    geometria_evaporador(Evap, &rwork[0], &rwork[1], &rwork[2]);
}
#endif

static void mdlOutputs(SimStruct *S, int_T tid)
{
    char refr[LONGITUD_TEXTO];
    char sec_flux[LONGITUD_TEXTO];
    real_T u[6];
    InputRealPtrsType uPtrs = ssGetInputPortRealSignalPtrs(S, 0);
    real_T *y = ssGetOutputPortRealSignal(S, 0);
    real_T *rwork = ssGetRWork(S);
    UNUSED_ARG(tid);

    if (!salida_valida(S)) return;
    if (PropsSI == NULL) {
        fijar_error(S, "%s: the property library is not bound", ssGetPath(S) ? ssGetPath(S) : "Evaporator");
        return;
    }

    /* Coefficients and type are bound from this instance's dialog on every
     * call: the record is shared by all evaporators of the model. */
    Evap.alfa_tp = (double *)campo(S, "alfa1");
    Evap.alfa_sh = (double *)campo(S, "alfa2");
    mxGetString(mxGetField(ssGetSFcnParam(S, 0), 0, "tipo_intercambiador"), Evap.tipo_int,
                sizeof Evap.tipo_int);

    for (int k = 0; k < 6; ++k) u[k] = *uPtrs[k];
    mxGetString(ssGetSFcnParam(S, 1), refr, LONGITUD_TEXTO);
    mxGetString(ssGetSFcnParam(S, 2), sec_flux, LONGITUD_TEXTO);

    salidas_evaporador(u, refr, sec_flux, rwork[1], &rwork[3], y);
}

static void mdlTerminate(SimStruct *S)
{
    UNUSED_ARG(S);
    if (instancias_iniciadas > 0 && --instancias_iniciadas > 0) return; /* still in use by others */
    liberar_libreria_propiedades(&lib_handle, &PropsSI);
}

#ifdef MATLAB_MEX_FILE
#include "simulink.c"
#else
#include "cg_sfun.h"
#endif
