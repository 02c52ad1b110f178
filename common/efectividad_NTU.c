/* Effectiveness-NTU relations of the heat exchangers (efectividad_NTU.h). */
#include "efectividad_NTU.h"

#include <math.h>
#include <string.h>

RelacionNTU relacion_intercambiador(const char *tipo_int)
{
    if (strcmp(tipo_int, TIPO_NTU_CONTRACORRIENTE) == 0) return RELACION_CONTRACORRIENTE;
    if (strcmp(tipo_int, TIPO_NTU_FLUJO_CRUZADO) == 0) return RELACION_FLUJO_CRUZADO;
    return RELACION_DESCONOCIDA;
}

static int desborda(double x) { return isinf(x) && x > 0.0; }

static double efectividad_contracorriente(double NTU, double Cr, double e)
{
    if (Cr == 0.0) return 1.0 - pow(e, -NTU);
    if (Cr == 1.0) return NTU / (1.0 + NTU);
    const double potencia = pow(e, (1.0 - Cr) * NTU);
    if (desborda(potencia)) return 1.0;
    return (potencia - 1.0) / (potencia - Cr);
}

/* The last exponential is the largest: if it overflows, the series grows
 * without bound (the middle term, of order e^(2a/Cr) 2a/Cr, stays far below
 * it whenever it is finite). */
static double efectividad_flujo_cruzado(double NTU, double Cr, double e)
{
    if (Cr == 0.0) return 1.0 - pow(e, -NTU);
    const double a = 1.0 - pow(e, -NTU * Cr / 4.0);
    const double ultimo = pow(e, 4.0 * a / Cr);
    if (desborda(ultimo)) return 1.0;
    const double b = 1.0 - a / 2.0;
    const double serie = (a / 2.0) * (1.0 - a / 2.0 + a * a / 4.0) +
                         a * b * (1.0 - (2.0 * a / Cr) * b) * pow(e, 2.0 * a / Cr) + b * b * b * ultimo;
    return 1.0 - 1.0 / serie;
}

double efectividad_NTU(double NTU, double Cr, RelacionNTU relacion, double base_e)
{
    switch (relacion) {
    case RELACION_CONTRACORRIENTE:
        return efectividad_contracorriente(NTU, Cr, base_e);
    case RELACION_FLUJO_CRUZADO:
        return efectividad_flujo_cruzado(NTU, Cr, base_e);
    default:
        return NAN;
    }
}

double calor_efectividad_NTU(double UA, double C_refrigerante, double C_secundario, double Tcaliente, double Tfrio,
                             RelacionNTU relacion, const ConstantesNTU *constantes)
{
    if (!isfinite(C_secundario) || relacion == RELACION_DESCONOCIDA) return NAN;
    const double Cmin = C_refrigerante > C_secundario ? C_secundario : C_refrigerante;
    const double Cmax = C_refrigerante > C_secundario ? C_refrigerante : C_secundario;
    if (Cmin == 0.0) return 0.0 * (Tcaliente - Tfrio);
    const double Cr = Cmax >= constantes->capacidad_infinita ? 0.0 : Cmin / Cmax;
    const double NTU = UA / Cmin;
    return efectividad_NTU(NTU, Cr, relacion, constantes->base_e) * Cmin * (Tcaliente - Tfrio);
}
