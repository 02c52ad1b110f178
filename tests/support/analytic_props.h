/*
 * A small analytic property library for algorithm tests.
 *
 * It answers the same C entry as the real property library, so blocks can be
 * run against it, but every value follows from a few lines of closed-form
 * relations, so that each iteration of a block's solver can be followed by
 * hand. Refrigerant name: "Analytic". Secondary fluids: "Water" (cp 4180),
 * anything else (cp 1005).
 *
 *   Tsat(P) = 200 + 10 P/1e5                      K
 *   hf(P)   = 1e5 + 1000 (Tsat - 200)              J/kg,   hg = hf + 2e5
 *   liquid  : T = Tsat + (h - hf)/CP_L,  rho = 1200,      cp = CP_L = 1000
 *   vapour  : T = Tsat + (h - hg)/CP_V,  rho = P/(RG T),  cp = CP_V = 1000, cv = CV_V = 800, RG = 100
 *   two-phase: Q = (h - hf)/(hg - hf), T = Tsat, 1/rho = Q/rhog + (1-Q)/rhof
 *   Q outside the dome = -1 (as the real library reports single-phase states)
 *   s(P,h)  = CP_V ln(T/273.15) - RG ln(P/1e5)     (ideal-gas entropy, used for the vapour)
 *   viscosity: liquid 2e-4, vapour 1.2e-5 Pa s
 *
 * Unknown fluids or keys return HUGE_VAL. Every call is counted.
 */
#ifndef ANALYTIC_PROPS_H
#define ANALYTIC_PROPS_H

#ifdef __cplusplus
extern "C" {
#endif

double PropsSI(const char *output, const char *name1, double value1, const char *name2, double value2,
               const char *fluid);
long analytic_props_query_count(void);
void analytic_props_reset_count(void);

#ifdef __cplusplus
}
#endif

#endif
