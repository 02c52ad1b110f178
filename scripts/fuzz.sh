#!/usr/bin/env bash
# The fuzz budget: builds the fuzz targets with Clang's libFuzzer under
# AddressSanitizer + UndefinedBehaviorSanitizer (build-fuzz/) and runs each
# for a bounded time from the corpus in fuzz/corpus/, with a fixed seed so
# that a failure reproduces. CI runs it with the defaults (30 s per target);
#
#   FUZZ_SECONDS=3600 FUZZ_SEED=7 bash scripts/fuzz.sh [target ...]
#
# runs longer or differently. New inputs found go to build-fuzz/corpus/
# (the committed corpus is left as it is); a failing input is written to
# build-fuzz/findings/ and the script exits non-zero. See fuzz/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_PER_TARGET=${FUZZ_SECONDS:-30}
SEED=${FUZZ_SEED:-1}
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=(props_entry model_file block_eval)
BUILD_DIR=build-fuzz
ROOT=$PWD  # absolute paths: the block target works in a temporary directory

command -v clang >/dev/null && command -v clang++ >/dev/null ||
  { echo "fuzz: clang is needed (bash scripts/setup.sh installs it)" >&2; exit 1; }
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCYCLESIM_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCYCLESIM_BUILD_TESTS=OFF -DCYCLESIM_BUILD_BENCH=OFF -DCYCLESIM_WERROR="${CYCLESIM_WERROR:-OFF}" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc 2>/dev/null || echo 2)" --target "${TARGETS[@]/%/_fuzz}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$BUILD_DIR/findings"
status=0
for t in "${TARGETS[@]}"; do
  work="$ROOT/$BUILD_DIR/corpus/$t"
  mkdir -p "$work"
  log="$BUILD_DIR/fuzz-$t.log"
  echo "fuzz: $t for ${SECONDS_PER_TARGET} s (seed $SEED)"
  if ! "$BUILD_DIR/fuzz/${t}_fuzz" "$work" "$ROOT/fuzz/corpus/$t" -seed="$SEED" -max_total_time="$SECONDS_PER_TARGET" \
      -max_len=65536 -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
      -artifact_prefix="$ROOT/$BUILD_DIR/findings/$t-" >"$log" 2>&1; then
    echo "fuzz: $t FOUND A FAILURE (input in $BUILD_DIR/findings/, log $log):" >&2
    grep -E "ERROR|SUMMARY|runtime error|Test unit written" "$log" | head -20 >&2 || true
    status=1
  fi
  # inputs tried, coverage reached, corpus size
  grep -E "^stat::number_of_executed_units|^stat::new_units_added|cov: " "$log" | tail -3 | sed "s/^/fuzz: $t: /"
done
exit $status
