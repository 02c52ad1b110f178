/*
 * Superheated length of the condenser in mode 1.
 *
 * The superheated zone ends where the vapour reaches saturation; its length
 * fraction L1 is the one at which the effectiveness-NTU heat rate of a zone
 * of that length (area and secondary-fluid flow both the fraction L1 of the
 * whole) equals the desuperheating duty mR (hR_in - hg(Pg)). Since the end
 * pressure Pg moves with L1, the duty and the zone's mean specific heat are
 * re-evaluated at the current upper point of every iteration.
 *
 * False position between the lower point 0.01 and the upper point L1_c_ahora_0,
 * stopping at a relative heat-rate error below 1e-6 (computed in single
 * precision) or after 1000 iterations. The duty, the specific heat and both
 * ends' heat rates depend on the upper point only, besides the ends
 * themselves: they are evaluated when the upper point moves (and at the
 * start); when the new point replaces the lower end instead, the upper
 * point's values stand and the lower end takes the heat rate just computed
 * at the new point, so nothing is evaluated twice at the same arguments.
 *
 * Once the false position has stopped, two Newton steps on the same relation
 * take the remaining heat-rate error to round-off (see pulir_longitud).
 *
 * Returns the fitted fraction, or -1.0 when the fit fails: no convergence
 * within 1000 iterations, or an error that is not a number (for instance the
 * 0/0 step of an upper start equal to the lower one). A relative error that
 * cannot be computed says nothing about convergence, so it counts as failure.
 */
#include "Cond.h"

#include <math.h>

/*
 * Newton steps on the same relation as the false position (the duty and the
 * specific heat of its last upper point), after it has stopped: the stop
 * leaves up to 1e-6 of the duty between the zone's heat and the duty, and
 * the mode-1 balances, which take the fitted length as the place where the
 * two are equal, read that remainder as zone 1 growing or shrinking while
 * the fitted length stands still. Over long runs at rest that is a steady
 * gain or loss of charge (-1.4 g a day in the example chiller). Two steps
 * take the remainder to round-off; the slope comes from a central
 * difference of the heat rate, so no property is queried. A step that does
 * not improve the remainder, or leaves (0, 1], is not taken.
 */
static double pulir_longitud(double L, double Q, double QR1, double Aint, double alfa, double msec, double Cpsec,
                             double mR, double CpR, double Tcaliente, double Tfrio, const char *tipo_int)
{
    int k;
    for (k = 0; k < 2; ++k) {
        const double dL = 1e-6 * L;
        const double Qmas =
            metodo_NTU(Aint * (L + dL), alfa, msec * (L + dL), Cpsec, mR, CpR, Tcaliente, Tfrio, tipo_int);
        const double Qmenos =
            metodo_NTU(Aint * (L - dL), alfa, msec * (L - dL), Cpsec, mR, CpR, Tcaliente, Tfrio, tipo_int);
        const double pendiente = (Qmas - Qmenos) / (2.0 * dL);
        const double L_nueva = L - (Q - QR1) / pendiente;
        if (!(L_nueva > 0.0 && L_nueva <= 1.0)) break;
        const double Q_nueva =
            metodo_NTU(Aint * L_nueva, alfa, msec * L_nueva, Cpsec, mR, CpR, Tcaliente, Tfrio, tipo_int);
        if (!(fabs(Q_nueva - QR1) < fabs(Q - QR1))) break;
        L = L_nueva;
        Q = Q_nueva;
    }
    return L;
}

double metodo_ajuste_L1_condens(double L1_c_ahora_0, const double *xCont, const double *u_condens, const double *w,
                                CPType PropsSI, void *lib_handle)
{
    const double P_c_ahora = xCont[ESTADO_P];
    const double mR = u_condens[0], hR_c_in = u_condens[1], P_c_in = u_condens[2];
    const double Tsec_in = w[W_TSEC_IN], msec = w[W_MSEC], Psec_in = w[W_PSEC_IN];
    const double alfa = *CondAire.alfa1;
    const double Aint = CondAire.Aintercambio;
    const char *tipo_int = CondAire.tipo_interc;
    (void)lib_handle;

    const double P_c_out = 2.0 * P_c_ahora - P_c_in;
    const double TR_c_in = PropsSI("T", "P", P_c_in, "H", hR_c_in, refr);
    const double Cpsec = PropsSI("C", "P", Psec_in, "T", Tsec_in, secflux);
    const double Tcaliente = TR_c_in;
    const double Tfrio = Tsec_in;

    double L_ahora = L1_c_ahora_0, L_antes = 0.01, L_despues;
    int i = 0, no_fin = 0;
    float Ea;
    /* Values at the current upper point, and the lower end's heat rate with
     * its specific heat. */
    double QR1 = 0.0, CpR = 0.0, Q_ahora = 0.0, Q_antes = 0.0, Q_ultima = 0.0;
    int ahora_nuevo = 1;

    do {
        i = i + 1;
        if (ahora_nuevo) {
            const double Pg_c = P_c_in - (P_c_in - P_c_out) * L_ahora;
            const double hgc = PropsSI("H", "P", Pg_c, "Q", 1.0, refr);
            QR1 = (hR_c_in - hgc) * mR;
            const double h1 = (hgc + hR_c_in) * 0.5;
            CpR = PropsSI("C", "P", (Pg_c + P_c_in) * 0.5, "H", h1, refr);
            Q_antes = metodo_NTU(Aint * L_antes, alfa, msec * L_antes, Cpsec, mR, CpR, Tcaliente, Tfrio, tipo_int);
            Q_ahora = metodo_NTU(Aint * L_ahora, alfa, msec * L_ahora, Cpsec, mR, CpR, Tcaliente, Tfrio, tipo_int);
        }
        L_despues = L_ahora - (L_ahora - L_antes) * (Q_ahora - QR1) / (Q_ahora - Q_antes);
        const double Q_despues =
            metodo_NTU(Aint * L_despues, alfa, msec * L_despues, Cpsec, mR, CpR, Tcaliente, Tfrio, tipo_int);

        Ea = fabsf((float)((QR1 - Q_despues) / Q_despues));
        Q_ultima = Q_despues;

        if (Q_despues > QR1) {
            L_ahora = L_despues;
            ahora_nuevo = 1;
        } else {
            L_antes = L_despues;
            Q_antes = Q_despues;
            ahora_nuevo = 0;
        }
        if (i == 1000) no_fin = 1;
    } while (!((double)Ea < 1e-6 || isnan(Ea) || no_fin == 1));

    if (no_fin == 1 || isnan(Ea)) return -1.0;
    return pulir_longitud(L_despues, Q_ultima, QR1, Aint, alfa, msec, Cpsec, mR, CpR, Tcaliente, Tfrio, tipo_int);
}
