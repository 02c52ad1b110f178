/*
 * Output port 0 of the condenser from its extended state. The extended state
 * leaves the outlet pressure in element EXT_P_OUT; on the port that element
 * carries the superheated length used (in mode 1 the fitted one, not the
 * state), the pressure moves to SAL_P_OUT, and SAL_GAMMA_C takes the mean
 * void fraction used. The mode models read the port back by these names.
 */
#include "Cond.h"

void publicar_salida_condensador(double *y, double L1_c, double gamma_c)
{
    y[SAL_P_OUT] = y[EXT_P_OUT];
    y[SAL_L1_C] = L1_c;
    y[SAL_GAMMA_C] = gamma_c;
    y[SAL_LIBRE] = 0.0;
}
