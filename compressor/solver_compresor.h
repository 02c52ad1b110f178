/*
 * Suction-pressure solver of the compressor.
 *
 * The compressor is driven by the mass flow the cycle draws; these functions
 * find the suction pressure at which it delivers exactly that flow. Flow
 * model: swept volume per second times volumetric efficiency times suction
 * density,
 *
 *     m = (st - c st ((pdesc/pasp)^(cv/cp) - 1)) N / v_asp,
 *
 * with cv/cp of saturated vapour at the suction pressure. The flow rises with
 * the suction pressure (denser gas, smaller pressure ratio), so a stepping
 * search brackets the solution and a false-position iteration refines it.
 *
 * All functions query properties through the deliverable's global PropsSI
 * entry. A pressure of exactly -1 means that no pressure was found.
 */
#ifndef SOLVER_COMPRESOR_H
#define SOLVER_COMPRESOR_H

#include "tipo_propiedades.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Bound property entry of the compressor deliverable. */
extern CPType PropsSI;

/* Mass flow [kg/s] delivered at suction pressure pasp_ahora [Pa]. */
double eval_compr_dir(double pasp_ahora, double pdesc, double hasp, double N, double st, double c,
                      const char *refr);

/* Relative flow error (mR - flow)/mR at pasp_ahora: positive when the
 * compressor delivers too little. */
double eval_compr_dir_02(double pasp_ahora, double mR, double pdesc, double hasp, double N, double st,
                         double c, const char *refr);

/* Walks from xa on a 1000 Pa grid, turning whenever the error grows, and
 * returns the first point past the solution, or -1 after 100 steps. */
double fcn_busqueda(double xa, double mR, double pdesc, double hasp, double N, double st, double c,
                    const char *refr);

/* Suction pressure [Pa] that delivers mR, starting from the guess Pe, or -1
 * when the iteration fails (1000 iterations, a flat secant, a non-finite
 * pressure or flow error). */
double secant_method_Pe(double Pe, double mR, double pdesc, double hasp, double N, double st, double c,
                        const char *refr);

#ifdef __cplusplus
}
#endif

#endif
