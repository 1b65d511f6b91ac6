#!/usr/bin/env bash
# Makes the calibration sample of docs/convert.md: docs/examples/known-points.csv
# and docs/examples/frohavet-log.csv.
#
# THE DATA ARE SYNTHETIC. No receiver read them. The positions are chosen
# around Frohavet off the coast of Trøndelag, Norway; the TDs of chain 9007
# (W, X, Y) are the ones kestrune-convert predicts there over seawater, plus
# made-up ASF offsets (below) and made-up noise from a fixed pseudo-random
# sequence, so that the files come out the same every time:
#   known points  averaged readings at GPS marks: noise of 0.01 us
#   logbook       single readings under way: noise of 0.03 us
# One known point carries a slip of the pen ("O" for "0"), as logbooks do.
#
# Usage: tools/make-calibration-sample.sh [path to kestrune-convert]
set -euo pipefail
cd "$(dirname "$0")/.."
K=${1:-build/converter/kestrune-convert}
out=docs/examples

# The marks are made-up positions, not charted ones; the logbook's
# positions, which the file does not keep, are where its TDs were predicted.
# The made-up offsets (us): observed minus predicted for 9007W, X and Y.
offsets="1.21 -1.64 0.83"

# name;lat;lon: decimal degrees on WGS 84, or the window's coordinate texts.
marks='name;lat;lon
mark 01;64.0301;9.5428
mark 02;63.8612;8.4695
mark 03;64.0012;8.8853
mark 04;64.1735;9.4107
mark 05;63 59 20 N;9 17 45 E
mark 06;63.6712;8.2934
mark 07;63.8721;8.6613
mark 08;63.7855;9.1202
mark 09;63.7210;8.9480
mark 10;63 43 46 N;9 36 04 E
mark 11;63.6681;8.4563
mark 12;63.9215;8.5402
mark 13;64.1004;9.1890
mark 14;63 51 50 N;8 41 04 E
mark 15;63.5712;8.1021
mark 16;63.5403;8.0007'

logbook='name;time;lat;lon
Haul 1 start;1993-05-11 04:10;63.9520;8.8301
Haul 1 end;1993-05-11 07:45;63.8933;9.1877
Haul 2 start;1993-05-11 09:05;63.8512;9.3020
Haul 2 end;1993-05-11 12:20;63.8111;9.0104
Net lost;1993-05-11 13:02;63.8290;8.9620
Haul 3 start;1993-05-11 14:30;63.8750;8.7130
Haul 3 end;1993-05-11 18:15;63.9622;8.5310
Steaming home;1993-05-11 21:40;63.8700;8.6700'

# Predicted TDs plus offset and noise. The noise is Gaussian by the Box-Muller
# method from the Park-Miller sequence written out here (every product is
# exact in a double), so that every awk gives the same digits.
synthesise() {  # $1 noise us, $2 seed, $3 columns kept before the TDs
  "$K" predict -q --lops 9007W,9007X,9007Y --keep "$3" --decimal point |
    awk -F, -v OFS=';' -v sd="$1" -v seed="$2" -v off="$offsets" -v keep="$3" '
      function uniform() { seed = (seed * 16807) % 2147483647; return seed / 2147483647 }
      function gauss() { return sqrt(-2 * log(uniform())) * cos(6.283185307179586 * uniform()) }
      BEGIN { split(off, o, " "); k = split(keep, names, ",") }
      NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
      {
        row = ""
        for (i = 1; i <= k; i++) { f = $(col[names[i]]); gsub(/"/, "", f); row = row f OFS }
        split("9007W 9007X 9007Y", lop, " ")
        for (i = 1; i <= 3; i++) {
          td = $(col["td_" lop[i]]) + o[i] + sd * gauss()
          row = row sprintf("%.3f", td) (i < 3 ? OFS : "")
        }
        print row
      }'
}

{
  echo "name;lat;lon;9007W;9007X;9007Y"
  echo "$marks" | synthesise 0.01 20240517 name,lat,lon |
    awk -F';' -v OFS=';' '$1 == "mark 07" { sub(/0/, "O", $4) } { print }'
} > "$out/known-points.csv"

{
  echo "name;time;9007W;9007X;9007Y"
  echo "$logbook" | synthesise 0.03 19930511 name,time
} > "$out/frohavet-log.csv"

echo "wrote $out/known-points.csv and $out/frohavet-log.csv"
