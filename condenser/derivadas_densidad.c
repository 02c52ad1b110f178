/*
 * Partial derivatives of the mean density of the two-phase zone, the
 * homogeneous mixture at the quality x implied by the mean void fraction
 * (inverse Thom relation, see derivadas_entalpia.c for x and its derivatives):
 *
 *   rho2 = 1 / (x/rhog + (1 - x)/rhof),   w = 1/rhog - 1/rhof,
 *   drho2/drhof = rho2^2 ((1 - x)/rhof^2 - w dx/drhof)
 *   drho2/drhog = rho2^2 (x/rhog^2 - w dx/drhog)
 *   drho2/dq    = -rho2^2 w dx/dq     for q = vf, vg, gamma.
 *
 * Output: drho/drhof, drho/drhog, drho/dvf, drho/dvg, drho/dgamma.
 */
#include "Cond.h"

#include <math.h>

void derivadas_densidad(double *props_der_densidad, double gamma, double rhof, double rhog, double vf, double vg)
{
    const double a0 = 1.0, a1 = 1.0, a2 = 0.89, a3 = 0.18;
    const double r = rhog / rhof;
    const double m = vf / vg;
    const double rm = pow(r, a2) * pow(m, a3);
    const double D = a0 * gamma * rm;
    const double B = (1.0 - gamma) / D;
    const double X = pow(B, 1.0 / a1);
    const double x = 1.0 / (1.0 + X);
    const double uno_mas_X2 = (1.0 + X) * (1.0 + X);
    const double t = X / uno_mas_X2;

    const double dx_drhof = -(a2 / a1) * t / rhof;
    const double dx_drhog = (a2 / a1) * t / rhog;
    const double dx_dvf = (a3 / a1) * t / vf;
    const double dx_dvg = -(a3 / a1) * t / vg;
    const double dx_dgamma = (1.0 / a1) * pow(B, 1.0 / a1 - 1.0) / (a0 * gamma * gamma * rm * uno_mas_X2);

    const double rho2 = 1.0 / (x / rhog + (1.0 - x) / rhof);
    const double rho2_2 = rho2 * rho2;
    const double w = 1.0 / rhog - 1.0 / rhof;

    props_der_densidad[0] = rho2_2 * ((1.0 - x) / (rhof * rhof) - w * dx_drhof);
    props_der_densidad[1] = rho2_2 * (x / (rhog * rhog) - w * dx_drhog);
    props_der_densidad[2] = -rho2_2 * w * dx_dvf;
    props_der_densidad[3] = -rho2_2 * w * dx_dvg;
    props_der_densidad[4] = -rho2_2 * w * dx_dgamma;
}
