/*
 * Inlet enthalpy implied by a trial outlet enthalpy.
 *
 * Superheated outlet (h_e_out > h_e_g): the superheated zone takes the duty
 * mR (h_e_out - h_e_g) from the secondary fluid entering at Tsec_in, with the
 * vapour's specific heat at the zone's mean enthalpy, against the
 * saturated-vapour temperature. Its area fraction follows from
 * secant_method_NTU; the secondary fluid then reaches the two-phase zone
 * cooled to T_e_out_1_A, and the two-phase zone, at the temperature of its
 * mean quality (inlet quality and 1), supplies the heat that took the
 * refrigerant from its inlet up to saturated vapour.
 *
 * If the superheated zone would need the whole area or more, or its fraction
 * cannot be found at all, the exchanger is all superheated: the whole area
 * works in the superheated relation and the inlet is the outlet less that
 * heat.
 *
 * Two-phase outlet (h_e_out <= h_e_g): one two-phase zone over the whole
 * area at the temperature of the mean of inlet and outlet qualities.
 */
#include "modelo_evaporador.h"

double eval_evp_dir(double h_e_out, double hc_out, const double *x, const double *w,
                    const double *prop, double Aint, const char *refr, ParamEvap param)
{
    (void)hc_out;
    const double Pe = x[0];
    const double mR = x[1];
    const double msec_in = w[0];
    const double Tsec_in = w[1];
    const double h_e_g = prop[0];
    const double Q_e_in = prop[1];
    const double Cp_e_A = prop[2];
    double h_e_in_alt;

    if (h_e_out > h_e_g) {
        double T_e_1_R = PropsSI("T", "P", Pe, "Q", 1.0, refr);
        const double h_e_2 = (h_e_g + h_e_out) * 0.5;
        const double Cp_e_2 = PropsSI("C", "P", Pe, "H", h_e_2, refr);
        double Q_e2 = (h_e_out - h_e_g) * mR;
        const double L_e_2 = fraccion_sobrecalentada(Q_e2, *param.alfa_sh, msec_in, Cp_e_A, mR, Cp_e_2,
                                               Tsec_in, T_e_1_R, Aint, param.tipo_int);
        const double T_e_out_1_A = Tsec_in - Q_e2 / (msec_in * Cp_e_A);
        if (fraccion_parcial(L_e_2)) {
            T_e_1_R = PropsSI("T", "P", Pe, "Q", (1 + Q_e_in) * 0.5, refr);
            const double L_e_1 = 1 - L_e_2;
            const double Q_e1 = metodo_NTU(Aint * L_e_1, *param.alfa_tp, msec_in, Cp_e_A, mR,
                                           CP_BIFASICO, T_e_out_1_A, T_e_1_R, param.tipo_int);
            h_e_in_alt = h_e_g - Q_e1 / mR;
        } else {
            Q_e2 = metodo_NTU(Aint, *param.alfa_sh, msec_in, Cp_e_A, mR, Cp_e_2, Tsec_in, T_e_1_R,
                              param.tipo_int);
            h_e_in_alt = h_e_out - Q_e2 / mR;
        }
    } else {
        const double Q_e_out = PropsSI("Q", "P", Pe, "H", h_e_out, refr);
        const double T_e_1_R = PropsSI("T", "P", Pe, "Q", (Q_e_in + Q_e_out) * 0.5, refr);
        const double Q_e1 = metodo_NTU(Aint, *param.alfa_tp, msec_in, Cp_e_A, mR, CP_BIFASICO,
                                       Tsec_in, T_e_1_R, param.tipo_int);
        h_e_in_alt = h_e_out - Q_e1 / mR;
    }
    return h_e_in_alt;
}
