/*
 * Effectiveness-NTU heat rate of one evaporator zone.
 *
 * Capacity rates: refrigerant CR = mR CpR, secondary CS = m_sec Cp_sec; the
 * smaller is Cmin (the refrigerant's on a tie). Effectiveness:
 *
 *   counterflow plates:  eps = (E^((1-Cr) NTU) - 1) / (E^((1-Cr) NTU) - Cr)
 *   cross-flow, one fluid mixed (four-term series, a1 = 1 - E^(-NTU Cr/4)):
 *     a2  = (a1/2)(1 - a1/2 + a1^2/4)
 *         + a1 (1 - a1/2)(1 - (2 a1/Cr)(1 - a1/2)) E^(2 a1/Cr)
 *         + (1 - a1/2)^3 E^(4 a1/Cr)
 *     eps = 1 - 1/a2
 *   both with eps = 1 - E^(-NTU) when Cr is exactly zero.
 *
 * Exponentials are powers of the constant E, as the relations were fitted.
 * A two-phase zone passes CpR = 1e10, giving a tiny but non-zero Cr, so the
 * general expressions apply to it too.
 *
 * The iterations that invert the relation call it hundreds of times with one
 * exchanger type, so they resolve the type text once (relacion_NTU) and call
 * calor_NTU; metodo_NTU does both for a single heat rate.
 */
#include "modelo_evaporador.h"

#include <math.h>
#include <string.h>

static const double E = 2.71828182845905;

/* Counterflow effectiveness. At Cr = 1 the general expression is 0/0; its
 * limit is NTU/(1+NTU). When the exponential overflows (a very small Cmin
 * against a large area) the expression is inf/inf while its limit is 1. */
static double efectividad_contracorriente(double NTU, double Cr)
{
    if (Cr == 0.0) return 1.0 - pow(E, -NTU);
    if (Cr == 1.0) return NTU / (1.0 + NTU);
    const double potencia = pow(E, (1.0 - Cr) * NTU);
    if (isinf(potencia) && potencia > 0.0) return 1.0;
    return (potencia - 1.0) / (potencia - Cr);
}

/* Cross-flow effectiveness by the four-term relation. If the last
 * exponential overflows the series grows without bound and eps tends to 1. */
static double efectividad_flujo_cruzado(double NTU, double Cr)
{
    if (Cr == 0.0) return 1.0 - pow(E, -NTU);
    const double aux1 = 1.0 - pow(E, -NTU * Cr / 4.0);
    const double ultimo = pow(E, 4.0 * aux1 / Cr);
    if (isinf(ultimo) && ultimo > 0.0) return 1.0;
    const double medio = 1.0 - aux1 / 2.0;
    const double aux2 = (aux1 / 2.0) * (1.0 - aux1 / 2.0 + aux1 * aux1 / 4.0) +
                        aux1 * medio * (1.0 - (2.0 * aux1 / Cr) * medio) * pow(E, 2.0 * aux1 / Cr) +
                        medio * medio * medio * ultimo;
    return 1.0 - 1.0 / aux2;
}

RelacionNTU relacion_NTU(const char *tipo_int)
{
    if (strcmp(tipo_int, TIPO_PLACAS_CONTRACORRIENTE) == 0) return RELACION_CONTRACORRIENTE;
    if (strcmp(tipo_int, TIPO_FLUJO_CRUZADO) == 0) return RELACION_FLUJO_CRUZADO;
    return RELACION_DESCONOCIDA;
}

double calor_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR, double Tcaliente,
                 double Tfrio, RelacionNTU relacion)
{
    const double UA = alfa * A;
    const double CR = mR * CpR;
    const double CS = m_sec * Cp_sec;
    double Cmin, Cmax;
    if (CR > CS) {
        Cmin = CS;
        Cmax = CR;
    } else {
        Cmin = CR;
        Cmax = CS;
    }
    const double Cr = Cmin / Cmax;
    const double NTU = UA / Cmin;

    double epsilon;
    switch (relacion) {
    case RELACION_CONTRACORRIENTE:
        epsilon = efectividad_contracorriente(NTU, Cr);
        break;
    case RELACION_FLUJO_CRUZADO:
        epsilon = efectividad_flujo_cruzado(NTU, Cr);
        break;
    default:
        epsilon = NAN; /* no relation for this exchanger; the block refuses such types */
        break;
    }
    return epsilon * Cmin * (Tcaliente - Tfrio);
}

double metodo_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR,
                  double Tcaliente, double Tfrio, const char *tipo_int)
{
    return calor_NTU(A, alfa, m_sec, Cp_sec, mR, CpR, Tcaliente, Tfrio, relacion_NTU(tipo_int));
}
