/*
 * Condenser: parameter records and model functions.
 *
 * The condenser is a moving-boundary model of a finned-tube (or plate)
 * condenser. The tube length is split, in the direction of the refrigerant
 * flow, into a superheated zone (length fraction L1), a two-phase zone
 * (L2 = 1 - L1 - L3) and a subcooled zone (L3). Mode 1 has all three zones;
 * in mode 2 the refrigerant leaves still two-phase and zone 3 carries no heat.
 *
 * Continuous states: L1, P (mean refrigerant pressure), h3 (enthalpy at the
 * end of the subcooled zone), L3, gamma (mean void fraction of zone 2).
 * Inside the exchanger the pressure falls linearly from the inlet pressure
 * P_in to the outlet pressure 2 P - P_in.
 *
 * The records hold pointers into the host's dialog values; the driver binds
 * them from the calling block's own dialog at the start of every callback that
 * uses them, so two condensers of different sizes in one model each compute
 * with their own geometry. The model functions read them, and take the
 * property entry as their last two arguments (PropsSI, lib_handle).
 */
#ifndef COND_H
#define COND_H

#include "tipo_propiedades.h" /* CPType */
#include "efectividad_NTU.h"   /* exchanger type texts */
#include "texto_dialogo.h"     /* CAPACIDAD_TEXTO */

#ifdef __cplusplus
extern "C" {
#endif


/* Continuous states, in state order (also output port 1). */
enum {
    ESTADO_L1 = 0,    /* superheated-zone length fraction */
    ESTADO_P = 1,     /* mean refrigerant pressure, Pa */
    ESTADO_H3 = 2,    /* enthalpy at the end of the subcooled zone, J/kg */
    ESTADO_L3 = 3,    /* subcooled-zone length fraction */
    ESTADO_GAMMA = 4, /* mean void fraction of the two-phase zone */
    N_ESTADOS_CONDENSADOR = 5
};

/* Input port 0 (EntradaU), and the 4-element refrigerant input u of the
 * model functions. */
enum { U_MR_IN = 0, U_MR_OUT = 1, U_HR_IN = 2, U_P_IN = 3, N_U_CONDENSADOR = 4 };

/* Input port 1 (EntradaW): the secondary fluid. */
enum { W_TSEC_IN = 0, W_MSEC = 1, W_PSEC_IN = 2, N_W_CONDENSADOR = 3 };

/* Output port 0, element by element. Elements 0 to 16 are the extended state
 * as extension_estado_condensador computes it; that function leaves the
 * outlet pressure in element EXT_P_OUT, which publicar_salida_condensador
 * moves to SAL_P_OUT when it fills in the length and void fraction used. */
enum {
    SAL_HR_OUT = 0,        /* refrigerant outlet enthalpy, J/kg */
    SAL_TR_OUT = 1,        /* refrigerant outlet temperature, K */
    SAL_TSC = 2,           /* subcooling, K */
    SAL_Q_TOTAL = 3,       /* heat rate mR (hR_in - hR_out), W */
    SAL_TSEC_OUT = 4,      /* secondary-fluid outlet temperature, K */
    SAL_GAMMATOT = 5,      /* void fraction at half the inlet quality */
    SAL_TSEC_SALIDA1 = 6,  /* secondary fluid after its first, second and third stage, K */
    SAL_TSEC_SALIDA2 = 7,
    SAL_TSEC_SALIDA3 = 8,
    SAL_H1 = 9,            /* mean enthalpy of zone 1, J/kg */
    SAL_H3TIL = 10,        /* mean enthalpy of zone 3 (mode 2: saturated liquid at the outlet), J/kg */
    SAL_L2 = 11,           /* two-phase length fraction */
    SAL_QR1 = 12,          /* zone heat rates by effectiveness-NTU, W */
    SAL_QR2 = 13,
    SAL_QR3 = 14,
    SAL_QR1_ALT = 15,      /* zone 1 and 2 heat rates from the enthalpy balances, W */
    SAL_QR2_ALT = 16,
    SAL_LIBRE = 17,        /* carries no quantity (0) */
    SAL_L1_C = 18,         /* superheated length used for this evaluation */
    SAL_GAMMA_C = 19,      /* mean void fraction used */
    SAL_P_OUT = 20,        /* refrigerant outlet pressure 2 P - P_in, Pa */
    N_SAL_CONDENSADOR = 21
};
#define EXT_P_OUT 18 /* the outlet pressure, where the extended state leaves it */

/* Real work vector (70 slots). */
enum {
    RW_ESTADOS = 0,           /* 5: the states seen by the latest output evaluation */
    RW_SALIDA = 10,           /* N_RW_SALIDA: its port-0 elements 0 to 17 */
    N_RW_SALIDA = 18,
    RW_DERIVADAS = 40,        /* 5: the derivatives of the latest derivative evaluation */
    RW_U_ANTERIOR = 50,       /* 4: refrigerant inputs at the previous update {mR, mR, hR_c_in, P_c_in} */
    RW_FLAG_CAMBIO_MODO = 60, /* 1 when the mode selection has just reset L3 */
    RW_DIALOGO_VALIDO = 61,   /* 1 while the dialog values are the ones last found sound */
    N_RWORK_CONDENSADOR = 70
};

/* Exchanger types, compared as whole texts. */
#define TIPO_CONTRACORRIENTE TIPO_NTU_CONTRACORRIENTE /* counterflow, air passes zones 3, 2, 1 in series */
#define TIPO_FLUJO_CRUZADO TIPO_NTU_FLUJO_CRUZADO     /* cross flow, each zone gets its share of the air */

/* Geometry and heat-transfer coefficients (dialog parameter 1). */
typedef struct {
    const double *N_pasos; /* number of passes */
    const double *N_tubos; /* tubes per pass */
    const double *L_tubos; /* tube length, m */
    const double *D_tubos; /* tube diameter, m */
    const double *kperd;   /* pressure-loss factor (not used by the model) */
    const double *alfa1;   /* heat-transfer coefficient of zone 1, W/(m2 K) */
    const double *alfa2;   /* zone 2 */
    const double *alfa3;   /* zone 3 */
    double Aintercambio;   /* heat-exchange area, m2 */
    double V_R;            /* refrigerant volume, m3 */
    char tipo_interc[CAPACIDAD_TEXTO];
} ParamCond;

/* Starting values of the states and the mode (dialog parameter 4). */
typedef struct {
    const double *Condenser_L1_inicial;
    const double *Condenser_P_inicial;
    const double *Condenser_h3_inicial;
    const double *Condenser_L3_inicial;
    const double *Condenser_gamma_inicial;
    const double *Condenser_mode;
} Cond_inicial;

/* Switching and relaxation constants (dialog parameter 5). */
typedef struct {
    const double *Lmin;       /* smallest subcooled length fraction kept */
    const double *Lmin_gamma; /* length threshold of the return to mode 1 */
    const double *Kh;         /* relaxation rate of h3 in mode 2, 1/s */
    const double *Kgamma;     /* not used by the model */
} Parametros_de_simulacion;

extern ParamCond CondAire;
extern Cond_inicial CI;
extern Parametros_de_simulacion Param_sim;
extern char refr[CAPACIDAD_TEXTO];    /* refrigerant name */
extern char secflux[CAPACIDAD_TEXTO]; /* secondary-fluid name */

/* A mode is a double truncated towards zero; anything that is not a finite
 * number in the range of small integers counts as no mode at all (0). */
static inline int modo_entero(double modo)
{
    if (!(modo > -1000.0 && modo < 1000.0)) return 0;
    return (int)modo;
}

/* Two-phase correlations. */
double titulo_vapor_refrigerante(double P, double h, const char *fluido, CPType PropsSI, void *lib_handle);
double Thom(double p, double Q, const char *fluido, CPType PropsSI, void *lib_handle);
double Thom_inversa(double p, double gamma, const char *fluido, CPType PropsSI, void *lib_handle);

/* Effectiveness-NTU heat rate of one zone, hot stream to cold stream, W. */
double metodo_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR, double Tcaliente,
                  double Tfrio, const char *tipo_int);

/* Extended state: elements SAL_HR_OUT to SAL_QR2_ALT (0-16) and EXT_P_OUT
 * (18) written, element 17 untouched. */
void extension_estado_condensador(double *y_out, double L1_condens, const double *xahora, const double *u,
                                  const double *w, double mode, CPType PropsSI, void *lib_handle);

/* Output port 0 from an extended state in y (N_SAL_CONDENSADOR elements):
 * the outlet pressure moves from EXT_P_OUT to SAL_P_OUT, SAL_L1_C and
 * SAL_GAMMA_C take the superheated length and mean void fraction used, and
 * SAL_LIBRE is 0. */
void publicar_salida_condensador(double *y, double L1_c, double gamma_c);

/* Superheated-length fit; -1.0 when it fails. */
double metodo_ajuste_L1_condens(double L1_c_ahora_0, const double *xCont, const double *u_condens, const double *w,
                                CPType PropsSI, void *lib_handle);
void evaluacion_L1_condens(double *p_y_condens_ahora, double L1_condens_ahora, const double *x_ahora,
                           const double *u_condens, const double *w, const double *mode_condens, CPType PropsSI,
                           void *lib_handle);

/* Closed-form partial derivatives of the two-phase mean enthalpy and density. */
void derivadas_entalpia(double *props_der_entalpias, double gamma, double rhof, double rhog, double vf, double vg,
                        double hf, double hg);
void derivadas_densidad(double *props_der_densidad, double gamma, double rhof, double rhog, double vf, double vg);

/* Boundary pressures of the two-phase zone and its saturation properties
 * there, each with its change over one pascal (suffix p). */
typedef struct {
    double P_out, Pg, Pf;
    double rhof, rhog, rhofp, rhogp;
    double hf, hg, hfp, hgp;
    double vf, vg, vfp, vgp;
} SaturacionBordes;

/* Twelve saturation queries, in the order the mode models rely on. */
void saturacion_bordes_zona_bifasica(SaturacionBordes *s, double L1, double P, double L3, double P_in,
                                     CPType PropsSI);
/* Mean density and enthalpy of the two-phase zone at mean quality Qbar, with
 * their changes per pascal (p) and per unit of void fraction (pp). */
void medias_zona_bifasica(const SaturacionBordes *s, double gamma, double Qbar, double *rho2, double *rho2p,
                          double *rho2pp, double *h2, double *h2p, double *h2pp);

/* Mode models: the five state derivatives. */
void evaluacion_propiedades_condensador_modo1(double *propiedades_modo1, const double *xCont, const double *u,
                                              const double *y_condens, CPType PropsSI, void *lib_handle);
void modelo_condensador_modo1(double *xdot, const double *xCont, const double *u, const double *y_condens,
                              CPType PropsSI, void *lib_handle);
void evaluacion_propiedades_condensador_modo2(double *propiedades_modo2, const double *xCont, const double *u,
                                              const double *y_condens, CPType PropsSI, void *lib_handle);
void modelo_condensador_modo2(double *xdot, const double *xCont, const double *u, const double *y_condens,
                              CPType PropsSI, void *lib_handle);

/* Mode for the next step. */
double seleccion_modo_condensador(const double *xahora, const double *dx_total, double *xsig, const double *u,
                                  const double *yahora, double modeahora, double *flag_cambio_modo, CPType PropsSI,
                                  void *lib_handle);

#ifdef __cplusplus
}
#endif

#endif
