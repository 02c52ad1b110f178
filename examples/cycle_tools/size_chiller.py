#!/usr/bin/env python3
"""Sizes the water chiller of ../chiller from one design point (R134a, or
another refrigerant with --fluid).

The design point fixes the refrigerant states; the blocks' parameters are then
chosen so that this point is an equilibrium of the block equations:

  compressor  swept volume St   : delivers the design flow at (Pe, Pc, h1)
  valve       C_eev             : passes the design flow at (Pc, Pe, h3), opening 0.5
  evaporator  alfa1 (alfa2 tied): leaves the design superheat at the design inlet
  condenser   U (= alfa1 = alfa2 = alfa3) and the subcooled length L3 :
              zone 2 and zone 3 heat rates equal their enthalpy balances, so the
              derivatives of pressure, outlet enthalpy and L3 vanish

Every block result comes from `cyclesim eval` (the blocks themselves), every
property from our property library. Needs python3 only.

    python3 examples/cycle_tools/size_chiller.py [--build build] [--fluid R290]

The same design point (temperatures, capacity, water, air, exchanger
geometry) serves every refrigerant: each fluid gets its own swept volume,
valve coefficient, heat-transfer coefficients and charge.
"""

import argparse
import json
import math
import os
import sys

from cycle_tools import CondenserCharge, Evaluator, Props, secant

# Refrigerants the sizing is known to work for (any fluid of our property
# library with a saturation state at 2 and 45 degC may be tried).
FLUIDS = ("R134a", "R1234yf", "R1234ze(E)", "R290", "R32", "R410A", "R407C", "R404A", "R600a")

# ---------------------------------------------------------------- design choices
TE = 275.15          # evaporating temperature, K (2 degC)
TC = 318.15          # condensing temperature, K (45 degC)
SUPERHEAT = 5.0      # K at the evaporator outlet
SUBCOOLING = 5.0     # K at the condenser outlet
QE = 3000.0          # cooling capacity, W
N_DESIGN = 50.0      # compressor speed, 1/s
AV_DESIGN = 0.5      # valve opening
WATER_IN, WATER_OUT, WATER_P = 285.15, 280.15, 200000.0   # 12 -> 7 degC, 2 bar
AIR_IN, AIR_FLOW, AIR_P = 303.15, 0.4, 101325.0           # 30 degC, kg/s, 1 atm
T_SUR = 303.15
START_TCOND, START_SUBCOOLING = 308.15, 2.0   # start-up: condenser at 35 degC, 2 K subcooled

COMPRESSOR = {"a": 30.0, "b": 1.35, "c": 0.04, "UA_vsc": 1.5}

# Brazed-plate evaporator, 20 plates of 0.13 m x 0.33 m (outer), 2 mm channels.
EVAPORATOR_GEOMETRY = {
    "N_placas": 20, "medidaF1": 0.01, "medidaC": 0.31, "medidaD": 0.11,
    "medidaF": 0.003, "medidaG": 0.045, "peso_intercambiador": 1.0,
    "peso_placa": 0.08, "densidad_material": 8000.0,
}
EVAP_SH_RATIO = 0.25   # alfa2 (vapour superheating) / alfa1 (boiling)

# Air-cooled fin-and-tube coil: 2 passes of 12 tubes, 0.6 m long, 8 mm bore.
CONDENSER_GEOMETRY = {"N_pasos": 2, "N_tubos": 12, "L_tubos": 0.6, "D_tubos": 0.008, "kperd": 0.0}
CONDENSER_SIM = {"Lmin": 0.01, "Lmin_gamma": 0.05, "Kh": 0.5, "Kgamma": 0.0}


def design_point(P, fluid):
    d = {}
    d["Pe"] = P("P", "T", TE, "Q", 1, fluid)
    d["Pc"] = P("P", "T", TC, "Q", 0, fluid)
    d["h1"] = P("H", "P", d["Pe"], "T", TE + SUPERHEAT, fluid)
    d["h3"] = P("H", "P", d["Pc"], "T", TC - SUBCOOLING, fluid)
    d["m"] = QE / (d["h1"] - d["h3"])
    d["rho1"] = P("D", "P", d["Pe"], "H", d["h1"], fluid)
    d["rho3"] = P("D", "P", d["Pc"], "H", d["h3"], fluid)
    d["k_inv"] = P("O", "P", d["Pe"], "Q", 1, fluid) / P("C", "P", d["Pe"], "Q", 1, fluid)
    d["water_cp"] = P("C", "P", WATER_P, "T", WATER_IN, "Water")
    d["water_flow"] = QE / (d["water_cp"] * (WATER_IN - WATER_OUT))
    return d


def size(build, fluid):
    """Every block parameter of the chiller for `fluid`, with the checks."""
    P = Props(build)
    ev = Evaluator(build)
    d = design_point(P, fluid)
    Pe, Pc, h1, h3, m = d["Pe"], d["Pc"], d["h1"], d["h3"], d["m"]

    # Compressor: swept volume from the volumetric efficiency 1 - c (r^(cv/cp) - 1).
    eta_v = 1 - COMPRESSOR["c"] * ((Pc / Pe) ** d["k_inv"] - 1)
    St = m / d["rho1"] / (N_DESIGN * eta_v)
    comp = dict(COMPRESSOR, St=St)
    r = ev("Compressor", [comp, fluid, Pe], [[N_DESIGN, Pc, m, h1, T_SUR]])["outputs"][0]
    pasp, hdesc, W = r
    # Valve: orifice coefficient that passes m at the design opening.
    C_eev = m / (AV_DESIGN * math.sqrt(2 * d["rho3"] * (Pc - Pe)))
    m_valve = ev("Orvane", [{"C_eev": C_eev}, fluid], [[AV_DESIGN, Pc, Pe, h3]])["outputs"][0][0]

    # Evaporator: boiling coefficient for the design outlet enthalpy.
    def evap(alfa1):
        p = dict(EVAPORATOR_GEOMETRY, alfa1=alfa1, alfa2=EVAP_SH_RATIO * alfa1,
                 tipo_intercambiador="PLATE_1_1_CU_1")
        return ev("Evaporator", [p, fluid, "Water", h1],
                  [[h3, m, Pe, WATER_IN, d["water_flow"], WATER_P]])["outputs"][0]
    alfa_e = secant(lambda a: (evap(a)[9] - h1) / 1000.0, 600.0, 900.0, tol=1e-7)
    ye = evap(alfa_e)

    # Condenser: one overall coefficient U for the three zones (the air side
    # dominates a fin-and-tube coil), and the subcooled length L3 at which the
    # zone heat rates close the balances at the design states.
    def condenser_params(U):
        return dict(CONDENSER_GEOMETRY, alfa1=U, alfa2=U, alfa3=U, tipo_intercambiador="CRO_UNMIX_MIX_1")

    def cond(U):
        return CondenserCharge(P, ev, condenser_params(U), fluid, "Air", CONDENSER_SIM, m, hdesc,
                               [AIR_IN, AIR_FLOW, AIR_P])

    def residuals(U, L3):
        y, _ = cond(U).evaluate(Pc, h3, L3)
        return [y[13] / y[16] - 1.0, y[14] / (y[3] - y[15] - y[16]) - 1.0]

    U, L3 = 1300.0, 0.1
    for _ in range(30):
        f = residuals(U, L3)
        if max(abs(v) for v in f) < 1e-9:
            break
        dU, dL = U * 1e-4, 1e-5
        fu = residuals(U + dU, L3)
        fl = residuals(U, L3 + dL)
        J = [[(fu[0] - f[0]) / dU, (fl[0] - f[0]) / dL], [(fu[1] - f[1]) / dU, (fl[1] - f[1]) / dL]]
        det = J[0][0] * J[1][1] - J[0][1] * J[1][0]
        U -= (f[0] * J[1][1] - f[1] * J[0][1]) / det
        L3 -= (J[0][0] * f[1] - J[1][0] * f[0]) / det
    condenser = cond(U)
    yc, dx = condenser.evaluate(Pc, h3, L3)

    # Refrigerant held in the condenser: the cycle's only inventory, since the
    # valve, compressor and evaporator are static. With equal flows in and out
    # the condenser conserves it, so the charge chooses the steady state.
    design_charge, L1 = condenser(Pc, h3, L3)
    # Start-up state: a condenser still at 35 degC condensing (2 K subcooled)
    # holding the design charge.
    start = condenser.start_state(START_TCOND, START_SUBCOOLING, design_charge)

    return {
        "fluid": fluid,
        "design": {k: d[k] for k in ("Pe", "Pc", "h1", "h3", "m", "rho1", "rho3", "k_inv", "water_flow")},
        "compressor": {"params": comp, "eta_v": eta_v, "pasp": pasp, "hdesc": hdesc, "W": W,
                       "COP": QE / W},
        "valve": {"C_eev": C_eev, "m_check": m_valve},
        "evaporator": {"alfa1": alfa_e, "alfa2": EVAP_SH_RATIO * alfa_e, "h_e_out": ye[9], "TSH": ye[10],
                       "L_e_1": ye[3], "Q_e1": ye[4], "Q_e2": ye[5], "T_water_out": ye[7],
                       "params": dict(EVAPORATOR_GEOMETRY, alfa1=alfa_e, alfa2=EVAP_SH_RATIO * alfa_e,
                                      tipo_intercambiador="PLATE_1_1_CU_1")},
        "condenser": {"U": U, "L1": L1, "L3": L3, "L2": yc[11], "gamma": yc[5],
                      "QR1": yc[12], "QR2": yc[13], "QR3": yc[14], "Q_total": yc[3],
                      "T_air_out": yc[4], "TSC": yc[2], "V_R": condenser.V_R, "charge_kg": design_charge,
                      "derivatives": dx, "params": condenser_params(U), "sim": CONDENSER_SIM},
        "start": start,
    }


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(here, "..", "..", "build"),
                    help="build directory holding bin/cyclesim, blocks/ and lib/libfluidprops.so")
    ap.add_argument("--fluid", default="R134a", help="refrigerant (e.g. " + ", ".join(FLUIDS) + ")")
    args = ap.parse_args()
    try:
        out = size(os.path.abspath(args.build), args.fluid)
    except RuntimeError as e:
        sys.exit(f"size_chiller: {args.fluid}: {e}")
    json.dump(out, sys.stdout, indent=2)
    print()


if __name__ == "__main__":
    main()
