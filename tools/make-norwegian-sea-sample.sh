#!/usr/bin/env bash
# Makes docs/examples/norwegian-sea-1990.csv, the sample logbook of chain 7970
# (Norwegian Sea, on air until 31 December 1994) in docs/convert.md.
#
# THE DATA ARE SYNTHETIC. No receiver read them. The positions are made up
# along a trawler's trip on the Norwegian Sea in June 1990; the TDs of
# 7970 W, X and Y are the ones kestrune-convert predicts there over seawater
# with the chain as it stood that day (--date 1990-06-01), plus made-up
# noise of 0.03 us from a fixed pseudo-random sequence, so that the file
# comes out the same every time. There is no ASF offset in them: converted
# back, they land within a few tens of metres of the positions below.
#
# Usage: tools/make-norwegian-sea-sample.sh [path to kestrune-convert]
set -euo pipefail
cd "$(dirname "$0")/.."
K=${1:-build/converter/kestrune-convert}
out=docs/examples/norwegian-sea-1990.csv

# name;time;lat;lon: decimal degrees on WGS 84. The file keeps the first
# two columns only.
logbook='name;time;lat;lon
Leaving Aalesund;1990-06-04 05:30;62.5200;5.6800
Haul 1 start;1990-06-04 16:10;63.1500;4.2500
Haul 1 end;1990-06-04 20:40;63.3800;3.9200
Haul 2 start;1990-06-05 02:15;63.9000;3.3000
Haul 2 end;1990-06-05 07:05;64.2200;3.0500
Haul 3 start;1990-06-05 11:30;64.6100;2.4000
Haul 3 end;1990-06-05 16:45;64.9500;1.8500
Hove to in a gale;1990-06-06 01:00;65.1200;1.6000
Haul 4 start;1990-06-06 09:20;65.4000;2.1000
Haul 4 end;1990-06-06 14:35;65.1800;2.9000'

# Predicted TDs plus noise: Gaussian by the Box-Muller method from the
# Park-Miller sequence written out here (every product is exact in a double),
# so that every awk gives the same digits.
{
  echo "name;time;7970W;7970X;7970Y"
  echo "$logbook" |
    "$K" predict -q --date 1990-06-01 --lops 7970W,7970X,7970Y --keep name,time --decimal point |
    awk -F, -v OFS=';' -v sd=0.03 -v seed=19900604 '
      function uniform() { seed = (seed * 16807) % 2147483647; return seed / 2147483647 }
      function gauss() { return sqrt(-2 * log(uniform())) * cos(6.283185307179586 * uniform()) }
      NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
      {
        row = $(col["name"]) OFS $(col["time"])
        gsub(/"/, "", row)
        split("7970W 7970X 7970Y", lop, " ")
        for (i = 1; i <= 3; i++) row = row OFS sprintf("%.3f", $(col["td_" lop[i]]) + sd * gauss())
        print row
      }'
} >"$out.tmp"
mv "$out.tmp" "$out"
echo "wrote $out"
