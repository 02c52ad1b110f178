#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing).
# Works as root or through sudo; on a machine that has everything it does nothing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsundials-dev nlohmann-json3-dev libcli11-dev
  gnuplot-nox
  libmatio-dev
  octave
  jq
  parallel
  zip unzip   # cyclesim fmu packs FMUs with zip; the FMU tests unpack them with unzip
  clang libclang-rt-dev   # the fuzz budget (scripts/fuzz.sh): Clang's libFuzzer and sanitizer runtimes
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=""
elif command -v sudo >/dev/null 2>&1; then
  SUDO="sudo"
else
  echo "setup: packages missing (${missing[*]}) and neither root nor sudo available" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
