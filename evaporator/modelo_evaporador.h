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

/* Heat rate [W] of a zone of area A [m2] between the secondary fluid entering
 * at Tcaliente and the refrigerant at Tfrio. The relation is chosen by the
 * exchanger type text; an unknown type gives NaN. */
double metodo_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR,
                  double Tcaliente, double Tfrio, const char *tipo_int);

/* Area fraction at which a zone of area Aint * fraction carries the duty Q
 * [W]; L is the upper starting fraction. FRACCION_FALLIDA when it gives up
 * (1000 iterations, or a residual that is not a number). */
double secant_method_NTU(double L, double Q, double alfa, double m_sec, double Cp_sec, double mR,
                         double CpR, double Tcaliente, double Tfrio, double Aint,
                         const char *tipo_int);

/* Refrigerant inlet enthalpy [J/kg] implied by the trial outlet enthalpy
 * h_e_out. hc_out (the actual inlet enthalpy) is accepted and not used. */
double eval_evp_dir(double h_e_out, double hc_out, const double *x, const double *w,
                    const double *prop, double Aint, const char *refr, ParamEvap Evap);

/* Outlet enthalpy [J/kg] whose implied inlet enthalpy is hc_out: false
 * position with ten restarts; h_e_out_previa when every attempt fails. */
double secant_method_h_e_out(double hc_out, const double *x, const double *w, const double *prop,
                             double Aint, const char *refr, ParamEvap Evap, double h_e_out_previa);

/* Geometry from the bound record: mean channel gap [m], heat-transfer area
 * [m2] and refrigerant-side volume [m3]. */
void geometria_evaporador(ParamEvap Evap, double *e_hueco, double *Area_eq, double *V_refrigerante);

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

/* Outcome of an output step. Anything but SALIDA_CORRECTA means a property
 * the model cannot do without was refused by the library (it answers with a
 * non-finite value); nothing was written then and the search did not run. */
enum {
    SALIDA_CORRECTA = 0,
    SALIDA_SIN_SATURACION,  /* no saturated liquid/vapour enthalpy at Pe */
    SALIDA_SIN_ENTRADA,     /* no quality for the inlet state (Pe, hc_out) */
    SALIDA_SIN_CP_SECUNDARIO /* no positive specific heat of the secondary fluid */
};

/* One output step. u = {hc_out, mR, Pe, Tsec_in, msec_in, psec_in}; Aint the
 * heat-transfer area; *h_e_out_aceptada the last accepted outlet enthalpy,
 * replaced by the new one when the search converges. Uses the record Evap
 * (coefficients and type bound by the caller). Writes the eleven outputs and
 * returns SALIDA_CORRECTA, or one of the refusals above. */
int salidas_evaporador(const double *u, const char *refr, const char *sec_flux, double Aint,
                       double *h_e_out_aceptada, double *y);

#ifdef __cplusplus
}
#endif

#endif
