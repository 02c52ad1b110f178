/*
 * Outlet-enthalpy search.
 *
 * Finds h_e_out with eval_evp_dir(h_e_out) = hc_out by false position,
 * stopping at a relative inlet-enthalpy error below 1e-6. An attempt
 * evaluates its two starting points once; after that each end carries the
 * implied inlet enthalpy computed when it was a new point (eval_evp_dir is a
 * pure function of the trial enthalpy), so every iteration costs one
 * evaluation. An attempt gives up after 1000
 * iterations (the 1000th is not checked against the tolerance); the search
 * then restarts from a higher upper point, 365000, 370000, ... 410000 J/kg,
 * with the lower point at 0.9 of it. The upper points lie in the superheated
 * range of the usual refrigerants, where the implied inlet enthalpy is
 * smooth.
 *
 * A residual that is not a number ends the attempt as a failure: it means a
 * trial outlet enthalpy left the range where properties or the zone split
 * can be evaluated (a false-position step can extrapolate to a negative
 * enthalpy), and its estimate is no answer. When all ten attempts fail the
 * previously accepted outlet enthalpy is returned unchanged, so a
 * non-finite value is never accepted.
 */
#include "modelo_evaporador.h"

#include <math.h>

#define NUM_INTENTOS 10
#define H_INICIO_BASE 360000.0
#define H_INICIO_PASO 5000.0
#define FACTOR_INFERIOR 0.9
#define TOLERANCIA 1e-6
#define MAX_ITERACIONES 1000

double busqueda_h_e_out(double hc_out, const double *x, const double *w, const double *prop, double Aint,
                        const char *refr, ParamEvap param, double h_e_out_previa, int *convergida)
{
    *convergida = 0;
    for (int j = 1; j <= NUM_INTENTOS; ++j) {
        double h_e_out_ahora = H_INICIO_BASE + H_INICIO_PASO * j;
        double h_e_out_antes = FACTOR_INFERIOR * h_e_out_ahora;
        double h_e_out_despues;
        int i = 0;
        int no_fin = 0;

        double h_e_in_antes = eval_evp_dir(h_e_out_antes, hc_out, x, w, prop, Aint, refr, param);
        double h_e_in_ahora = eval_evp_dir(h_e_out_ahora, hc_out, x, w, prop, Aint, refr, param);
        for (;;) {
            i = i + 1;
            h_e_out_despues = h_e_out_ahora - (h_e_out_ahora - h_e_out_antes) * (h_e_in_ahora - hc_out) /
                                                  (h_e_in_ahora - h_e_in_antes);
            const double h_e_in_despues =
                eval_evp_dir(h_e_out_despues, hc_out, x, w, prop, Aint, refr, param);
            const double Ea = (hc_out - h_e_in_despues) / hc_out;
            if (h_e_in_despues > hc_out) {
                h_e_out_ahora = h_e_out_despues;
                h_e_in_ahora = h_e_in_despues;
            } else {
                h_e_out_antes = h_e_out_despues;
                h_e_in_antes = h_e_in_despues;
            }
            if (i == MAX_ITERACIONES || isnan(Ea)) {
                no_fin = 1;
                break;
            }
            if (fabs(Ea) < TOLERANCIA) break;
        }

        if (no_fin == 0 && isfinite(h_e_out_despues)) {
            *convergida = 1;
            return h_e_out_despues;
        }
    }
    return h_e_out_previa;
}

double secant_method_h_e_out(double hc_out, const double *x, const double *w, const double *prop,
                             double Aint, const char *refr, ParamEvap param, double h_e_out_previa)
{
    int convergida;
    return busqueda_h_e_out(hc_out, x, w, prop, Aint, refr, param, h_e_out_previa, &convergida);
}
