/*
 * Refrigerant properties of the three-zone (mode 1) balances, and their
 * sensitivities to the mean pressure P.
 *
 * Saturation properties are taken at the zone boundaries: saturated liquid at
 * Pf (start of zone 3), saturated vapour at Pg (end of zone 1). Pressure
 * sensitivities are the change over one pascal and enthalpy sensitivities the
 * change over one J/kg (forward differences, not divided by the step); the
 * balances are written per pascal and per J/kg accordingly.
 *
 * Output (16): hf, hg, hgp, h2, h2p, h2pp, gammatot, gammatotp, rho1, rho1p,
 * rho1pp, rho2, rho2p, rho2pp, rho3, rho3pp (p: per pascal, pp: per unit of
 * void fraction for zone 2, per J/kg for zones 1 and 3).
 */
#include "Cond.h"

void evaluacion_propiedades_condensador_modo1(double *propiedades_modo1, const double *xCont, const double *u,
                                              const double *y_condens, CPType PropsSI, void *lib_handle)
{
    const double L1 = xCont[ESTADO_L1], P = xCont[ESTADO_P], h3 = xCont[ESTADO_H3], L3 = xCont[ESTADO_L3],
                 gamma = xCont[ESTADO_GAMMA];
    const double hR_IN = u[U_HR_IN], P_IN = u[U_P_IN];
    SaturacionBordes sat;
    double rho2, rho2p, rho2pp, h2, h2p, h2pp;
    (void)y_condens;

    /* Saturation properties at the zone boundaries and one pascal above. */
    saturacion_bordes_zona_bifasica(&sat, L1, P, L3, P_IN, PropsSI);
    const double P_OUT = sat.P_out, Pg = sat.Pg, Pf = sat.Pf, hf = sat.hf, hg = sat.hg, hgp = sat.hgp;

    /* Void fraction of a two-phase zone running from the inlet quality down
     * to saturated liquid, and how it moves with the pressure. */
    const double Qin = titulo_vapor_refrigerante(P_IN, hR_IN, refr, PropsSI, lib_handle);
    const double Qm = (0 + Qin) * 0.5;
    const double gammatot = Thom(P, Qm, refr, PropsSI, lib_handle);
    const double gammatotp = Thom(P + 1, Qm, refr, PropsSI, lib_handle) - gammatot;

    /* Zone 2: mean quality from the void fraction (Thom properties at the
     * mean pressure), homogeneous density and quality-weighted enthalpy. */
    const double Qbar = Thom_inversa(P, gamma, refr, PropsSI, lib_handle);
    medias_zona_bifasica(&sat, gamma, Qbar, &rho2, &rho2p, &rho2pp, &h2, &h2p, &h2pp);

    /* Zone 1 at its mean pressure and enthalpy. */
    const double h1 = (hg + hR_IN) * 0.5;
    const double P1 = (Pg + P_IN) * 0.5;
    const double rho1 = PropsSI("D", "P", P1, "H", h1, refr);
    const double rho1p = PropsSI("D", "P", P1 + 1, "H", h1, refr) - rho1;
    const double rho1pp = PropsSI("D", "P", P1, "H", h1 + 1, refr) - rho1;

    /* Zone 3 at its mean pressure and the outlet enthalpy. */
    const double P3 = (Pf + P_OUT) * 0.5;
    const double rho3 = PropsSI("D", "P", P3, "H", h3, refr);
    const double rho3pp = PropsSI("D", "P", P3, "H", h3 + 1, refr) - rho3;

    propiedades_modo1[0] = hf;
    propiedades_modo1[1] = hg;
    propiedades_modo1[2] = hgp;
    propiedades_modo1[3] = h2;
    propiedades_modo1[4] = h2p;
    propiedades_modo1[5] = h2pp;
    propiedades_modo1[6] = gammatot;
    propiedades_modo1[7] = gammatotp;
    propiedades_modo1[8] = rho1;
    propiedades_modo1[9] = rho1p;
    propiedades_modo1[10] = rho1pp;
    propiedades_modo1[11] = rho2;
    propiedades_modo1[12] = rho2p;
    propiedades_modo1[13] = rho2pp;
    propiedades_modo1[14] = rho3;
    propiedades_modo1[15] = rho3pp;
}
