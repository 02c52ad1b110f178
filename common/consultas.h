/*
 * Property queries whose refusal stops the block.
 *
 * The property library answers a query it cannot serve with HUGE_VAL (and
 * keeps its reason for get_global_param_string("errstring")). Taken as a
 * number, that value turns into results that look sound: a refused specific
 * heat makes a temperature rise vanish, a refused density an infinite flow.
 * A block computation asks through consultar_propiedad instead, which stops
 * the block with the query named.
 */
#ifndef BLOQUES_CONSULTAS_H
#define BLOQUES_CONSULTAS_H

#include "propiedades.h"
#include "simstruc.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A value that is no property: the library's error value HUGE_VAL (or its
 * negative), or anything that is not a finite number. */
int propiedad_rechazada(double valor);

/* Asks PropsSI(salida, nombre1, valor1, nombre2, valor2, fluido) and stores
 * the answer in *valor. On a refusal the block's error names the query, the
 * fluid and the time, and 0 is returned: the caller returns at once. */
int consultar_propiedad(SimStruct *S, CPType PropsSI, double *valor, const char *salida, const char *nombre1,
                        double valor1, const char *nombre2, double valor2, const char *fluido);

#ifdef __cplusplus
}
#endif

#endif
