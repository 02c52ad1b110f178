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
#include "tipo_propiedades.h"

#ifdef __cplusplus
extern "C" {
#endif

#define RUTA_LIBRERIA_PROPIEDADES "./Tarvex_files/libCoolProp.so"

/*
 * Opens the library into *lib_handle and binds *PropsSI.
 * On failure it prints the console texts blocks have always printed
 * ("Error in mdlStart--lib_handle", "Error message: [...]",
 * "Error in mdlStart-- PropsSI") and, beyond that, sets the host's error
 * status with a message naming the library or entry and the loader's reason,
 * so the run stops here instead of calling a null entry at the first query.
 * The entry is looked up only through a handle that opened: with a null
 * handle the loader would search the whole process, and a PropsSI that some
 * other part of the process exports would be bound as if it were ours. A
 * library that opened but has no entry is closed again, so a failure leaves
 * nothing held (*lib_handle and *PropsSI null).
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
 *
 * Only a block whose binding succeeded is counted, and it records that it
 * holds one reference in its user data; soltar_... gives back only what the
 * calling block holds. A failed start therefore leaves nothing held, which
 * matters because the host does not call mdlTerminate for a block whose
 * mdlStart failed; and a terminate that does come after a failed start
 * releases nothing another block still uses.
 * tomar_... returns what cargar_libreria_propiedades returned, or 1 when the
 * entry was already bound.
 */
int tomar_libreria_compartida(SimStruct *S, void **lib_handle, CPType *PropsSI, int *usuarios);
void soltar_libreria_compartida(SimStruct *S, void **lib_handle, CPType *PropsSI, int *usuarios);

#ifdef __cplusplus
}
#endif

#endif
