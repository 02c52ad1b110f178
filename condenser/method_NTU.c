/*
 * Effectiveness-NTU heat rate of one condenser zone: the relations and their
 * limits are the heat exchangers' shared ones (efectividad_NTU.h); this block
 * fixes its own constants.
 *
 * A condensing zone has no temperature glide; callers stand for its infinite
 * capacity with a huge CpR, and a capacity rate of 1e10 W/K or more is taken
 * as infinite here (Cr = 0, where both arrangements reduce to 1 - exp(-NTU)).
 * The exponentials are powers of the double nearest to e.
 */
#include "Cond.h"
#include "efectividad_NTU.h"

static const ConstantesNTU constantes_condensador = {2.718281828459045, 1e10};

double metodo_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR, double Tcaliente,
                  double Tfrio, const char *tipo_int)
{
    return calor_efectividad_NTU(alfa * A, mR * CpR, m_sec * Cp_sec, Tcaliente, Tfrio,
                                 relacion_intercambiador(tipo_int), &constantes_condensador);
}
