#!/usr/bin/env bash
# Configures a copy of the source tree without one of its parts; the
# configuration must fail with a message naming that part.
#
#   missing_part.sh SOURCE_DIR PART EXPECTED_TEXT
set -euo pipefail
src="$1" part="$2" expected="$3"
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
# The sources only: no build trees, no repository.
tar -C "$src" --exclude='./build*' --exclude='./out' --exclude='./.git' -cf - . | tar -C "$copy" -xf -
rm -rf "${copy:?}/$part"
if out=$(cmake -S "$copy" -B "$copy/b" -DCYCLESIM_BUILD_TESTS=OFF -DCYCLESIM_BUILD_BENCH=OFF 2>&1); then
  echo "the tree configured without $part"
  exit 1
fi
if ! grep -qF "$expected" <<< "$out"; then
  echo "the configuration failed without naming $part:"
  echo "$out"
  exit 1
fi
echo "without $part: $(grep -F "$expected" <<< "$out" | head -1 | sed 's/^ *//')"
