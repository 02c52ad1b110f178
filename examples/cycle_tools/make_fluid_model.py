#!/usr/bin/env python3
"""The controlled chiller for another refrigerant.

    python3 make_fluid_model.py --fluid R290 [--build build] [-o controlled_chiller_R290.json]

Sizes the chiller for the fluid with size_chiller.py (same design
point: 3 kW, 2/45 degC, 5 K superheat and subcooling, 50 1/s, opening 0.5)
and writes controlled_chiller.json with that fluid's block parameters, its
charge and its start state; controls, scenario, logging and plots are kept.

The charge follows the same rule for every fluid: what the condenser holds
condensing at 61 degC (15 K above the hottest ambient of the envelope, 46
degC), 2 K subcooled, with 7 % of its tube subcooled, so that the unit still
holds liquid when it starts at the hottest ambient. The start state is the one
for the model's own ambient (30 degC) with that charge (start_state.py).
"""

import argparse
import json
import os
import sys

import size_chiller
from cycle_tools import CondenserCharge, Evaluator, Props

HERE = os.path.dirname(os.path.abspath(__file__))

HOT_START = 273.15 + 61.0
HOT_SUBCOOLING, HOT_L3 = 2.0, 0.07
APPROACH, SUBCOOLING = 15.0, 2.0


def unit_charge(condenser, props, fluid):
    P0 = props("P", "T", HOT_START, "Q", 0, fluid)
    h0 = props("H", "P", P0, "T", HOT_START - HOT_SUBCOOLING, fluid)
    return condenser(P0, h0, HOT_L3)[0]


def fluid_model(template, build, fluid):
    s = size_chiller.size(build, fluid)
    model = json.loads(json.dumps(template))
    blocks = {b["name"]: b for b in model["blocks"]}
    d = s["design"]
    blocks["valve"]["params"] = [{"C_eev": s["valve"]["C_eev"]}, fluid]
    blocks["compressor"]["params"] = [s["compressor"]["params"], fluid, d["Pe"]]
    evap = blocks["evaporator"]["params"]
    blocks["evaporator"]["params"] = [s["evaporator"]["params"], fluid, evap[2], d["h1"]]
    cond = blocks["condenser"]["params"]
    cond[0], cond[1], cond[4] = s["condenser"]["params"], fluid, s["condenser"]["sim"]

    guesses = model["loop_guesses"]
    guesses["valve.0.0"] = d["m"]
    guesses["compressor.0.1"] = s["compressor"]["hdesc"]
    guesses["evaporator.0.9"] = d["h1"]
    props, ev = Props(build), Evaluator(build)
    air = [blocks["ambient"]["value"], blocks["fan"]["values"][0], blocks["air_pressure"]["value"]]
    condenser = CondenserCharge(props, ev, cond[0], fluid, cond[2], cond[4], d["m"],
                                s["compressor"]["hdesc"], air)
    charge = unit_charge(condenser, props, fluid)
    start = condenser.start_state(air[0] + APPROACH, SUBCOOLING, charge)
    cond[3].update({"Condenser_L1_inicial": start["L1"], "Condenser_P_inicial": start["P"],
                    "Condenser_h3_inicial": start["h3"], "Condenser_L3_inicial": start["L3"]})

    model["name"] = f"controlled_chiller_{fluid}"
    model["comment"] = (f"The controlled chiller of controlled_chiller.json sized for {fluid} "
                        f"(make_fluid_model.py): charge {charge:.4f} kg, start 15 K above the air, "
                        f"2 K subcooled. Controls, scenario, logging and plots as there.")
    model["plots"]["ph"]["fluid"] = fluid
    return model, charge


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--fluid", required=True)
    ap.add_argument("--build", default=os.path.join(HERE, "..", "..", "build"))
    ap.add_argument("--template", default=os.path.join(HERE, "..", "controlled_chiller", "controlled_chiller.json"))
    ap.add_argument("-o", "--output", help="model file to write (default: standard output)")
    args = ap.parse_args()
    with open(args.template) as f:
        template = json.load(f)
    try:
        model, charge = fluid_model(template, os.path.abspath(args.build), args.fluid)
    except RuntimeError as e:
        sys.exit(f"make_fluid_model: {args.fluid}: {e}")
    text = json.dumps(model, indent=2) + "\n"
    if args.output:
        with open(args.output, "w") as f:
            f.write(text)
        print(f"make_fluid_model: {args.output} ({args.fluid}, charge {charge:.4f} kg)", file=sys.stderr)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main()
