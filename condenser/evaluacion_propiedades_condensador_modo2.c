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
    const double L1 = xCont[0], P = xCont[1], L3 = xCont[3], gamma = xCont[4];
    const double hR_in = u[2], P_in = u[3];
    double dd[5], de[7];
    (void)y_condens;

    const double P_out = (P + P) - P_in;
    const double Pg = P_in - (P_in - P_out) * L1;
    const double Pf = (P_in - P_out) * L3 + P_out;

    const double rhof = PropsSI("D", "P", Pf, "Q", 0, refr);
    const double rhog = PropsSI("D", "P", Pg, "Q", 1, refr);
    const double rhofp = PropsSI("D", "P", Pf + 1, "Q", 0, refr) - rhof;
    const double rhogp = PropsSI("D", "P", Pg + 1, "Q", 1, refr) - rhog;
    const double hf = PropsSI("H", "P", Pf, "Q", 0, refr);
    const double hg = PropsSI("H", "P", Pg, "Q", 1, refr);
    const double hfp = PropsSI("H", "P", Pf + 1, "Q", 0, refr) - hf;
    const double hgp = PropsSI("H", "P", Pg + 1, "Q", 1, refr) - hg;
    const double vf = PropsSI("V", "P", Pf, "Q", 0, refr);
    const double vg = PropsSI("V", "P", Pg, "Q", 1, refr);
    const double vfp = PropsSI("V", "P", Pf + 1, "Q", 0, refr) - vf;
    const double vgp = PropsSI("V", "P", Pg + 1, "Q", 1, refr) - vg;

    const double Qbar = Thom_inversa(P, gamma, refr, PropsSI, lib_handle);
    derivadas_densidad(dd, gamma, rhof, rhog, vf, vg);
    const double rho2 = 1.0 / (Qbar / rhog + (1.0 - Qbar) / rhof);
    const double rho2p = dd[0] * rhofp + dd[1] * rhogp + dd[2] * vfp + dd[3] * vgp;
    const double rho2pp = dd[4];
    derivadas_entalpia(de, gamma, rhof, rhog, vf, vg, hf, hg);
    const double h2 = Qbar * hg + (1.0 - Qbar) * hf;
    const double h2p = de[0] * rhofp + de[1] * rhogp + de[2] * vfp + de[3] * vgp + de[4] * hfp + de[5] * hgp;
    const double h2pp = de[6];

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
