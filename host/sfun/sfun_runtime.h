/* Host-side services of the runtime that blocks never call. */
#ifndef CYCLESIM_SFUN_RUNTIME_H
#define CYCLESIM_SFUN_RUNTIME_H

#include "simstruc.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*sfun_print_sink)(const char *text, void *context);

/* Route mexPrintf; a null sink restores standard error. */
SFUN_RT_API void sfun_set_print_sink(sfun_print_sink sink, void *context);

#ifdef __cplusplus
}
#endif

#endif
