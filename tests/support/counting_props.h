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

/* One query as asked, for replaying a run's question stream. */
typedef struct {
    char output[16], name1[16], name2[16], fluid[48];
    double value1, value2;
} counted_question;
/* From now on, queries are also copied into `buffer` until `capacity` are
 * held (a null buffer stops recording); counting_props_recorded() tells how
 * many are held. */
void counting_props_record(counted_question *buffer, long capacity);
long counting_props_recorded(void);

double PropsSI(const char *output, const char *name1, double value1, const char *name2, double value2,
               const char *fluid);

#ifdef __cplusplus
}
#endif

#endif
