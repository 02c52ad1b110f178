/* A property library that leaves a file behind as soon as it is loaded (the
 * path in CYCLESIM_TEST_LOADED_MARKER), to show whether a program loaded it.
 * Its PropsSI answers like a saturation dome so that a plot could be drawn. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

__attribute__((constructor)) static void announce_loading(void)
{
    const char* marker = getenv("CYCLESIM_TEST_LOADED_MARKER");
    if (!marker) return;
    FILE* f = fopen(marker, "w");
    if (f) {
        fputs("loaded\n", f);
        fclose(f);
    }
}

double PropsSI(const char* out, const char* name1, double value1, const char* name2, double value2, const char* fluid)
{
    (void)name1;
    (void)name2;
    (void)fluid;
    if (strcmp(out, "pcrit") == 0) return 4e6;
    if (strcmp(out, "H") == 0) return 2e5 + 2e5 * value2 + value1 * 1e-3;
    return 1.0;
}
