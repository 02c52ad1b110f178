#include "propiedades.h"
#include "errores.h"

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

int cargar_libreria_propiedades(SimStruct *S, void **lib_handle, CPType *PropsSI)
{
    char motivo_apertura[400] = "";

    dlerror(); /* clear any earlier loader message */
    *lib_handle = dlopen(RUTA_LIBRERIA_PROPIEDADES, RTLD_LAZY);
    if (*lib_handle == NULL) {
        const char *e = dlerror();
        snprintf(motivo_apertura, sizeof motivo_apertura, "%s", e ? e : "unknown reason");
        mexPrintf("Error in mdlStart--lib_handle\n");
    }

    /* The entry is looked up whatever the handle; with a null handle the
     * loader searches the global scope, which holds no PropsSI of ours. */
    dlerror();
    *PropsSI = (CPType)dlsym(*lib_handle, "PropsSI");
    if (*PropsSI == NULL) {
        const char *e = dlerror();
        char motivo_entrada[400];
        snprintf(motivo_entrada, sizeof motivo_entrada, "%s", e ? e : "entry not found");
        mexPrintf("Error message: [%s]\n", motivo_entrada);
        mexPrintf("Error in mdlStart-- PropsSI\n");
        if (*lib_handle == NULL)
            fijar_error(S, "cannot load the property library '%s': %s", RUTA_LIBRERIA_PROPIEDADES,
                        motivo_apertura);
        else
            fijar_error(S, "the property library '%s' has no entry 'PropsSI': %s",
                        RUTA_LIBRERIA_PROPIEDADES, motivo_entrada);
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
    int enlazada = 1;
    if (*PropsSI == NULL) {
        liberar_libreria_propiedades(lib_handle, PropsSI);
        enlazada = cargar_libreria_propiedades(S, lib_handle, PropsSI);
    }
    ++*usuarios;
    return enlazada;
}

void soltar_libreria_compartida(void **lib_handle, CPType *PropsSI, int *usuarios)
{
    if (*usuarios > 0 && --*usuarios > 0) return; /* still in use by others */
    liberar_libreria_propiedades(lib_handle, PropsSI);
}
