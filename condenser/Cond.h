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

#ifdef __cplusplus
extern "C" {
#endif

#define COND_LONGITUD_TEXTO 100

/* Exchanger types, compared as whole texts. */
#define TIPO_CONTRACORRIENTE "PLATE_1_1_CU_1" /* counterflow, air passes zones 3, 2, 1 in series */
#define TIPO_FLUJO_CRUZADO "CRO_UNMIX_MIX_1"  /* cross flow, each zone gets its share of the air */

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
    char tipo_interc[COND_LONGITUD_TEXTO];
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
extern char refr[COND_LONGITUD_TEXTO];    /* refrigerant name */
extern char secflux[COND_LONGITUD_TEXTO]; /* secondary-fluid name */

/* A mode is a double truncated towards zero; anything that is not a finite
 * number in the range of small integers counts as no mode at all (0). */
static inline int modo_entero(double modo)
{
    if (!(modo > -1000.0 && modo < 1000.0)) return 0;
    return (int)modo;
}

/* Two-phase correlations. */
double titulo_vapor_refrigerante(double P, double h, const char *refr, CPType PropsSI, void *lib_handle);
double Thom(double p, double Q, const char *refr, CPType PropsSI, void *lib_handle);
double Thom_inversa(double p, double gamma, const char *refr, CPType PropsSI, void *lib_handle);

/* Effectiveness-NTU heat rate of one zone, hot stream to cold stream, W. */
double metodo_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR, double Tcaliente,
                  double Tfrio, const char *tipo_int);

/* Extended state (19 elements written: 0-16 and 18). */
void extension_estado_condensador(double *y_out, double L1_condens, const double *xahora, const double *u,
                                  const double *w, double mode, CPType PropsSI, void *lib_handle);

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
