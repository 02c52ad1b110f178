/*
 * Error reporting of the blocks to the host.
 *
 * The host reads the error status after each callback and stops the run with
 * the message; the text must outlive the callback, so it is formatted into
 * static storage of the plug-in (one buffer per plug-in: symbols are hidden).
 */
#ifndef BLOQUES_ERRORES_H
#define BLOQUES_ERRORES_H

#include "simstruc.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Formats the message and sets it as the block's error status. */
void fijar_error(SimStruct *S, const char *formato, ...) __attribute__((format(printf, 2, 3)));

#ifdef __cplusplus
}
#endif

#endif
