/* This module reads the SimStruct, so it declares itself a Level-2
 * S-function module as the interface asks of every such source. It is built
 * into all four blocks; the name is this module's own. */
#define S_FUNCTION_NAME bloques_parametros
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"
#include "parametros.h"
#include "errores.h"

#include <string.h>

static const char *nombre_bloque(SimStruct *S)
{
    return ssGetPath(S) ? ssGetPath(S) : "block";
}

static const mxArray *registro(SimStruct *S, int_T indice)
{
    const mxArray *p = ssGetSFcnParam(S, indice);
    if (p == NULL) {
        fijar_error(S, "%s: dialog parameter %d is missing", nombre_bloque(S), (int)indice + 1);
        return NULL;
    }
    if (!mxIsStruct(p) || mxGetNumberOfElements(p) < 1) {
        fijar_error(S, "%s: dialog parameter %d must be a record (structure)", nombre_bloque(S),
                    (int)indice + 1);
        return NULL;
    }
    return p;
}

int comprobar_campo_numerico(SimStruct *S, int_T indice, const char *campo)
{
    const mxArray *p = registro(S, indice);
    if (p == NULL) return 0;
    const mxArray *f = mxGetField(p, 0, campo);
    if (f == NULL) {
        fijar_error(S, "%s: dialog parameter %d has no field \"%s\"", nombre_bloque(S),
                    (int)indice + 1, campo);
        return 0;
    }
    if (!mxIsDouble(f) || mxGetPr(f) == NULL) {
        fijar_error(S, "%s: field \"%s\" of dialog parameter %d must be a real number",
                    nombre_bloque(S), campo, (int)indice + 1);
        return 0;
    }
    return 1;
}

int comprobar_campo_texto(SimStruct *S, int_T indice, const char *campo, int_T capacidad)
{
    const mxArray *p = registro(S, indice);
    if (p == NULL) return 0;
    const mxArray *f = mxGetField(p, 0, campo);
    if (f == NULL) {
        fijar_error(S, "%s: dialog parameter %d has no field \"%s\"", nombre_bloque(S),
                    (int)indice + 1, campo);
        return 0;
    }
    if (!mxIsChar(f)) {
        fijar_error(S, "%s: field \"%s\" of dialog parameter %d must be text", nombre_bloque(S),
                    campo, (int)indice + 1);
        return 0;
    }
    if ((int_T)mxGetNumberOfElements(f) >= capacidad) {
        fijar_error(S, "%s: field \"%s\" of dialog parameter %d is longer than %d characters",
                    nombre_bloque(S), campo, (int)indice + 1, (int)capacidad - 1);
        return 0;
    }
    return 1;
}

int comprobar_texto(SimStruct *S, int_T indice, const char *que, int_T capacidad)
{
    const mxArray *p = ssGetSFcnParam(S, indice);
    if (p == NULL || !mxIsChar(p)) {
        fijar_error(S, "%s: dialog parameter %d (%s) must be text", nombre_bloque(S),
                    (int)indice + 1, que);
        return 0;
    }
    if (mxGetNumberOfElements(p) == 0) {
        fijar_error(S, "%s: dialog parameter %d (%s) is empty", nombre_bloque(S), (int)indice + 1,
                    que);
        return 0;
    }
    if ((int_T)mxGetNumberOfElements(p) >= capacidad) {
        fijar_error(S, "%s: dialog parameter %d (%s) is longer than %d characters",
                    nombre_bloque(S), (int)indice + 1, que, (int)capacidad - 1);
        return 0;
    }
    return 1;
}

int comprobar_numero(SimStruct *S, int_T indice, const char *que)
{
    const mxArray *p = ssGetSFcnParam(S, indice);
    if (p == NULL || !mxIsDouble(p) || mxGetPr(p) == NULL) {
        fijar_error(S, "%s: dialog parameter %d (%s) must be a real number", nombre_bloque(S),
                    (int)indice + 1, que);
        return 0;
    }
    return 1;
}
