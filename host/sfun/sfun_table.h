/* The table through which the host reaches a plug-in's callbacks.
 * The glue fills it; callbacks a block does not define are null. */
#ifndef CYCLESIM_SFUN_TABLE_H
#define CYCLESIM_SFUN_TABLE_H

#include "simstruc.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SFUN_TABLE_VERSION 1
#define SFUN_ENTRY_SYMBOL "cyclesim_sfunction_table"

typedef struct {
    int version;
    const char *name;
    void (*initializeSizes)(SimStruct *S);
    void (*initializeSampleTimes)(SimStruct *S);
    void (*checkParameters)(SimStruct *S);
    void (*start)(SimStruct *S);
    void (*initializeConditions)(SimStruct *S);
    void (*outputs)(SimStruct *S, int_T tid);
    void (*update)(SimStruct *S, int_T tid);
    void (*derivatives)(SimStruct *S);
    void (*terminate)(SimStruct *S);
} SFunctionTable;

typedef const SFunctionTable *(*SFunctionTableEntry)(void);

#ifdef __cplusplus
}
#endif

#endif
