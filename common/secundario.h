/*
 * Whether a heat exchanger's secondary fluid is in a state its model can
 * describe.
 *
 * Both exchangers treat the secondary side as one single-phase stream with
 * a specific heat taken at its inlet. That holds for water or brine that
 * stays liquid, and for air, a gas above its critical temperature that no
 * cooling in the exchanger condenses. It fails for a stream whose pressure
 * lies below the fluid's triple point (no liquid at all: water "at 2 Pa" is
 * steam), that boils or condenses on its way from inlet to outlet, or that
 * enters as a vapour below its critical temperature. A pressure slip of a
 * factor 1e5 (bar written as Pa) is the usual way to get there; the run
 * would otherwise go on with steam for cooling water, or fail later
 * somewhere else.
 */
#ifndef BLOQUES_SECUNDARIO_H
#define BLOQUES_SECUNDARIO_H

#include "simstruc.h"
#include "tipo_propiedades.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Where the block receives the secondary stream's pressure and inlet
 * temperature, for the message: e.g. "input 5 (psec_in)" and "input 3
 * (Tsec_in)". */
typedef struct {
    const char *presion;
    const char *temperatura;
} EntradasSecundario;

/*
 * Checks the secondary fluid `fluido` at pressure P [Pa], entering at T_in
 * and leaving at T_out [K] (either order). Brines ("INCOMP::...") and the
 * fixed-property "Glicol_propio" have no saturation data and are not checked
 * here (their own property queries refuse a frozen brine); neither is a fluid
 * the library does not know (the specific-heat query names it). On a
 * refusal the block's error names the fluid, the input, the value, the
 * allowed range and the time, and 0 is returned.
 *
 * The triple-point pressure and the saturation band at P are kept for the
 * last fluid and pressure asked about, so a constant secondary pressure costs
 * no property query after the first call.
 */
int secundario_plausible(SimStruct *S, CPType PropsSI, const char *fluido, double P, double T_in, double T_out,
                         EntradasSecundario entradas);

#ifdef __cplusplus
}
#endif

#endif
