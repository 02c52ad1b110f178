#!/usr/bin/env bash
# Sets up, builds and runs the main job: the expansion valve evaluated at an
# operating point on our own R134a property library.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh
cd build
echo "Orvane, R134a, opening 0.5, 12 bar -> 3 bar, liquid at 250 kJ/kg:"
./bin/cyclesim eval Orvane \
  --params '[{"C_eev": 2.0e-6}, "R134a"]' \
  --inputs '[[0.5, 1.2e6, 3.0e5, 2.5e5]]'
