#!/usr/bin/env bash
# Performance map of the controlled chiller over its operating envelope.
#
# Runs the chiller at every pair (ambient, chilled-water inlet) of a grid,
# each at constant conditions until it has settled, with GNU parallel; every
# run starts from a condenser state computed for its ambient by start_state.py
# (same charge everywhere). Collects the settled state of every point into one
# CSV and draws COP and capacity against the ambient, one line per water
# temperature, with gnuplot.
#
#   bash examples/controlled_chiller/envelope.sh [--build DIR] [--out DIR] [--jobs N]
#        [--ambients "20 25.2 30.4 35.6 40.8 46"] [--waters "10 13.33 16.67 20"]
#        [--stop-time 300] [--model FILE] [--fluid-model FILE]
#
# Output (default build/out/envelope): one run directory per point
# (a<ambient>_w<water>/), envelope.csv, envelope_cop.png, envelope_capacity.png.
# Exits non-zero when a point failed (its row says so and why). With --jobs 1
# the points run one after another and GNU parallel is not needed.
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BUILD="$ROOT/build"
OUT=""
JOBS=2
AMBIENTS="20 25.2 30.4 35.6 40.8 46"
WATERS="10 13.33 16.67 20"
STOP_TIME=300
MODEL="$HERE/controlled_chiller.json"

while [ $# -gt 0 ]; do
  case "$1" in
    --build) BUILD="$(cd "$2" && pwd)"; shift 2 ;;
    --out) OUT="$2"; shift 2 ;;
    --jobs) JOBS="$2"; shift 2 ;;
    --ambients) AMBIENTS="$2"; shift 2 ;;
    --waters) WATERS="$2"; shift 2 ;;
    --stop-time) STOP_TIME="$2"; shift 2 ;;
    --model) MODEL="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"; shift 2 ;;
    -h|--help) sed -n '2,21p' "$0"; exit 0 ;;
    *) echo "envelope: unknown option $1" >&2; exit 2 ;;
  esac
done
OUT="${OUT:-$BUILD/out/envelope}"
mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"

# GNU parallel and jq, from Debian, when missing (as root or through sudo).
missing=()
[ "$JOBS" = 1 ] || command -v parallel >/dev/null 2>&1 || missing+=(parallel)
command -v jq >/dev/null 2>&1 || missing+=(jq)
command -v gnuplot >/dev/null 2>&1 || missing+=(gnuplot-nox)
if [ ${#missing[@]} -gt 0 ]; then
  echo "envelope: installing ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then SUDO=""; elif command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "envelope: ${missing[*]} missing and neither root nor sudo available" >&2; exit 1; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
[ -x "$BUILD/bin/cyclesim" ] || { echo "envelope: no $BUILD/bin/cyclesim (build first: bash scripts/build.sh)" >&2; exit 1; }

# One point: the run, at constant conditions (the scenario's disturbances
# switched off), from the start state for its ambient.
run_point() {
  local ambient="$1" water="$2"
  local dir="$OUT/a${ambient}_w${water}"
  local ka kw
  ka=$(awk -v t="$ambient" 'BEGIN { printf "%.2f", t + 273.15 }')
  kw=$(awk -v t="$water" 'BEGIN { printf "%.2f", t + 273.15 }')
  local start
  if ! start=$(python3 "$HERE/start_state.py" --model "$MODEL" --build "$BUILD" --air "$ambient" 2>&1); then
    mkdir -p "$dir"
    jq -n --arg m "$start" '{status: "failed", message: $m, final_values: {}}' > "$dir/summary.json"
    return 1
  fi
  # shellcheck disable=SC2086
  (cd "$BUILD" && ./bin/cyclesim run "$MODEL" -o "$dir" --stop-time "$STOP_TIME" --no-plot \
      --set "ambient.value=$ka" --set "water_inlet.value=$kw" \
      --set "water_load.values=[0,0,0]" --set "ambient_rise.values=[0,0,0]" \
      --set "fan.values=[0.4,0.4,0.4,0.4,0.4]" $start) > "$dir.log" 2>&1
}
export -f run_point
export OUT BUILD MODEL HERE STOP_TIME

echo "envelope: $(wc -w <<< "$AMBIENTS") ambients x $(wc -w <<< "$WATERS") water temperatures, $STOP_TIME s each, $JOBS at a time, into $OUT"
set +e
if [ "$JOBS" = 1 ]; then
  for a in $AMBIENTS; do for w in $WATERS; do run_point "$a" "$w"; done; done
else
  # shellcheck disable=SC2086
  parallel --will-cite -j "$JOBS" run_point {1} {2} ::: $AMBIENTS ::: $WATERS
fi
set -e

# A point has settled when its last 30 s hardly move (the rule: settled.awk).
settled() {
  awk -F, -v stop="$STOP_TIME" -f "$HERE/settled.awk" "$1"
}

CSV="$OUT/envelope.csv"
echo "ambient_C,water_in_C,status,settled,capacity_W,power_W,COP,superheat_K,subcooling_K,p_evap_Pa,p_cond_Pa,water_out_C,speed_1_s,opening,saturated,balance,message" > "$CSV"
failures=0
for w in $WATERS; do
  for a in $AMBIENTS; do
    dir="$OUT/a${a}_w${w}"
    if [ ! -f "$dir/summary.json" ]; then
      echo "$a,$w,failed,no,,,,,,,,,,,,,\"no summary: see $dir.log\"" >> "$CSV"; failures=$((failures + 1)); continue
    fi
    status=$(jq -r .status "$dir/summary.json")
    if [ "$status" != completed ]; then
      failures=$((failures + 1))
      msg=$(jq -r '.message // ""' "$dir/summary.json" | tr -d '",\n' | cut -c1-300)
      echo "$a,$w,$status,no,,,,,,,,,,,,,\"$msg\"" >> "$CSV"; continue
    fi
    s=$(settled "$dir/results.csv")
    jq -r --arg a "$a" --arg w "$w" --arg s "$s" '.final_values as $f |
      (if $f.speed >= 99.999 then "speed at 100 1/s" elif $f.speed <= 20.001 then "speed at 20 1/s"
       elif $f.opening >= 0.99999 then "valve fully open" elif $f.opening <= 0.10001 then "valve at 0.1" else "none" end) as $sat |
      (($f.Q_cond - $f.Q_evap - $f.m_refr * ($f.h_discharge - $f.h_suction)) / $f.Q_cond) as $bal |
      [$a, $w, .status, $s, $f.Q_evap, $f.W_comp, $f.COP, $f.superheat, $f.subcooling, $f.p_evap, $f.p_cond,
       $f.T_water_out - 273.15, $f.speed, $f.opening, $sat, $bal, ""] | @csv' "$dir/summary.json" | tr -d '"' >> "$CSV"
  done
done

# The map: one data block per water temperature, COP and capacity against the ambient.
DAT="$OUT/envelope.dat"
: > "$DAT"
for w in $WATERS; do
  echo "# water $w" >> "$DAT"
  awk -F, -v w="$w" 'NR > 1 && $2 == w && $3 == "completed" { print $1, $7, $5 / 1000 }' "$CSV" >> "$DAT"
  printf '\n\n' >> "$DAT"
done
plot_lines() {  # column, then one "index i" per water temperature
  local col="$1" i=0 sep="" out=""
  for w in $WATERS; do
    out="$out$sep'$DAT' index $i using 1:$col with linespoints title 'water in $w degC'"
    sep=", "; i=$((i + 1))
  done
  echo "$out"
}
gnuplot <<EOF
set terminal pngcairo size 900,600 noenhanced
set datafile separator whitespace
set grid
set key outside right
set xlabel 'ambient (air inlet) temperature [degC]'
set output '$OUT/envelope_cop.png'
set title 'Controlled chiller: COP (cooling / compressor power), leaving water setpoint 7 degC'
set ylabel 'COP [-]'
plot $(plot_lines 2)
set output '$OUT/envelope_capacity.png'
set title 'Controlled chiller: cooling capacity, leaving water setpoint 7 degC'
set ylabel 'capacity [kW]'
plot $(plot_lines 3)
EOF

column -s, -t < <(cut -d, -f1-9,13-16 "$CSV")
echo "envelope: $CSV, $OUT/envelope_cop.png, $OUT/envelope_capacity.png"
if [ "$failures" -gt 0 ]; then
  echo "envelope: $failures point(s) failed (see their rows and run.log)" >&2
  exit 1
fi
