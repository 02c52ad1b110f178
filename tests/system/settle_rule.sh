#!/usr/bin/env bash
# The envelope's settle rule (examples/controlled_chiller/settled.awk) on small
# made-up runs: a point that still drifts by a few times the allowance in any
# one of the watched signals, or that stopped early, has not settled.
#   bash settle_rule.sh RULE.awk
set -euo pipefail
RULE="$1"
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT
failures=0

# run NAME EXPECTED LAST_TIME  then the values at t = 260 and at the end:
# superheat, water out, condenser pressure.
check() {
  local name="$1" expected="$2" t_end="$3" sh0="$4" tw0="$5" p0="$6" sh1="$7" tw1="$8" p1="$9"
  {
    echo "time,superheat [K],T_water_out [K],p_cond [Pa]"
    echo "200,9,290,1500000"
    echo "260,$sh0,$tw0,$p0"
    echo "280,$sh0,$tw0,$p0"
    echo "$t_end,$sh1,$tw1,$p1"
  } > "$TMP/$name.csv"
  local got
  got=$(awk -F, -v stop=300 -f "$RULE" "$TMP/$name.csv")
  if [ "$got" != "$expected" ]; then
    echo "settle rule: $name: expected $expected, got $got" >&2
    failures=$((failures + 1))
  fi
}

check steady            yes 300 5.00 280.15 1200000 5.01  280.16  1200300
check superheat_drifts  no  300 5.00 280.15 1200000 5.05  280.15  1200000
check water_drifts      no  300 5.00 280.15 1200000 5.00  280.20  1200000
check pressure_drifts   no  300 5.00 280.15 1200000 5.00  280.15  1201500
check falling_superheat no  300 5.05 280.15 1200000 5.00  280.15  1200000
check stopped_early     no  290 5.00 280.15 1200000 5.00  280.15  1200000

[ "$failures" -eq 0 ] && echo "settle rule: all cases as expected"
exit "$failures"
