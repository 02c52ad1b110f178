#!/usr/bin/env bash
# Sets up, builds and runs every test. With --sanitize, does the same in an
# AddressSanitizer + UndefinedBehaviorSanitizer build (build-sanitize/).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh "$@"
BUILD_DIR=build
[ "${1:-}" = "--sanitize" ] && BUILD_DIR=build-sanitize
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc 2>/dev/null || echo 2)"
