/*
 * Refrigerant properties of the two-zone (mode 2) balances and their
 * sensitivities: as in mode 1 (saturated liquid at Pf, saturated vapour at Pg,
 * changes over one pascal and one J/kg), without the inlet quality, the void
 * fraction at half of it and the subcooled zone, none of which enter the
 * mode-2 balances.
 *
 * Output (12): hf, hg, hgp, h2, h2p, h2pp, rho1, rho1p, rho1pp, rho2, rho2p,
 * rho2pp.
 */
#include "Cond.h"

void evaluacion_propiedades_condensador_modo2(double *propiedades_modo2, const double *xCont, const double *u,
                                              const double *y_condens, CPType PropsSI, void *lib_handle)
{
    const double L1 = xCont[ESTADO_L1], P = xCont[ESTADO_P], L3 = xCont[ESTADO_L3], gamma = xCont[ESTADO_GAMMA];
    const double hR_in = u[U_HR_IN], P_in = u[U_P_IN];
    SaturacionBordes sat;
    double rho2, rho2p, rho2pp, h2, h2p, h2pp;
    (void)y_condens;

    saturacion_bordes_zona_bifasica(&sat, L1, P, L3, P_in, PropsSI);
    const double Pg = sat.Pg, hf = sat.hf, hg = sat.hg, hgp = sat.hgp;

    const double Qbar = Thom_inversa(P, gamma, refr, PropsSI, lib_handle);
    medias_zona_bifasica(&sat, gamma, Qbar, &rho2, &rho2p, &rho2pp, &h2, &h2p, &h2pp);

    const double h1 = (hg + hR_in) * 0.5;
    const double P1 = (Pg + P_in) * 0.5;
    const double rho1 = PropsSI("D", "P", P1, "H", h1, refr);
    const double rho1p = PropsSI("D", "P", P1 + 1, "H", h1, refr) - rho1;
    const double rho1pp = PropsSI("D", "P", P1, "H", h1 + 1, refr) - rho1;

    propiedades_modo2[0] = hf;
    propiedades_modo2[1] = hg;
    propiedades_modo2[2] = hgp;
    propiedades_modo2[3] = h2;
    propiedades_modo2[4] = h2p;
    propiedades_modo2[5] = h2pp;
    propiedades_modo2[6] = rho1;
    propiedades_modo2[7] = rho1p;
    propiedades_modo2[8] = rho1pp;
    propiedades_modo2[9] = rho2;
    propiedades_modo2[10] = rho2p;
    propiedades_modo2[11] = rho2pp;
}
