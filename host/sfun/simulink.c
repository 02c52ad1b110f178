/*
 * Glue included at the end of every S-function source. It collects the
 * block's callbacks into the table the host reads and exports the one entry
 * point through which the host finds it. Everything else in the plug-in stays
 * hidden.
 */
#include "sfun_table.h"

#ifndef S_FUNCTION_NAME
#error "S_FUNCTION_NAME must be defined before including simulink.c"
#endif

#define SFUN_GLUE_STR2(x) #x
#define SFUN_GLUE_STR(x) SFUN_GLUE_STR2(x)

__attribute__((visibility("default"))) const SFunctionTable *cyclesim_sfunction_table(void);

const SFunctionTable *cyclesim_sfunction_table(void)
{
    static const SFunctionTable table = {
        SFUN_TABLE_VERSION,
        SFUN_GLUE_STR(S_FUNCTION_NAME),
        mdlInitializeSizes,
        mdlInitializeSampleTimes,
#if defined(MDL_CHECK_PARAMETERS)
        mdlCheckParameters,
#else
        0,
#endif
#if defined(MDL_START)
        mdlStart,
#else
        0,
#endif
#if defined(MDL_INITIALIZE_CONDITIONS)
        mdlInitializeConditions,
#else
        0,
#endif
        mdlOutputs,
#if defined(MDL_UPDATE)
        mdlUpdate,
#else
        0,
#endif
#if defined(MDL_DERIVATIVES)
        mdlDerivatives,
#else
        0,
#endif
        mdlTerminate,
    };
    return &table;
}
