#!/usr/bin/env bash
# Regenerates testdata/groundwave-ntia-100khz.csv: the 100 kHz rows of NTIA's
# smooth-earth validation table for the ITU-R P.368 ground types, vertical
# polarisation, both antennas on the ground, 1 kW, surface refractivity 315
# N-units (NTIA/ITS LF/MF propagation model, public domain as a work of the
# US Government: https://github.com/NTIA/LFMF,
# tests/data/ValidationExampleLFMFSmoothEarth.csv at commit
# d1d9990ab608b65720aa30801f0c5fd0fbdf2503).
#
# Needs curl and the network; the tests only read the committed file.
#   tools/make-groundwave-testdata.sh [output]
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-testdata/groundwave-ntia-100khz.csv}"
commit=d1d9990ab608b65720aa30801f0c5fd0fbdf2503
url="https://raw.githubusercontent.com/NTIA/LFMF/$commit/tests/data/ValidationExampleLFMFSmoothEarth.csv"
# The P.368 ground types as epsilon/sigma: sea water of low and of average
# salinity, fresh water, land, wet ground, land, medium dry, dry and very dry
# ground.
types="80/1 70/5 80/0.003 40/0.03 30/0.01 22/0.003 15/0.001 7/0.0003 3/0.0001"
tmp="$(mktemp "$out.XXXXXX")"
trap 'rm -f "$tmp"' EXIT
{
  echo "# NTIA/ITS LFMF smooth-earth validation values, 100 kHz rows (public domain)."
  echo "# Source: https://github.com/NTIA/LFMF tests/data/ValidationExampleLFMFSmoothEarth.csv"
  echo "# at commit $commit; made by tools/make-groundwave-testdata.sh."
  echo "# Both antennas at 0 m, 1000 W, Ns 315, vertical polarisation; method 0 flat earth, 1 residue series."
  echo "epsilon,sigma,d_km,E_dBuVm,method"
  curl -fsSL "$url" | tr -d '\r' |
    awk -F, -v types="$types" '
      BEGIN { n = split(types, t, " "); for (i = 1; i <= n; i++) wanted[t[i]] = 1 }
      $3 == "0.1" && $9 == "1" && $1 == "0" && $2 == "0" && $4 == "1000" && $5 == "315" &&
      (($7 "/" $8) in wanted) { print $7 "," $8 "," $6 "," $11 "," $13 }'
} >"$tmp"
mv "$tmp" "$out"
trap - EXIT
