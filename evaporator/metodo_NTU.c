/*
 * Effectiveness-NTU heat rate of one evaporator zone: the relations and their
 * limits are the heat exchangers' shared ones (efectividad_NTU.h); this block
 * fixes its own constants.
 *
 * Exponentials are powers of the constant E, as the relations were fitted.
 * Only a truly infinite capacity rate counts as infinite: a two-phase zone
 * passes CpR = 1e10, giving a tiny but non-zero Cr, so the general
 * expressions apply to it too.
 *
 * The iterations that invert the relation call it hundreds of times with one
 * exchanger type, so they resolve the type text once (relacion_NTU) and call
 * calor_NTU; metodo_NTU does both for a single heat rate.
 */
#include "modelo_evaporador.h"

#include <math.h>

static const ConstantesNTU constantes_evaporador = {2.71828182845905, HUGE_VAL};

RelacionNTU relacion_NTU(const char *tipo_int) { return relacion_intercambiador(tipo_int); }

double calor_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR, double Tcaliente,
                 double Tfrio, RelacionNTU relacion)
{
    return calor_efectividad_NTU(alfa * A, mR * CpR, m_sec * Cp_sec, Tcaliente, Tfrio, relacion,
                                 &constantes_evaporador);
}

double metodo_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR,
                  double Tcaliente, double Tfrio, const char *tipo_int)
{
    return calor_NTU(A, alfa, m_sec, Cp_sec, mR, CpR, Tcaliente, Tfrio, relacion_NTU(tipo_int));
}
