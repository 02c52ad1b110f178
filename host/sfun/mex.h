/* Host console output and the dialog-value interface. */
#ifndef CYCLESIM_MEX_H
#define CYCLESIM_MEX_H

#include "matrix.h"

#ifdef __cplusplus
extern "C" {
#endif

/* printf-like; goes to the host console and the run log. Returns the number
 * of characters printed. */
SFUN_RT_API int mexPrintf(const char *format, ...) __attribute__((format(printf, 1, 2)));

#ifdef __cplusplus
}
#endif

#endif
