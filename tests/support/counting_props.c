#include "counting_props.h"

#include <dlfcn.h>
#include <math.h>
#include <stddef.h>
#include <string.h>

typedef double (*entry_type)(const char *, const char *, double, const char *, double, const char *);

static void *target = NULL;
static entry_type entry = NULL;
static long count = 0;
static const char *refused_output = NULL, *refused_name1 = NULL;
static double refused_value1 = 0.0;

int counting_props_use(const char *path)
{
    if (target) dlclose(target);
    target = dlopen(path, RTLD_LAZY | RTLD_LOCAL);
    entry = target ? (entry_type)dlsym(target, "PropsSI") : NULL;
    count = 0;
    refused_output = NULL;
    return entry != NULL;
}

void counting_props_refuse(const char *output, const char *name1, double value1)
{
    refused_output = output;
    refused_name1 = name1;
    refused_value1 = value1;
}

static counted_question *record_buffer = NULL;
static long record_capacity = 0, recorded = 0;

void counting_props_record(counted_question *buffer, long capacity)
{
    record_buffer = buffer;
    record_capacity = buffer ? capacity : 0;
    recorded = 0;
}

long counting_props_recorded(void) { return recorded; }

static void copy_text(char *to, size_t size, const char *from)
{
    size_t n = from ? strlen(from) : 0;
    if (n >= size) n = size - 1;
    if (n) memcpy(to, from, n);
    to[n] = '\0';
}

long counting_props_count(void) { return count; }
void counting_props_reset(void) { count = 0; }

double PropsSI(const char *output, const char *name1, double value1, const char *name2, double value2,
               const char *fluid)
{
    ++count;
    if (record_buffer && recorded < record_capacity) {
        counted_question *q = &record_buffer[recorded++];
        copy_text(q->output, sizeof q->output, output);
        copy_text(q->name1, sizeof q->name1, name1);
        copy_text(q->name2, sizeof q->name2, name2);
        copy_text(q->fluid, sizeof q->fluid, fluid);
        q->value1 = value1;
        q->value2 = value2;
    }
    if (refused_output && output && name1 && strcmp(output, refused_output) == 0 &&
        strcmp(name1, refused_name1) == 0 && value1 == refused_value1)
        return HUGE_VAL;
    return entry ? entry(output, name1, value1, name2, value2, fluid) : HUGE_VAL;
}
