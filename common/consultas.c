/* This module reads the SimStruct, so it declares itself a Level-2
 * S-function module as the interface asks of every such source. It is built
 * into all four blocks; the name is this module's own. */
#define S_FUNCTION_NAME bloques_consultas
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"
#include "consultas.h"

#include "errores.h"

#include <math.h>

int propiedad_rechazada(double valor) { return !isfinite(valor); }

int consultar_propiedad(SimStruct *S, CPType PropsSI, double *valor, const char *salida, const char *nombre1,
                        double valor1, const char *nombre2, double valor2, const char *fluido)
{
    *valor = PropsSI(salida, nombre1, valor1, nombre2, valor2, fluido);
    if (!propiedad_rechazada(*valor)) return 1;
    fijar_error(S, "%s: the property library refused %s(%s = %.10g, %s = %.10g) of %s at t = %g (it answered %g)",
                ssGetPath(S), salida, nombre1, valor1, nombre2, valor2, fluido, ssGetT(S), *valor);
    return 0;
}
