/* This module reads the SimStruct, so it declares itself a Level-2
 * S-function module as the interface asks of every such source. It is built
 * into all four blocks; the name is this module's own. */
#define S_FUNCTION_NAME bloques_propiedades
#define S_FUNCTION_LEVEL 2

#include "simstruc.h"
#include "propiedades.h"
#include "errores.h"

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

int cargar_libreria_propiedades(SimStruct *S, void **lib_handle, CPType *PropsSI)
{
    char motivo[400] = "";

    *PropsSI = NULL;
    dlerror(); /* clear any earlier loader message */
    *lib_handle = dlopen(RUTA_LIBRERIA_PROPIEDADES, RTLD_LAZY);
    if (*lib_handle == NULL) {
        const char *e = dlerror();
        snprintf(motivo, sizeof motivo, "%s", e ? e : "unknown reason");
        mexPrintf("Error in mdlStart--lib_handle\n");
        mexPrintf("Error message: [%s]\n", motivo);
        mexPrintf("Error in mdlStart-- PropsSI\n");
        fijar_error(S, "cannot load the property library '%s': %s", RUTA_LIBRERIA_PROPIEDADES, motivo);
        return 0;
    }

    /* Looked up through the library's own handle only. */
    dlerror();
    *PropsSI = (CPType)dlsym(*lib_handle, "PropsSI");
    if (*PropsSI == NULL) {
        const char *e = dlerror();
        snprintf(motivo, sizeof motivo, "%s", e ? e : "entry not found");
        mexPrintf("Error message: [%s]\n", motivo);
        mexPrintf("Error in mdlStart-- PropsSI\n");
        fijar_error(S, "the property library '%s' has no entry 'PropsSI': %s", RUTA_LIBRERIA_PROPIEDADES, motivo);
        liberar_libreria_propiedades(lib_handle, PropsSI);
        return 0;
    }
    return 1;
}

void liberar_libreria_propiedades(void **lib_handle, CPType *PropsSI)
{
    if (*lib_handle != NULL) dlclose(*lib_handle);
    *lib_handle = NULL;
    if (PropsSI) *PropsSI = NULL;
}

int tomar_libreria_compartida(SimStruct *S, void **lib_handle, CPType *PropsSI, int *usuarios)
{
    /* A second start of the same block gives back what it held first. */
    soltar_libreria_compartida(S, lib_handle, PropsSI, usuarios);
    if (*PropsSI == NULL) {
        liberar_libreria_propiedades(lib_handle, PropsSI);
        if (!cargar_libreria_propiedades(S, lib_handle, PropsSI)) return 0;
    }
    ++*usuarios;
    ssSetUserData(S, (void *)usuarios); /* this block holds one reference */
    return 1;
}

void soltar_libreria_compartida(SimStruct *S, void **lib_handle, CPType *PropsSI, int *usuarios)
{
    if (ssGetUserData(S) != (void *)usuarios) return; /* this block holds nothing */
    ssSetUserData(S, NULL);
    if (*usuarios > 0 && --*usuarios > 0) return; /* still in use by others */
    liberar_libreria_propiedades(lib_handle, PropsSI);
}
