#!/usr/bin/env bash
# Builds the R package kestrune from r/kestrune against a Kestrune build
# directory and runs R CMD check on it (its testthat tests compare with
# kestrune-convert) in a scratch directory; fails on any ERROR or WARNING.
#   check-r.sh <build-dir>
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export KESTRUNE_BUILD_DIR="$build"
export KESTRUNE_SOURCE_DIR="$PWD"
export KESTRUNE_CONVERT="$build/converter/kestrune-convert"
export KESTRUNE_TESTDATA_DIR="$PWD/testdata"
export KESTRUNE_EXAMPLES_DIR="$PWD/docs/examples"
# sf is optional (Suggests): its output is checked where it is installed.
export _R_CHECK_FORCE_SUGGESTS_=false
cp -r r/kestrune "$scratch/kestrune"
rm -f "$scratch"/kestrune/src/{Makevars,*.o,*.so}
(cd "$scratch" && R CMD build --no-build-vignettes kestrune > build.log 2>&1) ||
  { cat "$scratch/build.log" >&2; exit 1; }
(cd "$scratch" && R CMD check --no-manual kestrune_*.tar.gz > check.log 2>&1) ||
  { cat "$scratch/check.log" >&2; exit 1; }
if grep -qE "^Status: .*(ERROR|WARNING)" "$scratch/check.log"; then
  cat "$scratch/check.log" >&2
  exit 1
fi
grep -E "^Status:|NOTE" "$scratch/check.log" || true
