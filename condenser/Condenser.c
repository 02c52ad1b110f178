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
 *   20 the outlet pressure (the SAL_* names of Cond.h)
 * Output 1 (5): the states; output 2 (5): their derivatives; output 3: mode
 * Parameters: 1 geometry record, 2 refrigerant, 3 secondary fluid,
 *   4 starting values and mode, 5 switching constants
 *
 * Each output evaluation fits the superheated length (mode 1) and publishes
 * the extended state; each derivative evaluation hands it to the model of the
 * current mode; each update lets the mode selection pick the next mode from
 * what the latest output and derivative evaluations recorded in the work
 * vector (the RW_* regions of Cond.h):
 *   0-4 states seen by the latest output     10-27 its port-0 elements 0-17
 *   40-44 latest derivatives                 50-53 inputs at the previous update
 *   60 mode-change flag (L3 to be reset to Lmin at the next derivative call)
 *
 * The parameter records are bound from the calling block's own dialog at the
 * start of every callback that uses them, so several condensers in one model
 * each compute with their own parameters. The dialog is validated when it
 * can change: when the block is sized, by the host whenever a dialog value
 * changes (mdlCheckParameters), and once more when the run starts; the
 * callbacks of the run then read values known to be sound.
 */
#define S_FUNCTION_NAME Condenser
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"
#include "propiedades.h"
#include "parametros.h"
#include "errores.h"
#include "secundario.h"
#include "Cond.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

static void *lib_handle = NULL;
static CPType PropsSI = NULL;
/* Condensers that hold the shared binding of the property library: the first
 * start binds it, the last terminate releases it. */
static int condensadores_con_libreria = 0;

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
    char tipo[CAPACIDAD_TEXTO];
    int k;

    for (k = 0; k < N_CAMPOS(campos_geometria); ++k)
        if (!comprobar_campo_numerico(S, 0, campos_geometria[k])) return 0;
    if (!comprobar_campo_texto(S, 0, "tipo_intercambiador", CAPACIDAD_TEXTO)) return 0;
    mxGetString(mxGetField(ssGetSFcnParam(S, 0), 0, "tipo_intercambiador"), tipo, CAPACIDAD_TEXTO);
    if (strcmp(tipo, TIPO_FLUJO_CRUZADO) != 0 && strcmp(tipo, TIPO_CONTRACORRIENTE) != 0) {
        fijar_error(S, "%s: field \"tipo_intercambiador\" of dialog parameter 1 is \"%s\"; it must be \"%s\" or \"%s\"",
                    ssGetPath(S), tipo, TIPO_FLUJO_CRUZADO, TIPO_CONTRACORRIENTE);
        return 0;
    }
    if (!comprobar_texto(S, 1, "refrigerant name", CAPACIDAD_TEXTO)) return 0;
    if (!comprobar_texto(S, 2, "secondary-fluid name", CAPACIDAD_TEXTO)) return 0;
    for (k = 0; k < N_CAMPOS(campos_iniciales); ++k)
        if (!comprobar_campo_numerico(S, 3, campos_iniciales[k])) return 0;
    for (k = 0; k < N_CAMPOS(campos_simulacion); ++k)
        if (!comprobar_campo_numerico(S, 4, campos_simulacion[k])) return 0;
    return 1;
}

/* Values every computation relies on: a tube bundle that exists (a zero or
 * negative area or volume gives no heat transfer, or heat rates of the wrong
 * sign), heat-transfer coefficients that are not negative, a smallest
 * subcooled length inside the tube, and starting states that are states:
 * length and void fractions between 0 and 1, a positive pressure. */
static const RangoDialogo rangos_condensador[] = {
    {0, "N_pasos", "number of passes", 0.0, 0, HUGE_VAL, 0},
    {0, "N_tubos", "tubes per pass", 0.0, 0, HUGE_VAL, 0},
    {0, "L_tubos", "tube length, m", 0.0, 0, HUGE_VAL, 0},
    {0, "D_tubos", "tube diameter, m", 0.0, 0, HUGE_VAL, 0},
    {0, "alfa1", "heat-transfer coefficient of zone 1, W/(m2 K)", 0.0, 1, HUGE_VAL, 0},
    {0, "alfa2", "heat-transfer coefficient of zone 2, W/(m2 K)", 0.0, 1, HUGE_VAL, 0},
    {0, "alfa3", "heat-transfer coefficient of zone 3, W/(m2 K)", 0.0, 1, HUGE_VAL, 0},
    {4, "Lmin", "smallest subcooled length fraction", 0.0, 0, 1.0, 0},
    {4, "Kh", "relaxation rate of h3, 1/s", 0.0, 1, HUGE_VAL, 0},
    {3, "Condenser_L1_inicial", "superheated length fraction", 0.0, 1, 1.0, 1},
    {3, "Condenser_L3_inicial", "subcooled length fraction", 0.0, 1, 1.0, 1},
    {3, "Condenser_gamma_inicial", "mean void fraction", 0.0, 1, 1.0, 1},
    {3, "Condenser_P_inicial", "pressure, Pa", 0.0, 0, HUGE_VAL, 0},
    {3, "Condenser_h3_inicial", "enthalpy, J/kg", -HUGE_VAL, 0, HUGE_VAL, 0},
};

static int valores_validos(SimStruct *S)
{
    return comprobar_rangos(S, rangos_condensador, N_CAMPOS(rangos_condensador));
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

/* The starting zones must leave the two-phase zone a length, L2 = 1 - L1 -
 * L3 > 0, or the first output already divides by a zone without length. A
 * tube filled with subcooled liquid (L3 = 1) leaves none in either mode; in
 * mode 2 the superheated length is the state L1 itself. (In mode 1 the
 * superheated length is fitted anew at every output, starting from L1, so
 * only L3 is bound there.) */
static int longitudes_iniciales_validas(SimStruct *S)
{
    const double L1 = *campo(S, 3, "Condenser_L1_inicial");
    const double L3 = *campo(S, 3, "Condenser_L3_inicial");
    if (!(L3 < 1.0)) {
        fijar_error(S, "%s: field \"Condenser_L3_inicial\" of dialog parameter 4 (subcooled length fraction) is %g: "
                       "a tube full of subcooled liquid leaves no length for the refrigerant to condense in; it "
                       "must be below 1", ssGetPath(S), L3);
        return 0;
    }
    if (*campo(S, 3, "Condenser_mode") == 2.0 && !(L1 + L3 < 1.0)) {
        fijar_error(S, "%s: fields \"Condenser_L1_inicial\" = %g and \"Condenser_L3_inicial\" = %g of dialog "
                       "parameter 4 add up to %g: in mode 2 they leave the two-phase zone no length; their sum "
                       "must be below 1", ssGetPath(S), L1, L3, L1 + L3);
        return 0;
    }
    return 1;
}

/* The whole dialog, as sound as the model needs it. */
static int dialogo_valido(SimStruct *S)
{
    return parametros_validos(S) && valores_validos(S) && modo_inicial_valido(S) && longitudes_iniciales_validas(S);
}

/* The callbacks of a run trust the dialog the last check found sound, and
 * validate it again only when that check refused it: a host that calls them
 * anyway then gets the same error, not a read through a missing field. */
static int dialogo_vigente(SimStruct *S)
{
    real_T *rw = ssGetRWork(S);
    if (rw[RW_DIALOGO_VALIDO] != 1.0) {
        if (!dialogo_valido(S)) return 0;
        rw[RW_DIALOGO_VALIDO] = 1.0;
    }
    return 1;
}

/* Points the parameter records at this block's dialog values, validated when
 * they were set (dialogo_valido), and derives the exchange area and the
 * refrigerant volume. */
static void enlazar_parametros(SimStruct *S)
{
    CondAire.N_pasos = campo(S, 0, "N_pasos");
    CondAire.N_tubos = campo(S, 0, "N_tubos");
    CondAire.L_tubos = campo(S, 0, "L_tubos");
    CondAire.D_tubos = campo(S, 0, "D_tubos");
    CondAire.kperd = campo(S, 0, "kperd");
    CondAire.alfa1 = campo(S, 0, "alfa1");
    CondAire.alfa2 = campo(S, 0, "alfa2");
    CondAire.alfa3 = campo(S, 0, "alfa3");
    mxGetString(mxGetField(ssGetSFcnParam(S, 0), 0, "tipo_intercambiador"), CondAire.tipo_interc,
                CAPACIDAD_TEXTO);

    /* Inner surface of all tubes, and the volume it encloses (pi D L per
     * tube, times D/4 for the bore). */
    CondAire.Aintercambio = 3.14159265359 * *CondAire.N_pasos * *CondAire.N_tubos * *CondAire.D_tubos *
                            *CondAire.L_tubos;
    CondAire.V_R = (*CondAire.D_tubos / 4.0) * CondAire.Aintercambio;

    mxGetString(ssGetSFcnParam(S, 1), refr, CAPACIDAD_TEXTO);
    mxGetString(ssGetSFcnParam(S, 2), secflux, CAPACIDAD_TEXTO);

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
    static const int anchos[2] = {N_U_CONDENSADOR, N_W_CONDENSADOR};
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
    const double Tsec_in = w[W_TSEC_IN], msec = w[W_MSEC], Psec_in = w[W_PSEC_IN];
    const double P = xCont[ESTADO_P], L3 = xCont[ESTADO_L3];
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
    const int valido = dialogo_valido(S);
    /* During a run the outcome is kept for the callbacks (see dialogo_vigente);
     * while the block is being sized there is no work vector yet. */
    if (ssGetRWork(S) != NULL && ssGetNumRWork(S) >= N_RWORK_CONDENSADOR)
        ssGetRWork(S)[RW_DIALOGO_VALIDO] = valido ? 1.0 : 0.0;
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
    ssSetInputPortWidth(S, 0, N_U_CONDENSADOR);
    ssSetInputPortWidth(S, 1, N_W_CONDENSADOR);
    ssSetInputPortDirectFeedThrough(S, 0, 1);
    ssSetInputPortDirectFeedThrough(S, 1, 1);

    if (!ssSetNumOutputPorts(S, 4)) return;
    ssSetOutputPortWidth(S, 0, N_SAL_CONDENSADOR);
    ssSetOutputPortWidth(S, 1, N_ESTADOS_CONDENSADOR);
    ssSetOutputPortWidth(S, 2, N_ESTADOS_CONDENSADOR);
    ssSetOutputPortWidth(S, 3, 1);

    ssSetNumRWork(S, N_RWORK_CONDENSADOR);
    ssSetNumContStates(S, N_ESTADOS_CONDENSADOR);
    ssSetNumDiscStates(S, 1);
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
    /* Starting values of the extended state that the first update compares
     * when no output has been computed yet, and of the previous inputs. */
    static const double y_inicial[N_RW_SALIDA] = {250000, 303.15, 0.5, 1200, 323.15, 0.84, 333.15, 328.15, 325.15,
                                         430000, 425000, 0.6, 300,  700,  3,    300,  700,  0};
    static const double u_inicial[N_U_CONDENSADOR] = {0.0056, 0.0056, 430000, 1740000};
    real_T *x = ssGetContStates(S);
    real_T *modo = ssGetRealDiscStates(S);
    real_T *rw = ssGetRWork(S);
    int k, p;

    /* Initial conditions may be set more than once: the binding gives back
     * the reference taken the previous time before it takes one again. */
    if (!tomar_libreria_compartida(S, &lib_handle, &PropsSI, &condensadores_con_libreria)) return;
    if (!dialogo_valido(S)) {
        /* A start that fails holds nothing: the host need not terminate us. */
        soltar_libreria_compartida(S, &lib_handle, &PropsSI, &condensadores_con_libreria);
        return;
    }
    enlazar_parametros(S);
    rw[RW_DIALOGO_VALIDO] = 1.0;

    x[ESTADO_L1] = *CI.Condenser_L1_inicial;
    x[ESTADO_P] = *CI.Condenser_P_inicial;
    x[ESTADO_H3] = *CI.Condenser_h3_inicial;
    x[ESTADO_L3] = *CI.Condenser_L3_inicial;
    x[ESTADO_GAMMA] = *CI.Condenser_gamma_inicial;
    modo[0] = *CI.Condenser_mode;

    for (p = 0; p < 3; ++p) {
        real_T *y = ssGetOutputPortRealSignal(S, p);
        for (k = 0; k < ssGetOutputPortWidth(S, p); ++k) y[k] = 0.0;
    }
    ssGetOutputPortRealSignal(S, 3)[0] = modo[0];

    for (k = 0; k < N_ESTADOS_CONDENSADOR; ++k) rw[RW_ESTADOS + k] = x[k];
    for (k = 0; k < N_ESTADOS_CONDENSADOR; ++k) rw[RW_DERIVADAS + k] = 0.0;
    for (k = 0; k < N_RW_SALIDA; ++k) rw[RW_SALIDA + k] = y_inicial[k];
    for (k = 0; k < N_U_CONDENSADOR; ++k) rw[RW_U_ANTERIOR + k] = u_inicial[k];
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
    double y[N_SAL_CONDENSADOR];
    double L1_c, gamma_c;
    char causa[400];
    int k;
    UNUSED_ARG(tid);

    if (!dialogo_vigente(S) || !libreria_enlazada(S) || !modo_conocido(S, mode_condens)) return;
    if (!entradas_validas(S, 1)) return;
    enlazar_parametros(S);

    const double mR_in = *uU[U_MR_IN], mR_out = *uU[U_MR_OUT], hR_c_in = *uU[U_HR_IN], P_c_in = *uU[U_P_IN];
    const double u_condens[3] = {(mR_in + mR_out) / 2.0, hR_c_in, P_c_in};
    const double w[N_W_CONDENSADOR] = {*uW[W_TSEC_IN], *uW[W_MSEC], *uW[W_PSEC_IN]};
    const double L1_c_ahora = xCont[ESTADO_L1];
    const double gamma_c_ahora = xCont[ESTADO_GAMMA];

    /* The air or water must be a gas or a liquid at its pressure before
     * anything is computed with it, and stay so up to the temperature it
     * leaves at (checked once the outlet is known, below). */
    const EntradasSecundario entradas_sec = {"input port 1 element 2 (Psec_in)", "input port 1 element 0 (Tsec_in)"};
    if (!secundario_plausible(S, PropsSI, secflux, w[W_PSEC_IN], w[W_TSEC_IN], w[W_TSEC_IN], entradas_sec)) return;

    for (k = 0; k < N_SAL_CONDENSADOR; ++k) y[k] = 0.0;

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
                        ssGetPath(S), ssGetT(S), L1_inicio, xCont[ESTADO_P], P_c_in, hR_c_in, u_condens[0], w[0], causa);
            return;
        }
        if (!(L1_c > 0.0 && L1_c < 1.0)) {
            diagnostico(0, L1_c, xCont, u_condens, w, mode_condens, causa, sizeof causa);
            fijar_error(S,
                        "%s: the superheated-length fit gave L1 = %g at t = %g, outside the tube (0..1) (P = %g Pa, "
                        "P_in = %g Pa, h_in = %g J/kg, mR = %g kg/s, Tsec_in = %g K)%s",
                        ssGetPath(S), L1_c, ssGetT(S), xCont[ESTADO_P], P_c_in, hR_c_in, u_condens[0], w[0], causa);
            return;
        }
        evaluacion_L1_condens(y, L1_c, xCont, u_condens, w, &mode_condens, PropsSI, lib_handle);
        gamma_c = y[SAL_GAMMATOT];
    } else {
        evaluacion_L1_condens(y, L1_c_ahora, xCont, u_condens, w, &mode_condens, PropsSI, lib_handle);
        L1_c = L1_c_ahora;
        gamma_c = gamma_c_ahora;
    }

    publicar_salida_condensador(y, L1_c, gamma_c);

    /* The derivative evaluation reads this port back: a refused property
     * query inside the extended state stops the run here, with its cause. */
    for (k = 0; k < N_SAL_CONDENSADOR; ++k) {
        if (!isfinite(y[k])) {
            diagnostico(0, L1_c, xCont, u_condens, w, mode_condens, causa, sizeof causa);
            fijar_error(S,
                        "%s: element %d of the extended state (output port 0) is %g at t = %g (mode %d, L1 = %g, "
                        "P = %g Pa, h3 = %g J/kg, L3 = %g, gamma = %g)%s",
                        ssGetPath(S), k, y[k], ssGetT(S), modo_entero(mode_condens), L1_c, xCont[ESTADO_P],
                        xCont[ESTADO_H3], xCont[ESTADO_L3], gamma_c, causa);
            return;
        }
    }

    if (!secundario_plausible(S, PropsSI, secflux, w[W_PSEC_IN], w[W_TSEC_IN], y[SAL_TSEC_OUT], entradas_sec)) return;

    for (k = 0; k < N_SAL_CONDENSADOR; ++k) y1[k] = y[k];
    for (k = 0; k < N_ESTADOS_CONDENSADOR; ++k) y2[k] = xCont[k];
    for (k = 0; k < N_ESTADOS_CONDENSADOR; ++k) rw[RW_ESTADOS + k] = xCont[k];
    for (k = 0; k < N_RW_SALIDA; ++k) rw[RW_SALIDA + k] = y[k];
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
    double xdot[N_ESTADOS_CONDENSADOR], x[N_ESTADOS_CONDENSADOR];
    int k;

    if (!dialogo_vigente(S) || !libreria_enlazada(S) || !modo_conocido(S, mode_condens)) return;
    if (!entradas_validas(S, 0)) return;
    enlazar_parametros(S);

    const double Lmin = *Param_sim.Lmin;
    const double u_condens[N_U_CONDENSADOR] = {*uU[U_MR_IN], *uU[U_MR_OUT], *uU[U_HR_IN], *uU[U_P_IN]};

    /* A switch back to three zones starts the subcooled zone at Lmin; and a
     * subcooled zone never enters the balances with no length at all. The
     * derivatives are those of the lifted state, worked out on a copy: this
     * callback also runs in the solver's minor steps, where a continuous
     * state must not change. mdlUpdate lifts the state itself. */
    for (k = 0; k < N_ESTADOS_CONDENSADOR; ++k) x[k] = xCont[k];
    if (rw[RW_FLAG_CAMBIO_MODO] == 1.0) {
        rw[RW_FLAG_CAMBIO_MODO] = 0.0;
        x[ESTADO_L3] = Lmin;
    }
    if (x[ESTADO_L3] <= 0.0) x[ESTADO_L3] = Lmin;

    if (modo_entero(mode_condens) == 1)
        modelo_condensador_modo1(xdot, x, u_condens, y1, PropsSI, lib_handle);
    else
        modelo_condensador_modo2(xdot, x, u_condens, y1, PropsSI, lib_handle);

    for (k = 0; k < N_ESTADOS_CONDENSADOR; ++k) {
        dx[k] = xdot[k];
        rw[RW_DERIVADAS + k] = xdot[k];
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
    double xahora_aux[N_ESTADOS_CONDENSADOR], dx_dt_aux[N_ESTADOS_CONDENSADOR], yahora_aux[N_RW_SALIDA],
        u_condens_ant[N_U_CONDENSADOR];
    double flag_cambio_modo_aux, x_antes[N_ESTADOS_CONDENSADOR];
    int k;
    UNUSED_ARG(tid);

    if (!dialogo_vigente(S) || !libreria_enlazada(S)) return;
    enlazar_parametros(S);
    for (k = 0; k < N_ESTADOS_CONDENSADOR; ++k) x_antes[k] = xCont[k];

    for (k = 0; k < N_ESTADOS_CONDENSADOR; ++k) xahora_aux[k] = rw[RW_ESTADOS + k];
    for (k = 0; k < N_ESTADOS_CONDENSADOR; ++k) dx_dt_aux[k] = rw[RW_DERIVADAS + k];
    for (k = 0; k < N_RW_SALIDA; ++k) yahora_aux[k] = rw[RW_SALIDA + k];
    for (k = 0; k < N_U_CONDENSADOR; ++k) u_condens_ant[k] = rw[RW_U_ANTERIOR + k];
    flag_cambio_modo_aux = rw[RW_FLAG_CAMBIO_MODO];

    const double modesig = seleccion_modo_condensador(xahora_aux, dx_dt_aux, xCont, u_condens_ant, yahora_aux,
                                                      modo[0], &flag_cambio_modo_aux, PropsSI, lib_handle);
    modo[0] = modesig;
    ssGetOutputPortRealSignal(S, 3)[0] = modesig;
    rw[RW_FLAG_CAMBIO_MODO] = flag_cambio_modo_aux;

    /* The subcooled length the derivatives will work with, applied to the
     * state here, in a major step: Lmin after a switch back to three zones,
     * and never a zone without length. A continuous state changed here is a
     * jump the solver must know of, or it may carry on from its own copy. */
    {
        const double Lmin = *Param_sim.Lmin;
        if (rw[RW_FLAG_CAMBIO_MODO] == 1.0) xCont[ESTADO_L3] = Lmin;
        if (xCont[ESTADO_L3] <= 0.0) xCont[ESTADO_L3] = Lmin;
    }
    for (k = 0; k < N_ESTADOS_CONDENSADOR; ++k) {
        if (xCont[k] != x_antes[k]) {
            ssSetSolverNeedsReset(S);
            break;
        }
    }

    {
        const double mR = (*uU[U_MR_IN] + *uU[U_MR_OUT]) / 2.0;
        rw[RW_U_ANTERIOR + U_MR_IN] = mR;
        rw[RW_U_ANTERIOR + U_MR_OUT] = mR;
        rw[RW_U_ANTERIOR + U_HR_IN] = *uU[U_HR_IN];
        rw[RW_U_ANTERIOR + U_P_IN] = *uU[U_P_IN];
    }
}
#endif

static void mdlTerminate(SimStruct *S)
{
    soltar_libreria_compartida(S, &lib_handle, &PropsSI, &condensadores_con_libreria);
}

#ifdef MATLAB_MEX_FILE
#include "simulink.c"
#else
#include "cg_sfun.h"
#endif
