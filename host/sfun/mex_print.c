/* Console output of blocks. The host installs a sink (console and run log);
 * without one, text goes to standard error so that it never mixes with a
 * program's result on standard output. */
#include "mex.h"
#include "sfun_runtime.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

static sfun_print_sink current_sink = NULL;
static void *current_context = NULL;

void sfun_set_print_sink(sfun_print_sink sink, void *context)
{
    current_sink = sink;
    current_context = context;
}

int mexPrintf(const char *format, ...)
{
    char small[1024];
    va_list args;
    va_start(args, format);
    int needed = vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (needed < 0) return needed;

    char *text = small;
    char *large = NULL;
    if ((size_t)needed >= sizeof small) {
        large = (char *)malloc((size_t)needed + 1);
        if (large) {
            va_start(args, format);
            vsnprintf(large, (size_t)needed + 1, format, args);
            va_end(args);
            text = large;
        }
    }
    if (current_sink)
        current_sink(text, current_context);
    else
        fputs(text, stderr);
    free(large);
    return needed;
}
