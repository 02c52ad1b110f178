/*
 * Vapour quality of the refrigerant at pressure P and enthalpy h, limited to
 * the saturation range: at or below the saturated-liquid enthalpy the
 * refrigerant counts as liquid (0), at or above the saturated-vapour enthalpy
 * as vapour (1); only strictly inside the dome is the library asked.
 *
 * An enthalpy (or saturation property) that is not a number cannot be placed
 * against the dome; the quality is then not a number as well, so that the
 * trouble shows up in the results instead of being hidden by a bound.
 */
#include "Cond.h"

#include <math.h>

double titulo_vapor_refrigerante(double P, double h, const char *fluido, CPType PropsSI, void *lib_handle)
{
    double Q = NAN;
    const double hf = PropsSI("H", "P", P, "Q", 0, fluido);
    const double hg = PropsSI("H", "P", P, "Q", 1, fluido);
    (void)lib_handle;

    if (h >= hg) Q = 1.0;
    if (hf >= h) Q = 0.0;
    if (hf < h && h < hg) Q = PropsSI("Q", "P", P, "H", h, fluido);
    return Q;
}
