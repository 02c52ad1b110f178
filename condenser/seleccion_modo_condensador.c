/*
 * Mode of the condenser for the next step.
 *
 * Mode 1 (three zones) gives way to mode 2 when the subcooled zone has shrunk
 * below Lmin and is still shrinking. Mode 2 (refrigerant leaving two-phase)
 * returns to mode 1 when the two-phase zone holds clearly more liquid than a
 * zone that ends exactly at saturated liquid would: the void-fraction deficit
 * (gammatot - gamma), measured as a length over L2, exceeds Lmin_gamma while
 * gamma is still falling. The two criteria differ, which gives the switching
 * its hysteresis. On the way back to mode 1 a subcooled length at or below
 * Lmin in the live state is raised to Lmin and the mode-change flag is set.
 *
 * xahora, dx_total and yahora are the state, derivatives and extended state
 * recorded by the latest output and derivative evaluations; u holds the
 * refrigerant inputs of the previous update; xsig is the live state vector.
 * A mode other than 1 or 2 yields 0.
 */
#include "Cond.h"

double seleccion_modo_condensador(const double *xahora, const double *dx_total, double *xsig, const double *u,
                                  const double *yahora, double modeahora, double *flag_cambio_modo, CPType PropsSI,
                                  void *lib_handle)
{
    double modesig = modeahora;
    const double Lmin = *Param_sim.Lmin;
    const double Lmin_gamma = *Param_sim.Lmin_gamma;

    switch (modo_entero(modeahora)) {
    case 1: {
        const double L3 = xahora[ESTADO_L3];
        const double L3dot = dx_total[ESTADO_L3];
        if (Lmin > L3 && L3dot < 0) modesig = 2.0;
        break;
    }
    case 2: {
        const double P = xahora[ESTADO_P];
        const double gamma = xahora[ESTADO_GAMMA];
        const double gammadot = dx_total[ESTADO_GAMMA];
        const double hR_in = u[U_HR_IN];
        const double P_in = u[U_P_IN];
        const double L2 = yahora[SAL_L2];
        const double Qin = titulo_vapor_refrigerante(P_in, hR_in, refr, PropsSI, lib_handle);
        const double gammatot = Thom(P, (0 + Qin) * 0.5, refr, PropsSI, lib_handle);
        const double Lsalto = (gammatot - gamma) * L2;
        if (Lsalto > Lmin_gamma && gammadot < 0) {
            if (Lmin >= xsig[ESTADO_L3]) {
                xsig[ESTADO_L3] = Lmin;
                *flag_cambio_modo = 1.0;
            }
            modesig = 1.0;
        }
        break;
    }
    default:
        return 0.0;
    }
    return modesig;
}
