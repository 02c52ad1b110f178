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
