#!/usr/bin/env python3
"""The condenser's start state for another ambient, holding the same charge.

The condenser holds the cycle's whole refrigerant inventory (the other blocks
are static), so its initial state sets the charge. It must also condense from
the first instant: a condenser whose saturation temperature lies below the
air cannot reject heat in its two-phase zone, and its superheated-length fit
has no solution. So every run starts from a condenser that condenses
`--approach` K (default 10) above the air entering it, its liquid
`--subcooling` K (default 5) below that, holding the unit's charge: the
subcooled length L3 is the one at which the three zones hold that mass.
10 K is where a condenser runs with the compressor at its minimum speed,
where a unit starts; a start far hotter than that makes the condenser dump
heat and drain its liquid in the first second. The pressure still dips in
that second, and 5 K of subcooling keep the liquid leaving it liquid
through the dip (with 2 K some starts flash it and stop).

The charge is the one the model file's own start state holds (at the model's
own ambient), unless --charge gives it in kg. The script prints the `--set`
arguments for `cyclesim run`, one per line (the model's loop guesses name the
start state, so they follow):

    cd build
    ./bin/cyclesim run ../examples/controlled_chiller/controlled_chiller.json -o out/hot \\
        --set ambient.value=316.15 \\
        $(python3 ../examples/cycle_tools/start_state.py --air 43)

The model is expected to have the blocks of controlled_chiller.json:
`condenser`, `ambient` (air inlet temperature, K), `fan` (air flow, first
value), `air_pressure` (and, where it has `pressure_sensors`, `compressor`,
whose design suction pressure they start at), and loop guesses of the flow (`valve.0.0`) and of the
discharge enthalpy (`compressor.0.1`), at which the condenser's superheated
length is fitted. Needs python3 only.
"""

import argparse
import json
import os
import sys

from cycle_tools import CondenserCharge, Evaluator, Props

HERE = os.path.dirname(os.path.abspath(__file__))

STATE_KEYS = ("Condenser_L1_inicial", "Condenser_P_inicial", "Condenser_h3_inicial", "Condenser_L3_inicial")


def condenser_of(model, build, air_temperature):
    blocks = {b["name"]: b for b in model["blocks"]}
    cp = blocks["condenser"]["params"]
    guesses = model["loop_guesses"]
    fan = blocks["fan"]
    air_flow = fan["values"][0] if "values" in fan else fan["value"]
    air = [air_temperature, air_flow, blocks["air_pressure"]["value"]]
    return CondenserCharge(Props(build), Evaluator(build), cp[0], cp[1], cp[2], cp[4],
                           guesses["valve.0.0"], guesses["compressor.0.1"], air)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--model", default=os.path.join(HERE, "..", "controlled_chiller", "controlled_chiller.json"))
    ap.add_argument("--air", type=float, required=True, help="air inlet temperature, degC")
    ap.add_argument("--charge", type=float, help="refrigerant charge, kg (default: the model's)")
    ap.add_argument("--approach", type=float, default=10.0, help="condensing minus air temperature, K")
    ap.add_argument("--subcooling", type=float, default=5.0, help="K")
    ap.add_argument("--build", default=os.path.join(HERE, "..", "..", "build"),
                    help="build directory (bin/cyclesim, lib/libfluidprops.so)")
    ap.add_argument("--json", action="store_true", help="print the state and the charge as JSON instead")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    try:
        with open(args.model) as f:
            model = json.load(f)
    except (OSError, ValueError) as e:
        sys.exit(f"start_state: cannot read the model {args.model}: {e}")
    try:
        charge = args.charge
        if charge is None:
            own_ambient = next(b for b in model["blocks"] if b["name"] == "ambient")["value"]
            ci = next(b for b in model["blocks"] if b["name"] == "condenser")["params"][3]
            charge, _ = condenser_of(model, build, own_ambient)(
                ci["Condenser_P_inicial"], ci["Condenser_h3_inicial"], ci["Condenser_L3_inicial"])
        air = args.air + 273.15
        state = condenser_of(model, build, air).start_state(air + args.approach, args.subcooling, charge)
    except (RuntimeError, KeyError, IndexError, TypeError, ValueError, ZeroDivisionError, OSError,
            StopIteration) as e:
        # A model without the blocks or settings this tool reads, or values
        # it cannot use: a message, not a traceback.
        sys.exit(f"start_state: {args.model}: {type(e).__name__}: {e}")
    if args.json:
        json.dump(dict(state, charge_kg=charge), sys.stdout, indent=2)
        print()
        return
    for key, name in zip(STATE_KEYS, ("L1", "P", "h3", "L3")):
        print(f"--set condenser.4.{key}={state[name]:.10g}")
    # Pressure transducers (where the model has them) start at the
    # condenser's start pressure and the compressor's design suction
    # pressure, so that what they read in the first second is the start.
    sensors = next((b for b in model["blocks"] if b["name"] == "pressure_sensors"), None)
    if sensors is not None:
        suction = next(b for b in model["blocks"] if b["name"] == "compressor")["params"][2]
        print(f"--set pressure_sensors.initial=[{state['P']:.10g},{suction:.10g}]")


if __name__ == "__main__":
    main()
