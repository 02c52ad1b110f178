/*
 * Effectiveness-NTU heat rate of one condenser zone.
 *
 * The zone has area A and coefficient alfa (UA = alfa A) between the
 * refrigerant (capacity rate mR CpR, inlet temperature Tcaliente) and the
 * secondary fluid (m_sec Cp_sec, inlet Tfrio). A condensing zone has no
 * temperature glide; callers stand for its infinite capacity with a huge CpR,
 * and a capacity rate of 1e10 W/K or more is taken as infinite here (Cr = 0,
 * where both arrangements reduce to 1 - exp(-NTU)).
 *
 * Counterflow ("PLATE_1_1_CU_1"):
 *   eps = (e^((1-Cr) NTU) - 1) / (e^((1-Cr) NTU) - Cr)
 * which is 0/0 for equal capacity rates (Cr = 1); there its limit,
 *   eps = NTU / (1 + NTU),
 * holds (the temperature difference is the same all along the exchanger).
 * Cross flow ("CRO_UNMIX_MIX_1"), four-term series form with
 * K = 1 - e^(-NTU Cr/4), B = 1 - K/2:
 *   eps = 1 - 1 / (e^(4K/Cr) B^3 + e^(2K/Cr) B K (1 - 2BK/Cr) + (K^2/4 + B) K/2)
 *
 * Any other type has no effectiveness, and a secondary capacity rate that is
 * not a finite number has no heat rate: the result is then not a number,
 * which nobody can mistake for a result.
 */
#include "Cond.h"

#include <math.h>
#include <string.h>

/* The exponential as the power of the double nearest to e. */
static double E(double x) { return pow(2.718281828459045, x); }

double metodo_NTU(double A, double alfa, double m_sec, double Cp_sec, double mR, double CpR, double Tcaliente,
                  double Tfrio, const char *tipo_int)
{
    double Cmin, Cmax, Cr, NTU, epsilon = NAN;
    const double UA = alfa * A;
    const double C_refrigerante = mR * CpR;
    const double C_secundario = m_sec * Cp_sec;

    /* A secondary capacity rate that is not a finite number comes from a
     * refused specific heat (unknown fluid, a state outside its range): taken
     * for an infinite capacity it would give a heat rate that looks sound,
     * with the fluid leaving at its inlet temperature; it gives none. On the
     * refrigerant side the library refuses the specific heat of a two-phase
     * state, whose capacity is indeed unbounded (a zone whose mean state has
     * entered the dome), so there HUGE_VAL keeps standing for infinity. */
    if (!isfinite(C_secundario)) return NAN;

    if (C_refrigerante > C_secundario) {
        Cmin = C_secundario;
        Cmax = C_refrigerante;
    } else {
        Cmin = C_refrigerante;
        Cmax = C_secundario;
    }
    if (Cmax >= 1e10)
        Cr = 0.0;
    else
        Cr = Cmin / Cmax;
    NTU = UA / Cmin;

    if (strcmp(tipo_int, TIPO_CONTRACORRIENTE) == 0) {
        if (Cr == 0.0) {
            epsilon = 1.0 - 1.0 / E(NTU);
        } else if (Cr == 1.0) {
            epsilon = NTU / (1.0 + NTU);
        } else {
            const double ex = E((1.0 - Cr) * NTU);
            epsilon = (ex - 1.0) / (ex - Cr);
        }
    } else if (strcmp(tipo_int, TIPO_FLUJO_CRUZADO) == 0) {
        if (Cr == 0.0) {
            epsilon = 1.0 - 1.0 / E(NTU);
        } else {
            const double aux1 = 1.0 - E(-NTU * Cr / 4.0);
            const double K = aux1;
            const double B = 1.0 - K / 2.0;
            const double dos_K_Cr = 2.0 * K / Cr;
            double aux2 = (pow(K, 2.0) / 4.0 + B) * (K / 2.0);
            aux2 = E(dos_K_Cr) * ((B * K) * (1.0 - B * dos_K_Cr)) + aux2;
            aux2 = E(4.0 * K / Cr) * pow(B, 3.0) + aux2;
            epsilon = 1.0 - 1.0 / aux2;
        }
    }
    return (Tcaliente - Tfrio) * (epsilon * Cmin);
}
