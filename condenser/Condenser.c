/*
 * Condenser: dynamic moving-boundary condenser block.
 *
 * States: L1 (superheated length fraction), P (mean refrigerant pressure, Pa),
 * h3 (enthalpy at the end of the subcooled zone, J/kg), L3 (subcooled length
 * fraction), gamma (mean void fraction of the two-phase zone). Discrete
 * state: the mode, 1 (three zones) or 2 (refrigerant leaves two-phase).
 *
 * Input 0 (4): mR_in, mR_out [kg/s], hR_c_in [J/kg], P_c_in [Pa]
 * Input 1 (3): Tsec_in [K], msec [kg/s], Psec_in [Pa]
 * Output 0 (21): extended state (see extension_estado_condensador.c) with
 *   17 = 0, 18 the superheated length used, 19 the void fraction used,
 *   20 the outlet pressure
 * Output 1 (5): the states; output 2 (5): their derivatives; output 3: mode
 * Parameters: 1 geometry record, 2 refrigerant, 3 secondary fluid,
 *   4 starting values and mode, 5 switching constants
 *
 * Each output evaluation fits the superheated length (mode 1) and publishes
 * the extended state; each derivative evaluation hands it to the model of the
 * current mode; each update lets the mode selection pick the next mode from
 * what the latest output and derivative evaluations recorded in the work
 * vector:
 *   0-4 states seen by the latest output     10-27 its port-0 elements 0-17
 *   40-44 latest derivatives                 50-53 inputs at the previous update
 *   60 mode-change flag (L3 to be reset to Lmin at the next derivative call)
 *
 * The parameter records are bound from the calling block's own dialog at the
 * start of every callback that uses them, so several condensers in one model
 * each compute with their own parameters.
 */
#define S_FUNCTION_NAME Condenser
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"
#include "propiedades.h"
#include "parametros.h"
#include "errores.h"
#include "Cond.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

static void *lib_handle = NULL;
static CPType PropsSI = NULL;

/* Each condenser keeps the reference to the property library that it opened
 * in its pointer work slot 0 and gives it back when it terminates. While one
 * condenser holds the library every other one opening the same path gets the
 * same library, so one entry serves them all; when the last one lets go, the
 * entry is cleared and the library can be unloaded, and a later run in the
 * same process binds afresh to whatever library its own directory offers. */
static int condensadores_con_libreria = 0;

static void soltar_libreria(SimStruct *S)
{
    void **pw = ssGetPWork(S);
    void *propio = pw[0];
    if (propio == NULL) return;
    pw[0] = NULL;
    liberar_libreria_propiedades(&propio, NULL);
    if (--condensadores_con_libreria == 0) {
        lib_handle = NULL;
        PropsSI = NULL;
    }
}

static int tomar_libreria(SimStruct *S)
{
    const int enlazada = cargar_libreria_propiedades(S, &lib_handle, &PropsSI);
    if (lib_handle != NULL) {
        ssGetPWork(S)[0] = lib_handle;
        ++condensadores_con_libreria;
    }
    return enlazada;
}

static const char *const campos_geometria[] = {"N_pasos", "N_tubos", "L_tubos", "D_tubos",
                                                "kperd",   "alfa1",   "alfa2",   "alfa3"};
static const char *const campos_iniciales[] = {"Condenser_L1_inicial", "Condenser_P_inicial",
                                                "Condenser_h3_inicial", "Condenser_L3_inicial",
                                                "Condenser_gamma_inicial", "Condenser_mode"};
static const char *const campos_simulacion[] = {"Lmin", "Lmin_gamma", "Kh", "Kgamma"};

#define N_CAMPOS(a) ((int)(sizeof(a) / sizeof((a)[0])))

static const double *campo(SimStruct *S, int_T indice, const char *nombre)
{
    return mxGetPr(mxGetField(ssGetSFcnParam(S, indice), 0, nombre));
}

/* Every dialog value is refused, with parameter and field named, when it
 * could not be read safely; the exchanger type must be one of the two known. */
static int parametros_validos(SimStruct *S)
{
    char tipo[COND_LONGITUD_TEXTO];
    int k;

    for (k = 0; k < N_CAMPOS(campos_geometria); ++k)
        if (!comprobar_campo_numerico(S, 0, campos_geometria[k])) return 0;
    if (!comprobar_campo_texto(S, 0, "tipo_intercambiador", COND_LONGITUD_TEXTO)) return 0;
    mxGetString(mxGetField(ssGetSFcnParam(S, 0), 0, "tipo_intercambiador"), tipo, COND_LONGITUD_TEXTO);
    if (strcmp(tipo, TIPO_FLUJO_CRUZADO) != 0 && strcmp(tipo, TIPO_CONTRACORRIENTE) != 0) {
        fijar_error(S, "%s: field \"tipo_intercambiador\" of dialog parameter 1 is \"%s\"; it must be \"%s\" or \"%s\"",
                    ssGetPath(S), tipo, TIPO_FLUJO_CRUZADO, TIPO_CONTRACORRIENTE);
        return 0;
    }
    if (!comprobar_texto(S, 1, "refrigerant name", COND_LONGITUD_TEXTO)) return 0;
    if (!comprobar_texto(S, 2, "secondary-fluid name", COND_LONGITUD_TEXTO)) return 0;
    for (k = 0; k < N_CAMPOS(campos_iniciales); ++k)
        if (!comprobar_campo_numerico(S, 3, campos_iniciales[k])) return 0;
    for (k = 0; k < N_CAMPOS(campos_simulacion); ++k)
        if (!comprobar_campo_numerico(S, 4, campos_simulacion[k])) return 0;
    return 1;
}

/* A dialog number within [minimo, maximo] (either end left open when
 * abierto_min / abierto_max), with the parameter, field and range named
 * when it is not. */
static int campo_en_rango(SimStruct *S, int_T indice, const char *nombre, double minimo, int abierto_min,
                          double maximo, int abierto_max, const char *que)
{
    const double v = *campo(S, indice, nombre);
    const int dentro = isfinite(v) && (abierto_min ? v > minimo : v >= minimo) &&
                       (abierto_max ? v < maximo : v <= maximo);
    if (!dentro) {
        fijar_error(S, "%s: field \"%s\" of dialog parameter %d is %g; it must be %s", ssGetPath(S), nombre,
                    (int)indice + 1, v, que);
        return 0;
    }
    return 1;
}

/* Values every computation relies on: a tube bundle that exists (a zero or
 * negative area or volume gives no heat transfer, or heat rates of the wrong
 * sign), heat-transfer coefficients that are not negative, a smallest
 * subcooled length inside the tube, and starting states that are states:
 * length and void fractions between 0 and 1, a positive pressure. */
static int valores_validos(SimStruct *S)
{
    static const char *const positivos[] = {"N_pasos", "N_tubos", "L_tubos", "D_tubos"};
    static const char *const coeficientes[] = {"alfa1", "alfa2", "alfa3"};
    static const char *const fracciones[] = {"Condenser_L1_inicial", "Condenser_L3_inicial",
                                             "Condenser_gamma_inicial"};
    const double grande = HUGE_VAL;
    int k;

    for (k = 0; k < N_CAMPOS(positivos); ++k)
        if (!campo_en_rango(S, 0, positivos[k], 0.0, 1, grande, 1, "a positive number")) return 0;
    for (k = 0; k < N_CAMPOS(coeficientes); ++k)
        if (!campo_en_rango(S, 0, coeficientes[k], 0.0, 0, grande, 1, "a heat-transfer coefficient of 0 or more"))
            return 0;
    if (!campo_en_rango(S, 4, "Lmin", 0.0, 1, 1.0, 1, "a length fraction between 0 and 1 (both excluded)")) return 0;
    if (!campo_en_rango(S, 4, "Kh", 0.0, 0, grande, 1, "a rate constant of 0 or more")) return 0;
    for (k = 0; k < N_CAMPOS(fracciones); ++k)
        if (!campo_en_rango(S, 3, fracciones[k], 0.0, 0, 1.0, 0, "a fraction between 0 and 1")) return 0;
    if (!campo_en_rango(S, 3, "Condenser_P_inicial", 0.0, 1, grande, 1, "a positive pressure in Pa")) return 0;
    if (!campo_en_rango(S, 3, "Condenser_h3_inicial", -grande, 1, grande, 1, "a finite enthalpy in J/kg")) return 0;
    return 1;
}

/* The starting mode must be one the model knows. */
static int modo_inicial_valido(SimStruct *S)
{
    const double modo = *campo(S, 3, "Condenser_mode");
    if (modo != 1.0 && modo != 2.0) {
        fijar_error(S, "%s: field \"Condenser_mode\" of dialog parameter 4 is %g; it must be 1 or 2", ssGetPath(S),
                    modo);
        return 0;
    }
    return 1;
}

/* Points the parameter records at this block's dialog values and derives the
 * exchange area and the refrigerant volume. Returns 0 (error status set) when
 * a value cannot be read. */
static int enlazar_parametros(SimStruct *S)
{
    if (!parametros_validos(S) || !valores_validos(S)) return 0;

    CondAire.N_pasos = campo(S, 0, "N_pasos");
    CondAire.N_tubos = campo(S, 0, "N_tubos");
    CondAire.L_tubos = campo(S, 0, "L_tubos");
    CondAire.D_tubos = campo(S, 0, "D_tubos");
    CondAire.kperd = campo(S, 0, "kperd");
    CondAire.alfa1 = campo(S, 0, "alfa1");
    CondAire.alfa2 = campo(S, 0, "alfa2");
    CondAire.alfa3 = campo(S, 0, "alfa3");
    mxGetString(mxGetField(ssGetSFcnParam(S, 0), 0, "tipo_intercambiador"), CondAire.tipo_interc,
                COND_LONGITUD_TEXTO);

    /* Inner surface of all tubes, and the volume it encloses (pi D L per
     * tube, times D/4 for the bore). */
    CondAire.Aintercambio = 3.14159265359 * *CondAire.N_pasos * *CondAire.N_tubos * *CondAire.D_tubos *
                            *CondAire.L_tubos;
    CondAire.V_R = (*CondAire.D_tubos / 4.0) * CondAire.Aintercambio;

    mxGetString(ssGetSFcnParam(S, 1), refr, COND_LONGITUD_TEXTO);
    mxGetString(ssGetSFcnParam(S, 2), secflux, COND_LONGITUD_TEXTO);

    Param_sim.Lmin = campo(S, 4, "Lmin");
    Param_sim.Lmin_gamma = campo(S, 4, "Lmin_gamma");
    Param_sim.Kh = campo(S, 4, "Kh");
    Param_sim.Kgamma = campo(S, 4, "Kgamma");

    CI.Condenser_L1_inicial = campo(S, 3, "Condenser_L1_inicial");
    CI.Condenser_P_inicial = campo(S, 3, "Condenser_P_inicial");
    CI.Condenser_h3_inicial = campo(S, 3, "Condenser_h3_inicial");
    CI.Condenser_L3_inicial = campo(S, 3, "Condenser_L3_inicial");
    CI.Condenser_gamma_inicial = campo(S, 3, "Condenser_gamma_inicial");
    CI.Condenser_mode = campo(S, 3, "Condenser_mode");
    return 1;
}

static int libreria_enlazada(SimStruct *S)
{
    if (PropsSI == NULL) {
        fijar_error(S, "%s: the property library is not bound", ssGetPath(S));
        return 0;
    }
    return 1;
}

/* A mode the model does not know is stopped at once instead of leaving the
 * block silently inert. */
static int modo_conocido(SimStruct *S, double modo)
{
    const int m = modo_entero(modo);
    if (m != 1 && m != 2) {
        fijar_error(S, "%s: condenser mode %g is neither 1 nor 2", ssGetPath(S), modo);
        return 0;
    }
    return 1;
}

/* Inputs the model can work with: finite numbers, and mass flows that do not
 * run backwards (the zone balances know one flow direction; a negative flow
 * gives heat rates of the wrong sign that look like results). Input port 1
 * is checked only where it is read (output evaluations). */
static int entradas_validas(SimStruct *S, int con_secundario)
{
    static const char *const nombres[2][4] = {{"mR_in", "mR_out", "hR_c_in", "P_c_in"},
                                              {"Tsec_in", "msec", "Psec_in", NULL}};
    static const int anchos[2] = {4, 3};
    int p, k;

    for (p = 0; p < (con_secundario ? 2 : 1); ++p) {
        InputRealPtrsType v = ssGetInputPortRealSignalPtrs(S, p);
        for (k = 0; k < anchos[p]; ++k) {
            const double x = *v[k];
            const int flujo = (p == 0 && k < 2) || (p == 1 && k == 1);
            if (!isfinite(x) || (flujo && x < 0.0)) {
                fijar_error(S, "%s: input port %d element %d (%s) is %g at t = %g%s", ssGetPath(S), p, k,
                            nombres[p][k], x, ssGetT(S), isfinite(x) ? ", a negative mass flow" : "");
                return 0;
            }
        }
    }
    return 1;
}

/* Why the superheated zone could not be placed (ajuste = 1; L1 is then the
 * fit's start), or the extended state came out not finite (ajuste = 0; L1
 * the superheated length used): the likely cause, found by asking the
 * property library again. Only failures pay for these queries. Writes ""
 * when nothing specific is found. */
static void diagnostico(int ajuste, double L1, const double *xCont, const double *u_condens, const double *w,
                        double mode, char *texto, size_t n)
{
    const double mR = u_condens[0], hR_in = u_condens[1], P_in = u_condens[2];
    const double Tsec_in = w[0], msec = w[1], Psec_in = w[2];
    const double P = xCont[1], L3 = xCont[3];
    const int modo = modo_entero(mode);

    texto[0] = '\0';
    if (ajuste && *CondAire.alfa1 == 0.0) {
        snprintf(texto, n, ": alfa1 is 0, so no superheated zone of any length gives off the desuperheating heat");
        return;
    }
    if (!(mR > 0.0)) {
        snprintf(texto, n, ": no refrigerant flow (mean %g kg/s)", mR);
        return;
    }
    if (!(msec > 0.0)) {
        snprintf(texto, n, ": no secondary-fluid flow (%g kg/s)", msec);
        return;
    }
    const double Cpsec = PropsSI("C", "P", Psec_in, "T", Tsec_in, secflux);
    if (!(isfinite(Cpsec) && Cpsec > 0.0)) {
        snprintf(texto, n, ": the property library gives no specific heat of the secondary fluid %s at T = %g K, "
                           "P = %g Pa", secflux, Tsec_in, Psec_in);
        return;
    }
    const double hg = PropsSI("H", "P", P_in, "Q", 1, refr);
    const double Tg = PropsSI("T", "P", P_in, "Q", 1, refr);
    if (!(isfinite(hg) && isfinite(Tg))) {
        snprintf(texto, n, ": the property library gives no saturated vapour of %s at the inlet pressure %g Pa",
                 refr, P_in);
        return;
    }
    if (!isfinite(PropsSI("H", "P", 2.0 * P - P_in, "Q", 0, refr))) {
        snprintf(texto, n, ": the property library gives no saturated liquid of %s at the outlet pressure %g Pa "
                           "(2 P - P_in, P = %g Pa)", refr, 2.0 * P - P_in, P);
        return;
    }
    if (!isfinite(PropsSI("T", "P", P_in, "H", hR_in, refr))) {
        snprintf(texto, n, ": the property library cannot place the inlet state of %s (P_in = %g Pa, h_in = %g J/kg)",
                 refr, P_in, hR_in);
        return;
    }
    if (modo == 1 && !(hR_in > hg)) {
        snprintf(texto, n, ": the refrigerant enters without superheat (h_in = %g J/kg, saturated vapour %g J/kg)",
                 hR_in, hg);
        return;
    }
    if (!(Tsec_in < Tg)) {
        snprintf(texto, n, ": the secondary fluid enters at %g K, not below the condensing temperature %g K", Tsec_in,
                 Tg);
        return;
    }
    if (!(L3 > 0.0) || !(1.0 - L1 - L3 > 0.0)) {
        snprintf(texto, n, ": zone lengths L1 = %g, L2 = %g, L3 = %g leave a zone without length", L1, 1.0 - L1 - L3,
                 L3);
        return;
    }
}

/* Checked when the block is sized (below) and by the host whenever the dialog
 * values change; only a simulation checks them, so only a MEX build has it. */
#define MDL_CHECK_PARAMETERS
#if defined(MDL_CHECK_PARAMETERS) && defined(MATLAB_MEX_FILE)
static void mdlCheckParameters(SimStruct *S)
{
    if (parametros_validos(S) && valores_validos(S)) modo_inicial_valido(S);
}
#endif

static void mdlInitializeSizes(SimStruct *S)
{
    ssSetNumSFcnParams(S, 5);
    if (ssGetNumSFcnParams(S) != ssGetSFcnParamsCount(S)) {
        return; /* the host reports the mismatch */
    }
#if defined(MATLAB_MEX_FILE)
    mdlCheckParameters(S);
    if (ssGetErrorStatus(S) != NULL) return;
#endif

    if (!ssSetNumInputPorts(S, 2)) return;
    ssSetInputPortWidth(S, 0, 4);
    ssSetInputPortWidth(S, 1, 3);
    ssSetInputPortDirectFeedThrough(S, 0, 1);
    ssSetInputPortDirectFeedThrough(S, 1, 1);

    if (!ssSetNumOutputPorts(S, 4)) return;
    ssSetOutputPortWidth(S, 0, 21);
    ssSetOutputPortWidth(S, 1, 5);
    ssSetOutputPortWidth(S, 2, 5);
    ssSetOutputPortWidth(S, 3, 1);

    ssSetNumRWork(S, 70);
    ssSetNumPWork(S, 1); /* the property-library reference this block holds */
    ssSetNumContStates(S, 5);
    ssSetNumDiscStates(S, 1);
    ssSetOptions(S, 2);
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
    /* Starting values of the extended state that the first update compares
     * when no output has been computed yet, and of the previous inputs. */
    static const double y_inicial[18] = {250000, 303.15, 0.5, 1200, 323.15, 0.84, 333.15, 328.15, 325.15,
                                         430000, 425000, 0.6, 300,  700,  3,    300,  700,  0};
    static const double u_inicial[4] = {0.0056, 0.0056, 430000, 1740000};
    real_T *x = ssGetContStates(S);
    real_T *modo = ssGetRealDiscStates(S);
    real_T *rw = ssGetRWork(S);
    int k, p;

    /* Initial conditions may be set more than once: the reference taken the
     * previous time is given back before the library is opened again. */
    soltar_libreria(S);
    if (!tomar_libreria(S)) return;
    if (!enlazar_parametros(S) || !modo_inicial_valido(S)) {
        /* A start that fails holds nothing: the host need not terminate us. */
        soltar_libreria(S);
        return;
    }

    x[0] = *CI.Condenser_L1_inicial;
    x[1] = *CI.Condenser_P_inicial;
    x[2] = *CI.Condenser_h3_inicial;
    x[3] = *CI.Condenser_L3_inicial;
    x[4] = *CI.Condenser_gamma_inicial;
    modo[0] = *CI.Condenser_mode;

    for (p = 0; p < 3; ++p) {
        real_T *y = ssGetOutputPortRealSignal(S, p);
        for (k = 0; k < ssGetOutputPortWidth(S, p); ++k) y[k] = 0.0;
    }
    ssGetOutputPortRealSignal(S, 3)[0] = modo[0];

    for (k = 0; k < 5; ++k) rw[k] = x[k];
    for (k = 0; k < 5; ++k) rw[40 + k] = 0.0;
    for (k = 0; k < 18; ++k) rw[10 + k] = y_inicial[k];
    for (k = 0; k < 4; ++k) rw[50 + k] = u_inicial[k];
}
#endif

static void mdlOutputs(SimStruct *S, int_T tid)
{
    InputRealPtrsType uU = ssGetInputPortRealSignalPtrs(S, 0);
    InputRealPtrsType uW = ssGetInputPortRealSignalPtrs(S, 1);
    const real_T *xCont = ssGetContStates(S);
    const real_T mode_condens = ssGetRealDiscStates(S)[0];
    real_T *rw = ssGetRWork(S);
    real_T *y1 = ssGetOutputPortRealSignal(S, 0);
    real_T *y2 = ssGetOutputPortRealSignal(S, 1);
    double y[21];
    double L1_c, gamma_c;
    char causa[400];
    int k;
    UNUSED_ARG(tid);

    if (!enlazar_parametros(S) || !libreria_enlazada(S) || !modo_conocido(S, mode_condens)) return;
    if (!entradas_validas(S, 1)) return;

    const double mR_in = *uU[0], mR_out = *uU[1], hR_c_in = *uU[2], P_c_in = *uU[3];
    const double u_condens[3] = {(mR_in + mR_out) / 2.0, hR_c_in, P_c_in};
    const double w[3] = {*uW[0], *uW[1], *uW[2]};
    const double L1_c_ahora = xCont[0];
    const double gamma_c_ahora = xCont[4];

    for (k = 0; k < 21; ++k) y[k] = 0.0;

    if (modo_entero(mode_condens) == 1) {
        /* The fit starts from the superheated length of the state, which is
         * where the zone boundary stood when mode 1 was entered. A state at or
         * below the fit's lower point (0.01), or beyond the tube, gives no
         * bracket to start from: the whole tube, which holds any zone, does. */
        const double L1_inicio = (L1_c_ahora > 0.01 && L1_c_ahora <= 1.0) ? L1_c_ahora : 1.0;
        L1_c = metodo_ajuste_L1_condens(L1_inicio, xCont, u_condens, w, PropsSI, lib_handle);
        /* The failure value -1, or a "length" outside the tube, is no
         * superheated zone: stop here rather than publish it. */
        if (L1_c == -1.0) {
            diagnostico(1, L1_inicio, xCont, u_condens, w, mode_condens, causa, sizeof causa);
            fijar_error(S,
                        "%s: the superheated-length fit failed at t = %g (no convergence from L1 = %g at P = %g Pa, "
                        "P_in = %g Pa, h_in = %g J/kg, mR = %g kg/s, Tsec_in = %g K)%s",
                        ssGetPath(S), ssGetT(S), L1_inicio, xCont[1], P_c_in, hR_c_in, u_condens[0], w[0], causa);
            return;
        }
        if (!(L1_c > 0.0 && L1_c < 1.0)) {
            diagnostico(0, L1_c, xCont, u_condens, w, mode_condens, causa, sizeof causa);
            fijar_error(S,
                        "%s: the superheated-length fit gave L1 = %g at t = %g, outside the tube (0..1) (P = %g Pa, "
                        "P_in = %g Pa, h_in = %g J/kg, mR = %g kg/s, Tsec_in = %g K)%s",
                        ssGetPath(S), L1_c, ssGetT(S), xCont[1], P_c_in, hR_c_in, u_condens[0], w[0], causa);
            return;
        }
        evaluacion_L1_condens(y, L1_c, xCont, u_condens, w, &mode_condens, PropsSI, lib_handle);
        gamma_c = y[5];
    } else {
        evaluacion_L1_condens(y, L1_c_ahora, xCont, u_condens, w, &mode_condens, PropsSI, lib_handle);
        L1_c = L1_c_ahora;
        gamma_c = gamma_c_ahora;
    }

    y[20] = y[18];
    y[18] = L1_c;
    y[19] = gamma_c;
    y[17] = 0.0; /* carries no quantity */

    /* The derivative evaluation reads this port back: a refused property
     * query inside the extended state stops the run here, with its cause. */
    for (k = 0; k < 21; ++k) {
        if (!isfinite(y[k])) {
            diagnostico(0, L1_c, xCont, u_condens, w, mode_condens, causa, sizeof causa);
            fijar_error(S,
                        "%s: element %d of the extended state (output port 0) is %g at t = %g (mode %d, L1 = %g, "
                        "P = %g Pa, h3 = %g J/kg, L3 = %g, gamma = %g)%s",
                        ssGetPath(S), k, y[k], ssGetT(S), modo_entero(mode_condens), L1_c, xCont[1], xCont[2],
                        xCont[3], gamma_c, causa);
            return;
        }
    }

    for (k = 0; k < 21; ++k) y1[k] = y[k];
    for (k = 0; k < 5; ++k) y2[k] = xCont[k];
    for (k = 0; k < 5; ++k) rw[k] = xCont[k];
    for (k = 0; k < 18; ++k) rw[10 + k] = y[k];
}

#define MDL_DERIVATIVES
#if defined(MDL_DERIVATIVES)
static void mdlDerivatives(SimStruct *S)
{
    InputRealPtrsType uU = ssGetInputPortRealSignalPtrs(S, 0);
    const real_T *xCont = ssGetContStates(S);
    real_T *dx = ssGetdX(S);
    real_T *rw = ssGetRWork(S);
    const real_T mode_condens = ssGetRealDiscStates(S)[0];
    const real_T *y1 = ssGetOutputPortRealSignal(S, 0);
    real_T *y3 = ssGetOutputPortRealSignal(S, 2);
    double xdot[5], x[5];
    int k;

    if (!enlazar_parametros(S) || !libreria_enlazada(S) || !modo_conocido(S, mode_condens)) return;
    if (!entradas_validas(S, 0)) return;

    const double Lmin = *Param_sim.Lmin;
    const double u_condens[4] = {*uU[0], *uU[1], *uU[2], *uU[3]};

    /* A switch back to three zones starts the subcooled zone at Lmin; and a
     * subcooled zone never enters the balances with no length at all. The
     * derivatives are those of the lifted state, worked out on a copy: this
     * callback also runs in the solver's minor steps, where a continuous
     * state must not change. mdlUpdate lifts the state itself. */
    for (k = 0; k < 5; ++k) x[k] = xCont[k];
    if (rw[60] == 1.0) {
        rw[60] = 0.0;
        x[3] = Lmin;
    }
    if (x[3] <= 0.0) x[3] = Lmin;

    if (modo_entero(mode_condens) == 1)
        modelo_condensador_modo1(xdot, x, u_condens, y1, PropsSI, lib_handle);
    else
        modelo_condensador_modo2(xdot, x, u_condens, y1, PropsSI, lib_handle);

    for (k = 0; k < 5; ++k) {
        dx[k] = xdot[k];
        rw[40 + k] = xdot[k];
        y3[k] = xdot[k];
    }
}
#endif

#define MDL_UPDATE
#if defined(MDL_UPDATE)
static void mdlUpdate(SimStruct *S, int_T tid)
{
    InputRealPtrsType uU = ssGetInputPortRealSignalPtrs(S, 0);
    real_T *xCont = ssGetContStates(S);
    real_T *modo = ssGetRealDiscStates(S);
    real_T *rw = ssGetRWork(S);
    double xahora_aux[5], dx_dt_aux[5], yahora_aux[18], u_condens_ant[4];
    double flag_cambio_modo_aux, x_antes[5];
    int k;
    UNUSED_ARG(tid);

    if (!enlazar_parametros(S) || !libreria_enlazada(S)) return;
    for (k = 0; k < 5; ++k) x_antes[k] = xCont[k];

    for (k = 0; k < 5; ++k) xahora_aux[k] = rw[k];
    for (k = 0; k < 5; ++k) dx_dt_aux[k] = rw[40 + k];
    for (k = 0; k < 18; ++k) yahora_aux[k] = rw[10 + k];
    for (k = 0; k < 4; ++k) u_condens_ant[k] = rw[50 + k];
    flag_cambio_modo_aux = rw[60];

    const double modesig = seleccion_modo_condensador(xahora_aux, dx_dt_aux, xCont, u_condens_ant, yahora_aux,
                                                      modo[0], &flag_cambio_modo_aux, PropsSI, lib_handle);
    modo[0] = modesig;
    ssGetOutputPortRealSignal(S, 3)[0] = modesig;
    rw[60] = flag_cambio_modo_aux;

    /* The subcooled length the derivatives will work with, applied to the
     * state here, in a major step: Lmin after a switch back to three zones,
     * and never a zone without length. A continuous state changed here is a
     * jump the solver must know of, or it may carry on from its own copy. */
    {
        const double Lmin = *Param_sim.Lmin;
        if (rw[60] == 1.0) xCont[3] = Lmin;
        if (xCont[3] <= 0.0) xCont[3] = Lmin;
    }
    for (k = 0; k < 5; ++k) {
        if (xCont[k] != x_antes[k]) {
            ssSetSolverNeedsReset(S);
            break;
        }
    }

    {
        const double mR = (*uU[0] + *uU[1]) / 2.0;
        rw[50] = mR;
        rw[51] = mR;
        rw[52] = *uU[2];
        rw[53] = *uU[3];
    }
}
#endif

static void mdlTerminate(SimStruct *S)
{
    soltar_libreria(S);
}

#ifdef MATLAB_MEX_FILE
#include "simulink.c"
#else
#include "cg_sfun.h"
#endif
