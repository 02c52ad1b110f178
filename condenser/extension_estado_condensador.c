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
 *   the outlets mix in those proportions.
 * - counterflow: the whole secondary flow passes the zones in series,
 *   entering at the refrigerant outlet end (zone 3, then 2, then 1).
 *
 * In mode 2 the refrigerant leaves two-phase with the quality implied by the
 * mean void fraction (Qout = 2 Qbar - Qin, kept within 0..1) and zone 3
 * exchanges no heat. With the cross-flow type the air share that crosses
 * zone 3 leaves at its inlet temperature and is mixed in with the others.
 *
 * Output (y_out): 0 hR_out, 1 TR_out, 2 TSC (subcooling), 3 total heat rate
 * mR (hR_in - hR_out), 4 Tsec_out, 5 gammatot (void fraction at half the inlet
 * quality), 6-8 secondary temperatures after its stages, 9 h1, 10 h3til,
 * 11 L2, 12-14 QR1..QR3 (effectiveness-NTU), 15-16 QR1_alt, QR2_alt
 * (enthalpy balances), 18 P_out. Element 17 is not touched.
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

void extension_estado_condensador(double *y_out, double L1_condens, const double *xahora, const double *u,
                                  const double *w, double mode, CPType PropsSI, void *lib_handle)
{
    const double P = xahora[1];
    const double h3 = xahora[2];
    const double L3 = xahora[3];
    const double gamma = xahora[4];
    const double mR_in = u[0], mR_out = u[1], hR_in = u[2], P_in = u[3];
    const double Tsec_in = w[0], msec = w[1], Psec_in = w[2];
    const double alfa1 = *CondAire.alfa1, alfa2 = *CondAire.alfa2, alfa3 = *CondAire.alfa3;
    const double Aint = CondAire.Aintercambio;
    const char *tipo = CondAire.tipo_interc;
    const int cruzado = strcmp(tipo, TIPO_FLUJO_CRUZADO) == 0;
    const int contracorriente = strcmp(tipo, TIPO_CONTRACORRIENTE) == 0;
    const int modo = modo_entero(mode);

    double hf, hg, Cp3 = NAN, h3til, Qout = NAN;
    double hR_out = NAN, TR_out, TSC, Tsec_out = NAN;
    double Tsec_salida1 = NAN, Tsec_salida2 = NAN, Tsec_salida3 = NAN;
    double QR1 = NAN, QR2 = NAN, QR3 = NAN, QR1_alt, QR2_alt;
    double TR_in, T2, Tcaliente;

    /* 1. Boundary pressures and the properties every case needs. */
    const double P_out = 2.0 * P - P_in;
    const double Pg = P_in - (P_in - P_out) * L1_condens;
    const double Pf = (P_in - P_out) * L3 + P_out;
    hf = PropsSI("H", "P", Pf, "Q", 0, refr);
    hg = PropsSI("H", "P", Pg, "Q", 1, refr);
    const double Cpsec = PropsSI("C", "P", Psec_in, "T", Tsec_in, secflux);
    const double h1 = (hg + hR_in) * 0.5;
    const double Cp1 = PropsSI("C", "P", (Pg + P_in) * 0.5, "H", h1, refr);
    const double Qin = titulo_vapor_refrigerante(P_in, hR_in, refr, PropsSI, lib_handle);
    const double gammatot = Thom(P, Qin * 0.5, refr, PropsSI, lib_handle);

    /* 2. Outlet side of the two-phase zone. */
    if (modo == 1) {
        h3til = (h3 + hf) * 0.5;
        Cp3 = PropsSI("C", "P", (Pf + P_out) * 0.5, "H", h3til, refr);
    } else if (modo == 2) {
        h3til = PropsSI("H", "P", P_out, "Q", 0, refr);
        const double Qbar = Thom_inversa(P, gamma, refr, PropsSI, lib_handle);
        Qout = 2.0 * Qbar - Qin;
        if (Qout > 1.0) Qout = 1.0;
        if (Qout < 0.0) Qout = 0.0;
    } else {
        return;
    }

    /* 3. Zone lengths and the mean refrigerant flow. */
    const double L1 = L1_condens;
    const double L2 = 1.0 - L1 - L3;
    const double mR = (mR_in + mR_out) * 0.5;

    if (modo == 1) {
        /* 4. Three zones. */
        if (cruzado) {
            TR_in = PropsSI("T", "P", P_in, "H", hR_in, refr);
            QR1 = zona_flujo_cruzado(L1, alfa1, msec, Cpsec, mR, Cp1, TR_in, Tsec_in, &Tsec_salida1);
            const double Tf = PropsSI("T", "P", Pf, "Q", 0, refr);
            const double Tg = PropsSI("T", "P", Pg, "Q", 1, refr);
            Tcaliente = (Tf + Tg) * 0.5;
            QR2 = zona_flujo_cruzado(L2, alfa2, msec, Cpsec, mR, 1.0e12, Tcaliente, Tsec_in, &Tsec_salida2);
            T2 = PropsSI("T", "P", Pf, "Q", 0, refr);
            QR3 = zona_flujo_cruzado(L3, alfa3, msec, Cpsec, mR, Cp3, T2, Tsec_in, &Tsec_salida3);
            Tsec_out = (L1 * Tsec_salida1 + L2 * Tsec_salida2) + L3 * Tsec_salida3;
        } else if (contracorriente) {
            T2 = PropsSI("T", "P", P, "Q", 0, refr);
            QR3 = metodo_NTU(Aint * L3, alfa3, msec, Cpsec, mR, Cp3, T2, Tsec_in, tipo);
            Tsec_salida1 = QR3 / (msec * Cpsec) + Tsec_in;
            T2 = PropsSI("T", "P", P, "Q", 0.5, refr);
            QR2 = metodo_NTU(Aint * L2, alfa2, msec, Cpsec, mR, 1.0e15, T2, Tsec_salida1, tipo);
            Tsec_salida2 = QR2 / (msec * Cpsec) + Tsec_salida1;
            TR_in = PropsSI("T", "P", P, "H", hR_in, refr);
            QR1 = metodo_NTU(Aint * L1, alfa1, msec, Cpsec, mR, Cp1, TR_in, Tsec_salida2, tipo);
            Tsec_salida3 = QR1 / (msec * Cpsec) + Tsec_salida2;
            Tsec_out = Tsec_salida3;
        }
        hR_out = h3;
    } else {
        /* 5. Two zones; zone 3 exchanges nothing. */
        if (cruzado) {
            TR_in = PropsSI("T", "P", P_in, "H", hR_in, refr);
            QR1 = zona_flujo_cruzado(L1, alfa1, msec, Cpsec, mR, Cp1, TR_in, Tsec_in, &Tsec_salida1);
            hf = PropsSI("H", "P", P_out, "Q", 0, refr);
            hg = PropsSI("H", "P", P_out, "Q", 1, refr);
            hR_out = (1.0 - Qout) * hf + Qout * hg;
            TR_out = PropsSI("T", "P", P_out, "H", hR_out, refr);
            const double Tg = PropsSI("T", "P", Pg, "Q", 1, refr);
            Tcaliente = (TR_out + Tg) * 0.5;
            QR2 = zona_flujo_cruzado(L2, alfa2, msec, Cpsec, mR, 1.0e12, Tcaliente, Tsec_in, &Tsec_salida2);
            QR3 = 0.0;
            /* The share of the air that crosses zone 3 leaves as it came. */
            Tsec_out = (L1 * Tsec_salida1 + L2 * Tsec_salida2) + L3 * Tsec_in;
            Tsec_salida3 = Tsec_out;
        } else if (contracorriente) {
            T2 = PropsSI("T", "P", P, "Q", (Qin + Qout) * 0.5, refr);
            QR2 = metodo_NTU(Aint * L2, alfa2, msec, Cpsec, mR, 1.0e12, T2, Tsec_in, tipo);
            Tsec_salida2 = QR2 / (msec * Cpsec) + Tsec_in;
            TR_in = PropsSI("T", "P", P, "H", hR_in, refr);
            QR1 = metodo_NTU(Aint * L1, alfa1, msec, Cpsec, mR, Cp1, TR_in, Tsec_salida2, tipo);
            Tsec_out = QR1 / (msec * Cpsec) + Tsec_salida2;
            QR3 = 0.0;
            Tsec_salida1 = Tsec_in;
            Tsec_salida3 = Tsec_out;
        }
        hf = PropsSI("H", "P", P_out, "Q", 0, refr);
        hg = PropsSI("H", "P", P_out, "Q", 1, refr);
        hR_out = (1.0 - Qout) * hf + Qout * hg;
    }

    /* 6. Zone heat rates from the refrigerant's enthalpy balances. */
    hg = PropsSI("H", "P", Pg, "Q", 1, refr);
    QR1_alt = (hR_in - hg) * mR;
    if (modo == 1) {
        hf = PropsSI("H", "P", Pf, "Q", 0, refr);
        QR2_alt = (hg - hf) * mR;
    } else {
        QR2_alt = (hg - hR_out) * mR;
    }

    /* 7. Outlet temperature and subcooling. */
    T2 = PropsSI("T", "P", P_out, "Q", 0, refr);
    hf = PropsSI("H", "P", P_out, "Q", 0, refr);
    TR_out = PropsSI("T", "P", P_out, "H", hR_out, refr);
    if (hf > hR_out)
        TSC = T2 - TR_out;
    else
        TSC = 0.0;

    /* 8. */
    y_out[0] = hR_out;
    y_out[1] = TR_out;
    y_out[2] = TSC;
    y_out[3] = (hR_in - hR_out) * mR;
    y_out[4] = Tsec_out;
    y_out[5] = gammatot;
    y_out[6] = Tsec_salida1;
    y_out[7] = Tsec_salida2;
    y_out[8] = Tsec_salida3;
    y_out[9] = h1;
    y_out[10] = h3til;
    y_out[11] = L2;
    y_out[12] = QR1;
    y_out[13] = QR2;
    y_out[14] = QR3;
    y_out[15] = QR1_alt;
    y_out[16] = QR2_alt;
    y_out[18] = P_out;
}
