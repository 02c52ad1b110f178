/*
 * Extended state of the condenser: everything that follows algebraically
 * from the states, the inputs and a superheated length.
 *
 * Zones are numbered in the direction of the refrigerant flow: 1 superheated
 * vapour cooled to saturation, 2 condensing, 3 subcooled liquid. The pressure
 * falls linearly from P_in at the inlet to P_out = 2 P - P_in at the outlet;
 * the zone boundaries sit at Pg (end of zone 1) and Pf (start of zone 3).
 * Each zone exchanges heat with the secondary fluid by effectiveness-NTU:
 *
 * - cross flow: the secondary fluid crosses all zones side by side, each
 *   taking the share of its mass flow equal to the zone's length fraction;
 *   the outlets mix in those proportions. Refrigerant temperatures are taken
 *   where the zones begin and end: the inlet at P_in, the boundaries at Pg
 *   and Pf, the outlet at P_out.
 * - counterflow: the whole secondary flow passes the zones in series,
 *   entering at the refrigerant outlet end (zone 3, then 2, then 1), and
 *   every refrigerant temperature is taken at the mean pressure P.
 *
 * In mode 2 the refrigerant leaves two-phase with the quality implied by the
 * mean void fraction (Qout = 2 Qbar - Qin, kept within 0..1) and zone 3
 * exchanges no heat. With the cross-flow type the air share that crosses
 * zone 3 leaves at its inlet temperature and is mixed in with the others.
 *
 * The result is written by name (SAL_* in Cond.h): elements SAL_HR_OUT to
 * SAL_QR2_ALT (0 to 16), and the outlet pressure in EXT_P_OUT (18). Element
 * 17 is not touched.
 *
 * What cannot be computed is reported as not a number rather than a value
 * that looks physical: a mode other than 1 or 2 leaves y_out untouched (the
 * caller decides), an unknown exchanger type gives no zone results (NaN),
 * and with the cross-flow type a zone of zero or negative length, which gets
 * no secondary flow and has no outlet temperature, reports NaN for its heat
 * rate and secondary outlet.
 */
#include "Cond.h"

#include <math.h>
#include <string.h>

/* Specific heat standing for the infinite capacity rate of a condensing
 * zone: the cross-flow relation is given 1e12, the counterflow one 1e15 in
 * mode 1 and 1e12 in mode 2. */
#define CP_BIFASICO 1.0e12
#define CP_BIFASICO_CONTRACORRIENTE_MODO1 1.0e15

/* The inputs of one evaluation, by name. */
typedef struct {
    double P, h3, L3, gamma; /* states (L1 is the length being evaluated) */
    double L1, L2;           /* zone lengths */
    double mR, hR_in, P_in;  /* mean refrigerant flow, inlet enthalpy and pressure */
    double Tsec_in, msec, Psec_in;
} Entradas;

/* Pressures of the zone boundaries and what every case needs from them. */
typedef struct {
    double P_out;    /* outlet, 2 P - P_in */
    double Pg;       /* end of zone 1: saturated vapour */
    double Pf;       /* start of zone 3: saturated liquid */
    double hg_Pg;    /* saturated-vapour enthalpy at Pg */
    double hf_Pf;    /* saturated-liquid enthalpy at Pf */
    double Cpsec;    /* secondary fluid at its inlet (Psec_in, Tsec_in) */
    double h1;       /* mean enthalpy of zone 1, (hg_Pg + hR_in) / 2 */
    double Cp1;      /* at h1 and zone 1's mean pressure (Pg + P_in) / 2 */
    double Qin;      /* inlet quality, at P_in */
    double gammatot; /* void fraction at the mean pressure P and half the inlet quality */
} Bordes;

/* The outlet side of the two-phase zone. */
typedef struct {
    double h3til; /* mode 1: mean enthalpy of zone 3; mode 2: saturated liquid at P_out */
    double Cp3;   /* mode 1: at h3til and zone 3's mean pressure (Pf + P_out) / 2 */
    double Qout;  /* mode 2: outlet quality */
} SalidaBifasica;

/* Heat rates and secondary temperatures of the zones. */
typedef struct {
    double QR1, QR2, QR3;
    double Tsec_salida1, Tsec_salida2, Tsec_salida3; /* after the secondary fluid's stages */
    double Tsec_out;
} Zonas;

static void bordes_y_entrada(Bordes *b, const Entradas *e, double L1, CPType PropsSI, void *lib_handle)
{
    b->P_out = 2.0 * e->P - e->P_in;
    b->Pg = e->P_in - (e->P_in - b->P_out) * L1;
    b->Pf = (e->P_in - b->P_out) * e->L3 + b->P_out;
    b->hf_Pf = PropsSI("H", "P", b->Pf, "Q", 0, refr);
    b->hg_Pg = PropsSI("H", "P", b->Pg, "Q", 1, refr);
    b->Cpsec = PropsSI("C", "P", e->Psec_in, "T", e->Tsec_in, secflux);
    b->h1 = (b->hg_Pg + e->hR_in) * 0.5;
    b->Cp1 = PropsSI("C", "P", (b->Pg + e->P_in) * 0.5, "H", b->h1, refr);
    b->Qin = titulo_vapor_refrigerante(e->P_in, e->hR_in, refr, PropsSI, lib_handle);
    b->gammatot = Thom(e->P, b->Qin * 0.5, refr, PropsSI, lib_handle);
}

static void salida_bifasica_modo1(SalidaBifasica *s, const Entradas *e, const Bordes *b, CPType PropsSI)
{
    s->h3til = (e->h3 + b->hf_Pf) * 0.5;
    s->Cp3 = PropsSI("C", "P", (b->Pf + b->P_out) * 0.5, "H", s->h3til, refr);
    s->Qout = NAN;
}

static void salida_bifasica_modo2(SalidaBifasica *s, const Entradas *e, const Bordes *b, CPType PropsSI,
                                  void *lib_handle)
{
    s->h3til = PropsSI("H", "P", b->P_out, "Q", 0, refr);
    s->Cp3 = NAN;
    const double Qbar = Thom_inversa(e->P, e->gamma, refr, PropsSI, lib_handle);
    s->Qout = 2.0 * Qbar - b->Qin;
    if (s->Qout > 1.0) s->Qout = 1.0;
    if (s->Qout < 0.0) s->Qout = 0.0;
}

/* Refrigerant leaving in mode 2: the outlet quality between the saturation
 * enthalpies at P_out. */
static double entalpia_salida_modo2(double Qout, double P_out, CPType PropsSI)
{
    const double hf_Pout = PropsSI("H", "P", P_out, "Q", 0, refr);
    const double hg_Pout = PropsSI("H", "P", P_out, "Q", 1, refr);
    return (1.0 - Qout) * hf_Pout + Qout * hg_Pout;
}

/* Cross-flow zone of length fraction L: heat rate, and the temperature of its
 * share of the secondary fluid after crossing it. */
static double zona_flujo_cruzado(double L, double alfa, double msec, double Cpsec, double mR, double CpR,
                                 double Tcaliente, double Tsec_in, double *Tsec_salida)
{
    if (!(L > 0.0)) {
        *Tsec_salida = NAN;
        return NAN;
    }
    const double Q = metodo_NTU(CondAire.Aintercambio * L, alfa, msec * L, Cpsec, mR, CpR, Tcaliente, Tsec_in,
                                CondAire.tipo_interc);
    *Tsec_salida = Q / (msec * L * Cpsec) + Tsec_in;
    return Q;
}

/* Counterflow stage of area fraction L: heat rate, and the secondary fluid's
 * temperature after it (entering at Tsec_antes). */
static double etapa_contracorriente(double L, double alfa, const Entradas *e, double Cpsec, double CpR,
                                    double Tcaliente, double Tsec_antes, double *Tsec_despues)
{
    const double Q = metodo_NTU(CondAire.Aintercambio * L, alfa, e->msec, Cpsec, e->mR, CpR, Tcaliente, Tsec_antes,
                                CondAire.tipo_interc);
    *Tsec_despues = Q / (e->msec * Cpsec) + Tsec_antes;
    return Q;
}

/* Mode 1, cross flow: inlet temperature at P_in, the two-phase zone at the
 * mean of its boundary saturation temperatures (liquid at Pf, vapour at Pg),
 * the subcooled zone from the saturated liquid at Pf. */
static void zonas_modo1_flujo_cruzado(Zonas *z, const Entradas *e, const Bordes *b, const SalidaBifasica *s,
                                      CPType PropsSI)
{
    const double TR_in_Pin = PropsSI("T", "P", e->P_in, "H", e->hR_in, refr);
    z->QR1 = zona_flujo_cruzado(e->L1, *CondAire.alfa1, e->msec, b->Cpsec, e->mR, b->Cp1, TR_in_Pin, e->Tsec_in,
                                &z->Tsec_salida1);
    const double Tf_Pf = PropsSI("T", "P", b->Pf, "Q", 0, refr);
    const double Tg_Pg = PropsSI("T", "P", b->Pg, "Q", 1, refr);
    z->QR2 = zona_flujo_cruzado(e->L2, *CondAire.alfa2, e->msec, b->Cpsec, e->mR, CP_BIFASICO, (Tf_Pf + Tg_Pg) * 0.5,
                                e->Tsec_in, &z->Tsec_salida2);
    z->QR3 = zona_flujo_cruzado(e->L3, *CondAire.alfa3, e->msec, b->Cpsec, e->mR, s->Cp3, Tf_Pf, e->Tsec_in,
                                &z->Tsec_salida3);
    z->Tsec_out = (e->L1 * z->Tsec_salida1 + e->L2 * z->Tsec_salida2) + e->L3 * z->Tsec_salida3;
}

/* Mode 1, counterflow: the secondary fluid meets zone 3 first; all three
 * refrigerant temperatures at the mean pressure P (saturated liquid, the
 * mid-quality mixture, the inlet enthalpy). */
static void zonas_modo1_contracorriente(Zonas *z, const Entradas *e, const Bordes *b, const SalidaBifasica *s,
                                        CPType PropsSI)
{
    const double Tf_P = PropsSI("T", "P", e->P, "Q", 0, refr);
    z->QR3 = etapa_contracorriente(e->L3, *CondAire.alfa3, e, b->Cpsec, s->Cp3, Tf_P, e->Tsec_in, &z->Tsec_salida1);
    const double Tmedia_P = PropsSI("T", "P", e->P, "Q", 0.5, refr);
    z->QR2 = etapa_contracorriente(e->L2, *CondAire.alfa2, e, b->Cpsec, CP_BIFASICO_CONTRACORRIENTE_MODO1, Tmedia_P,
                                   z->Tsec_salida1, &z->Tsec_salida2);
    const double TR_in_P = PropsSI("T", "P", e->P, "H", e->hR_in, refr);
    z->QR1 = etapa_contracorriente(e->L1, *CondAire.alfa1, e, b->Cpsec, b->Cp1, TR_in_P, z->Tsec_salida2,
                                   &z->Tsec_salida3);
    z->Tsec_out = z->Tsec_salida3;
}

/* Mode 2, cross flow: inlet temperature at P_in; the two-phase zone at the
 * mean of the outlet temperature (at P_out) and the saturated vapour at Pg;
 * the air share over zone 3 passes unchanged. */
static void zonas_modo2_flujo_cruzado(Zonas *z, const Entradas *e, const Bordes *b, double hR_out,
                                      CPType PropsSI)
{
    const double TR_in_Pin = PropsSI("T", "P", e->P_in, "H", e->hR_in, refr);
    z->QR1 = zona_flujo_cruzado(e->L1, *CondAire.alfa1, e->msec, b->Cpsec, e->mR, b->Cp1, TR_in_Pin, e->Tsec_in,
                                &z->Tsec_salida1);
    const double TR_out_Pout = PropsSI("T", "P", b->P_out, "H", hR_out, refr);
    const double Tg_Pg = PropsSI("T", "P", b->Pg, "Q", 1, refr);
    z->QR2 = zona_flujo_cruzado(e->L2, *CondAire.alfa2, e->msec, b->Cpsec, e->mR, CP_BIFASICO,
                                (TR_out_Pout + Tg_Pg) * 0.5, e->Tsec_in, &z->Tsec_salida2);
    z->QR3 = 0.0;
    z->Tsec_out = (e->L1 * z->Tsec_salida1 + e->L2 * z->Tsec_salida2) + e->L3 * e->Tsec_in;
    z->Tsec_salida3 = z->Tsec_out;
}

/* Mode 2, counterflow: the secondary fluid meets zone 2 first; the
 * two-phase zone at the mean pressure P and the mean of inlet and outlet
 * quality, the inlet temperature at P too. */
static void zonas_modo2_contracorriente(Zonas *z, const Entradas *e, const Bordes *b, const SalidaBifasica *s,
                                        CPType PropsSI)
{
    const double Tmedia_P = PropsSI("T", "P", e->P, "Q", (b->Qin + s->Qout) * 0.5, refr);
    z->QR2 = etapa_contracorriente(e->L2, *CondAire.alfa2, e, b->Cpsec, CP_BIFASICO, Tmedia_P, e->Tsec_in,
                                   &z->Tsec_salida2);
    const double TR_in_P = PropsSI("T", "P", e->P, "H", e->hR_in, refr);
    z->QR1 = etapa_contracorriente(e->L1, *CondAire.alfa1, e, b->Cpsec, b->Cp1, TR_in_P, z->Tsec_salida2,
                                   &z->Tsec_out);
    z->QR3 = 0.0;
    z->Tsec_salida1 = e->Tsec_in;
    z->Tsec_salida3 = z->Tsec_out;
}

void extension_estado_condensador(double *y_out, double L1_condens, const double *xahora, const double *u,
                                  const double *w, double mode, CPType PropsSI, void *lib_handle)
{
    const int modo = modo_entero(mode);
    const int cruzado = strcmp(CondAire.tipo_interc, TIPO_FLUJO_CRUZADO) == 0;
    const int contracorriente = strcmp(CondAire.tipo_interc, TIPO_CONTRACORRIENTE) == 0;
    Entradas e;
    Bordes b;
    SalidaBifasica s;
    Zonas z = {NAN, NAN, NAN, NAN, NAN, NAN, NAN};
    double hR_out;

    e.P = xahora[ESTADO_P];
    e.h3 = xahora[ESTADO_H3];
    e.L3 = xahora[ESTADO_L3];
    e.gamma = xahora[ESTADO_GAMMA];
    e.L1 = L1_condens;
    e.L2 = 1.0 - L1_condens - e.L3;
    e.mR = (u[U_MR_IN] + u[U_MR_OUT]) * 0.5;
    e.hR_in = u[U_HR_IN];
    e.P_in = u[U_P_IN];
    e.Tsec_in = w[W_TSEC_IN];
    e.msec = w[W_MSEC];
    e.Psec_in = w[W_PSEC_IN];

    bordes_y_entrada(&b, &e, L1_condens, PropsSI, lib_handle);
    if (modo == 1)
        salida_bifasica_modo1(&s, &e, &b, PropsSI);
    else if (modo == 2)
        salida_bifasica_modo2(&s, &e, &b, PropsSI, lib_handle);
    else
        return;

    if (modo == 1) {
        if (cruzado)
            zonas_modo1_flujo_cruzado(&z, &e, &b, &s, PropsSI);
        else if (contracorriente)
            zonas_modo1_contracorriente(&z, &e, &b, &s, PropsSI);
        hR_out = e.h3;
    } else {
        hR_out = entalpia_salida_modo2(s.Qout, b.P_out, PropsSI);
        if (cruzado)
            zonas_modo2_flujo_cruzado(&z, &e, &b, hR_out, PropsSI);
        else if (contracorriente)
            zonas_modo2_contracorriente(&z, &e, &b, &s, PropsSI);
    }

    /* Outlet temperature and subcooling, at the outlet pressure. */
    const double Tf_Pout = PropsSI("T", "P", b.P_out, "Q", 0, refr);
    const double hf_Pout = PropsSI("H", "P", b.P_out, "Q", 0, refr);
    const double TR_out = PropsSI("T", "P", b.P_out, "H", hR_out, refr);
    const double TSC = hf_Pout > hR_out ? Tf_Pout - TR_out : 0.0;

    y_out[SAL_HR_OUT] = hR_out;
    y_out[SAL_TR_OUT] = TR_out;
    y_out[SAL_TSC] = TSC;
    y_out[SAL_Q_TOTAL] = (e.hR_in - hR_out) * e.mR;
    y_out[SAL_TSEC_OUT] = z.Tsec_out;
    y_out[SAL_GAMMATOT] = b.gammatot;
    y_out[SAL_TSEC_SALIDA1] = z.Tsec_salida1;
    y_out[SAL_TSEC_SALIDA2] = z.Tsec_salida2;
    y_out[SAL_TSEC_SALIDA3] = z.Tsec_salida3;
    y_out[SAL_H1] = b.h1;
    y_out[SAL_H3TIL] = s.h3til;
    y_out[SAL_L2] = e.L2;
    y_out[SAL_QR1] = z.QR1;
    y_out[SAL_QR2] = z.QR2;
    y_out[SAL_QR3] = z.QR3;
    /* Zone heat rates from the refrigerant's enthalpy balances, with the
     * boundary saturation enthalpies at Pg and Pf. */
    y_out[SAL_QR1_ALT] = (e.hR_in - b.hg_Pg) * e.mR;
    y_out[SAL_QR2_ALT] = (b.hg_Pg - (modo == 1 ? b.hf_Pf : hR_out)) * e.mR;
    y_out[EXT_P_OUT] = b.P_out;
}
