#!/bin/sh
# Stands in for the commercial host's mex in the tests. It compiles and links
# exactly the sources and -I/-D/-l flags it is given, as mex would, but
# against our own S-function headers (host/sfun) and runtime: MATLAB_MEX_FILE
# defined as mex defines it, every module required to name itself
# (S_FUNCTION_NAME, S_FUNCTION_LEVEL), plain C99, warnings as errors, and no
# symbol left undefined. The MEX file is named after the first source.
set -e
: "${SFUN_HEADERS:?}" "${SFUN_RUNTIME_DIR:?}"
CC="${CC:-cc}"
outdir=.
first=
set -- "$@" --end
while [ "$1" != --end ]; do
  case "$1" in
    -outdir) outdir="$2"; shift 2; continue ;;
    *.c) [ -n "$first" ] || first="$1" ;;
  esac
  set -- "$@" "$1"
  shift
done
shift
[ -n "$first" ] || { echo "fake_mex: no C source given" >&2; exit 2; }
mkdir -p "$outdir"
out="$outdir/$(basename "$first" .c).mexa64"
"$CC" -std=c99 -D_POSIX_C_SOURCE=200809L -shared -fPIC -Wall -Wextra -Werror \
  -DMATLAB_MEX_FILE -DSFUN_REQUIRE_MODULE_DEFINES -I"$SFUN_HEADERS" "$@" \
  -o "$out" -L"$SFUN_RUNTIME_DIR" -lsfunrt -lm -Wl,--no-undefined
echo "built $out"
