/*
 * The type of the property library's entry, PropsSI(output, name1, value1,
 * name2, value2, fluid), all SI. Model functions that make queries receive
 * or read an entry of this type; they do not touch the SimStruct, so this
 * header does not bring in the S-function interface.
 */
#ifndef BLOQUES_TIPO_PROPIEDADES_H
#define BLOQUES_TIPO_PROPIEDADES_H

#ifdef __cplusplus
extern "C" {
#endif

typedef double (*CPType)(const char *, const char *, double, const char *, double, const char *);

#ifdef __cplusplus
}
#endif

#endif
