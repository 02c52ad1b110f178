/* The condenser's parameter records and fluid names (see Cond.h). */
#include "Cond.h"

ParamCond CondAire;
Cond_inicial CI;
Parametros_de_simulacion Param_sim;
char refr[CAPACIDAD_TEXTO];
char secflux[CAPACIDAD_TEXTO];
