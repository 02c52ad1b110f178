/*
 * Root of a scalar function inside a bracket whose ends have opposite signs.
 *
 * False position with the Illinois modification (the function value kept at
 * an end that survives twice is halved, so neither end can stall), and a
 * bisection step whenever an interpolated point falls outside the bracket or
 * the bracket failed to halve over the last two steps. The bracket therefore
 * at least halves every two steps and the iteration ends within a fixed
 * number of evaluations whatever the function does inside; only a value that
 * is not a number stops it early, as a failure.
 */
#include "raiz_acotada.h"

#include <math.h>

#define MAX_PASOS 200

double raiz_acotada(FuncionEscalar f, void *datos, double a, double fa, double b, double fb, double tol_f,
                    double tol_x)
{
    if (isnan(fa) || isnan(fb)) return NAN;
    if (fa == 0.0) return a;
    if (fb == 0.0) return b;
    if ((fa > 0.0) == (fb > 0.0)) return NAN;

    /* Bracket widths before the last two steps. */
    double ancho_hace_dos = INFINITY, ancho_hace_uno = INFINITY;
    int lado_retenido = 0; /* -1: a survived the last step, +1: b did */
    for (int paso = 0; paso < MAX_PASOS; ++paso) {
        const double ancho = fabs(b - a);
        const int biseccion = ancho > 0.5 * ancho_hace_dos;
        ancho_hace_dos = ancho_hace_uno;
        ancho_hace_uno = ancho;
        double c = biseccion ? 0.5 * (a + b) : b - fb * (b - a) / (fb - fa);
        if (!(c > fmin(a, b) && c < fmax(a, b))) c = 0.5 * (a + b);

        const double fc = f(c, datos);
        if (isnan(fc)) return NAN;
        if (fabs(fc) <= tol_f) return c;

        if ((fc > 0.0) == (fb > 0.0)) {
            b = c;
            fb = fc;
            if (lado_retenido == -1) fa *= 0.5;
            lado_retenido = -1;
        } else {
            a = c;
            fa = fc;
            if (lado_retenido == 1) fb *= 0.5;
            lado_retenido = 1;
        }
        if (fabs(b - a) <= tol_x) return fabs(fa) < fabs(fb) ? a : b;
    }
    return fabs(fa) < fabs(fb) ? a : b;
}
