#!/usr/bin/env python3
"""Generate the coefficient tables of the viscosity correlations and the glycol brine.

Usage:
    gen_transport_data.py --viscosity-out props/transport/viscosity_data.cpp \
                          --brine-out props/incompressible/brine_data.cpp \
                          FLUID.json [FLUID.json ...] BRINE.json

Every fluid file is a fluid definition (members INFO, EOS, TRANSPORT); a brine file is recognised by
its members Tbase/xbase. The generated C++ files are committed; the build never reads the JSON.
Only the Python standard library is used.
"""

import argparse
import json
import math
import sys

AVOGADRO = 6.02214129e23


def num(x):
    """A double literal that round-trips exactly."""
    x = float(x)
    if not math.isfinite(x):
        raise ValueError("non-finite coefficient")
    s = repr(x)
    if "e" not in s and "." not in s:
        s += ".0"
    return s


def arr(values):
    return "{" + ", ".join(num(v) for v in values) + "}"


def ident(name):
    out = "".join(c if c.isalnum() else "_" for c in name)
    return "k" + out


def fail(path, msg):
    sys.exit(f"{path}: {msg}")


class Emitter:
    def __init__(self):
        self.arrays = []

    def array(self, prefix, suffix, values):
        values = [float(v) for v in values]
        name = f"{prefix}_{suffix}"
        if not values:
            self.arrays.append(f"constexpr std::array<double, 0> {name}{{}};")
        else:
            self.arrays.append(f"constexpr std::array<double, {len(values)}> {name} = {arr(values)};")
        return name


def require(path, block, keys):
    for k in keys:
        if k not in block:
            fail(path, f"viscosity block lacks key '{k}'")


def fluid_model(path, data, em):
    name = data["INFO"]["NAME"]
    eos = data["EOS"][0]
    visc = data["TRANSPORT"]["viscosity"]
    if isinstance(visc, list):
        visc = visc[0]  # only the first model of a list is the fluid's correlation
    p = ident(name)
    fields = {
        "name": f'"{name}"',
        "molar_mass": num(eos["molar_mass"]),
        "gas_constant": num(eos["gas_constant"]),
        "T_reducing": num(eos["STATES"]["reducing"]["T"]),
        "rhomolar_reducing": num(eos["STATES"]["reducing"]["rhomolar"]),
        "T_triple": num(eos["STATES"]["sat_min_liquid"]["T"]),
    }
    has_lj = "sigma_eta" in visc and "epsilon_over_k" in visc
    fields["has_lennard_jones"] = "true" if has_lj else "false"
    fields["sigma_eta"] = num(visc["sigma_eta"]) if has_lj else "0.0"
    fields["epsilon_over_k"] = num(visc["epsilon_over_k"]) if has_lj else "0.0"

    vtype = visc.get("type", "")
    if vtype == "ECS" or vtype == "Chung":
        fail(path, f"viscosity model type '{vtype}' is not supported")
    if vtype == "rhosr-CS":
        require(path, visc, ["C", "c_liq", "c_vap", "rhosr_critical", "x_crossover"])
        if len(visc["c_liq"]) != 4 or len(visc["c_vap"]) != 4:
            fail(path, "rhosr-CS needs four liquid and four vapour coefficients")
        fields["kind"] = "ViscosityModelKind::ResidualEntropyScaling"
        fields["entropy_scaling"] = (
            "{.C = %s, .c_liq = %s, .c_vap = %s, .rhosr_critical = %s, .x_crossover = %s}"
            % (num(visc["C"]), arr(visc["c_liq"]), arr(visc["c_vap"]), num(visc["rhosr_critical"]),
               num(visc["x_crossover"])))
        return p, fields
    if visc.get("hardcoded") == "Water":
        fields["kind"] = "ViscosityModelKind::Water2008"
        return p, fields

    fields["kind"] = "ViscosityModelKind::Composite"
    dil = visc.get("dilute")
    if dil is not None:
        if dil.get("hardcoded") == "CarbonDioxideLaeseckeJPCRD2017":
            fields["dilute_kind"] = "DiluteKind::CarbonDioxide2017"
        elif dil.get("type") == "collision_integral":
            require(path, dil, ["a", "t", "C", "molar_mass"])
            if any(float(t) != int(t) or t < 0 for t in dil["t"]):
                fail(path, "collision-integral exponents must be non-negative integers")
            if not has_lj:
                fail(path, "collision-integral dilute term needs sigma_eta and epsilon_over_k")
            fields["dilute_kind"] = "DiluteKind::CollisionIntegral"
            fields["dilute_a"] = em.array(p, "dilute_a", dil["a"])
            fields["dilute_t"] = em.array(p, "dilute_t", dil["t"])
            fields["dilute_C"] = num(dil["C"])
            fields["dilute_molar_mass"] = num(dil["molar_mass"])
        elif dil.get("type") == "powers_of_T":
            require(path, dil, ["a", "t"])
            fields["dilute_kind"] = "DiluteKind::PowersOfT"
            fields["dilute_a"] = em.array(p, "dilute_a", dil["a"])
            fields["dilute_t"] = em.array(p, "dilute_t", dil["t"])
        else:
            fail(path, f"unsupported dilute term {json.dumps(dil)[:80]}")
    ini = visc.get("initial_density")
    if ini is not None:
        if ini.get("type") != "Rainwater-Friend":
            fail(path, f"unsupported initial-density term type '{ini.get('type')}'")
        if not has_lj:
            fail(path, "Rainwater-Friend term needs sigma_eta and epsilon_over_k")
        require(path, ini, ["b", "t"])
        fields["has_initial_density"] = "true"
        fields["initial_b"] = em.array(p, "initial_b", ini["b"])
        fields["initial_t"] = em.array(p, "initial_t", ini["t"])
    hi = visc.get("higher_order")
    if hi is not None:
        if hi.get("hardcoded") == "CarbonDioxideLaeseckeJPCRD2017":
            fields["higher_order_kind"] = "HigherOrderKind::CarbonDioxide2017"
        elif hi.get("type") == "modified_Batschinski_Hildebrand":
            keys = ["a", "d1", "t1", "gamma", "l", "f", "d2", "t2", "g", "h", "p", "q", "T_reduce",
                    "rhomolar_reduce"]
            require(path, hi, keys)
            n = len(hi["a"])
            if any(len(hi[k]) != n for k in ("d1", "t1", "gamma", "l")):
                fail(path, "a, d1, t1, gamma, l must have equal length")
            if len(hi["f"]) != len(hi["d2"]) or len(hi["f"]) != len(hi["t2"]):
                fail(path, "f, d2, t2 must have equal length")
            if len(hi["g"]) != len(hi["h"]) or len(hi["p"]) != len(hi["q"]):
                fail(path, "g/h and p/q must have equal lengths")
            fields["higher_order_kind"] = "HigherOrderKind::ModifiedBatschinskiHildebrand"
            parts = []
            for k in ("a", "d1", "t1", "gamma", "l", "f", "d2", "t2", "g", "h", "p", "q"):
                parts.append(f".{k} = {em.array(p, 'mbh_' + k, hi[k])}")
            parts.append(f".T_reduce = {num(hi['T_reduce'])}")
            parts.append(f".rhomolar_reduce = {num(hi['rhomolar_reduce'])}")
            fields["mbh"] = "{" + ", ".join(parts) + "}"
        else:
            fail(path, f"unsupported higher-order term {json.dumps(hi)[:80]}")
    return p, fields


FIELD_ORDER = ["name", "kind", "molar_mass", "gas_constant", "T_reducing", "rhomolar_reducing", "T_triple",
               "has_lennard_jones", "sigma_eta", "epsilon_over_k", "dilute_kind", "dilute_a", "dilute_t",
               "dilute_C", "dilute_molar_mass", "has_initial_density", "initial_b", "initial_t",
               "higher_order_kind", "mbh", "entropy_scaling"]


def write_viscosity(out, fluids, sources):
    em = Emitter()
    models = []
    for path, data in fluids:
        p, fields = fluid_model(path, data, em)
        # Every member is named (absent terms as {}), so the table is explicit and warning-free.
        init = ",\n     ".join(f".{k} = {fields.get(k, '{}')}" for k in FIELD_ORDER)
        models.append("    {" + init + "}")
    text = []
    text.append("// Generated by props/tools/gen_transport_data.py from the fluid definition files")
    text.append("//   " + ", ".join(sources))
    text.append("// Do not edit by hand: change the generator or its input and regenerate.")
    text.append('#include "viscosity_models.h"')
    text.append("")
    text.append("#include <array>")
    text.append("")
    text.append("namespace fluidprops::transport {")
    text.append("namespace {")
    text.append("")
    text.extend(em.arrays)
    text.append("")
    text.append(f"constexpr std::array<ViscosityModel, {len(models)}> kModels = {{{{")
    text.append(",\n".join(models))
    text.append("}};")
    text.append("")
    text.append("}  // namespace")
    text.append("")
    text.append("std::span<const ViscosityModel> viscosity_models() { return kModels; }")
    text.append("")
    text.append("}  // namespace fluidprops::transport")
    with open(out, "w") as f:
        f.write("\n".join(text) + "\n")


def poly2d(path, data, key):
    block = data[key]
    if block.get("type") not in ("polynomial", "exppolynomial"):
        fail(path, f"{key}: unsupported type '{block.get('type')}'")
    rows = block["coeffs"]
    if not isinstance(rows, list) or not rows or not all(isinstance(r, list) for r in rows):
        fail(path, f"{key}: coefficients are not a 2-D array")
    ncols = max(len(r) for r in rows)
    flat = []
    for r in rows:
        flat.extend(list(r) + [0.0] * (ncols - len(r)))
    return block["type"], len(rows), ncols, flat


def write_brine(out, brines, sources):
    arrays = []
    entries = []
    for path, data in brines:
        if data.get("xid") != "mass":
            fail(path, "only mass-fraction based brines are supported")
        p = ident(data["name"])
        parts = [f'.name = "{data["name"]}"', f'.description = "{data["description"]}"',
                 f".T_base = {num(data['Tbase'])}", f".x_base = {num(data['xbase'])}",
                 f".T_min = {num(data['Tmin'])}", f".T_max = {num(data['Tmax'])}",
                 f".x_min = {num(data['xmin'])}", f".x_max = {num(data['xmax'])}"]
        for key, field, want in (("T_freeze", "freezing", "polynomial"),
                                 ("specific_heat", "specific_heat", "polynomial"),
                                 ("density", "density", "polynomial"),
                                 ("viscosity", "viscosity", "exppolynomial")):
            kind, nr, nc, flat = poly2d(path, data, key)
            if kind != want:
                fail(path, f"{key}: expected type {want}, found {kind}")
            arrays.append(f"constexpr std::array<double, {len(flat)}> {p}_{field} = {arr(flat)};")
            parts.append(f".{field} = {{.rows = {nr}, .cols = {nc}, .c = {p}_{field}}}")
        entries.append("    {" + ",\n     ".join(parts) + "}")
    text = ["// Generated by props/tools/gen_transport_data.py from the brine definition files",
            "//   " + ", ".join(sources),
            "// Do not edit by hand: change the generator or its input and regenerate.",
            '#include "brine_models.h"', "", "#include <array>", "",
            "namespace fluidprops::incompressible {", "namespace {", ""]
    text.extend(arrays)
    text.append("")
    text.append(f"constexpr std::array<BrineModel, {len(entries)}> kBrines = {{{{")
    text.append(",\n".join(entries))
    text.append("}};")
    text += ["", "}  // namespace", "", "std::span<const BrineModel> brine_models() { return kBrines; }", "",
             "}  // namespace fluidprops::incompressible"]
    with open(out, "w") as f:
        f.write("\n".join(text) + "\n")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--viscosity-out", required=True)
    ap.add_argument("--brine-out", required=True)
    ap.add_argument("inputs", nargs="+")
    args = ap.parse_args()
    fluids, brines = [], []
    for path in args.inputs:
        with open(path) as f:
            data = json.load(f)
        base = path.replace("\\", "/").split("/")[-1]
        if "Tbase" in data and "xbase" in data:
            brines.append((path, data, base))
        elif "TRANSPORT" in data and "EOS" in data:
            fluids.append((path, data, base))
        else:
            fail(path, "neither a fluid nor a brine definition")
    if not fluids or not brines:
        sys.exit("need at least one fluid and one brine file")
    write_viscosity(args.viscosity_out, [(p, d) for p, d, _ in fluids], [b for _, _, b in fluids])
    write_brine(args.brine_out, [(p, d) for p, d, _ in brines], [b for _, _, b in brines])


if __name__ == "__main__":
    main()
