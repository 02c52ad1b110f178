/*
 * Effectiveness-NTU heat rate of one heat-exchanger zone, shared by the
 * evaporator and the condenser.
 *
 * A zone of conductance UA [W/K] couples the refrigerant (capacity rate
 * C_refrigerante = mR CpR [W/K]) and the secondary fluid (C_secundario =
 * m_sec Cp_sec). With Cmin and Cmax the smaller and larger rate (the
 * refrigerant's counts as the smaller on a tie),
 *
 *     NTU = UA / Cmin,  Cr = Cmin / Cmax,
 *     Q   = eps(NTU, Cr) Cmin (Tcaliente - Tfrio).
 *
 * Counterflow plates ("PLATE_1_1_CU_1"):
 *     eps = (e^((1-Cr) NTU) - 1) / (e^((1-Cr) NTU) - Cr)
 * Cross flow, one stream mixed ("CRO_UNMIX_MIX_1"), the four-term series
 * with a = 1 - e^(-NTU Cr/4), b = 1 - a/2:
 *     s   = (a/2)(1 - a/2 + a^2/4) + a b (1 - 2ab/Cr) e^(2a/Cr) + b^3 e^(4a/Cr)
 *     eps = 1 - 1/s
 * Both reduce to eps = 1 - e^(-NTU) when Cr = 0 (a condensing or evaporating
 * zone, whose capacity rate is unbounded).
 *
 * Limits the closed forms do not reach by themselves:
 *   - Cr = 1 in counterflow: the form is 0/0; its limit NTU/(1 + NTU) holds
 *     (the temperature difference is the same all along the exchanger);
 *   - an exponential that overflows (a tiny Cmin against a large UA): the
 *     forms become inf/inf or inf - inf while eps tends to 1, so the zone
 *     brings the stream of smaller capacity to the other's inlet temperature;
 *   - no flow on either side (Cmin = 0): no heat, whatever UA is.
 * A secondary capacity rate that is not a finite number comes from a refused
 * specific heat (unknown fluid, a state outside its range); taken for an
 * infinite capacity it would give a sound-looking heat rate, so it gives
 * none (NaN). On the refrigerant side an infinite capacity is a two-phase
 * zone and stands for exactly that. An unknown exchanger type gives NaN too:
 * nobody can mistake it for a result.
 */
#ifndef BLOQUES_EFECTIVIDAD_NTU_H
#define BLOQUES_EFECTIVIDAD_NTU_H

#ifdef __cplusplus
extern "C" {
#endif

/* Exchanger type texts of the dialogs, compared as whole texts. */
#define TIPO_NTU_CONTRACORRIENTE "PLATE_1_1_CU_1"
#define TIPO_NTU_FLUJO_CRUZADO "CRO_UNMIX_MIX_1"

/* The effectiveness relation an exchanger type text names. */
typedef enum { RELACION_DESCONOCIDA = 0, RELACION_CONTRACORRIENTE, RELACION_FLUJO_CRUZADO } RelacionNTU;

/* What each block fixes for its own relations. */
typedef struct {
    double base_e;             /* base of the exponentials, as the block's relations were fitted */
    double capacidad_infinita; /* a larger capacity rate at or above this [W/K] counts as infinite (Cr = 0) */
} ConstantesNTU;

RelacionNTU relacion_intercambiador(const char *tipo_int);

/* eps(NTU, Cr) with the limits above; NaN for RELACION_DESCONOCIDA. */
double efectividad_NTU(double NTU, double Cr, RelacionNTU relacion, double base_e);

/* Heat rate [W] from the hot stream (Tcaliente) to the cold one (Tfrio). */
double calor_efectividad_NTU(double UA, double C_refrigerante, double C_secundario, double Tcaliente, double Tfrio,
                             RelacionNTU relacion, const ConstantesNTU *constantes);

#ifdef __cplusplus
}
#endif

#endif
