#!/usr/bin/env bash
# Configures and builds into build/ (or build-sanitize/ with --sanitize).
# CYCLESIM_WERROR=ON in the environment turns warnings into errors (CI).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=build
EXTRA=()
if [ "${1:-}" = "--sanitize" ]; then
  BUILD_DIR=build-sanitize
  EXTRA+=(-DCYCLESIM_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCYCLESIM_BUILD_BENCH=OFF)
else
  EXTRA+=(-DCMAKE_BUILD_TYPE=Release)
fi
EXTRA+=(-DCYCLESIM_WERROR="${CYCLESIM_WERROR:-OFF}")
JOBS=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$BUILD_DIR" "${EXTRA[@]}"
cmake --build "$BUILD_DIR" -j"$JOBS"
