/* This module reads the SimStruct, so it declares itself a Level-2
 * S-function module as the interface asks of every such source. It is built
 * into all four blocks; the name is this module's own. */
#define S_FUNCTION_NAME bloques_errores
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"
#include "errores.h"

#include <stdarg.h>
#include <stdio.h>

static char mensaje_error[1024];

void fijar_error(SimStruct *S, const char *formato, ...)
{
    va_list args;
    va_start(args, formato);
    vsnprintf(mensaje_error, sizeof mensaje_error, formato, args);
    va_end(args);
    ssSetErrorStatus(S, mensaje_error);
}
