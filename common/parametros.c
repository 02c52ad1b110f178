/* This module reads the SimStruct, so it declares itself a Level-2
 * S-function module as the interface asks of every such source. It is built
 * into all four blocks; the name is this module's own. */
#define S_FUNCTION_NAME bloques_parametros
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"
#include "parametros.h"
#include "errores.h"

#include <math.h>
#include <stdio.h>
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

/* "a finite number >= 0", "a finite number in (0, 1]", ... */
static void describir_rango(const RangoDialogo *r, char *texto, size_t n)
{
    const int con_minimo = r->minimo > -HUGE_VAL, con_maximo = r->maximo < HUGE_VAL;
    if (con_minimo && con_maximo)
        snprintf(texto, n, "a finite number in %s%g, %g%s", r->minimo_incluido ? "[" : "(", r->minimo, r->maximo,
                 r->maximo_incluido ? "]" : ")");
    else if (con_minimo)
        snprintf(texto, n, "a finite number %s %g", r->minimo_incluido ? ">=" : ">", r->minimo);
    else if (con_maximo)
        snprintf(texto, n, "a finite number %s %g", r->maximo_incluido ? "<=" : "<", r->maximo);
    else
        snprintf(texto, n, "a finite number");
}

static int en_rango(const RangoDialogo *r, double v)
{
    return isfinite(v) && (r->minimo_incluido ? v >= r->minimo : v > r->minimo) &&
           (r->maximo_incluido ? v <= r->maximo : v < r->maximo);
}

int comprobar_rangos(SimStruct *S, const RangoDialogo *rangos, size_t n)
{
    size_t k;
    for (k = 0; k < n; ++k) {
        const RangoDialogo *r = &rangos[k];
        char rango[120];
        double v;
        if (r->campo != NULL) {
            if (!comprobar_campo_numerico(S, r->indice, r->campo)) return 0;
            v = *mxGetPr(mxGetField(ssGetSFcnParam(S, r->indice), 0, r->campo));
        } else {
            if (!comprobar_numero(S, r->indice, r->que)) return 0;
            v = *mxGetPr(ssGetSFcnParam(S, r->indice));
        }
        if (en_rango(r, v)) continue;
        describir_rango(r, rango, sizeof rango);
        if (r->campo != NULL)
            fijar_error(S, "%s: field \"%s\" of dialog parameter %d (%s) must be %s, got %g", nombre_bloque(S),
                        r->campo, (int)r->indice + 1, r->que, rango, v);
        else
            fijar_error(S, "%s: dialog parameter %d (%s) must be %s, got %g", nombre_bloque(S), (int)r->indice + 1,
                        r->que, rango, v);
        return 0;
    }
    return 1;
}
