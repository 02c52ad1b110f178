/*
 * Zone state of the evaporator solved over the area split.
 *
 * The outlet-enthalpy search fixes a trial outlet enthalpy and inverts the
 * superheated zone's relation for the area that carries that duty. When the
 * plate pack can give more heat than the refrigerant can take, the vapour
 * leaves within a hair of the secondary inlet temperature: the superheated
 * zone sits at full approach, its heat rate hardly changes with its area,
 * and that inversion (and with it the search) cannot resolve the split.
 * Taken the other way round the same relations are well posed:
 *
 *   given the two-phase share L_e_1, the superheated zone takes the rest of
 *   the area, 1 - L_e_1, and heats the vapour from saturation with the
 *   secondary fluid entering at Tsec_in:
 *       Q_e2 = metodo_NTU(Aint (1 - L_e_1), alfa_sh, ..., Cp_e_2, Tsec_in, T_sat),
 *       h_e_out = h_e_g + Q_e2 / mR,
 *   with the vapour's specific heat Cp_e_2 at the zone's mean enthalpy
 *   (h_e_g + h_e_out)/2, a fixed point that settles in a few passes;
 *   the secondary fluid leaves the superheated zone at
 *       T_e_out_1_A = Tsec_in - Q_e2 / (msec_in Cp_e_A)
 *   and meets the two-phase zone, at the temperature of its mean quality:
 *       Q_e1 = metodo_NTU(Aint L_e_1, alfa_tp, ..., 1e10, T_e_out_1_A, T_e_1_R).
 *
 * The refrigerant must take Q_e1 = mR (h_e_g - hc_out) in the two-phase
 * zone. Q_e1 grows with L_e_1 both through its area and through the warmer
 * secondary fluid that a smaller superheated zone leaves, so the residual is
 * monotone, -mR (h_e_g - hc_out) at L_e_1 = 0; when it is positive at
 * L_e_1 = 1 the root is bracketed and found by a method that cannot fail.
 * When it is not, the whole area evaporates and the outlet is two-phase:
 *
 *   h_e_out - hc_out = metodo_NTU(Aint, alfa_tp, ..., 1e10, Tsec_in, T_e_1_R) / mR,
 *
 * T_e_1_R at the mean of inlet and outlet qualities, bracketed between the
 * inlet enthalpy and saturated vapour.
 *
 * Either way Q_e1 + Q_e2 = mR (h_e_out - hc_out) holds to the solver's
 * tolerance and the secondary fluid's outlet follows from the same heats.
 */
#include "modelo_evaporador.h"
#include "raiz_acotada.h"

#include <math.h>

/* Relative tolerances: the two-phase duty of the split, the outlet enthalpy
 * of the vapour's specific-heat fixed point. */
#define TOLERANCIA_REPARTO 1e-9
#define TOLERANCIA_CP 1e-10
#define MAX_PASOS_CP 50
/* Relative step below the split's outlet enthalpy at which the search's own
 * evaluation must already imply an inlet below the actual one. Where the
 * search converges its root lies within about 1e-7 of the split's outlet;
 * where it cannot, the inversion of the superheated zone has already failed
 * there and the evaluation jumps to the all-superheated branch, whose
 * implied inlet lies far above. */
#define PASO_SONDA 1e-6
/* A superheated zone whose whole-area heat stays this far (relative) below
 * its full-approach heat is nowhere near full approach: the search resolves
 * the split and the state need not be solved beforehand. Where the search
 * was seen to fail, the zone at the state's own share was within 5e-4 of
 * full approach, the whole area closer still. */
#define LEJOS_DE_APROXIMACION 1e-2

typedef struct {
    double hc_out, Pe, mR, msec_in, Tsec_in, h_e_f, h_e_g, Q_e_in, Cp_e_A, Aint;
    const char *refr;
    const ParamEvap *param;
    double T_sat;        /* saturated-vapour temperature */
    double T_e_1_R;      /* two-phase zone temperature */
    double demanda;      /* two-phase duty mR (h_e_g - hc_out) [W] */
    /* Last evaluated split. */
    double h_e_out, Q_e1, Q_e2, T_e_out_1_A;
} Reparto;

/* Heat of a superheated zone of share L_e_2; leaves its outlet enthalpy in
 * r->h_e_out (also the starting point of the next call's fixed point). */
static double calor_sobrecalentado(Reparto *r, double L_e_2)
{
    if (!(L_e_2 > 0.0)) {
        r->h_e_out = r->h_e_g;
        return 0.0;
    }
    double h = r->h_e_out > r->h_e_g ? r->h_e_out : r->h_e_g + 1000.0 * (r->Tsec_in - r->T_sat);
    double Q_e2 = NAN;
    for (int k = 0; k < MAX_PASOS_CP; ++k) {
        const double Cp_e_2 = PropsSI("C", "P", r->Pe, "H", (r->h_e_g + h) * 0.5, r->refr);
        Q_e2 = metodo_NTU(r->Aint * L_e_2, *r->param->alfa_sh, r->msec_in, r->Cp_e_A, r->mR, Cp_e_2, r->Tsec_in,
                          r->T_sat, r->param->tipo_int);
        const double h_nueva = r->h_e_g + Q_e2 / r->mR;
        if (!isfinite(h_nueva)) return NAN;
        const int asentada = fabs(h_nueva - h) <= TOLERANCIA_CP * h_nueva;
        h = h_nueva;
        if (asentada) break;
    }
    r->h_e_out = r->h_e_g + Q_e2 / r->mR;
    return Q_e2;
}

/* Two-phase heat at share L_e_1 less the two-phase duty [W]. */
static double residuo_reparto(double L_e_1, void *datos)
{
    Reparto *r = datos;
    r->Q_e2 = calor_sobrecalentado(r, 1.0 - L_e_1);
    r->T_e_out_1_A = r->Tsec_in - caida_secundario(r->Q_e2, r->msec_in, r->Cp_e_A);
    r->Q_e1 = metodo_NTU(r->Aint * L_e_1, *r->param->alfa_tp, r->msec_in, r->Cp_e_A, r->mR, CP_BIFASICO,
                         r->T_e_out_1_A, r->T_e_1_R, r->param->tipo_int);
    return r->Q_e1 - r->demanda;
}

/* Inlet enthalpy implied by a two-phase outlet, less the actual one [J/kg]. */
static double residuo_bifasico(double h_e_out, void *datos)
{
    Reparto *r = datos;
    const double Q_e_out = titulo_para_zonas(PropsSI("Q", "P", r->Pe, "H", h_e_out, r->refr), h_e_out, r->h_e_f);
    const double T_e_1_R = PropsSI("T", "P", r->Pe, "Q", (r->Q_e_in + Q_e_out) * 0.5, r->refr);
    r->Q_e1 = metodo_NTU(r->Aint, *r->param->alfa_tp, r->msec_in, r->Cp_e_A, r->mR, CP_BIFASICO, r->Tsec_in,
                         T_e_1_R, r->param->tipo_int);
    r->h_e_out = h_e_out;
    const double residuo = h_e_out - r->Q_e1 / r->mR - r->hc_out;
    return isfinite(residuo) ? residuo : NAN;
}

static Reparto preparar(double hc_out, const double *x, const double *w, const double *prop, double h_e_f,
                        double Aint, const char *refr, const ParamEvap *param)
{
    Reparto r = {0};
    r.hc_out = hc_out;
    r.Pe = x[0];
    r.mR = x[1];
    r.msec_in = w[0];
    r.Tsec_in = w[1];
    r.h_e_f = h_e_f;
    r.h_e_g = prop[0];
    r.Q_e_in = prop[1];
    r.Cp_e_A = prop[2];
    r.Aint = Aint;
    r.refr = refr;
    r.param = param;
    r.demanda = r.mR * (r.h_e_g - hc_out);
    r.h_e_out = NAN;
    return r;
}

int estado_fisico_evaporador(double hc_out, const double *x, const double *w, const double *prop, double h_e_f,
                             double Aint, const char *refr, const ParamEvap *param, EstadoZonas *estado)
{
    Reparto r = preparar(hc_out, x, w, prop, h_e_f, Aint, refr, param);
    /* The model describes a refrigerant that enters below saturated vapour
     * and takes heat from a warmer secondary fluid. */
    if (!(r.mR > 0.0 && r.msec_in > 0.0 && r.demanda > 0.0)) return 0;
    r.T_sat = PropsSI("T", "P", r.Pe, "Q", 1.0, refr);
    r.T_e_1_R = PropsSI("T", "P", r.Pe, "Q", (1 + r.Q_e_in) * 0.5, refr);
    if (!(isfinite(r.T_sat) && isfinite(r.T_e_1_R) && r.Tsec_in > r.T_sat)) return 0;

    const double f0 = residuo_reparto(0.0, &r);
    const double f1 = residuo_reparto(1.0, &r);
    if (f1 > 0.0) {
        const double L_e_1 =
            raiz_acotada(residuo_reparto, &r, 0.0, f0, 1.0, f1, TOLERANCIA_REPARTO * r.demanda, 1e-15);
        if (isnan(L_e_1) || isnan(residuo_reparto(L_e_1, &r))) return 0;
        estado->modo_e = 1;
        estado->L_e_1 = L_e_1;
        estado->Q_e1 = r.Q_e1;
        estado->Q_e2 = r.Q_e2;
        estado->T_e_out_1_A = r.T_e_out_1_A;
        estado->h_e_out = r.h_e_out;
        estado->T_e_out_A = r.T_e_out_1_A - caida_secundario(r.Q_e1, r.msec_in, r.Cp_e_A);
    } else {
        /* The whole area evaporates: the outlet lies between the inlet and
         * saturated vapour, where the residual runs from -Q_e1/mR to f1/mR. */
        const double g0 = residuo_bifasico(hc_out, &r);
        const double g1 = residuo_bifasico(r.h_e_g, &r);
        const double h_e_out =
            raiz_acotada(residuo_bifasico, &r, hc_out, g0, r.h_e_g, g1, TOLERANCIA_REPARTO * hc_out,
                         1e-15 * r.h_e_g);
        if (isnan(h_e_out) || isnan(residuo_bifasico(h_e_out, &r))) return 0;
        estado->modo_e = 2;
        estado->L_e_1 = 1.0;
        estado->Q_e1 = r.Q_e1;
        estado->Q_e2 = 0.0;
        estado->T_e_out_1_A = r.Tsec_in - caida_secundario(r.Q_e1, r.msec_in, r.Cp_e_A);
        estado->T_e_out_A = estado->T_e_out_1_A;
        estado->h_e_out = h_e_out;
    }
    return 1;
}

/* Whether the superheated zone, given the whole area, stays clearly short of
 * heating the vapour to the secondary inlet temperature. */
static int lejos_de_aproximacion(const double *x, const double *w, const double *prop, double Aint,
                                 const char *refr)
{
    const double Pe = x[0], mR = x[1], msec_in = w[0], Tsec_in = w[1], h_e_g = prop[0], Cp_e_A = prop[2];
    const double T_sat = PropsSI("T", "P", Pe, "Q", 1.0, refr);
    const double Cp_e_2 = PropsSI("C", "P", Pe, "H", h_e_g + 500.0 * (Tsec_in - T_sat), refr);
    const double Cmin = fmin(mR * Cp_e_2, msec_in * Cp_e_A);
    const double Q_toda = metodo_NTU(Aint, *Evap.alfa_sh, msec_in, Cp_e_A, mR, Cp_e_2, Tsec_in, T_sat, Evap.tipo_int);
    return Q_toda < (1.0 - LEJOS_DE_APROXIMACION) * Cmin * (Tsec_in - T_sat);
}

int busqueda_sin_raiz(double hc_out, const double *x, const double *w, const double *prop, double h_e_f,
                      double Aint, const char *refr, EstadoZonas *estado, int *hay_estado)
{
    *hay_estado = 0;
    if (lejos_de_aproximacion(x, w, prop, Aint, refr)) return 0;
    *hay_estado = estado_fisico_evaporador(hc_out, x, w, prop, h_e_f, Aint, refr, &Evap, estado);
    if (!*hay_estado || estado->modo_e != 1) return 0;
    /* The implied inlet grows with the trial outlet wherever the search can
     * resolve the split, so its root lies above a trial just below the
     * split's outlet exactly when that trial implies too low an inlet. */
    const double h_sonda = estado->h_e_out * (1.0 - PASO_SONDA);
    const double h_e_in_alt = eval_evp_dir(h_sonda, hc_out, x, w, prop, Aint, refr, Evap);
    return !(h_e_in_alt < hc_out);
}
