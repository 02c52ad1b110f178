/* Globals of the evaporator deliverable (see Evap.h). */
#include "Evap.h"

#include <stddef.h>

ParamEvap Evap;
void *lib_handle = NULL;
CPType PropsSI = NULL;
