#!/usr/bin/env python3
"""Integrated part-load rating of the controlled chiller, from steady points.

The usual part-load rating of air-cooled water chillers weighs the unit's
efficiency at four points:

    point  load   entering air   weight
    A      100 %  35.0 degC      0.01
    B       75 %  26.7 degC      0.42
    C       50 %  18.3 degC      0.45
    D       25 %  12.8 degC      0.12

with the leaving water at 6.7 degC and the full-load water flow at every
point: IPLV = 0.01 A + 0.42 B + 0.45 C + 0.12 D (A..D the COPs).

Each point is one `cyclesim steady` of controlled_chiller.json with the
scenario's disturbances off, the unit's charge (the one the model's own start
state holds), the water setpoint at 6.7 degC and the air temperature of the
point:

- Full load (A) is the unit's capacity at its top speed: the entering water
  temperature is found (secant) at which the water controller just reaches
  its upper limit (100 1/s) with the water leaving at 6.7 degC.
- Part loads (B, C, D): the water enters at the temperature that makes the
  load the given share of the full-load capacity at the full-load flow; the
  controllers find speed and valve opening. The entering temperature is
  corrected once with the point's own water-side heat capacity, so that the
  load is the given share to well within 0.1 %.
- A point below the unit's least capacity (the speed controller resting on
  its lower limit, the water leaving colder than 6.7 degC) is rated as the
  standard rates a unit that cannot unload further: it cycles, and its COP is
  the COP at the least capacity divided by the degradation factor
  CD = 1.13 - 0.13 LF, LF = load wanted / capacity delivered.

Every point's energy balance (evaporator heat + compression = condenser
heat) must close to 0.1 %; the script stops otherwise. Needs python3 and a
build (bin/cyclesim).

    python3 examples/controlled_chiller/part_load_rating.py --build build [--json rating.json]
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
MODEL = os.path.join(HERE, "controlled_chiller.json")

LEAVING_WATER = 273.15 + 6.7
POINTS = [("A", 1.00, 35.0, 0.01), ("B", 0.75, 26.7, 0.42), ("C", 0.50, 18.3, 0.45), ("D", 0.25, 12.8, 0.12)]
QUIET = ["--set", "water_load.values=[0,0,0]", "--set", "ambient_rise.values=[0,0,0]",
         "--set", "fan.values=[0.4,0.4,0.4,0.4,0.4]",
         # The low-evaporating-temperature override is not active at the
         # rating points (steady.json shows it resting on its upper limit
         # with the evaporating temperature above its own); its limit is
         # lifted just above the top speed so that at full load the two
         # controllers' limits do not meet in a corner the solver must
         # straddle.
         "--set", "evaporating_pi.upper=100.5"]


class Rating:
    def __init__(self, build, charge):
        self.cyclesim = os.path.join(build, "bin", "cyclesim")
        self.charge = charge
        self.work = tempfile.mkdtemp(prefix="part-load-")
        self.count = 0

    def steady(self, air_c, water_in, extra=()):
        """The steady point at air_c [degC] and entering water water_in [K]."""
        self.count += 1
        out = os.path.join(self.work, f"p{self.count}")
        cmd = [self.cyclesim, "steady", MODEL, "-o", out, "--no-plot", "--charge", repr(self.charge)] + QUIET + [
            "--set", f"ambient.value={air_c + 273.15!r}", "--set", f"water_inlet.value={water_in!r}",
            "--set", f"water_setpoint.before={LEAVING_WATER!r}", "--set", f"water_setpoint.after={LEAVING_WATER!r}"
        ] + list(extra)
        run = subprocess.run(cmd, capture_output=True, text=True)
        if run.returncode != 0:
            raise RuntimeError(f"no steady point at {air_c} degC air, water in at {water_in - 273.15:.3f} degC: "
                               + run.stderr.strip())
        with open(os.path.join(out, "steady.json")) as f:
            report = json.load(f)
        residual = report["rating"]["energy_balance_residual"]
        if abs(residual) > 1e-3:
            raise RuntimeError(f"the energy balance at {air_c} degC closes only to {residual:.2e}")
        return report

    @staticmethod
    def water(report, name):
        return report["signals"][name]["value"]

    def full_load(self, air_c):
        """Top speed with the water leaving at 6.7 degC: the entering water at
        which the water controller just reaches its upper limit. Below it the
        controller holds 6.7 degC at less than top speed, above it the speed
        rests on the limit and the water leaves warmer; (speed - top) / 10 +
        (leaving - 6.7 degC) is continuous across and zero there (secant)."""
        top = 100.0
        g = lambda r: (self.water(r, "speed") - top) / 10.0 + (self.water(r, "T_water_out") - LEAVING_WATER)
        t0, t1 = LEAVING_WATER + 7.0, LEAVING_WATER + 9.0
        r0, r1 = self.steady(air_c, t0), self.steady(air_c, t1)
        g0, g1 = g(r0), g(r1)
        for _ in range(30):
            if abs(g1) < 1e-3:  # within 0.01 1/s of the top speed and 1 mK of 6.7 degC
                return r1
            t0, t1, g0 = t1, t1 - g1 * (t1 - t0) / (g1 - g0), g1
            try:
                r1 = self.steady(air_c, t1)
            except RuntimeError:
                # Exactly at the corner where the controller meets its limit
                # Newton may stall: a hair warmer the limit holds clearly.
                t1 += 0.01
                r1 = self.steady(air_c, t1)
            g1 = g(r1)
        raise RuntimeError("the full-load point did not converge")

    def part_load(self, air_c, load):
        """The controllers unload the unit to `load` W at the full-load water flow."""
        flow = 0.143137
        t_in = LEAVING_WATER + load / (flow * 4200.0)
        for _ in range(3):
            r = self.steady(air_c, t_in)
            q = r["rating"]["capacity_W"]
            leaving = self.water(r, "T_water_out")
            if leaving < LEAVING_WATER - 0.05:
                return r  # the unit cannot unload this far
            if abs(q - load) <= 2e-4 * load:
                return r
            cp = q / (flow * (t_in - leaving))  # the water side's own heat capacity
            t_in = LEAVING_WATER + load / (flow * cp)
        return r


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(HERE, "..", "..", "build"), help="build directory")
    ap.add_argument("--charge", type=float, help="refrigerant charge, kg (default: what the model's start state holds)")
    ap.add_argument("--json", help="also write the points and the figure to this file")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    charge = args.charge
    if charge is None:
        run = subprocess.run([os.path.join(build, "bin", "cyclesim"), "start", MODEL, "--json"],
                             capture_output=True, text=True)
        if run.returncode != 0:
            sys.exit("part_load_rating: " + run.stderr.strip())
        charge = json.loads(run.stdout)["charge_kg"]
    rating = Rating(build, charge)
    try:
        full = rating.full_load(POINTS[0][2])
        q_full = full["rating"]["capacity_W"]
        rows = []
        for name, share, air_c, weight in POINTS:
            r = full if name == "A" else rating.part_load(air_c, share * q_full)
            q, cop = r["rating"]["capacity_W"], r["rating"]["COP"]
            leaving = Rating.water(r, "T_water_out")
            cycling = leaving < LEAVING_WATER - 0.05
            lf = share * q_full / q if cycling else 1.0
            cd = 1.13 - 0.13 * lf if cycling else 1.0
            rows.append({"point": name, "load_share": share, "air_C": air_c, "weight": weight,
                         "load_W": share * q_full, "capacity_W": q, "power_W": r["rating"]["power_W"],
                         "COP_steady": cop, "cycling": cycling, "load_factor": lf, "CD": cd, "COP": cop / cd,
                         "speed": Rating.water(r, "speed"), "opening": Rating.water(r, "opening"),
                         "water_in_C": Rating.water(r, "T_water_in") - 273.15, "water_out_C": leaving - 273.15,
                         "energy_balance_residual": r["rating"]["energy_balance_residual"],
                         "limits": r["controllers_at_limits"]})
    except RuntimeError as e:
        sys.exit(f"part_load_rating: {e}")
    iplv = sum(r["weight"] * r["COP"] for r in rows)
    print("point  load    air     water in/out     capacity   power    speed  COP     CD     rated COP  balance")
    for r in rows:
        print(f"  {r['point']}   {100 * r['load_share']:3.0f} %  {r['air_C']:4.1f} C  {r['water_in_C']:5.2f}/{r['water_out_C']:5.2f} C"
              f"  {r['capacity_W']:7.1f} W {r['power_W']:6.1f} W  {r['speed']:5.1f}  {r['COP_steady']:5.3f}"
              f"  {r['CD']:5.3f}  {r['COP']:5.3f}      {r['energy_balance_residual']:.1e}")
    print(f"IPLV (COP) = 0.01 A + 0.42 B + 0.45 C + 0.12 D = {iplv:.3f}   ({rating.count} steady solves)")
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"points": rows, "IPLV_COP": iplv, "full_load_W": q_full, "charge_kg": charge}, f, indent=2)


if __name__ == "__main__":
    main()
