// Small numerical helpers shared by the flashes.
#pragma once

#include <algorithm>
#include <cmath>
#include <utility>

#include "fluidprops/error.h"

namespace fluidprops {

// Root of f in [a, b] by Brent's method (inverse quadratic interpolation,
// secant and bisection). f(a) and f(b) must differ in sign. Converges to
// |b - a| <= rtol |b| + 1e-300, at most max_iter evaluations.
template <class F>
double solve_bracketed(F&& f, double a, double b, double rtol, int max_iter = 200) {
    double fa = f(a), fb = f(b);
    if (fa == 0.0) return a;
    if (fb == 0.0) return b;
    if (!(fa * fb < 0.0)) throw PropertyError("root not bracketed");
    double c = a, fc = fa, d = b - a, e = d;
    for (int it = 0; it < max_iter; ++it) {
        if ((fb > 0.0) == (fc > 0.0)) {
            c = a; fc = fa; d = b - a; e = d;
        }
        if (std::abs(fc) < std::abs(fb)) {
            a = b; b = c; c = a;
            fa = fb; fb = fc; fc = fa;
        }
        const double tol = 2.0 * 1.1e-16 * std::abs(b) + 0.5 * rtol * std::abs(b) + 1e-300;
        const double m = 0.5 * (c - b);
        if (std::abs(m) <= tol || fb == 0.0) return b;
        if (std::abs(e) >= tol && std::abs(fa) > std::abs(fb)) {
            double p, q, r;
            const double s = fb / fa;
            if (a == c) {
                p = 2.0 * m * s;
                q = 1.0 - s;
            } else {
                q = fa / fc;
                r = fb / fc;
                p = s * (2.0 * m * q * (q - r) - (b - a) * (r - 1.0));
                q = (q - 1.0) * (r - 1.0) * (s - 1.0);
            }
            if (p > 0.0) q = -q; else p = -p;
            if (2.0 * p < std::min(3.0 * m * q - std::abs(tol * q), std::abs(e * q))) {
                e = d;
                d = p / q;
            } else {
                d = m; e = m;
            }
        } else {
            d = m; e = m;
        }
        a = b; fa = fb;
        b += std::abs(d) > tol ? d : (m > 0.0 ? tol : -tol);
        fb = f(b);
    }
    throw PropertyError("root search did not converge");
}

}  // namespace fluidprops
