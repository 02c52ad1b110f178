/*
 * Thermal model of the plate evaporator.
 *
 * The refrigerant enters two-phase and leaves either still two-phase or
 * superheated; the secondary fluid runs the other way, meeting the
 * superheated zone first and the two-phase zone after it. Zone extents are
 * fractions of the total heat-transfer area Aint: L_e_1 two-phase, L_e_2
 * superheated.
 *
 * Each zone exchanges heat by the effectiveness-NTU relation
 *
 *     Q = epsilon(NTU, Cr) * Cmin * (Tcaliente - Tfrio),
 *     NTU = alfa A / Cmin,  Cr = Cmin / Cmax,
 *
 * with the evaporating refrigerant given a specific heat of 1e10 J/(kg K), so
 * that its capacity rate is effectively infinite and Cr effectively zero.
 *
 * The outlet enthalpy is found backwards: a trial outlet enthalpy fixes the
 * superheated duty mR (h_out - h_g), the superheated fraction that carries it
 * follows from inverting the zone relation, the remaining area gives the
 * two-phase duty and with it the inlet enthalpy the trial implies
 * (eval_evp_dir). A false-position search on the outlet enthalpy then makes
 * the implied inlet enthalpy equal the actual one.
 *
 * Input vectors, filled once per output call:
 *   x    = {Pe [Pa], mR [kg/s]}
 *   w    = {msec_in [kg/s], Tsec_in [K]}
 *   prop = {h_e_g [J/kg], Q_e_in [-], Cp_e_A [J/(kg K)]}
 * Properties come from the deliverable's bound PropsSI (Evap.h).
 */
#ifndef MODELO_EVAPORADOR_H
#define MODELO_EVAPORADOR_H

#include "Evap.h"
#include "efectividad_NTU.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Specific heat standing for the infinite capacity of an evaporating zone. */
#define CP_BIFASICO 1e10
/* Value returned by secant_method_NTU when it gives up. */
#define FRACCION_FALLIDA (-1.0)
/* Fixed specific heat of the secondary fluid "Glicol_propio" [J/(kg K)]. */
#define CP_GLICOL_PROPIO 3370.374
#define NOMBRE_GLICOL_PROPIO "Glicol_propio"

/* Whether a superheated fraction leaves room for a two-phase zone. The
 * failure marker of secant_method_NTU and fractions of 1 or more both mean a
 * superheated zone that fills the exchanger. */
static inline int fraccion_parcial(double L_e_2)
{
    return L_e_2 >= 0.0 && L_e_2 < 1.0;
}

/* Quality of the refrigerant as the zone temperatures use it. The property
 * library answers -1 for any single-phase state; a subcooled liquid is heated
 * to saturation within the two-phase zone's relation, so it counts as
 * saturated liquid. */
static inline double titulo_para_zonas(double Q, double h, double h_e_f)
{
    return (Q < 0.0 && h < h_e_f) ? 0.0 : Q;
}

/* Temperature drop of the secondary fluid giving up Q_sec [W]. Without
 * secondary flow no heat is exchanged and the fluid is reported at its inlet
 * temperature rather than as 0/0. */
static inline double caida_secundario(double Q_sec, double msec_in, double Cp_e_A)
{
    if (Q_sec == 0.0) return 0.0;
    return Q_sec / (msec_in * Cp_e_A);
}

/* Heat rate [W] of a zone of area A [m2] between the secondary fluid entering
 * at Tcaliente and the refrigerant at Tfrio. The relation is chosen by the
 * exchanger type text; an unknown type gives NaN. */
double metodo_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR,
                  double Tcaliente, double Tfrio, const char *tipo_int);

/* The effectiveness relation an exchanger type text names (RelacionNTU of
 * efectividad_NTU.h). */
RelacionNTU relacion_NTU(const char *tipo_int);

/* metodo_NTU with the relation already resolved: the same heat rate, bit for
 * bit, without comparing texts (NaN for RELACION_DESCONOCIDA). */
double calor_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR, double Tcaliente,
                 double Tfrio, RelacionNTU relacion);

/* Area fraction at which a zone of area Aint * fraction carries the duty Q
 * [W]; L is the upper starting fraction. FRACCION_FALLIDA when it gives up
 * (1000 iterations, or a residual that is not a number). */
double secant_method_NTU(double L, double Q, double alfa, double m_sec, double Cp_sec, double mR,
                         double CpR, double Tcaliente, double Tfrio, double Aint,
                         const char *tipo_int);

/* secant_method_NTU from the upper point 0.9, answering FRACCION_FALLIDA at
 * once when even the whole area falls short of the duty Q by more than the
 * tolerance (no fraction in [0, 1) can then carry it). */
double fraccion_sobrecalentada(double Q, double alfa, double m_sec, double Cp_sec, double mR, double CpR,
                               double Tcaliente, double Tfrio, double Aint, const char *tipo_int);

/* Refrigerant inlet enthalpy [J/kg] implied by the trial outlet enthalpy
 * h_e_out. hc_out (the actual inlet enthalpy) is accepted and not used. */
double eval_evp_dir(double h_e_out, double hc_out, const double *x, const double *w,
                    const double *prop, double Aint, const char *refr, ParamEvap param);

/* Outlet enthalpy [J/kg] whose implied inlet enthalpy is hc_out: false
 * position with ten restarts; h_e_out_previa when every attempt fails. */
double secant_method_h_e_out(double hc_out, const double *x, const double *w, const double *prop,
                             double Aint, const char *refr, ParamEvap param, double h_e_out_previa);

/* The same search, telling whether it converged (*convergida = 1) or fell
 * back to h_e_out_previa (0). */
double busqueda_h_e_out(double hc_out, const double *x, const double *w, const double *prop, double Aint,
                        const char *refr, ParamEvap param, double h_e_out_previa, int *convergida);

/* A zone state of the evaporator (regime 1 or 2) with its heats. */
typedef struct {
    int modo_e;
    double L_e_1, Q_e1, Q_e2, T_e_out_1_A, T_e_out_A, h_e_out;
} EstadoZonas;

/* The state the zone relations describe, solved over the two-phase share of
 * the area (regime 1) or, when the whole area evaporates, over the outlet
 * enthalpy (regime 2), by bracketed iterations that cannot fail to converge.
 * h_e_f is the saturated-liquid enthalpy; prop[1] the inlet quality as the
 * zone temperatures use it. Returns 1 with *estado filled, or 0 when the
 * inputs describe no evaporation (no flow, an inlet at or above saturated
 * vapour, a secondary fluid no warmer than the refrigerant) or a property
 * the solution needs is refused. */
int estado_fisico_evaporador(double hc_out, const double *x, const double *w, const double *prop, double h_e_f,
                             double Aint, const char *refr, const ParamEvap *param, EstadoZonas *estado);

/* Whether the outlet-enthalpy search has no root to find for these inputs:
 * 1 when the area split gives a two-zone state whose outlet the search's own
 * evaluation (eval_evp_dir) cannot take back to the inlet enthalpy. The
 * split is solved only when the superheated zone can come near full
 * approach; *hay_estado = 1 then, with the state in *estado. Uses the record
 * Evap. */
int busqueda_sin_raiz(double hc_out, const double *x, const double *w, const double *prop, double h_e_f,
                      double Aint, const char *refr, EstadoZonas *estado, int *hay_estado);

/* Geometry from the bound record: mean channel gap [m], heat-transfer area
 * [m2] and refrigerant-side volume [m3]. */
void geometria_evaporador(ParamEvap param, double *e_hueco, double *Area_eq, double *V_refrigerante);

/* Positions on the block's output port. */
enum {
    SAL_H_E_F = 0,
    SAL_H_E_G,
    SAL_T_E_1_R,
    SAL_L_E_1,
    SAL_Q_E1,
    SAL_Q_E2,
    SAL_T_E_OUT_1_A,
    SAL_T_E_OUT_A,
    SAL_MODO_E,
    SAL_H_E_OUT,
    SAL_TSH,
    NUM_SALIDAS_EVAPORADOR
};

/* Outcome of an output step. Anything but SALIDA_CORRECTA means nothing was
 * written and the held outlet enthalpy was kept: a property the model cannot
 * do without was refused by the library (it answers with a non-finite
 * value), the inputs describe no evaporation, or no state closing the energy
 * balance was found. */
enum {
    SALIDA_CORRECTA = 0,
    SALIDA_SIN_SATURACION,   /* no saturated liquid/vapour enthalpy at Pe */
    SALIDA_SIN_ENTRADA,      /* no quality for the inlet state (Pe, hc_out) */
    SALIDA_SIN_CP_SECUNDARIO, /* no positive specific heat of the secondary fluid */
    SALIDA_SECUNDARIO_FRIO,  /* secondary fluid colder than the refrigerant entering */
    SALIDA_SIN_ESTADO        /* no balanced state for these inputs */
};

/* One output step. u = {hc_out, mR, Pe, Tsec_in, msec_in, psec_in}; Aint the
 * heat-transfer area; *h_e_out_aceptada the last accepted outlet enthalpy,
 * replaced by the published one. Uses the record Evap
 * (coefficients and type bound by the caller). Writes the eleven outputs and
 * returns SALIDA_CORRECTA, or one of the refusals above. */
int salidas_evaporador(const double *u, const char *refr, const char *sec_flux, double Aint,
                       double *h_e_out_aceptada, double *y);

#ifdef __cplusplus
}
#endif

#endif
