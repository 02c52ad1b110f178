/* This module reads the SimStruct, so it declares itself a Level-2
 * S-function module as the interface asks of every such source. It is built
 * into both heat exchangers; the name is this module's own. */
#define S_FUNCTION_NAME bloques_secundario
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"
#include "secundario.h"

#include "errores.h"
#include "texto_dialogo.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

/* What is known of the last fluid and pressure asked about. */
typedef struct {
    char fluido[CAPACIDAD_TEXTO];
    double P;
    double p_triple;    /* NaN: the library gives none (unknown fluid) */
    double T_critica;
    double T_burbuja;   /* saturation band at P; NaN above the critical */
    double T_rocio;     /* pressure, where the fluid cannot change phase */
} Saturacion;

static Saturacion ultima = {"", NAN, NAN, NAN, NAN, NAN};

static double respuesta(double v) { return isfinite(v) ? v : NAN; }

static const Saturacion *saturacion(CPType PropsSI, const char *fluido, double P)
{
    if (strcmp(ultima.fluido, fluido) != 0) {
        strncpy(ultima.fluido, fluido, sizeof ultima.fluido - 1);
        ultima.fluido[sizeof ultima.fluido - 1] = '\0';
        ultima.p_triple = respuesta(PropsSI("ptriple", "", 0.0, "", 0.0, fluido));
        ultima.T_critica = respuesta(PropsSI("Tcrit", "", 0.0, "", 0.0, fluido));
        ultima.P = NAN;
    }
    if (!(ultima.P == P)) {
        ultima.P = P;
        ultima.T_burbuja = NAN;
        ultima.T_rocio = NAN;
        if (isfinite(ultima.p_triple) && P >= ultima.p_triple) {
            ultima.T_burbuja = respuesta(PropsSI("T", "P", P, "Q", 0.0, fluido));
            ultima.T_rocio = respuesta(PropsSI("T", "P", P, "Q", 1.0, fluido));
        }
    }
    return &ultima;
}

int secundario_plausible(SimStruct *S, CPType PropsSI, const char *fluido, double P, double T_in, double T_out,
                         EntradasSecundario entradas)
{
    if (strncmp(fluido, "INCOMP::", 8) == 0 || strcmp(fluido, "Glicol_propio") == 0) return 1;
    const Saturacion *sat = saturacion(PropsSI, fluido, P);
    if (!isfinite(sat->p_triple)) return 1;
    if (P < sat->p_triple) {
        fijar_error(S, "%s: the secondary fluid %s enters at a pressure of %g Pa (%s) at t = %g, below its "
                       "triple-point pressure %g Pa: it cannot be liquid there (a pressure in bar written in "
                       "Pa?)",
                    ssGetPath(S), fluido, P, entradas.presion, ssGetT(S), sat->p_triple);
        return 0;
    }
    /* Above the critical pressure (no band) the fluid changes phase nowhere. */
    if (!(isfinite(sat->T_burbuja) && isfinite(sat->T_rocio))) return 1;
    const double T_baja = fmin(T_in, T_out), T_alta = fmax(T_in, T_out);
    /* A liquid all the way (water, a brine), or a gas above its critical
     * temperature that no cooling in the exchanger can condense (air). */
    if (T_alta < sat->T_burbuja) return 1;
    if (isfinite(sat->T_critica) && T_baja > sat->T_critica) return 1;
    if (T_alta >= sat->T_burbuja && T_baja <= sat->T_rocio) {
        char banda[80];
        if (sat->T_rocio - sat->T_burbuja > 1e-6)
            snprintf(banda, sizeof banda, "between %g K and %g K", sat->T_burbuja, sat->T_rocio);
        else
            snprintf(banda, sizeof banda, "at %g K", sat->T_burbuja);
        fijar_error(S, "%s: the secondary fluid %s at %g Pa (%s) changes phase %s, and it passes through "
                       "%g K .. %g K in the exchanger (entering at %g K, %s) at t = %g: the exchanger's secondary "
                       "side must stay liquid, or a gas above its critical temperature, throughout (is its "
                       "pressure meant?)",
                    ssGetPath(S), fluido, P, entradas.presion, banda, T_baja, T_alta, T_in, entradas.temperatura,
                    ssGetT(S));
        return 0;
    }
    /* What is left is a vapour below its critical temperature: steam for
     * cooling water, at a pressure far below the one meant. */
    fijar_error(S, "%s: the secondary fluid %s enters as a vapour at %g Pa (%s) and %g K (%s) at t = %g: at that "
                   "pressure it condenses at %g K, and the exchanger's secondary side must be a liquid, or a gas "
                   "above its critical temperature %g K (is its pressure meant?)",
                ssGetPath(S), fluido, P, entradas.presion, T_in, entradas.temperatura, ssGetT(S), sat->T_rocio,
                sat->T_critica);
    return 0;
    return 1;
}
