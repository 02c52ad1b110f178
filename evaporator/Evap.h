/*
 * Evap: the evaporator's parameter record and the globals of the deliverable.
 *
 * The record holds pointers to the doubles of the host's dialog values, not
 * copies, so a value is read where it is used. Geometry is bound when initial
 * conditions are set; the heat-transfer coefficients and the exchanger type
 * text are bound again on every output call, so each block instance uses its
 * own dialog even though all instances share this one record.
 */
#ifndef EVAP_H
#define EVAP_H

#include "tipo_propiedades.h"
#include "efectividad_NTU.h" /* exchanger type texts */
#include "texto_dialogo.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Exchanger types known to the effectiveness relation. */
#define TIPO_PLACAS_CONTRACORRIENTE TIPO_NTU_CONTRACORRIENTE
#define TIPO_FLUJO_CRUZADO TIPO_NTU_FLUJO_CRUZADO

typedef struct {
    double *N_placas;   /* number of plates [-] */
    double *F1;         /* plate dimension F1 [m] */
    double *C;          /* plate dimension C [m] */
    double *D;          /* plate dimension D [m] */
    double *F;          /* dimension F [m] */
    double *G;          /* dimension G [m] */
    double *peso_int;   /* exchanger mass without plates [kg] */
    double *peso_placa; /* mass of one plate [kg] */
    double *d_mat;      /* density of the plate material [kg/m3] */
    double *alfa_tp;    /* heat-transfer coefficient, two-phase zone [W/(m2 K)] */
    double *alfa_sh;    /* heat-transfer coefficient, superheated zone [W/(m2 K)] */
    char tipo_int[CAPACIDAD_TEXTO]; /* exchanger type text */
} ParamEvap;

/* One record, one library handle and one bound entry for the whole
 * deliverable (all instances of the block share them). */
extern ParamEvap Evap;
extern void *lib_handle;
extern CPType PropsSI;

#ifdef __cplusplus
}
#endif

#endif
