"""What the chiller's scripts share: our property library through ctypes, the
blocks through `cyclesim eval`, a secant search, and the refrigerant charge a
condenser state holds (with the start state that holds a given charge).

Needs python3 only; `build` is the build directory (bin/cyclesim,
lib/libfluidprops.so, Tarvex_files/).
"""

import ctypes
import json
import math
import os
import subprocess


class Props:
    """PropsSI of our property library."""

    def __init__(self, build):
        self.lib = ctypes.CDLL(os.path.join(build, "lib", "libfluidprops.so"))
        self.lib.PropsSI.restype = ctypes.c_double
        self.lib.PropsSI.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_double,
                                     ctypes.c_char_p, ctypes.c_double, ctypes.c_char_p]

    def __call__(self, out, k1, v1, k2, v2, fluid):
        r = self.lib.PropsSI(out.encode(), k1.encode(), v1, k2.encode(), v2, fluid.encode())
        if not math.isfinite(r) or abs(r) > 1e300:
            raise RuntimeError(f"PropsSI({out}, {k1}={v1}, {k2}={v2}, {fluid}) failed")
        return r


class Evaluator:
    """One block evaluated alone with `cyclesim eval`, from the build directory."""

    def __init__(self, build):
        self.build = build
        self.exe = os.path.join(build, "bin", "cyclesim")

    def __call__(self, block, params, inputs, states=None, disc=None):
        cmd = [self.exe, "eval", block, "--params", json.dumps(params), "--inputs", json.dumps(inputs)]
        if states is not None:
            cmd += ["--states", json.dumps(states)]
        if disc is not None:
            cmd += ["--disc-states", json.dumps(disc)]
        out = subprocess.run(cmd, cwd=self.build, capture_output=True, text=True)
        if out.returncode != 0:
            raise RuntimeError(f"cyclesim eval {block} failed: {out.stderr.strip()}")
        return json.loads(out.stdout)


def secant(f, x0, x1, tol=1e-10, max_iter=60):
    f0, f1 = f(x0), f(x1)
    for _ in range(max_iter):
        if f1 == f0:
            break
        x2 = x1 - f1 * (x1 - x0) / (f1 - f0)
        x0, f0 = x1, f1
        x1, f1 = x2, f(x2)
        if abs(f1) < tol:
            return x1
    if abs(f1) < 1e-6:
        return x1
    raise RuntimeError(f"secant did not converge (x = {x1}, f = {f1})")


class CondenserCharge:
    """Refrigerant held by the condenser in mode 1 at a state (P, h3, L3).

    The valve, compressor and evaporator are static, so the condenser holds
    the cycle's whole inventory: V_R (rho1 L1 + rho2 L2 + rho3 L3), with the
    superheated length L1 and the zone mean enthalpies from the block itself
    (its own fit at the given flow, inlet enthalpy and air), and zone 2 at its
    mean quality 0.5 (a zone from saturated vapour to saturated liquid).
    """

    def __init__(self, props, evaluator, params, fluid, secondary, sim, flow, h_in, secondary_in):
        self.P, self.ev = props, evaluator
        self.params, self.fluid, self.secondary, self.sim = params, fluid, secondary, sim
        self.flow, self.h_in, self.secondary_in = flow, h_in, list(secondary_in)
        area = math.pi * params["N_pasos"] * params["N_tubos"] * params["D_tubos"] * params["L_tubos"]
        self.V_R = params["D_tubos"] / 4 * area

    def evaluate(self, P, h3, L3, L1_start=0.1):
        ci = {"Condenser_L1_inicial": L1_start, "Condenser_P_inicial": P, "Condenser_h3_inicial": h3,
              "Condenser_L3_inicial": L3, "Condenser_gamma_inicial": 0.9, "Condenser_mode": 1}
        res = self.ev("Condenser", [self.params, self.fluid, self.secondary, ci, self.sim],
                      [[self.flow, self.flow, self.h_in, P], self.secondary_in])
        return res["outputs"][0], res["derivatives"]

    def __call__(self, P, h3, L3):
        """Returns (charge in kg, the fitted L1)."""
        y, _ = self.evaluate(P, h3, L3)
        L1 = y[18]
        Pr = self.P
        rho1 = Pr("D", "P", P, "H", y[9], self.fluid)
        rho2 = 1 / (0.5 / Pr("D", "P", P, "Q", 1, self.fluid) + 0.5 / Pr("D", "P", P, "Q", 0, self.fluid))
        rho3 = Pr("D", "P", P, "H", y[10], self.fluid)
        return self.V_R * (rho1 * L1 + rho2 * (1 - L1 - L3) + rho3 * L3), L1

    def start_state(self, t_cond, subcooling, charge):
        """The mode-1 state condensing at t_cond [K], its liquid `subcooling` K
        below it, that holds `charge` kg: L3 by bisection."""
        P0 = self.P("P", "T", t_cond, "Q", 0, self.fluid)
        h0 = self.P("H", "P", P0, "T", t_cond - subcooling, self.fluid)
        empty, L1 = self(P0, h0, 1e-6)
        if empty > charge:
            raise RuntimeError(f"a charge of {charge:.4f} kg holds no liquid condensing at "
                               f"{t_cond - 273.15:.1f} degC (the two-phase zone alone holds {empty:.4f} kg)")
        lo, hi = 0.0, 0.95 - L1
        if self(P0, h0, hi)[0] < charge:
            raise RuntimeError(f"a charge of {charge:.4f} kg floods the condenser at {t_cond - 273.15:.1f} degC")
        for _ in range(40):
            mid = 0.5 * (lo + hi)
            if self(P0, h0, mid)[0] > charge:
                hi = mid
            else:
                lo = mid
        L3 = 0.5 * (lo + hi)
        return {"P": P0, "h3": h0, "L3": L3, "L1": self(P0, h0, L3)[1]}
