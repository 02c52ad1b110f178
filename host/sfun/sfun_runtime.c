/* Registration of ports, states and work vectors, and their allocation. */
#include "simstruc.h"

#include <stdlib.h>
#include <string.h>

/* Every unwired input element reads this zero. */
static const real_T ground = 0.0;

static void free_ports(SimStruct *S)
{
    if (S->inputSignalPtrs) {
        for (int_T p = 0; p < S->numInputPorts; ++p) free((void *)S->inputSignalPtrs[p]);
    }
    if (S->outputSignals) {
        for (int_T p = 0; p < S->numOutputPorts; ++p) free(S->outputSignals[p]);
    }
    free((void *)S->inputSignalPtrs);
    free(S->outputSignals);
    S->inputSignalPtrs = NULL;
    S->outputSignals = NULL;
}

boolean_T sfun_set_num_input_ports(SimStruct *S, int_T n)
{
    if (n < 0) return false;
    free_ports(S);
    free(S->inputWidths);
    free(S->inputDirectFeedThrough);
    S->numInputPorts = 0;
    S->inputWidths = (int_T *)calloc((size_t)n + 1, sizeof(int_T));
    S->inputDirectFeedThrough = (int_T *)calloc((size_t)n + 1, sizeof(int_T));
    if (!S->inputWidths || !S->inputDirectFeedThrough) return false;
    S->numInputPorts = n;
    return true;
}

boolean_T sfun_set_num_output_ports(SimStruct *S, int_T n)
{
    if (n < 0) return false;
    free_ports(S);
    free(S->outputWidths);
    S->numOutputPorts = 0;
    S->outputWidths = (int_T *)calloc((size_t)n + 1, sizeof(int_T));
    if (!S->outputWidths) return false;
    S->numOutputPorts = n;
    return true;
}

boolean_T sfun_set_input_port_width(SimStruct *S, int_T port, int_T width)
{
    if (port < 0 || port >= S->numInputPorts || width < 0) return false;
    S->inputWidths[port] = width;
    return true;
}

boolean_T sfun_set_input_port_direct_feedthrough(SimStruct *S, int_T port, int_T flag)
{
    if (port < 0 || port >= S->numInputPorts) return false;
    S->inputDirectFeedThrough[port] = flag ? 1 : 0;
    return true;
}

boolean_T sfun_set_output_port_width(SimStruct *S, int_T port, int_T width)
{
    if (port < 0 || port >= S->numOutputPorts || width < 0) return false;
    S->outputWidths[port] = width;
    return true;
}

int_T sfun_get_input_port_width(const SimStruct *S, int_T port)
{
    return (port >= 0 && port < S->numInputPorts) ? S->inputWidths[port] : 0;
}

int_T sfun_get_output_port_width(const SimStruct *S, int_T port)
{
    return (port >= 0 && port < S->numOutputPorts) ? S->outputWidths[port] : 0;
}

InputRealPtrsType sfun_get_input_port_real_signal_ptrs(const SimStruct *S, int_T port)
{
    if (!S->inputSignalPtrs || port < 0 || port >= S->numInputPorts) return NULL;
    return (InputRealPtrsType)S->inputSignalPtrs[port];
}

real_T *sfun_get_output_port_real_signal(const SimStruct *S, int_T port)
{
    if (!S->outputSignals || port < 0 || port >= S->numOutputPorts) return NULL;
    return S->outputSignals[port];
}

const mxArray *sfun_get_param(const SimStruct *S, int_T index)
{
    if (!S->sfcnParams || index < 0 || index >= S->numSFcnParamsGiven) return NULL;
    return S->sfcnParams[index];
}

/* A sample time exists only below the count the block set with
 * ssSetNumSampleTimes (none by default); a write beyond it is not stored but
 * remembered, so that the host can name the block and the index. */
static int sample_time_index_valid(SimStruct *S, int_T index)
{
    if (index >= 0 && index < S->numSampleTimes && index < SFUN_MAX_SAMPLE_TIMES) return 1;
    if (!S->sampleTimeBeyondCount) {
        S->sampleTimeBeyondCount = 1;
        S->sampleTimeBeyondIndex = index;
    }
    return 0;
}

void sfun_set_sample_time(SimStruct *S, int_T index, real_T value)
{
    if (sample_time_index_valid(S, index)) S->sampleTimes[index] = value;
}

void sfun_set_offset_time(SimStruct *S, int_T index, real_T value)
{
    if (sample_time_index_valid(S, index)) S->offsetTimes[index] = value;
}

static real_T *zeros(int_T n)
{
    return (real_T *)calloc((size_t)(n > 0 ? n : 0) + 1, sizeof(real_T));
}

int sfun_allocate(SimStruct *S)
{
    if (S->numContStates < 0 || S->numDiscStates < 0 || S->numRWork < 0 || S->numIWork < 0 ||
        S->numPWork < 0)
        return 0;
    free_ports(S);
    S->inputSignalPtrs = (const real_T ***)calloc((size_t)S->numInputPorts + 1, sizeof(real_T **));
    S->outputSignals = (real_T **)calloc((size_t)S->numOutputPorts + 1, sizeof(real_T *));
    if (!S->inputSignalPtrs || !S->outputSignals) return 0;
    for (int_T p = 0; p < S->numInputPorts; ++p) {
        int_T w = S->inputWidths[p];
        const real_T **ptrs = (const real_T **)calloc((size_t)w + 1, sizeof(real_T *));
        if (!ptrs) return 0;
        for (int_T i = 0; i < w; ++i) ptrs[i] = &ground;
        S->inputSignalPtrs[p] = ptrs;
    }
    for (int_T p = 0; p < S->numOutputPorts; ++p) {
        S->outputSignals[p] = zeros(S->outputWidths[p]);
        if (!S->outputSignals[p]) return 0;
    }
    S->contStates = zeros(S->numContStates);
    S->dX = zeros(S->numContStates);
    S->discStates = zeros(S->numDiscStates);
    S->rwork = zeros(S->numRWork);
    S->iwork = (int_T *)calloc((size_t)S->numIWork + 1, sizeof(int_T));
    S->pwork = (void **)calloc((size_t)S->numPWork + 1, sizeof(void *));
    return S->contStates && S->dX && S->discStates && S->rwork && S->iwork && S->pwork;
}

void sfun_release(SimStruct *S)
{
    free_ports(S);
    free(S->inputWidths);
    free(S->inputDirectFeedThrough);
    free(S->outputWidths);
    free(S->contStates);
    free(S->dX);
    free(S->discStates);
    free(S->rwork);
    free(S->iwork);
    free(S->pwork);
    S->inputWidths = S->inputDirectFeedThrough = S->outputWidths = NULL;
    S->contStates = S->dX = S->discStates = S->rwork = NULL;
    S->iwork = NULL;
    S->pwork = NULL;
    S->numInputPorts = S->numOutputPorts = 0;
}
