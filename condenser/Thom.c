/*
 * Thom void-fraction correlation: the void fraction of a two-phase flow of
 * quality Q, from the slip implied by the density and viscosity ratios of the
 * saturated phases at pressure p,
 *
 *   gamma = 1 / (1 + a0 ((1 - Q)/Q)^a1 (rhog/rhof)^a2 (vf/vg)^a3).
 *
 * Q = 0 gives an infinite quality ratio and gamma = 0; Q = 1 gives gamma = 1.
 */
#include "Cond.h"

#include <math.h>

double Thom(double p, double Q, const char *fluido, CPType PropsSI, void *lib_handle)
{
    const double a0 = 1.0, a1 = 1.0, a2 = 0.89, a3 = 0.18;
    const double rhof = PropsSI("D", "P", p, "Q", 0, fluido);
    const double rhog = PropsSI("D", "P", p, "Q", 1, fluido);
    const double vf = PropsSI("V", "P", p, "Q", 0, fluido);
    const double vg = PropsSI("V", "P", p, "Q", 1, fluido);
    (void)lib_handle;

    const double S = ((pow((1.0 - Q) / Q, a1) * a0) * pow(rhog / rhof, a2)) * pow(vf / vg, a3);
    return 1.0 / (S + 1.0);
}
