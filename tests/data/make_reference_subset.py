#!/usr/bin/env python3
"""Writes the compact reference subset the repository carries (tests/data/reference).

The full reference values live outside the repository (../shared/reference).
This keeps a few hundred property rows per fluid: whole input states (with
every output asked there, so that outputs of one state can be compared with
each other), spread evenly over every kind of input pair,
every row of the small tables (refused queries, fluid constants), and the
block reference points, so that the accuracy and reference-point tests run in
any clone. Evaporator points whose results are marked superseded are left
out: a mended block must not match them.

    python3 tests/data/make_reference_subset.py ../shared tests/data
    python3 tests/data/make_reference_subset.py --check ../shared tests/data

Running it again on the same full set writes the same files; --check
compares the committed subset with what the script makes (exit 1 when they
differ, 77 when the full set is absent, which CTest reports as skipped).
"""
import csv
import io
import json
import math
import sys
import tempfile
from collections import OrderedDict
from pathlib import Path

ROWS_PER_FLUID = 400   # property rows kept per fluid (about; every kind keeps at least one state)
SMALL_TABLES = ("bad_queries.csv", "fluid_constants.csv")


def spread(rows, count):
    """`count` rows evenly spread over `rows`, first and last included."""
    if count >= len(rows):
        return list(rows)
    if count == 1:
        return [rows[0]]
    return [rows[round(i * (len(rows) - 1) / (count - 1))] for i in range(count)]


def property_subset(rows):
    """Whole input states (every output asked at them), spread evenly over
    each kind of input pair, each kind keeping its share of the rows."""
    kinds = OrderedDict()
    for row in rows:
        kinds.setdefault((row[1], row[3]), OrderedDict()).setdefault((row[2], row[4]), []).append(row)
    kept = []
    for states in kinds.values():
        size = sum(len(r) for r in states.values())
        share = max(2, math.ceil(size * ROWS_PER_FLUID / len(rows)))
        per_state = size / len(states)
        chosen = spread(list(states.values()), max(1, round(share / per_state)))
        for state_rows in chosen:
            kept.extend(state_rows)
    return kept


def write_csv(path, comment, header, rows):
    out = io.StringIO()
    out.write("# " + comment + "\n")
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(header)
    writer.writerows(rows)
    path.write_text(out.getvalue())


def props(shared, target):
    source = shared / "reference" / "props"
    dest = target / "reference" / "props"
    dest.mkdir(parents=True, exist_ok=True)
    for path in sorted(source.glob("*.csv")):
        with path.open(newline="") as f:
            table = list(csv.reader(f))
        header, rows = table[0], table[1:]
        if path.name in SMALL_TABLES:
            kept, how = rows, "every row"
        else:
            kept, how = property_subset(rows), "%d of %d rows (whole input states), spread over every kind of input pair" % (
                len(property_subset(rows)), len(rows))
        write_csv(dest / path.name, "reference subset of %s: %s" % (path.name, how), header, kept)


def blocks(shared, target):
    source = shared / "reference" / "blocks"
    dest = target / "reference" / "blocks"
    dest.mkdir(parents=True, exist_ok=True)
    for path in sorted(source.glob("*.json")):
        full = json.loads(path.read_text())
        points = [p for p in full["points"] if "superseded" not in p]
        subset = {
            "note": full.get("note", ""),
            "subset": "%d of %d points (superseded points left out)" % (len(points), len(full["points"])),
            "points": points,
        }
        (dest / path.name).write_text(json.dumps(subset, indent=1, sort_keys=True) + "\n")


def check(shared, committed):
    with tempfile.TemporaryDirectory() as tmp:
        props(shared, Path(tmp))
        blocks(shared, Path(tmp))
        made = {p.relative_to(tmp): p.read_bytes() for p in Path(tmp).rglob("*") if p.is_file()}
    kept = {p.relative_to(committed): p.read_bytes()
            for p in (committed / "reference").rglob("*") if p.is_file()}
    differ = sorted(str(k) for k in set(made) | set(kept) if made.get(k) != kept.get(k))
    for name in differ:
        print("differs from what the generator makes: %s" % name)
    return 1 if differ else 0


def main():
    args = sys.argv[1:]
    checking = args[:1] == ["--check"]
    if checking:
        args = args[1:]
    if len(args) != 2:
        sys.exit(__doc__)
    shared, target = Path(args[0]), Path(args[1])
    if not (shared / "reference").is_dir():
        print("no reference data under %s" % shared)
        sys.exit(77 if checking else 1)
    if checking:
        sys.exit(check(shared, target))
    props(shared, target)
    blocks(shared, target)


if __name__ == "__main__":
    main()
