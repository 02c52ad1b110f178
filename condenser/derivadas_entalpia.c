/*
 * Partial derivatives of the mean enthalpy of the two-phase zone,
 *
 *   h2 = (1 - x) hf + x hg,   x = 1 / (1 + X),
 *   X  = ((1 - gamma) / (a0 gamma r^a2 m^a3))^(1/a1),  r = rhog/rhof, m = vf/vg,
 *
 * the quality x being the inverse Thom relation of the mean void fraction.
 * With t = X/(1+X)^2 the quality moves with the saturation properties as
 *   dx/drhof = -(a2/a1) t/rhof,  dx/drhog = (a2/a1) t/rhog,
 *   dx/dvf   =  (a3/a1) t/vf,    dx/dvg   = -(a3/a1) t/vg,
 * and with the void fraction as
 *   dx/dgamma = (1/a1) B^(1/a1 - 1) / (a0 gamma^2 r^a2 m^a3 (1+X)^2),  B = X^a1,
 * a form that stays finite at gamma = 1, where B = 0 and B^0 = 1.
 *
 * Output: dh/drhof, dh/drhog, dh/dvf, dh/dvg, dh/dhf, dh/dhg, dh/dgamma.
 */
#include "Cond.h"

#include <math.h>

void derivadas_entalpia(double *props_der_entalpias, double gamma, double rhof, double rhog, double vf, double vg,
                        double hf, double hg)
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
    const double dh = hg - hf;

    const double dx_drhof = -(a2 / a1) * t / rhof;
    const double dx_drhog = (a2 / a1) * t / rhog;
    const double dx_dvf = (a3 / a1) * t / vf;
    const double dx_dvg = -(a3 / a1) * t / vg;
    const double dx_dgamma = (1.0 / a1) * pow(B, 1.0 / a1 - 1.0) / (a0 * gamma * gamma * rm * uno_mas_X2);

    props_der_entalpias[0] = dh * dx_drhof;
    props_der_entalpias[1] = dh * dx_drhog;
    props_der_entalpias[2] = dh * dx_dvf;
    props_der_entalpias[3] = dh * dx_dvg;
    props_der_entalpias[4] = 1.0 - x;
    props_der_entalpias[5] = x;
    props_der_entalpias[6] = dh * dx_dgamma;
}
