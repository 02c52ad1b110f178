/*
 * Two-zone condenser (mode 2): the refrigerant leaves two-phase with the
 * enthalpy hR_out of the extended state; zone 3 exchanges nothing, its length
 * L3 is held and still counts in L2 = 1 - L1 - L3.
 *
 * Linear equations in (dL1/dt, dP/dt, dgamma/dt):
 *
 *   row 1, zone 1 (as in mode 1):       dL1/dt + a12 dP/dt                = b1
 *   row 2, mass of zone 2 (dL2 = -dL1): -dL1/dt + a22 dP/dt + a23 dgam/dt = b2
 *   row 3, energy of zone 2 (/ (hg - hf)):          a32 dP/dt + a33 dgam/dt = b3
 *
 * Rows 1 and 2 are added to eliminate dL1/dt, Cramer's rule gives dP/dt and
 * dgamma/dt, and dL1/dt follows. The subcooled enthalpy h3 relaxes towards
 * the saturated-liquid enthalpy at Pf with rate Kh, so it is ready when the
 * condenser returns to three zones.
 */
#include "Cond.h"

void modelo_condensador_modo2(double *xdot, const double *xCont, const double *u, const double *y_condens,
                              CPType PropsSI, void *lib_handle)
{
    double propiedades_modo2[12];
    const double V_R = CondAire.V_R;
    const double Kh = *Param_sim.Kh;
    const double h3 = xCont[ESTADO_H3], L3 = xCont[ESTADO_L3];
    const double L1 = y_condens[SAL_L1_C];
    const double L2 = (1.0 - L1) - L3;
    const double mR_IN = u[U_MR_IN], mR_OUT = u[U_MR_OUT], hR_IN = u[U_HR_IN];

    evaluacion_propiedades_condensador_modo2(propiedades_modo2, xCont, u, y_condens, PropsSI, lib_handle);
    const double hf = propiedades_modo2[0];
    const double hg = propiedades_modo2[1];
    const double hgp = propiedades_modo2[2];
    const double h2 = propiedades_modo2[3];
    const double h2p = propiedades_modo2[4];
    const double h2pp = propiedades_modo2[5];
    const double rho1 = propiedades_modo2[6];
    const double rho1p = propiedades_modo2[7];
    const double rho1pp = propiedades_modo2[8];
    const double rho2 = propiedades_modo2[9];
    const double rho2p = propiedades_modo2[10];
    const double rho2pp = propiedades_modo2[11];

    const double hR_OUT = y_condens[SAL_HR_OUT];
    const double h1 = y_condens[SAL_H1];
    const double QR1_ec = -y_condens[SAL_QR1];
    const double QR2_ec = -y_condens[SAL_QR2];

    const double flujo_12 = (hR_IN - h1) * mR_IN + QR1_ec;

    const double b1 = ((hg - hR_IN) * mR_IN - QR1_ec) / ((rho1 * V_R) * (hg - h1));
    const double b2 = (flujo_12 / (hg - h1)) / (rho2 * V_R) + (-mR_OUT) / (rho2 * V_R);
    const double b3 = ((hg - h2) * flujo_12 / (hg - h1) + (QR2_ec - (hR_OUT - h2) * mR_OUT)) /
                      ((rho2 * V_R) * L2) / (hg - hf);

    const double a12 = ((L1 / rho1) * rho1pp - L1 / (hg - h1)) * (hgp * 0.5) + (L1 / rho1) * rho1p +
                       (L1 / rho1) / (hg - h1);
    const double a22 = ((rho1 * L1) / (hg - h1)) / rho2 * (hgp * 0.5) + (L2 / rho2) * rho2p -
                       (L1 / (hg - h1)) / rho2;
    const double a23 = (L2 / rho2) * rho2pp;
    const double a32 = ((hg - h2) * (rho1 * L1 * hgp * 0.5 / (hg - h1)) / (rho2 * L2) + h2p - 1.0 / rho2 -
                        (hg - h2) * (L1 / (hg - h1)) / (rho2 * L2)) /
                       (hg - hf);
    const double a33 = h2pp / (hg - hf);

    const double den = a22 * a33 + a12 * a33 - a23 * a32;
    const double L1dot = (a22 * a33 * b1 + a12 * a23 * b3 - a12 * a33 * b2 - a23 * a32 * b1) / den;
    const double Pdot = (a33 * b2 + a33 * b1 - a23 * b3) / den;
    const double gammadot = (a22 * b3 + a12 * b3 - a32 * b1 - a32 * b2) / den;

    xdot[0] = L1dot;
    xdot[1] = Pdot;
    xdot[2] = (hf - h3) * Kh;
    xdot[3] = 0.0;
    xdot[4] = gammadot;
}
