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
#include "texto_dialogo.h"

#include <stddef.h>

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

/*
 * The physical domain of one dialog number: a finite value above `minimo`
 * (or equal to it when minimo_incluido) and below `maximo` (or equal to it
 * when maximo_incluido); -HUGE_VAL or HUGE_VAL leave that end open. `campo`
 * names a field of record parameter `indice`, or is NULL for a parameter that
 * is itself the number.
 */
typedef struct {
    int_T indice;         /* zero-based dialog position */
    const char *campo;    /* field of the record, or NULL */
    const char *que;      /* what the value is, with its unit, for messages */
    double minimo;
    int minimo_incluido;
    double maximo;
    int maximo_incluido;
} RangoDialogo;

/*
 * Checks each entry of the table in order: the value can be read as a number
 * (comprobar_campo_numerico / comprobar_numero) and lies in its range. The
 * first one that does not sets the error status, in one style for every block:
 *   <block>: field "<campo>" of dialog parameter <n> (<que>) must be a finite
 *   number >= 0, got -1
 * ("in [0, 1)" when both ends are closed in, "<" or "<=" for an upper end
 * alone; "dialog parameter <n> (<que>) must be ..." for a plain number).
 * Returns 1 when all are in range, 0 otherwise.
 */
int comprobar_rangos(SimStruct *S, const RangoDialogo *rangos, size_t n);

#ifdef __cplusplus
}
#endif

#endif
