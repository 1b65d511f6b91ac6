#!/usr/bin/env bash
# Makes the ASF-model sample: docs/examples/asf-coast-log.csv.
#
# THE DATA ARE SYNTHETIC. No receiver read them. Forty positions drawn in
# the skerries and fjord mouths of Sunnmøre and Nordfjord, Norway (62.0 to
# 62.5 N, 4.8 to 6.0 E); the TDs of chain 9007 (W, X, Y, Z) are the
# ones `kestrune-convert predict --asf model` gives there (seawater TD plus
# the ASF Millington's method predicts from the shipped coastline) plus
# Gaussian noise of 0.02 us from a fixed pseudo-random sequence, so that the
# file comes out the same every time. The true positions are kept in the
# file (true_lat, true_lon) so that a conversion can be scored against them.
#
# Usage: tools/make-asf-sample.sh [path to kestrune-convert]
set -euo pipefail
cd "$(dirname "$0")/.."
K=${1:-build/converter/kestrune-convert}
out=docs/examples/asf-coast-log.csv

# The Park-Miller sequence written out (every product is exact in a double)
# and Box-Muller, so that every awk gives the same digits.
positions() {
  awk -v seed=18 '
    function uniform() { seed = (seed * 16807) % 2147483647; return seed / 2147483647 }
    BEGIN {
      print "name,true_lat,true_lon"
      for (i = 1; i <= 40; i++) {
        printf "point %02d,%.5f,%.5f\n", i, 62.0 + 0.5 * uniform(), 4.8 + 1.2 * uniform()
      }
    }'
}

tmp="$(mktemp "$out.XXXXXX")"
trap 'rm -f "$tmp"' EXIT
{
  echo "name;true_lat;true_lon;9007W;9007X;9007Y;9007Z"
  positions |
    "$K" predict -q --asf model --lops 9007W,9007X,9007Y,9007Z --pos-cols true_lat,true_lon \
      --keep name,true_lat,true_lon --decimal point |
    awk -F, -v OFS=';' -v sd=0.02 -v seed=20261207 '
      function uniform() { seed = (seed * 16807) % 2147483647; return seed / 2147483647 }
      function gauss() { return sqrt(-2 * log(uniform())) * cos(6.283185307179586 * uniform()) }
      NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
      {
        row = $(col["name"]) OFS $(col["true_lat"]) OFS $(col["true_lon"])
        split("9007W 9007X 9007Y 9007Z", lop, " ")
        for (i = 1; i <= 4; i++) row = row OFS sprintf("%.3f", $(col["td_" lop[i]]) + sd * gauss())
        print row
      }'
} >"$tmp"
mv "$tmp" "$out"
trap - EXIT
echo "wrote $out"
