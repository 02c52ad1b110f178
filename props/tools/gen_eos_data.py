#!/usr/bin/env python3
"""Turn a fluid description (JSON with the published equation of state) into a
C++ table for the property library.

Usage:  gen_eos_data.py FLUID.json [OUTPUT_DIR]

Writes OUTPUT_DIR/<symbol>_eos.cpp (default: props/data next to this script)
defining `const fluidprops::FluidData fluidprops::data::<symbol>`. Only the
first equation of state in the file is used. Numbers are written with
Python's shortest round-trip repr, so the tables hold exactly the published
double values. Standard library only.
"""
import json
import math
import os
import re
import sys

IDEAL_TYPES = {
    "IdealGasHelmholtzLead", "IdealGasHelmholtzLogTau", "IdealGasHelmholtzPower",
    "IdealGasHelmholtzPlanckEinstein", "IdealGasHelmholtzPlanckEinsteinGeneralized",
    "IdealGasHelmholtzEnthalpyEntropyOffset",
}
RESIDUAL_TYPES = {
    "ResidualHelmholtzPower", "ResidualHelmholtzGaussian", "ResidualHelmholtzNonAnalytic",
}


def symbol_for(name):
    """C++ identifier for a fluid name: R1234ze(E) -> r1234ze_e, n-Propane -> n_propane."""
    s = re.sub(r"[^0-9A-Za-z]+", "_", name).strip("_").lower()
    return s


def num(x):
    x = float(x)
    if math.isnan(x) or math.isinf(x):
        raise ValueError("non-finite number in fluid data")
    r = repr(x)
    if "e" not in r and "." not in r and "inf" not in r:
        r += ".0"
    return r


def arr(values):
    return "{" + ", ".join(num(v) for v in values) + "}"


class Emitter:
    def __init__(self, sym):
        self.sym = sym
        self.lines = []
        self.count = 0

    def table(self, ctype, rows, fmt):
        """Emit a static array and return the expression naming it (or {} when empty)."""
        if not rows:
            return "{}"
        self.count += 1
        name = f"k{self.count}"
        self.lines.append(f"constexpr {ctype} {name}[] = {{")
        for r in rows:
            self.lines.append("    " + fmt(r) + ",")
        self.lines.append("};")
        return name


def state(d):
    if not d:
        return "{}"
    return "{%s, %s, %s, %s, %s}" % (num(d["T"]), num(d["p"]), num(d["rhomolar"]),
                                     num(d.get("hmolar", 0.0)), num(d.get("smolar", 0.0)))


def main():
    if len(sys.argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    path = sys.argv[1]
    outdir = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
    with open(path) as f:
        doc = json.load(f)

    info = doc["INFO"]
    eos = doc["EOS"][0]
    name = info["NAME"]
    sym = symbol_for(name)
    em = Emitter(sym)

    # Names: the canonical name, the aliases, their upper-case forms, the CAS number.
    aliases = []
    for a in info.get("ALIASES", []):
        for v in (a, a.upper()):
            if v != name and v not in aliases:
                aliases.append(v)
    cas = info.get("CAS")
    if cas and cas not in aliases and cas != name:
        aliases.append(cas)
    alias_tab = em.table("const char*", aliases, lambda a: json.dumps(a))

    # Ideal-gas part.
    lead = [0.0, 0.0]
    offset = [0.0, 0.0]
    log_tau = 0.0
    ipow, pe, peg = [], [], []
    n_lead = 0
    for term in eos["alpha0"]:
        t = term["type"]
        if t not in IDEAL_TYPES:
            raise SystemExit(f"{path}: unsupported ideal-gas term {t}")
        if t == "IdealGasHelmholtzLead":
            lead = [lead[0] + term["a1"], lead[1] + term["a2"]]
            n_lead += 1
        elif t == "IdealGasHelmholtzEnthalpyEntropyOffset":
            offset = [offset[0] + term["a1"], offset[1] + term["a2"]]
        elif t == "IdealGasHelmholtzLogTau":
            log_tau += term["a"]
        elif t == "IdealGasHelmholtzPower":
            ipow += list(zip(term["n"], term["t"]))
        elif t == "IdealGasHelmholtzPlanckEinstein":
            pe += list(zip(term["n"], term["t"]))
        elif t == "IdealGasHelmholtzPlanckEinsteinGeneralized":
            peg += list(zip(term["n"], term["t"], term["c"], term["d"]))
    if n_lead != 1:
        raise SystemExit(f"{path}: expected exactly one leading ideal-gas term")
    if "alpha0_prefactor" in eos:
        raise SystemExit(f"{path}: alpha0_prefactor not supported")
    ipow_tab = em.table("IdealPowerTerm", ipow, lambda r: "{%s, %s}" % (num(r[0]), num(r[1])))
    pe_tab = em.table("PlanckEinsteinTerm", pe, lambda r: "{%s, %s}" % (num(r[0]), num(r[1])))
    peg_tab = em.table("GeneralizedPlanckEinsteinTerm", peg,
                       lambda r: "{%s, %s, %s, %s}" % tuple(num(v) for v in r))

    # Residual part.
    rpow, rgau, rna = [], [], []
    for term in eos["alphar"]:
        t = term["type"]
        if t not in RESIDUAL_TYPES:
            raise SystemExit(f"{path}: unsupported residual term {t}")
        if t == "ResidualHelmholtzPower":
            rpow += list(zip(term["n"], term["d"], term["t"], term["l"]))
        elif t == "ResidualHelmholtzGaussian":
            rgau += list(zip(term["n"], term["d"], term["t"], term["eta"], term["epsilon"],
                             term["beta"], term["gamma"]))
        elif t == "ResidualHelmholtzNonAnalytic":
            rna += list(zip(term["n"], term["a"], term["b"], term["beta"], term["A"], term["B"],
                            term["C"], term["D"]))
    rpow_tab = em.table("ResidualPowerTerm", rpow, lambda r: "{%s}" % ", ".join(num(v) for v in r))
    rgau_tab = em.table("ResidualGaussianTerm", rgau, lambda r: "{%s}" % ", ".join(num(v) for v in r))
    rna_tab = em.table("ResidualNonAnalyticTerm", rna, lambda r: "{%s}" % ", ".join(num(v) for v in r))

    # Ancillaries.
    anc = doc.get("ANCILLARIES", {})

    def curve(key):
        a = anc.get(key)
        if not a:
            return "{}"
        if a.get("type") == "rational_polynomial":
            raise SystemExit(f"{path}: {key} is rational")
        form = "AncillaryForm::kLinear" if a["type"] == "rhoLnoexp" else "AncillaryForm::kExponential"
        n_tab = em.table("double", a["n"], num)
        t_tab = em.table("double", a["t"], num)
        return ("{.form = %s, .n = %s, .t = %s, .T_r = %s, .reducing_value = %s, .using_tau_r = %s, "
                ".T_min = %s, .T_max = %s}" % (form, n_tab, t_tab, num(a["T_r"]), num(a["reducing_value"]),
                                               "true" if a.get("using_tau_r") else "false",
                                               num(a["Tmin"]), num(a["Tmax"])))

    def rational(key):
        a = anc.get(key)
        if not a:
            return "{}"
        if a.get("type") != "rational_polynomial":
            raise SystemExit(f"{path}: {key} is not rational")
        A = em.table("double", a["A"], num)
        B = em.table("double", a["B"], num)
        return "{.A = %s, .B = %s, .T_min = %s, .T_max = %s, .max_abs_error = %s}" % (
            A, B, num(a["Tmin"]), num(a["Tmax"]), num(a["max_abs_error"]))

    anc_fields = {
        "p_sat": curve("pS"), "p_bubble": curve("pL"), "p_dew": curve("pV"),
        "rho_liquid": curve("rhoL"), "rho_vapor": curve("rhoV"),
        "h_liquid": rational("hL"), "h_vaporization": rational("hLV"),
        "s_liquid": rational("sL"), "s_vaporization": rational("sLV"),
    }

    # Superancillary.
    sa = eos.get("SUPERANCILLARY")
    sa_expr = "{}"
    if sa and not eos.get("pseudo_pure", False):
        def pieces(key):
            rows = sa[key]
            for r in rows:
                if len(r["coef"]) != 13:
                    raise SystemExit(f"{path}: expansion of degree {len(r['coef']) - 1} in {key}")
            return em.table("ChebyshevPiece", rows, lambda r: "{%s, %s, %s}" % (num(r["xmin"]), num(r["xmax"]), arr(r["coef"])))
        p_tab = pieces("jexpansions_p")
        l_tab = pieces("jexpansions_rhoL")
        v_tab = pieces("jexpansions_rhoV")
        checks = [(c["T / K"], c["p(mp) / Pa"], c["rho'(mp) / mol/m^3"], c["rho''(mp) / mol/m^3"])
                  for c in sa.get("check_points", [])]
        c_tab = em.table("SaturationCheckPoint", checks, lambda r: "{%s}" % ", ".join(num(v) for v in r))
        meta = sa["meta"]
        sa_expr = ("{.p = %s, .rho_liquid = %s, .rho_vapor = %s, .T_crit = %s, .rho_crit = %s, .check_points = %s}"
                   % (p_tab, l_tab, v_tab, num(meta["Tcrittrue / K"]), num(meta["rhocrittrue / mol/m^3"]), c_tab))

    st = eos["STATES"]
    top = doc["STATES"]
    out = []
    out.append(f"// Generated by props/tools/gen_eos_data.py from the published equation of state of {name}")
    out.append(f"// ({eos.get('BibTeX_EOS', 'unknown source')}). Do not edit by hand; regenerate instead.")
    out.append('#include "fluidprops/fluid_data.h"')
    out.append("")
    out.append("namespace fluidprops::data {")
    out.append("namespace {")
    out.extend(em.lines)
    out.append("}  // namespace")
    out.append("")
    out.append(f"extern const FluidData {sym};")
    out.append(f"const FluidData {sym} = {{")
    fields = [
        (".name", json.dumps(name)),
        (".aliases", alias_tab),
        (".pseudo_pure", "true" if eos.get("pseudo_pure", False) else "false"),
        (".R", num(eos["gas_constant"])),
        (".M", num(eos["molar_mass"])),
        (".T_red", num(st["reducing"]["T"])),
        (".rho_red", num(st["reducing"]["rhomolar"])),
        (".T_max", num(eos["T_max"])),
        (".p_max", num(eos["p_max"])),
        (".critical", state(top["critical"])),
        (".triple_liquid", state(st["sat_min_liquid"])),
        (".triple_vapor", state(st["sat_min_vapor"])),
        (".hs_anchor", state(st["hs_anchor"])),
        (".pressure_max_sat", num(st["pressure_max_sat"]["p"]) if "pressure_max_sat" in st else "0.0"),
        (".temperature_max_sat", num(st["temperature_max_sat"]["T"]) if "temperature_max_sat" in st else "0.0"),
        (".ideal", "{.lead_a1 = %s, .lead_a2 = %s, .log_tau_a = %s, .offset_a1 = %s, .offset_a2 = %s, "
                   ".power = %s, .planck_einstein = %s, .planck_einstein_generalized = %s}"
         % (num(lead[0]), num(lead[1]), num(log_tau), num(offset[0]), num(offset[1]), ipow_tab, pe_tab, peg_tab)),
        (".residual", "{.power = %s, .gaussian = %s, .non_analytic = %s}" % (rpow_tab, rgau_tab, rna_tab)),
    ]
    for k in ("p_sat", "p_bubble", "p_dew", "rho_liquid", "rho_vapor",
              "h_liquid", "h_vaporization", "s_liquid", "s_vaporization"):
        fields.append(("." + k, anc_fields[k]))
    fields.append((".superancillary", sa_expr))
    for k, v in fields:
        out.append(f"    {k} = {v},")
    out.append("};")
    out.append("")
    out.append("}  // namespace fluidprops::data")
    out.append("")

    os.makedirs(outdir, exist_ok=True)
    target = os.path.join(outdir, f"{sym}_eos.cpp")
    with open(target, "w") as f:
        f.write("\n".join(out))
    print(target)
    return 0


if __name__ == "__main__":
    sys.exit(main())
