/* Dialog values handed to a block: double arrays, character arrays and
 * 1-by-1 structures with named fields. The layout is private to the runtime;
 * blocks use the accessor functions only. */
#ifndef CYCLESIM_MATRIX_H
#define CYCLESIM_MATRIX_H

#include "tmwtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define SFUN_RT_API
#else
#define SFUN_RT_API __attribute__((visibility("default")))
#endif

typedef struct mxArray_tag mxArray;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

typedef enum {
    mxUNKNOWN_CLASS = 0,
    mxCELL_CLASS,
    mxSTRUCT_CLASS,
    mxLOGICAL_CLASS,
    mxCHAR_CLASS,
    mxVOID_CLASS,
    mxDOUBLE_CLASS
} mxClassID;

/* Creation and destruction (used by the host). */
SFUN_RT_API mxArray *mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity flag);
SFUN_RT_API mxArray *mxCreateDoubleScalar(double value);
SFUN_RT_API mxArray *mxCreateString(const char *text);
SFUN_RT_API mxArray *mxCreateStructMatrix(mwSize m, mwSize n, int nfields, const char **fieldnames);
SFUN_RT_API void mxSetField(mxArray *s, mwIndex index, const char *fieldname, mxArray *value);
SFUN_RT_API void mxDestroyArray(mxArray *a);

/* Queries (used by blocks). Every accessor accepts a null array. */
SFUN_RT_API mxClassID mxGetClassID(const mxArray *a);
SFUN_RT_API boolean_T mxIsDouble(const mxArray *a);
SFUN_RT_API boolean_T mxIsNumeric(const mxArray *a);
SFUN_RT_API boolean_T mxIsChar(const mxArray *a);
SFUN_RT_API boolean_T mxIsStruct(const mxArray *a);
SFUN_RT_API boolean_T mxIsEmpty(const mxArray *a);
SFUN_RT_API mwSize mxGetM(const mxArray *a);
SFUN_RT_API mwSize mxGetN(const mxArray *a);
SFUN_RT_API mwSize mxGetNumberOfElements(const mxArray *a);
/* First double of a double array; null for anything else or an empty array. */
SFUN_RT_API double *mxGetPr(const mxArray *a);
SFUN_RT_API double mxGetScalar(const mxArray *a);
/* Field of structure element `index`; null when the array is not a structure,
 * the index is out of range or the field does not exist. */
SFUN_RT_API mxArray *mxGetField(const mxArray *s, mwIndex index, const char *fieldname);
SFUN_RT_API int mxGetNumberOfFields(const mxArray *s);
SFUN_RT_API const char *mxGetFieldNameByNumber(const mxArray *s, int n);
/* Copies at most buflen-1 characters and a terminator into buf. Returns 0 on
 * success, 1 when the value is not text or did not fit (then truncated). */
SFUN_RT_API int mxGetString(const mxArray *a, char *buf, mwSize buflen);

#ifdef __cplusplus
}
#endif

#endif
