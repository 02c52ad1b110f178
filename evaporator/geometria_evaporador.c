/*
 * Geometry of the plate pack.
 *
 * N plates form N - 1 channels, refrigerant and secondary fluid alternating,
 * so the refrigerant has ceil((N - 1)/2) of them. The two end plates
 * exchange on one face only and are left out of the heat-transfer area.
 * The mean channel gap follows from the free volume of the pack: the
 * envelope volume less the four port holes' share, less the metal, spread
 * over the plate face and the number of channels.
 */
#include "modelo_evaporador.h"

#include <math.h>

static const double PI = 3.14159265359;

void geometria_evaporador(ParamEvap param, double *e_hueco, double *Area_eq, double *V_refrigerante)
{
    const double N_placas = *param.N_placas;
    const double F1 = *param.F1;
    const double C = *param.C;
    const double D = *param.D;
    const double F = *param.F;
    const double G = *param.G;

    const double N_huecos = N_placas - 1;
    const double N_huecos_R = ceil(N_huecos / 2);

    /* Heat-transfer area of one plate and of the pack. */
    const double Area = (C - 2 * F1) * (D + 2 * F1);
    *Area_eq = (N_placas - 2) * Area;

    /* Envelope of the pack less the port holes, less the metal. */
    const double V_total = ((C + 2 * F1) * (D + 2 * F1) - PI * pow(2 * F1, 2)) * (G + F);
    const double V_material = (*param.peso_int + N_placas * *param.peso_placa) / *param.d_mat;
    const double V_int = V_total - V_material;

    const double num = V_int - PI * pow(2 * F1, 2) * (4 * F);
    const double den = (C + 2 * F1) * (D + 2 * F1) - 2 * D * F1;
    *e_hueco = num / den / N_huecos;
    *V_refrigerante = *e_hueco * Area * N_huecos_R;
}
