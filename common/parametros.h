/*
 * Checks of dialog parameters before a block reads them.
 *
 * Blocks read record fields through mxGetField/mxGetPr and texts through
 * mxGetString; a missing field, a value that is not a number or a name that is
 * not text would otherwise be read through a null pointer. Each check returns
 * 1 when the value can be read and otherwise sets the error status with a
 * message naming the parameter (1-based position in the dialog, as the user
 * sees it) and the field, and returns 0.
 */
#ifndef BLOQUES_PARAMETROS_H
#define BLOQUES_PARAMETROS_H

#include "simstruc.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Parameter `indice` (zero-based) is a record whose field `campo` holds at
 * least one real number. */
int comprobar_campo_numerico(SimStruct *S, int_T indice, const char *campo);

/* Parameter `indice` is a record whose field `campo` is text that fits in a
 * buffer of `capacidad` bytes. */
int comprobar_campo_texto(SimStruct *S, int_T indice, const char *campo, int_T capacidad);

/* Parameter `indice` is text (described as `que` in messages) fitting in
 * `capacidad` bytes. */
int comprobar_texto(SimStruct *S, int_T indice, const char *que, int_T capacidad);

/* Parameter `indice` holds at least one real number. */
int comprobar_numero(SimStruct *S, int_T indice, const char *que);

#ifdef __cplusplus
}
#endif

#endif
