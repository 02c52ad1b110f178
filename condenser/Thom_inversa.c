/*
 * Quality of a two-phase flow whose void fraction is gamma: the exact inverse
 * of the Thom correlation (Thom.c) with the same coefficients and the
 * saturation properties at pressure p.
 *
 *   (1 - Q)/Q = ((1 - gamma) / (a0 gamma (rhog/rhof)^a2 (vf/vg)^a3))^(1/a1)
 */
#include "Cond.h"

#include <math.h>

double Thom_inversa(double p, double gamma, const char *fluido, CPType PropsSI, void *lib_handle)
{
    const double a0 = 1.0, a1 = 1.0, a2 = 0.89, a3 = 0.18;
    const double rhof = PropsSI("D", "P", p, "Q", 0, fluido);
    const double rhog = PropsSI("D", "P", p, "Q", 1, fluido);
    const double vf = PropsSI("V", "P", p, "Q", 0, fluido);
    const double vg = PropsSI("V", "P", p, "Q", 1, fluido);
    (void)lib_handle;

    const double D = ((gamma * a0) * pow(rhog / rhof, a2)) * pow(vf / vg, a3);
    const double X = pow((1.0 - gamma) / D, 1.0 / a1);
    return 1.0 / (1.0 + X);
}
