#!/usr/bin/env python3
"""The controlled chiller for another refrigerant.

    python3 make_fluid_model.py --fluid R290 [--build build] [-o controlled_chiller_R290.json]

Sizes the chiller for the fluid with size_chiller.py (same design
point: 3 kW, 2/45 degC, 5 K superheat and subcooling, 50 1/s, opening 0.5)
and writes controlled_chiller.json with that fluid's block parameters, its
charge and its start state; controls, scenario, logging and plots are kept.

The charge follows the same rule for every fluid: what the condenser holds
condensing at 61 degC (15 K above the hottest ambient of the envelope, 46
degC), 2 K subcooled, with 13 % of its tube subcooled: the R134a unit,
started at its minimum speed, then runs its design point with about 10 K of
subcooling, as units are charged in the field (to a subcooling). The start
state is the one for the model's own ambient (30 degC) with that charge,
condensing 10 K above the air (start_state.py).

The opening feed-forward's table (`flow_factor`, against the pressure
difference across the valve) is stretched by the ratio of the fluid's design
pressure difference (45 / 2 degC) to R134a's. The protections follow one rule
too: the high-pressure cut-out at the
saturation pressure of 80 degC (8 K below the critical temperature where
that is lower: R410A, R32), the low-pressure cut-out at that of -5 degC.

Some refrigerants of the property library cannot be sized this way; the
script says which and why, and writes nothing:

- a critical temperature below the 61 degC hot start (R744, 31 degC): the
  cycle would reject heat above the critical point (a gas cooler), which the
  three-zone condenser does not model;
- a blend whose temperature glide at the evaporating pressure exceeds what an
  evaporator at one boiling temperature can be fitted to (R407C, 6.2 K): no
  positive boiling coefficient gives the design superheat.

A fluid whose design discharge is not superheated at the hot start's
pressure (R600a: little superheat after the compressor's heat loss, and
61 degC condensing lies above the design's 45 degC) is charged with the
compressor's own discharge at that pressure instead (the compressor block
evaluated there at the design speed and flow): the condenser accepts only a
superheated inlet.
"""

import argparse
import json
import os
import sys

import size_chiller
from cycle_tools import CondenserCharge, Evaluator, Props

HERE = os.path.dirname(os.path.abspath(__file__))

HOT_START = 273.15 + 61.0
HOT_SUBCOOLING, HOT_L3 = 2.0, 0.13
HIGH_PRESSURE_CUTOUT_T, CRITICAL_MARGIN = 273.15 + 80.0, 8.0
LOW_PRESSURE_CUTOUT_T = 273.15 - 5.0
DESIGN_CONDENSING, DESIGN_EVAPORATING = 273.15 + 45.0, 273.15 + 2.0
APPROACH = 15.0  # the hot start the charge is computed at
START_APPROACH, START_SUBCOOLING = 10.0, 5.0  # the model's own start state (start_state.py's defaults)


HOT_AMBIENT = HOT_START - APPROACH
GLIDE_LIMIT = 2.0  # K at the evaporating pressure


class CannotSize(RuntimeError):
    """A refrigerant this sizing cannot serve, with the reason."""


def check_sizable(props, fluid, design_pe=None):
    """Refuses, with the reason, a fluid the design cannot be sized for."""
    try:
        t_crit = props("Tcrit", "T", 300, "Q", 0, fluid)
    except RuntimeError:
        raise CannotSize("the property library does not know it (no critical temperature)")
    if t_crit <= HOT_START + 5:
        raise CannotSize(f"its critical temperature, {t_crit - 273.15:.1f} degC, lies below the condensing "
                         f"temperatures of the design (45 degC) and of the hot start ({HOT_START - 273.15:.0f} "
                         f"degC): the cycle would reject heat above the critical point (a gas cooler), which "
                         f"the three-zone condenser does not model")
    if design_pe is not None:
        glide = props("T", "P", design_pe, "Q", 1, fluid) - props("T", "P", design_pe, "Q", 0, fluid)
        if glide > GLIDE_LIMIT:
            raise CannotSize(f"a temperature glide of {glide:.1f} K at the evaporating pressure "
                             f"({design_pe:.0f} Pa): the sizing fits the evaporator's boiling coefficient at one "
                             f"boiling temperature and finds no positive one for a glide above "
                             f"{GLIDE_LIMIT:.0f} K")


def hot_discharge(ev, props, s, fluid, P0):
    """The discharge enthalpy the charge is computed with at the hot start's
    pressure: the design's when it is superheated there, else what the
    compressor discharges at that pressure (design speed, flow and suction)."""
    d = s["design"]
    h = s["compressor"]["hdesc"]
    if h > props("H", "P", P0, "Q", 1, fluid):
        return h
    out = ev("Compressor", [s["compressor"]["params"], fluid, d["Pe"]],
             [[50.0, P0, d["m"], d["h1"], HOT_AMBIENT]])["outputs"][0]
    if not out[1] > props("H", "P", P0, "Q", 1, fluid):
        raise CannotSize(f"the compressor discharges wet vapour (h = {out[1]:.0f} J/kg) at the hot start's "
                         f"{P0:.0f} Pa, and the condenser accepts only a superheated inlet")
    return out[1]


def unit_charge(condenser_at, props, ev, s, fluid):
    P0 = props("P", "T", HOT_START, "Q", 0, fluid)
    h0 = props("H", "P", P0, "T", HOT_START - HOT_SUBCOOLING, fluid)
    return condenser_at(hot_discharge(ev, props, s, fluid, P0))(P0, h0, HOT_L3)[0]


def fluid_model(template, build, fluid):
    props = Props(build)
    check_sizable(props, fluid)
    try:
        s = size_chiller.size(build, fluid)
    except RuntimeError as e:
        # A glide explains a failed evaporator fit better than the fit's own message.
        pe = props("P", "T", 275.15, "Q", 1, fluid)
        check_sizable(props, fluid, pe)
        raise e
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
    # The compressor starts at its minimum speed: the flow guess scales with
    # the speed from the design point's (50 1/s).
    guesses["valve.0.0"] = d["m"] * blocks["speed_ramp"]["initial"] / 50.0
    guesses["compressor.0.1"] = s["compressor"]["hdesc"]
    guesses["evaporator.0.9"] = d["h1"]
    ev = Evaluator(build)
    air = [blocks["ambient"]["value"], blocks["fan"]["values"][0], blocks["air_pressure"]["value"]]

    def condenser_at(h_in):
        return CondenserCharge(props, ev, cond[0], fluid, cond[2], cond[4], d["m"], h_in, air)

    condenser = condenser_at(s["compressor"]["hdesc"])
    charge = unit_charge(condenser_at, props, ev, s, fluid)
    start = condenser.start_state(air[0] + START_APPROACH, START_SUBCOOLING, charge)
    cond[3].update({"Condenser_L1_inicial": start["L1"], "Condenser_P_inicial": start["P"],
                    "Condenser_h3_inicial": start["h3"], "Condenser_L3_inicial": start["L3"]})

    # The opening feed-forward's table is for R134a's pressure differences;
    # another fluid works at other ones (R410A at about 2.5 times), so its
    # table is stretched by the ratio of the design differences.
    def design_difference(f):
        return props("P", "T", DESIGN_CONDENSING, "Q", 0, f) - props("P", "T", DESIGN_EVAPORATING, "Q", 1, f)
    stretch = design_difference(fluid) / design_difference("R134a")
    blocks["flow_factor"]["x"] = [round(x * stretch) for x in blocks["flow_factor"]["x"]]

    blocks["pressure_sensors"]["initial"] = [round(start["P"]), round(d["Pe"])]

    t_high = min(HIGH_PRESSURE_CUTOUT_T, props("Tcrit", "", 0, "", 0, fluid) - CRITICAL_MARGIN)
    blocks["hp_cutout"]["limit"] = round(props("P", "T", t_high, "Q", 0, fluid))
    blocks["lp_cutout"]["limit"] = round(props("P", "T", LOW_PRESSURE_CUTOUT_T, "Q", 1, fluid))

    model["name"] = f"controlled_chiller_{fluid}"
    model["comment"] = (f"The controlled chiller of controlled_chiller.json sized for {fluid} "
                        f"(make_fluid_model.py): charge {charge:.4f} kg, start 10 K above the air, "
                        f"5 K subcooled. Controls, scenario, logging and plots as there.")
    model["plots"]["ph"]["fluid"] = fluid
    return model, charge


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--fluid", required=True)
    ap.add_argument("--build", default=os.path.join(HERE, "..", "..", "build"))
    ap.add_argument("--template", default=os.path.join(HERE, "..", "controlled_chiller", "controlled_chiller.json"))
    ap.add_argument("-o", "--output", help="model file to write (default: standard output); an existing file "
                    "is kept unless --force")
    ap.add_argument("--force", action="store_true", help="replace an existing --output file")
    args = ap.parse_args()
    if args.output and os.path.lexists(args.output) and not args.force:
        sys.exit(f"make_fluid_model: {args.output} already exists (give --force to replace it)")
    try:
        with open(args.template) as f:
            template = json.load(f)
    except (OSError, ValueError) as e:
        sys.exit(f"make_fluid_model: cannot read the template {args.template}: {e}")
    try:
        model, charge = fluid_model(template, os.path.abspath(args.build), args.fluid)
    except CannotSize as e:
        sys.exit(f"make_fluid_model: {args.fluid} cannot be sized for this chiller: {e}")
    except (RuntimeError, KeyError, IndexError, TypeError, ValueError, ZeroDivisionError, OSError,
            StopIteration) as e:
        sys.exit(f"make_fluid_model: {args.fluid}: {type(e).__name__}: {e}")
    text = json.dumps(model, indent=2) + "\n"
    if args.output:
        with open(args.output, "w") as f:
            f.write(text)
        print(f"make_fluid_model: {args.output} ({args.fluid}, charge {charge:.4f} kg)", file=sys.stderr)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main()
