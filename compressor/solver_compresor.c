/*
 * Suction-pressure solver of the compressor (see solver_compresor.h).
 *
 * Stepping search: from the guess, walk in steps of 1000 Pa until the
 * relative flow error changes sign, turning back whenever a step moves the
 * error away from zero; give up after 100 steps.
 *
 * Pressure iteration: false position between a point with too much flow
 * (pasp_ahora) and one with too little (pasp_antes). The flows at the two
 * starting points are evaluated once; the new point replaces the end on its
 * side together with the flow computed there (the flow is a pure function
 * of the pressure, so evaluating an end again would give the same value).
 * Converged when the relative flow error at the new point is below 1e-6;
 * after 1000 iterations the solve has failed, even if the 1000th iteration
 * met the tolerance.
 *
 * Where the arithmetic breaks down the iteration fails instead of carrying
 * non-finite values on: two equal flows give no secant (the new pressure
 * would be infinite or not a number), and a flow error that is not a number
 * (a property query failed at the new point) is no convergence. Neither case
 * queries the property library at a non-finite pressure.
 */
#include "solver_compresor.h"

#include <math.h>
#include <stddef.h>

CPType PropsSI = NULL;

#define PASO_BUSQUEDA 1000.0    /* Pa */
#define PASOS_BUSQUEDA_MAX 100
#define TOLERANCIA_FLUJO 1e-6   /* relative flow error */
#define ITERACIONES_MAX 1000
#define SIN_SOLUCION (-1.0)

double eval_compr_dir(double pasp_ahora, double pdesc, double hasp, double N, double st, double c,
                      const char *refr)
{
    /* Specific volume of the gas drawn in. */
    const double vasp = 1.0 / PropsSI("D", "P", pasp_ahora, "H", hasp, refr);
    /* The polytropic exponent of the re-expanding clearance gas is taken as
     * the heat-capacity ratio of saturated vapour at the suction pressure. */
    const double Cvv_asp = PropsSI("O", "P", pasp_ahora, "Q", 1.0, refr);
    const double Cpv_asp = PropsSI("C", "P", pasp_ahora, "Q", 1.0, refr);

    /* Swept volume times volumetric efficiency 1 - c (r^(1/k) - 1), times
     * revolutions per second, divided by the specific volume. */
    return (st - c * st * (pow(pdesc / pasp_ahora, Cvv_asp / Cpv_asp) - 1.0)) * N / vasp;
}

double eval_compr_dir_02(double pasp_ahora, double mR, double pdesc, double hasp, double N, double st,
                         double c, const char *refr)
{
    return (mR - eval_compr_dir(pasp_ahora, pdesc, hasp, N, st, c, refr)) / mR;
}

double fcn_busqueda(double xa, double mR, double pdesc, double hasp, double N, double st, double c,
                    const char *refr)
{
    const double deltaX = PASO_BUSQUEDA;
    double sentido = 1.0;
    double fa, fb1, fb2, xb1, xb2;
    int i = 1;
    int flag_iter = 0;

    fa = eval_compr_dir_02(xa, mR, pdesc, hasp, N, st, c, refr);
    fb1 = fa;
    xb1 = xa;
    xb2 = xa + sentido * deltaX;
    fb2 = eval_compr_dir_02(xb2, mR, pdesc, hasp, N, st, c, refr);

    if (fa < 0) {
        /* Too much flow at xa: walk until the error turns non-negative,
         * reversing whenever the error did not rise towards zero. */
        do {
            i = i + 1;
            if (!(fb2 > fb1)) sentido = -sentido;
            xb1 = xb2;
            fb1 = fb2;
            xb2 = xb2 + sentido * deltaX;
            fb2 = eval_compr_dir_02(xb2, mR, pdesc, hasp, N, st, c, refr);
            if (i > PASOS_BUSQUEDA_MAX) flag_iter = 1;
        } while (fb2 < 0 && flag_iter == 0);
    } else {
        /* Too little flow at xa (or an error that is not a number): the
         * mirror image. */
        do {
            i = i + 1;
            if (!(fb1 > fb2)) sentido = -sentido;
            xb1 = xb2;
            fb1 = fb2;
            xb2 = xb2 + sentido * deltaX;
            fb2 = eval_compr_dir_02(xb2, mR, pdesc, hasp, N, st, c, refr);
            if (i > PASOS_BUSQUEDA_MAX) flag_iter = 1;
        } while (fb2 > 0 && flag_iter == 0);
    }
    (void)xb1; /* the point before the sign change is not used by the caller */

    return flag_iter == 1 ? SIN_SOLUCION : xb2;
}

double secant_method_Pe(double Pe, double mR, double pdesc, double hasp, double N, double st, double c,
                        const char *refr)
{
    double pasp_antes, pasp_ahora, pasp_despues;
    double mR_antes, mR_ahora, mR_despues;
    double Ea;
    int i = 0;
    int no_fin = 0;

    pasp_ahora = Pe;
    pasp_antes = fcn_busqueda(Pe, mR, pdesc, hasp, N, st, c, refr);
    if (pasp_antes == SIN_SOLUCION) {
        /* No bracket found: start from a pressure 10 % below the guess. */
        pasp_antes = 0.9 * Pe;
    }

    mR_ahora = eval_compr_dir(pasp_ahora, pdesc, hasp, N, st, c, refr);
    mR_antes = eval_compr_dir(pasp_antes, pdesc, hasp, N, st, c, refr);
    do {
        i = i + 1;

        pasp_despues = pasp_ahora - (pasp_ahora - pasp_antes) * (mR_ahora - mR) / (mR_ahora - mR_antes);
        /* Equal flows at both ends (or a non-finite flow) leave no secant. */
        if (!isfinite(pasp_despues)) return SIN_SOLUCION;

        mR_despues = eval_compr_dir(pasp_despues, pdesc, hasp, N, st, c, refr);
        Ea = (mR - mR_despues) / mR;
        /* A flow error that is not a number is not convergence. */
        if (isnan(Ea)) return SIN_SOLUCION;

        /* Keep pasp_ahora where the flow is too high, pasp_antes where it is
         * too low. */
        if (mR_despues > mR) {
            pasp_ahora = pasp_despues;
            mR_ahora = mR_despues;
        } else {
            pasp_antes = pasp_despues;
            mR_antes = mR_despues;
        }

        if (i == ITERACIONES_MAX) no_fin = 1;
    } while (fabs(Ea) >= TOLERANCIA_FLUJO && no_fin == 0);

    return no_fin == 1 ? SIN_SOLUCION : pasp_despues;
}
