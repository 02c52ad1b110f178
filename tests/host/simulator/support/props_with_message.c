/* A property library that knows no fluid: every query fails with HUGE_VAL and
 * leaves a message for get_global_param_string("errstring"), as the real
 * library does. Lets the tests see the host add that message to a failure. */
#include <math.h>
#include <string.h>

static char last_error[200] = "";

double PropsSI(const char *output, const char *name1, double value1, const char *name2, double value2,
               const char *fluid)
{
    (void)output, (void)name1, (void)value1, (void)name2, (void)value2;
    strncpy(last_error, "no such fluid: ", sizeof last_error - 1);
    strncat(last_error, fluid ? fluid : "(null)", sizeof last_error - strlen(last_error) - 1);
    return HUGE_VAL;
}

long get_global_param_string(const char *param, char *out, int n)
{
    if (strcmp(param, "errstring") != 0 || n < 1) return -1;
    strncpy(out, last_error, (size_t)n - 1);
    out[n - 1] = '\0';
    last_error[0] = '\0';
    return 1;
}
