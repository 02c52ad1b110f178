/*
 * What both mode models need of the two-phase zone.
 *
 * The pressure falls linearly along the tube with P the mean; the zone runs
 * from Pg (saturated vapour, end of zone 1) to Pf (saturated liquid, start of
 * zone 3). Its saturation properties are taken at those boundaries, each with
 * its change over one pascal (a forward difference not divided by the step,
 * as the balances are written per pascal), queried in a fixed order:
 * densities, enthalpies, viscosities; liquid then vapour; value then +1 Pa.
 *
 * Its mean density and enthalpy follow from the mean quality Qbar (the
 * inverse Thom relation of the mean void fraction), with their sensitivity
 * to the pressure at constant gamma (chain rule over the six saturation
 * properties) and to gamma itself.
 */
#include "Cond.h"

void saturacion_bordes_zona_bifasica(SaturacionBordes *s, double L1, double P, double L3, double P_in,
                                     CPType PropsSI)
{
    s->P_out = (P + P) - P_in;
    s->Pg = P_in - (P_in - s->P_out) * L1;
    s->Pf = (P_in - s->P_out) * L3 + s->P_out;
    const double Pf = s->Pf, Pg = s->Pg;

    s->rhof = PropsSI("D", "P", Pf, "Q", 0, refr);
    s->rhog = PropsSI("D", "P", Pg, "Q", 1, refr);
    s->rhofp = PropsSI("D", "P", Pf + 1, "Q", 0, refr) - s->rhof;
    s->rhogp = PropsSI("D", "P", Pg + 1, "Q", 1, refr) - s->rhog;
    s->hf = PropsSI("H", "P", Pf, "Q", 0, refr);
    s->hg = PropsSI("H", "P", Pg, "Q", 1, refr);
    s->hfp = PropsSI("H", "P", Pf + 1, "Q", 0, refr) - s->hf;
    s->hgp = PropsSI("H", "P", Pg + 1, "Q", 1, refr) - s->hg;
    s->vf = PropsSI("V", "P", Pf, "Q", 0, refr);
    s->vg = PropsSI("V", "P", Pg, "Q", 1, refr);
    s->vfp = PropsSI("V", "P", Pf + 1, "Q", 0, refr) - s->vf;
    s->vgp = PropsSI("V", "P", Pg + 1, "Q", 1, refr) - s->vg;
}

void medias_zona_bifasica(const SaturacionBordes *s, double gamma, double Qbar, double *rho2, double *rho2p,
                          double *rho2pp, double *h2, double *h2p, double *h2pp)
{
    double dd[5], de[7];
    derivadas_densidad(dd, gamma, s->rhof, s->rhog, s->vf, s->vg);
    *rho2 = 1.0 / (Qbar / s->rhog + (1.0 - Qbar) / s->rhof);
    *rho2p = dd[0] * s->rhofp + dd[1] * s->rhogp + dd[2] * s->vfp + dd[3] * s->vgp;
    *rho2pp = dd[4];
    derivadas_entalpia(de, gamma, s->rhof, s->rhog, s->vf, s->vg, s->hf, s->hg);
    *h2 = Qbar * s->hg + (1.0 - Qbar) * s->hf;
    *h2p = de[0] * s->rhofp + de[1] * s->rhogp + de[2] * s->vfp + de[3] * s->vgp + de[4] * s->hfp + de[5] * s->hgp;
    *h2pp = de[6];
}
