/*
 * Three-zone condenser (mode 1): rates of change of P, h3 and L3.
 *
 * Mass and energy balances of the three zones, with zone volumes V_R Lk and
 * the heat rates of the extended state (QRk released by the refrigerant,
 * QRk_ec = -QRk received), give four linear equations in (dL1/dt, dP/dt,
 * dL3/dt, dh3/dt):
 *
 *   row 1, zone 1 (mass and energy combined, the flow into zone 2 eliminated):
 *       dL1/dt + a12 dP/dt                           = b1
 *   row 2, mass of zone 2 with the boundary flows from zones 1 and 3:
 *      -dL1/dt + a22 dP/dt - dL3/dt + a24 dh3/dt     = b2
 *   row 3, energy of zone 2 (divided by hg - hf):
 *                 a32 dP/dt          + a34 dh3/dt     = b3
 *   row 4, zone 3 (mass and energy combined, leaving with h3):
 *                 a42 dP/dt - dL3/dt + a44 dh3/dt     = b4
 *
 * The void fraction of zone 2 follows its value at half the inlet quality, so
 * it enters rows 2 and 3 through gammatotp dP/dt; the mean enthalpy of zone 1
 * follows hg with half its pressure sensitivity; hR_in is held constant.
 * Rows 1 and 2 are added to eliminate dL1/dt and the remaining 3x3 system is
 * solved by Cramer's rule. In this mode the superheated length and the void
 * fraction are algebraic (fitted L1, gammatot of the extended state), so their
 * state derivatives are 0.
 *
 * Sensitivities are per pascal and per J/kg (see the property evaluation).
 */
#include "Cond.h"

void modelo_condensador_modo1(double *xdot, const double *xCont, const double *u, const double *y_condens,
                              CPType PropsSI, void *lib_handle)
{
    double propiedades_modo1[16];
    const double V_R = CondAire.V_R;
    const double P = xCont[ESTADO_P], h3 = xCont[ESTADO_H3], L3 = xCont[ESTADO_L3];
    const double L1 = y_condens[SAL_L1_C];
    const double L2 = (1.0 - L1) - L3;
    const double gamma = y_condens[SAL_GAMMA_C];
    const double mR_IN = u[U_MR_IN], mR_OUT = u[U_MR_OUT], hR_IN = u[U_HR_IN];
    const double xtill[N_ESTADOS_CONDENSADOR] = {y_condens[SAL_L1_C], P, h3, L3, gamma};

    evaluacion_propiedades_condensador_modo1(propiedades_modo1, xtill, u, y_condens, PropsSI, lib_handle);
    const double hf = propiedades_modo1[0];
    const double hg = propiedades_modo1[1];
    const double hgp = propiedades_modo1[2];
    const double h2 = propiedades_modo1[3];
    const double h2p = propiedades_modo1[4];
    const double h2pp = propiedades_modo1[5];
    const double gammatotp = propiedades_modo1[7];
    const double rho1 = propiedades_modo1[8];
    const double rho1p = propiedades_modo1[9];
    const double rho1pp = propiedades_modo1[10];
    const double rho2 = propiedades_modo1[11];
    const double rho2p = propiedades_modo1[12];
    const double rho2pp = propiedades_modo1[13];
    const double rho3 = propiedades_modo1[14];
    const double rho3pp = propiedades_modo1[15];

    const double h1 = y_condens[SAL_H1];
    const double QR1_ec = -y_condens[SAL_QR1];
    const double QR2_ec = -y_condens[SAL_QR2];
    const double QR3_ec = -y_condens[SAL_QR3];

    /* Flow from zone 1 into zone 2 (times hg - h1) and from zone 2 into 3. */
    const double flujo_12 = (hR_IN - h1) * mR_IN + QR1_ec;

    const double b1 = ((hg - hR_IN) * mR_IN - QR1_ec) / (rho1 * V_R) / (hg - h1);
    const double b2 = (QR3_ec / (hf - h3)) / (rho2 * V_R) + (flujo_12 / (hg - h1)) / (rho2 * V_R);
    const double b3 = ((hf - h2) * QR3_ec / (hf - h3) + QR2_ec + (hg - h2) * flujo_12 / (hg - h1)) /
                      (rho2 * V_R * L2) / (hg - hf);
    const double b4 = ((hf - h3) * mR_OUT + QR3_ec) / (rho3 * V_R) / (hf - h3);

    const double a12 = ((L1 / rho1) * rho1pp - L1 / (hg - h1)) * (hgp * 0.5) + (L1 / rho1) * rho1p +
                       (L1 / rho1) / (hg - h1);
    const double a22 = gammatotp * (L2 / rho2) * rho2pp + (L2 / rho2) * rho2p - (L1 / rho2) / (hg - h1) -
                       (L3 / rho2) / (hf - h3) + ((rho1 * L1) / (hg - h1)) / rho2 * (hgp * 0.5);
    const double a24 = ((rho3 * L3) / (hf - h3)) / rho2;
    const double a32 = (gammatotp * h2pp + h2p - 1.0 / rho2 - (hg - h2) * (L1 / (hg - h1)) / (rho2 * L2) -
                        (hf - h2) * (L3 / (hf - h3)) / (rho2 * L2) +
                        (hg - h2) * (rho1 * L1 * hgp * 0.5 / (hg - h1)) / (rho2 * L2)) /
                       (hg - hf);
    const double a34 = (hf - h2) * ((rho3 * L3) / (hf - h3)) / (rho2 * L2) / (hg - hf);
    const double a42 = (-L3 / (hf - h3)) / rho3;
    const double a44 = L3 / (hf - h3) - (L3 * rho3pp) / rho3;

    const double den = a32 * a44 + a22 * a34 + a12 * a34 - a24 * a32 - a34 * a42;
    const double Pdot = (a44 * b3 + a34 * b2 + a34 * b1 - a24 * b3 - a34 * b4) / den;
    const double L3dot = -(a32 * a44 * b2 + a32 * a44 * b1 + a22 * a34 * b4 + a12 * a34 * b4 - a12 * a44 * b3 -
                           a24 * a32 * b4 - a22 * a44 * b3 + a24 * a42 * b3 - a34 * a42 * b1 - a34 * a42 * b2) /
                         den;
    const double h3dot = (a32 * b4 + a22 * b3 + a12 * b3 - a32 * b1 - a32 * b2 - a42 * b3) / den;

    xdot[0] = 0.0;
    xdot[1] = Pdot;
    xdot[2] = h3dot;
    xdot[3] = L3dot;
    xdot[4] = 0.0;
}
