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

The computation is the engine's (`cyclesim start`, which `cyclesim run
--charge KG` does by itself): this script only keeps the sweep preparation's
interface (`--air` in degC on the model's `ambient` block, the charge of the
model's own start state). The model is expected to have an `ambient` block
(air inlet temperature, K) and, where it has `pressure_sensors`, a
`compressor` whose design suction pressure they start at. Needs python3 only.
"""

import argparse
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def cyclesim_start(build, model, *args):
    run = subprocess.run([os.path.join(build, "bin", "cyclesim"), "start", model] + list(args),
                         capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit("start_state: " + run.stderr.strip())
    return run.stdout


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--model", default=os.path.join(HERE, "..", "controlled_chiller", "controlled_chiller.json"))
    ap.add_argument("--air", type=float, required=True, help="air inlet temperature, degC")
    ap.add_argument("--charge", type=float, help="refrigerant charge, kg (default: the model's)")
    ap.add_argument("--approach", type=float, default=10.0, help="condensing minus air temperature, K")
    ap.add_argument("--subcooling", type=float, default=5.0, help="K")
    ap.add_argument("--build", default=os.path.join(HERE, "..", "..", "build"),
                    help="build directory (bin/cyclesim)")
    ap.add_argument("--json", action="store_true", help="print the state and the charge as JSON instead")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    # The model is read here too (for its pressure transducers): one that
    # cannot be read ends in a message, not a traceback.
    try:
        with open(args.model) as f:
            blocks = {b["name"]: b for b in json.load(f)["blocks"]}
    except (OSError, ValueError, KeyError, TypeError) as e:
        sys.exit(f"start_state: cannot read the model {args.model}: {type(e).__name__}: {e}")
    charge = args.charge
    if charge is None:
        charge = json.loads(cyclesim_start(build, args.model, "--json"))["charge_kg"]
    start = ["--charge", repr(charge), "--set", f"ambient.value={args.air + 273.15!r}",
             "--approach", repr(args.approach), "--subcooling", repr(args.subcooling)]
    state = json.loads(cyclesim_start(build, args.model, *start, "--json"))
    if args.json:
        json.dump(state, sys.stdout, indent=2)
        print()
        return
    for key in ("Condenser_L1_inicial", "Condenser_P_inicial", "Condenser_h3_inicial", "Condenser_L3_inicial"):
        print(f"--set {state['condenser']}.4.{key}={state[key]:.10g}")
    # Pressure transducers (where the model has them) start at the
    # condenser's start pressure and the compressor's design suction
    # pressure, so that what they read in the first second is the start.
    if "pressure_sensors" in blocks and "compressor" in blocks:
        suction = blocks["compressor"]["params"][2]
        print(f"--set pressure_sensors.initial=[{state['Condenser_P_inicial']:.10g},{suction:.10g}]")


if __name__ == "__main__":
    main()
