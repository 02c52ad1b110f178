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
 */
#include "modelo_evaporador.h"

#include <math.h>
#include <string.h>

/* Temperature drop of the secondary fluid giving up Q_sec [W]. Without
 * secondary flow no heat is exchanged and the fluid is reported at its inlet
 * temperature rather than as 0/0. */
static double caida_secundario(double Q_sec, double msec_in, double Cp_e_A)
{
    if (Q_sec == 0.0) return 0.0;
    return Q_sec / (msec_in * Cp_e_A);
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
    const double Q_e_in = PropsSI("Q", "P", Pe, "H", hc_out, refr);

    /* Without saturation there is no two-phase zone to speak of (unknown
     * refrigerant, pressure outside the dome), and the quality of the inlet
     * steers every zone temperature. */
    if (!(isfinite(h_e_f) && isfinite(h_e_g))) return SALIDA_SIN_SATURACION;
    if (!isfinite(Q_e_in)) return SALIDA_SIN_ENTRADA;

    const double Cp_e_A = strcmp(sec_flux, NOMBRE_GLICOL_PROPIO) == 0
                              ? CP_GLICOL_PROPIO
                              : PropsSI("C", "P", psec_in, "T", Tsec_in, sec_flux);
    /* A refused specific heat (unknown fluid, frozen or boiling secondary
     * fluid) would stand for an infinite capacity rate: the secondary fluid
     * would leave at its inlet temperature and every zone would look sound. */
    if (!(isfinite(Cp_e_A) && Cp_e_A > 0.0)) return SALIDA_SIN_CP_SECUNDARIO;

    const double x[2] = {Pe, mR};
    const double w[2] = {msec_in, Tsec_in};
    const double prop[3] = {h_e_g, Q_e_in, Cp_e_A};

    const double h_e_out = secant_method_h_e_out(hc_out, x, w, prop, Aint, refr, Evap, *h_e_out_aceptada);
    *h_e_out_aceptada = h_e_out;

    double T_e_1_R, L_e_1, Q_e1, Q_e2, T_e_out_1_A, T_e_out_A, modo_e, TSH;
    if (h_e_out > h_e_g) {
        T_e_1_R = PropsSI("T", "P", Pe, "Q", 1.0, refr);
        const double h_e_2 = (h_e_g + h_e_out) * 0.5;
        const double Cp_e_2 = PropsSI("C", "P", Pe, "H", h_e_2, refr);
        Q_e2 = (h_e_out - h_e_g) * mR;
        const double L_e_2 = secant_method_NTU(0.9, Q_e2, *Evap.alfa_sh, msec_in, Cp_e_A, mR, Cp_e_2, Tsec_in,
                                         T_e_1_R, Aint, Evap.tipo_int);
        T_e_out_1_A = Tsec_in - caida_secundario(Q_e2, msec_in, Cp_e_A);
        if (fraccion_parcial(L_e_2)) {
            modo_e = 1;
            T_e_1_R = PropsSI("T", "P", Pe, "Q", (1 + Q_e_in) * 0.5, refr);
            L_e_1 = 1 - L_e_2;
            Q_e1 = metodo_NTU(Aint * L_e_1, *Evap.alfa_tp, msec_in, Cp_e_A, mR, CP_BIFASICO, T_e_out_1_A,
                              T_e_1_R, Evap.tipo_int);
            T_e_out_A = T_e_out_1_A - caida_secundario(Q_e1, msec_in, Cp_e_A);
            const double Tr_out_e = PropsSI("T", "P", Pe, "H", h_e_out, refr);
            TSH = Tr_out_e - T_e_1_R;
        } else {
            modo_e = 3; /* superheated zone over the whole area */
            L_e_1 = 0;
            Q_e2 = metodo_NTU(Aint, *Evap.alfa_sh, msec_in, Cp_e_A, mR, Cp_e_2, Tsec_in, T_e_1_R,
                              Evap.tipo_int);
            T_e_out_1_A = Tsec_in - caida_secundario(Q_e2, msec_in, Cp_e_A);
            T_e_out_A = T_e_out_1_A;
            Q_e1 = 0;
            T_e_1_R = PropsSI("T", "P", Pe, "Q", 1.0, refr);
            const double Tr_out_e = PropsSI("T", "P", Pe, "H", h_e_out, refr);
            TSH = Tr_out_e - T_e_1_R;
        }
    } else {
        modo_e = 2;
        const double Q_e_out = PropsSI("Q", "P", Pe, "H", h_e_out, refr);
        T_e_1_R = PropsSI("T", "P", Pe, "Q", (Q_e_in + Q_e_out) * 0.5, refr);
        L_e_1 = 1;
        Q_e1 = metodo_NTU(Aint, *Evap.alfa_tp, msec_in, Cp_e_A, mR, CP_BIFASICO, Tsec_in, T_e_1_R,
                          Evap.tipo_int);
        T_e_out_1_A = Tsec_in - caida_secundario(Q_e1, msec_in, Cp_e_A);
        T_e_out_A = T_e_out_1_A;
        Q_e2 = 0;
        TSH = 0;
    }

    /* The port reports the saturated-vapour temperature in every regime. */
    T_e_1_R = PropsSI("T", "P", Pe, "Q", 1.0, refr);

    y[SAL_H_E_F] = h_e_f;
    y[SAL_H_E_G] = h_e_g;
    y[SAL_T_E_1_R] = T_e_1_R;
    y[SAL_L_E_1] = L_e_1;
    y[SAL_Q_E1] = Q_e1;
    y[SAL_Q_E2] = Q_e2;
    y[SAL_T_E_OUT_1_A] = T_e_out_1_A;
    y[SAL_T_E_OUT_A] = T_e_out_A;
    y[SAL_MODO_E] = modo_e;
    y[SAL_H_E_OUT] = h_e_out;
    y[SAL_TSH] = TSH;
    return SALIDA_CORRECTA;
}
