/*
 * One output step of the evaporator: saturation state, secondary-fluid
 * specific heat, outlet-enthalpy search, and the zone evaluation of the
 * accepted outlet enthalpy with every intermediate kept for the outputs.
 *
 * Regimes:
 *   1  superheated outlet with a two-phase and a superheated zone;
 *   2  two-phase outlet, one two-phase zone over the whole area;
 *   3  superheated outlet with the whole area superheated (the superheated
 *      zone needs all of it, or its fraction could not be found).
 * In regime 1 the superheat is measured from the temperature at the mean
 * quality of the two-phase zone, in regime 3 from the saturated-vapour
 * temperature; for a pure refrigerant both are the saturation temperature.
 *
 * The outlet-enthalpy search comes first and its result stands wherever it
 * converges. It cannot converge when the pack can give more heat than the
 * refrigerant takes: the vapour then leaves at full approach to the
 * secondary inlet, where the search's inversion of the superheated zone
 * cannot resolve the area split. That case is recognised before the search
 * runs (busqueda_sin_raiz), and the state is taken from the same zone
 * relations solved over the area split (estado_fisico_evaporador.c). Whatever
 * the road, a state is published only if it closes the energy balance of
 * both fluids.
 */
#include "modelo_evaporador.h"

#include <math.h>
#include <string.h>

/* Balance tolerance relative to the refrigerant's inlet enthalpy flow (the
 * scale of the search's own tolerance). */
#define TOLERANCIA_BALANCE 1e-6
/* How far above the secondary inlet the vapour outlet may be reported, for
 * the specific heat being taken at the zone's mean enthalpy [K]. */
#define HOLGURA_SALIDA 0.05

/* Outputs of a zone state, before they are published. */
typedef struct {
    double L_e_1, Q_e1, Q_e2, T_e_out_1_A, T_e_out_A, modo_e, h_e_out, TSH, Tr_out_e;
} Zonas;

/* Zone evaluation of an accepted outlet enthalpy, as the search sees it. */
static Zonas zonas_de_h_e_out(double h_e_out, double hc_out, const double *x, const double *w, const double *prop,
                              double Aint, const char *refr)
{
    const double Pe = x[0], mR = x[1], msec_in = w[0], Tsec_in = w[1];
    const double h_e_g = prop[0], Q_e_in = prop[1], Cp_e_A = prop[2];
    Zonas z;
    double T_e_1_R;
    (void)hc_out;
    z.h_e_out = h_e_out;
    z.Tr_out_e = NAN;
    if (h_e_out > h_e_g) {
        T_e_1_R = PropsSI("T", "P", Pe, "Q", 1.0, refr);
        const double h_e_2 = (h_e_g + h_e_out) * 0.5;
        const double Cp_e_2 = PropsSI("C", "P", Pe, "H", h_e_2, refr);
        z.Q_e2 = (h_e_out - h_e_g) * mR;
        const double L_e_2 = fraccion_sobrecalentada(z.Q_e2, *Evap.alfa_sh, msec_in, Cp_e_A, mR, Cp_e_2, Tsec_in,
                                                     T_e_1_R, Aint, Evap.tipo_int);
        z.T_e_out_1_A = Tsec_in - caida_secundario(z.Q_e2, msec_in, Cp_e_A);
        if (fraccion_parcial(L_e_2)) {
            z.modo_e = 1;
            T_e_1_R = PropsSI("T", "P", Pe, "Q", (1 + Q_e_in) * 0.5, refr);
            z.L_e_1 = 1 - L_e_2;
            z.Q_e1 = metodo_NTU(Aint * z.L_e_1, *Evap.alfa_tp, msec_in, Cp_e_A, mR, CP_BIFASICO, z.T_e_out_1_A,
                                T_e_1_R, Evap.tipo_int);
            z.T_e_out_A = z.T_e_out_1_A - caida_secundario(z.Q_e1, msec_in, Cp_e_A);
            z.Tr_out_e = PropsSI("T", "P", Pe, "H", h_e_out, refr);
            z.TSH = z.Tr_out_e - T_e_1_R;
        } else {
            z.modo_e = 3; /* superheated zone over the whole area */
            z.L_e_1 = 0;
            z.Q_e2 = metodo_NTU(Aint, *Evap.alfa_sh, msec_in, Cp_e_A, mR, Cp_e_2, Tsec_in, T_e_1_R, Evap.tipo_int);
            z.T_e_out_1_A = Tsec_in - caida_secundario(z.Q_e2, msec_in, Cp_e_A);
            z.T_e_out_A = z.T_e_out_1_A;
            z.Q_e1 = 0;
            T_e_1_R = PropsSI("T", "P", Pe, "Q", 1.0, refr);
            z.Tr_out_e = PropsSI("T", "P", Pe, "H", h_e_out, refr);
            z.TSH = z.Tr_out_e - T_e_1_R;
        }
    } else {
        z.modo_e = 2;
        const double Q_e_out = PropsSI("Q", "P", Pe, "H", h_e_out, refr);
        T_e_1_R = PropsSI("T", "P", Pe, "Q", (Q_e_in + Q_e_out) * 0.5, refr);
        z.L_e_1 = 1;
        z.Q_e1 = metodo_NTU(Aint, *Evap.alfa_tp, msec_in, Cp_e_A, mR, CP_BIFASICO, Tsec_in, T_e_1_R, Evap.tipo_int);
        z.T_e_out_1_A = Tsec_in - caida_secundario(z.Q_e1, msec_in, Cp_e_A);
        z.T_e_out_A = z.T_e_out_1_A;
        z.Q_e2 = 0;
        z.TSH = 0;
    }
    return z;
}

/* Outputs of a state solved over the area split; the superheat as for any
 * regime-1 state, from the temperature at the two-phase zone's mean quality. */
static Zonas zonas_de_estado(const EstadoZonas *e, const double *x, const double *prop, const char *refr)
{
    const double Pe = x[0];
    Zonas z;
    z.L_e_1 = e->L_e_1;
    z.Q_e1 = e->Q_e1;
    z.Q_e2 = e->Q_e2;
    z.T_e_out_1_A = e->T_e_out_1_A;
    z.T_e_out_A = e->T_e_out_A;
    z.modo_e = e->modo_e;
    z.h_e_out = e->h_e_out;
    z.Tr_out_e = NAN;
    z.TSH = 0;
    if (e->modo_e == 1) {
        const double T_e_1_R = PropsSI("T", "P", Pe, "Q", (1 + prop[1]) * 0.5, refr);
        z.Tr_out_e = PropsSI("T", "P", Pe, "H", e->h_e_out, refr);
        z.TSH = z.Tr_out_e - T_e_1_R;
    }
    return z;
}

/* Both balances, Q_e1 + Q_e2 = mR (h_e_out - hc_out) = msec_in Cp_e_A
 * (Tsec_in - T_e_out_A), every output finite, and a vapour outlet of the two
 * zones no warmer than the secondary fluid that heats it. */
static int estado_publicable(const Zonas *z, double hc_out, double mR, double Tsec_in, double msec_in,
                             double Cp_e_A)
{
    const double Q = z->Q_e1 + z->Q_e2;
    const double escala = mR * fabs(hc_out);
    const double valores[] = {z->L_e_1, z->Q_e1, z->Q_e2, z->T_e_out_1_A, z->T_e_out_A, z->h_e_out, z->TSH};
    for (size_t k = 0; k < sizeof valores / sizeof valores[0]; ++k)
        if (!isfinite(valores[k])) return 0;
    if (!(fabs(Q - mR * (z->h_e_out - hc_out)) <= TOLERANCIA_BALANCE * escala)) return 0;
    if (!(fabs(Q - msec_in * Cp_e_A * (Tsec_in - z->T_e_out_A)) <= TOLERANCIA_BALANCE * escala)) return 0;
    if (z->modo_e == 1 && !(z->Tr_out_e <= Tsec_in + HOLGURA_SALIDA)) return 0;
    return 1;
}

/* No refrigerant flows: the limit of a vanishing flow. The refrigerant's
 * capacity rate goes to zero, so whatever stands in the plates is warmed to
 * the secondary inlet temperature over an area that the two-phase zone no
 * longer needs (regime 3, the whole area superheated), and neither fluid
 * exchanges heat: the secondary fluid leaves as it entered. The held outlet
 * enthalpy is left as it is, so that a flow that starts again resumes its
 * search from the last flowing state. */
static int salidas_sin_caudal(double Pe, double Tsec_in, double h_e_f, double h_e_g, const char *refr, double *y)
{
    const double T_e_1_R = PropsSI("T", "P", Pe, "Q", 1.0, refr);
    const double h_e_out = PropsSI("H", "P", Pe, "T", Tsec_in, refr);
    if (!(isfinite(T_e_1_R) && isfinite(h_e_out))) return SALIDA_SIN_ESTADO;
    y[SAL_H_E_F] = h_e_f;
    y[SAL_H_E_G] = h_e_g;
    y[SAL_T_E_1_R] = T_e_1_R;
    y[SAL_L_E_1] = 0.0;
    y[SAL_Q_E1] = 0.0;
    y[SAL_Q_E2] = 0.0;
    y[SAL_T_E_OUT_1_A] = Tsec_in;
    y[SAL_T_E_OUT_A] = Tsec_in;
    y[SAL_MODO_E] = 3;
    y[SAL_H_E_OUT] = h_e_out;
    y[SAL_TSH] = Tsec_in - T_e_1_R;
    return SALIDA_CORRECTA;
}

int salidas_evaporador(const double *u, const char *refr, const char *sec_flux, double Aint,
                       double *h_e_out_aceptada, double *y)
{
    const double hc_out = u[0];
    const double mR = u[1];
    const double Pe = u[2];
    const double Tsec_in = u[3];
    const double msec_in = u[4];
    const double psec_in = u[5];

    /* Saturation and inlet state. */
    const double h_e_f = PropsSI("H", "P", Pe, "Q", 0.0, refr);
    const double h_e_g = PropsSI("H", "P", Pe, "Q", 1.0, refr);
    const double Q_e_in_libreria = PropsSI("Q", "P", Pe, "H", hc_out, refr);

    /* Without saturation there is no two-phase zone to speak of (unknown
     * refrigerant, pressure outside the dome), and the quality of the inlet
     * steers every zone temperature. */
    if (!(isfinite(h_e_f) && isfinite(h_e_g))) return SALIDA_SIN_SATURACION;
    if (!isfinite(Q_e_in_libreria)) return SALIDA_SIN_ENTRADA;
    const double Q_e_in = titulo_para_zonas(Q_e_in_libreria, hc_out, h_e_f);

    const double Cp_e_A = strcmp(sec_flux, NOMBRE_GLICOL_PROPIO) == 0
                              ? CP_GLICOL_PROPIO
                              : PropsSI("C", "P", psec_in, "T", Tsec_in, sec_flux);
    /* A refused specific heat (unknown fluid, frozen or boiling secondary
     * fluid) would stand for an infinite capacity rate: the secondary fluid
     * would leave at its inlet temperature and every zone would look sound. */
    if (!(isfinite(Cp_e_A) && Cp_e_A > 0.0)) return SALIDA_SIN_CP_SECUNDARIO;

    /* A secondary fluid colder than the refrigerant entering would condense
     * it rather than evaporate it: not a state of this exchanger. */
    const double T_entrada = PropsSI("T", "P", Pe, "Q", Q_e_in >= 0.0 && Q_e_in <= 1.0 ? Q_e_in : 1.0, refr);
    if (Tsec_in < T_entrada) return SALIDA_SECUNDARIO_FRIO;
    if (mR == 0.0) return salidas_sin_caudal(Pe, Tsec_in, h_e_f, h_e_g, refr, y);

    const double x[2] = {Pe, mR};
    const double w[2] = {msec_in, Tsec_in};
    const double prop[3] = {h_e_g, Q_e_in, Cp_e_A};

    EstadoZonas estado;
    int hay_estado;
    const int sin_raiz = busqueda_sin_raiz(hc_out, x, w, prop, h_e_f, Aint, refr, &estado, &hay_estado);

    int convergida = 0;
    double h_e_out = *h_e_out_aceptada;
    if (!sin_raiz) h_e_out = busqueda_h_e_out(hc_out, x, w, prop, Aint, refr, Evap, h_e_out, &convergida);
    if (!convergida && !hay_estado)
        hay_estado = estado_fisico_evaporador(hc_out, x, w, prop, h_e_f, Aint, refr, &Evap, &estado);
    /* Without either the held outlet enthalpy is evaluated; published only
     * if it still balances. */
    const Zonas z = convergida || !hay_estado ? zonas_de_h_e_out(h_e_out, hc_out, x, w, prop, Aint, refr)
                                              : zonas_de_estado(&estado, x, prop, refr);
    if (!estado_publicable(&z, hc_out, mR, Tsec_in, msec_in, Cp_e_A)) return SALIDA_SIN_ESTADO;
    *h_e_out_aceptada = z.h_e_out;

    y[SAL_H_E_F] = h_e_f;
    y[SAL_H_E_G] = h_e_g;
    /* The port reports the saturated-vapour temperature in every regime. */
    y[SAL_T_E_1_R] = PropsSI("T", "P", Pe, "Q", 1.0, refr);
    y[SAL_L_E_1] = z.L_e_1;
    y[SAL_Q_E1] = z.Q_e1;
    y[SAL_Q_E2] = z.Q_e2;
    y[SAL_T_E_OUT_1_A] = z.T_e_out_1_A;
    y[SAL_T_E_OUT_A] = z.T_e_out_A;
    y[SAL_MODO_E] = z.modo_e;
    y[SAL_H_E_OUT] = z.h_e_out;
    y[SAL_TSH] = z.TSH;
    return SALIDA_CORRECTA;
}
