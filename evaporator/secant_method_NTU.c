/*
 * Superheated-zone fraction: the fraction L of the area Aint over which the
 * zone relation carries the duty Q.
 *
 * False position on L between the lower point 0.01 and the upper starting
 * point L (0.9 from every caller), assuming the heat rate grows with the
 * area. Each iteration uses the heat rates at both ends; an end is either a
 * starting point or a fraction evaluated in an earlier iteration, and the
 * relation is a pure function of the fraction, so those values are kept from
 * when they were computed rather than evaluated again. The iteration stops
 * at a relative duty error below 1e-6.
 *
 * It gives up (FRACCION_FALLIDA) after 1000 iterations, even if the 1000th met
 * the tolerance, and when the residual is not a number: a NaN says the zone
 * relation could not be evaluated at the trial fraction (zero duty, zero
 * capacity), and a NaN fraction must never be taken for an answer.
 *
 * The usual reason to give up is a duty above what the zone can carry: the
 * cross-flow relation then drives the trial fractions out of range, where the
 * counterflow relation extrapolates to a fraction above 1. Callers treat both
 * outcomes alike, as a superheated zone needing the whole area.
 */
#include "modelo_evaporador.h"

#include <math.h>

#define L_INFERIOR 0.01
#define TOLERANCIA 1e-6
#define MAX_ITERACIONES 1000

double secant_method_NTU(double L, double Q, double alfa, double m_sec, double Cp_sec, double mR,
                         double CpR, double Tcaliente, double Tfrio, double Aint,
                         const char *tipo_int)
{
    const RelacionNTU relacion = relacion_NTU(tipo_int);
    double L_ahora = L;
    double L_antes = L_INFERIOR;
    double L_despues;
    double Ea;
    int i = 0;
    int no_fin = 0;

    double Q_antes = calor_NTU(Aint * L_antes, alfa, m_sec, Cp_sec, mR, CpR, Tcaliente, Tfrio, relacion);
    double Q_ahora = calor_NTU(Aint * L_ahora, alfa, m_sec, Cp_sec, mR, CpR, Tcaliente, Tfrio, relacion);
    do {
        i = i + 1;
        L_despues = L_ahora - (L_ahora - L_antes) * (Q_ahora - Q) / (Q_ahora - Q_antes);
        const double Q_despues =
            calor_NTU(Aint * L_despues, alfa, m_sec, Cp_sec, mR, CpR, Tcaliente, Tfrio, relacion);
        Ea = fabs((Q - Q_despues) / Q);
        if (Q_despues > Q) {
            L_ahora = L_despues;
            Q_ahora = Q_despues;
        } else {
            L_antes = L_despues;
            Q_antes = Q_despues;
        }
        if (i == MAX_ITERACIONES) no_fin = 1;
    } while (!(Ea < TOLERANCIA) && !isnan(Ea) && no_fin == 0);

    if (no_fin == 1 || isnan(Ea)) return FRACCION_FALLIDA;
    return L_despues;
}

/* A duty that the whole area cannot carry to within the tolerance has no
 * fraction in [0, 1): the zone's heat rate grows with its area, so every
 * fraction below 1 falls short by more than the tolerance. The iteration
 * would spend its 1000 steps, or extrapolate past the area, to say so; one
 * heat rate of the whole area says it at once. Callers only ask whether the
 * fraction leaves room for a two-phase zone, which it does not either way. */
double fraccion_sobrecalentada(double Q, double alfa, double m_sec, double Cp_sec, double mR, double CpR,
                               double Tcaliente, double Tfrio, double Aint, const char *tipo_int)
{
    const double Q_toda =
        calor_NTU(Aint, alfa, m_sec, Cp_sec, mR, CpR, Tcaliente, Tfrio, relacion_NTU(tipo_int));
    if (Q_toda < (1.0 - 2.0 * TOLERANCIA) * Q) return FRACCION_FALLIDA;
    return secant_method_NTU(0.9, Q, alfa, m_sec, Cp_sec, mR, CpR, Tcaliente, Tfrio, Aint, tipo_int);
}
