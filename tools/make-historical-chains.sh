#!/usr/bin/env bash
# Writes the WGS 84 station positions of loran/data/historical-chains.txt
# again from the WGS 72 figures of the sources kept above each of them
# ("# wgs72; <latitude>; <longitude>"), by the library's WGS 72 to WGS 84
# shift (EPSG:1237, loran/datum.cpp). Every other line, the sources and the
# emission delays among them, stays as written by hand.
#
# Needs the build directory of ./run.sh or ./test.sh (it builds the library
# there). A test of loran_tests checks that the file and the shift agree.
#   tools/make-historical-chains.sh [build directory]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
data=loran/data/historical-chains.txt
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cmake --build "$build" --target kestrune_loran >/dev/null
"${CXX:-c++}" -std=c++20 -O1 -ffp-contract=off -I. tools/shift-wgs72.cpp \
  "$build/loran/libkestrune_loran.a" "$build/util/libkestrune_util.a" \
  "$build/platform/libkestrune_platform.a" -lGeographicLib -o "$work/shift-wgs72"
"$work/shift-wgs72" <"$data" >"$work/chains.txt"
cp "$work/chains.txt" "$data.tmp"
mv "$data.tmp" "$data"
echo "wrote $data"
