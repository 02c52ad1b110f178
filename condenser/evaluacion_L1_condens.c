/*
 * Extended state for a given superheated length: the refrigerant flow is taken
 * as the mean of the entering and leaving flows on both sides of the
 * exchanger. Elements SAL_HR_OUT to SAL_QR2_ALT (0-16) and EXT_P_OUT (18) of
 * the caller's array are written; element 17 is left as it was.
 */
#include "Cond.h"

#include <math.h>

void evaluacion_L1_condens(double *p_y_condens_ahora, double L1_condens_ahora, const double *x_ahora,
                           const double *u_condens, const double *w, const double *mode_condens, CPType PropsSI,
                           void *lib_handle)
{
    const double mR = u_condens[0];
    const double hi_condens = u_condens[1];
    const double p_condens_in = u_condens[2];
    const double u[N_U_CONDENSADOR] = {mR, mR, hi_condens, p_condens_in};
    double p_y_condens_ahora_aux[N_SAL_CONDENSADOR];
    int k;

    /* Whatever the extended state leaves unwritten (a mode it does not know)
     * reaches the caller as not a number, never as stale memory. */
    for (k = 0; k < N_SAL_CONDENSADOR; ++k) p_y_condens_ahora_aux[k] = NAN;

    extension_estado_condensador(p_y_condens_ahora_aux, L1_condens_ahora, x_ahora, u, w, *mode_condens, PropsSI,
                                 lib_handle);

    for (k = SAL_HR_OUT; k <= SAL_QR2_ALT; ++k) p_y_condens_ahora[k] = p_y_condens_ahora_aux[k];
    p_y_condens_ahora[EXT_P_OUT] = p_y_condens_ahora_aux[EXT_P_OUT];
}
