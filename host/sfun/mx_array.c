/* Dialog values: double arrays, character arrays, 1-by-1 (or m-by-n)
 * structures with named fields. */
#include "matrix.h"

#include <stdlib.h>
#include <string.h>

struct mxArray_tag {
    mxClassID classId;
    mwSize m, n;
    double *data;          /* double */
    char *text;            /* char: the characters, terminated */
    int nfields;           /* struct */
    char **fieldNames;
    mxArray **fieldValues; /* [element * nfields + field] */
};

static mxArray *new_array(mxClassID id, mwSize m, mwSize n)
{
    mxArray *a = (mxArray *)calloc(1, sizeof(mxArray));
    if (!a) return NULL;
    a->classId = id;
    a->m = m;
    a->n = n;
    return a;
}

mxArray *mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity flag)
{
    (void)flag;
    mxArray *a = new_array(mxDOUBLE_CLASS, m, n);
    if (!a) return NULL;
    if (m * n > 0) {
        a->data = (double *)calloc(m * n, sizeof(double));
        if (!a->data) {
            free(a);
            return NULL;
        }
    }
    return a;
}

mxArray *mxCreateDoubleScalar(double value)
{
    mxArray *a = mxCreateDoubleMatrix(1, 1, mxREAL);
    if (a) a->data[0] = value;
    return a;
}

mxArray *mxCreateString(const char *text)
{
    if (!text) text = "";
    size_t len = strlen(text);
    mxArray *a = new_array(mxCHAR_CLASS, len ? 1 : 0, len);
    if (!a) return NULL;
    a->text = (char *)malloc(len + 1);
    if (!a->text) {
        free(a);
        return NULL;
    }
    memcpy(a->text, text, len + 1);
    return a;
}

mxArray *mxCreateStructMatrix(mwSize m, mwSize n, int nfields, const char **fieldnames)
{
    mxArray *a = new_array(mxSTRUCT_CLASS, m, n);
    if (!a) return NULL;
    a->nfields = nfields > 0 ? nfields : 0;
    if (a->nfields) {
        a->fieldNames = (char **)calloc((size_t)a->nfields, sizeof(char *));
        a->fieldValues = (mxArray **)calloc(m * n * (size_t)a->nfields + 1, sizeof(mxArray *));
        if (!a->fieldNames || !a->fieldValues) {
            mxDestroyArray(a);
            return NULL;
        }
        for (int i = 0; i < a->nfields; ++i) {
            const char *name = fieldnames[i] ? fieldnames[i] : "";
            a->fieldNames[i] = (char *)malloc(strlen(name) + 1);
            if (!a->fieldNames[i]) {
                mxDestroyArray(a);
                return NULL;
            }
            strcpy(a->fieldNames[i], name);
        }
    }
    return a;
}

static int field_number(const mxArray *s, const char *fieldname)
{
    if (!s || s->classId != mxSTRUCT_CLASS || !fieldname) return -1;
    for (int i = 0; i < s->nfields; ++i)
        if (strcmp(s->fieldNames[i], fieldname) == 0) return i;
    return -1;
}

void mxSetField(mxArray *s, mwIndex index, const char *fieldname, mxArray *value)
{
    int f = field_number(s, fieldname);
    if (f < 0 || index >= s->m * s->n) return;
    mxArray **slot = &s->fieldValues[index * (size_t)s->nfields + (size_t)f];
    if (*slot && *slot != value) mxDestroyArray(*slot);
    *slot = value;
}

void mxDestroyArray(mxArray *a)
{
    if (!a) return;
    free(a->data);
    free(a->text);
    if (a->fieldValues) {
        size_t count = a->m * a->n * (size_t)a->nfields;
        for (size_t i = 0; i < count; ++i) mxDestroyArray(a->fieldValues[i]);
        free(a->fieldValues);
    }
    if (a->fieldNames) {
        for (int i = 0; i < a->nfields; ++i) free(a->fieldNames[i]);
        free(a->fieldNames);
    }
    free(a);
}

mxClassID mxGetClassID(const mxArray *a) { return a ? a->classId : mxUNKNOWN_CLASS; }
boolean_T mxIsDouble(const mxArray *a) { return a && a->classId == mxDOUBLE_CLASS; }
boolean_T mxIsNumeric(const mxArray *a) { return mxIsDouble(a); }
boolean_T mxIsChar(const mxArray *a) { return a && a->classId == mxCHAR_CLASS; }
boolean_T mxIsStruct(const mxArray *a) { return a && a->classId == mxSTRUCT_CLASS; }
mwSize mxGetM(const mxArray *a) { return a ? a->m : 0; }
mwSize mxGetN(const mxArray *a) { return a ? a->n : 0; }
mwSize mxGetNumberOfElements(const mxArray *a) { return a ? a->m * a->n : 0; }
boolean_T mxIsEmpty(const mxArray *a) { return mxGetNumberOfElements(a) == 0; }

double *mxGetPr(const mxArray *a)
{
    if (!mxIsDouble(a) || a->m * a->n == 0) return NULL;
    return a->data;
}

double mxGetScalar(const mxArray *a)
{
    const double *p = mxGetPr(a);
    return p ? p[0] : 0.0;
}

mxArray *mxGetField(const mxArray *s, mwIndex index, const char *fieldname)
{
    int f = field_number(s, fieldname);
    if (f < 0 || index >= s->m * s->n) return NULL;
    return s->fieldValues[index * (size_t)s->nfields + (size_t)f];
}

int mxGetNumberOfFields(const mxArray *s) { return mxIsStruct(s) ? s->nfields : 0; }

const char *mxGetFieldNameByNumber(const mxArray *s, int n)
{
    if (!mxIsStruct(s) || n < 0 || n >= s->nfields) return NULL;
    return s->fieldNames[n];
}

int mxGetString(const mxArray *a, char *buf, mwSize buflen)
{
    if (!buf || buflen == 0) return 1;
    if (!mxIsChar(a)) {
        buf[0] = '\0';
        return 1;
    }
    size_t len = strlen(a->text);
    if (len < buflen) {
        memcpy(buf, a->text, len + 1);
        return 0;
    }
    memcpy(buf, a->text, buflen - 1);
    buf[buflen - 1] = '\0';
    return 1;
}
