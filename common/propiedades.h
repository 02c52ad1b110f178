/*
 * Binding of the refrigerant property library.
 *
 * Every block loads the property library at run time from
 * ./Tarvex_files/libCoolProp.so, relative to the host's working directory, and
 * calls its PropsSI entry for every property it needs. The library is opened
 * with lazy binding and local scope, so two blocks never share symbols through
 * it, and any library with a PropsSI entry of this type can stand in.
 */
#ifndef BLOQUES_PROPIEDADES_H
#define BLOQUES_PROPIEDADES_H

#include "simstruc.h"

#ifdef __cplusplus
extern "C" {
#endif

#define RUTA_LIBRERIA_PROPIEDADES "./Tarvex_files/libCoolProp.so"

/* PropsSI(output, name1, value1, name2, value2, fluid), all SI. */
typedef double (*CPType)(const char *, const char *, double, const char *, double, const char *);

/*
 * Opens the library into *lib_handle and binds *PropsSI.
 * On failure it prints the console texts blocks have always printed
 * ("Error in mdlStart--lib_handle", "Error message: [...]",
 * "Error in mdlStart-- PropsSI") and, beyond that, sets the host's error
 * status with a message naming the library or entry and the loader's reason,
 * so the run stops here instead of calling a null entry at the first query.
 * Returns 1 when the entry is bound, 0 otherwise.
 */
int cargar_libreria_propiedades(SimStruct *S, void **lib_handle, CPType *PropsSI);

/* Closes a held handle and clears it; safe to call with a null handle. */
void liberar_libreria_propiedades(void **lib_handle, CPType *PropsSI);

/*
 * One binding shared by all blocks of a plug-in that started and have not yet
 * terminated (*usuarios counts them): the first start binds, later starts use
 * that binding, the last terminate releases it. Opening again for a second
 * block would overwrite the held handle and keep the library loaded for good,
 * and a later open of the same relative path from another working directory
 * could then be handed that stale library.
 * tomar_... returns what cargar_libreria_propiedades returned, or 1 when the
 * entry was already bound.
 */
int tomar_libreria_compartida(SimStruct *S, void **lib_handle, CPType *PropsSI, int *usuarios);
void soltar_libreria_compartida(void **lib_handle, CPType *PropsSI, int *usuarios);

#ifdef __cplusplus
}
#endif

#endif
