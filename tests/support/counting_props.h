/*
 * A property library that forwards every query to another one and counts it.
 * Placed behind Tarvex_files/libCoolProp.so it lets a test or benchmark see
 * how many queries one output call of a block makes, with any library behind,
 * and lets a test refuse chosen queries (answered with HUGE_VAL, as a library
 * refuses) to see what a block does with a refusal.
 */
#ifndef COUNTING_PROPS_H
#define COUNTING_PROPS_H

#ifdef __cplusplus
extern "C" {
#endif

/* Forwards from now on to the PropsSI entry of the library at `path`;
 * returns 0 when it cannot be opened or has no entry. Resets the count. */
int counting_props_use(const char *path);
long counting_props_count(void);
void counting_props_reset(void);
/* From now on, queries of `output` whose first input is `name1` = `value1`
 * (exactly) are refused; a null output refuses nothing. */
void counting_props_refuse(const char *output, const char *name1, double value1);

double PropsSI(const char *output, const char *name1, double value1, const char *name2, double value2,
               const char *fluid);

#ifdef __cplusplus
}
#endif

#endif
