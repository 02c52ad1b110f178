#!/usr/bin/env bash
# The controlled chiller over its operating envelope: a thin wrapper over
#
#   cyclesim sweep examples/controlled_chiller/envelope.json
#
# which holds the grid, the per-ambient start state, the settle criterion,
# the saturation labels and the energy balance (see README.md). Arguments
# after the optional --build DIR go to `cyclesim sweep` unchanged, e.g.
#
#   bash examples/controlled_chiller/envelope.sh [--build DIR] [-o DIR] [--jobs N] [--points CSV]
#
# Default folder: build/out/envelope (sweep.csv, envelope_cop.png,
# envelope_capacity.png, one run directory per point under runs/).
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
BUILD="$HERE/../../build"
if [ "${1:-}" = "--build" ]; then BUILD="$2"; shift 2; fi
[ -x "$BUILD/bin/cyclesim" ] || { echo "envelope: no $BUILD/bin/cyclesim (build first: bash scripts/build.sh)" >&2; exit 1; }
out=(-o "$BUILD/out/envelope")
for a in "$@"; do
  case "$a" in -o|--output|-o*|--output=*) out=() ;; esac
done
exec "$BUILD/bin/cyclesim" sweep "$HERE/envelope.json" "${out[@]}" "$@"
