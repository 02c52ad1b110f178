/* Basic types of the S-function interface. */
#ifndef CYCLESIM_TMWTYPES_H
#define CYCLESIM_TMWTYPES_H

#include <stddef.h>

typedef double real_T;
typedef double time_T;
typedef int int_T;
typedef unsigned int uint_T;
typedef unsigned char boolean_T;
typedef char char_T;
typedef int int32_T;
typedef unsigned int uint32_T;
typedef size_t mwSize;
typedef size_t mwIndex;

#ifndef __cplusplus
#ifndef true
#define true 1
#endif
#ifndef false
#define false 0
#endif
#endif

#endif
