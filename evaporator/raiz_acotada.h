/*
 * Bracketed root of a scalar function (false position, Illinois variant,
 * with bisection steps that make the bracket at least halve every three
 * evaluations).
 */
#ifndef RAIZ_ACOTADA_H
#define RAIZ_ACOTADA_H

#ifdef __cplusplus
extern "C" {
#endif

typedef double (*FuncionEscalar)(double x, void *datos);

/* A root of f in [a, b], given fa = f(a) and fb = f(b) of opposite signs (or
 * one of them zero). Stops when |f| <= tol_f or the bracket is no wider than
 * tol_x, returning then the end with the smaller |f|. NaN when the ends do
 * not bracket a sign change or f returns NaN on the way. */
double raiz_acotada(FuncionEscalar f, void *datos, double a, double fa, double b, double fb, double tol_f,
                    double tol_x);

#ifdef __cplusplus
}
#endif

#endif
