#!/usr/bin/env bash
# Runs every fuzz target for a long time, two at a time (one per core):
# tools/fuzz-long.sh [seconds-per-target]   (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
tools/fuzz.sh 1 >/dev/null  # build, and check each target starts
mkdir -p build-fuzz/logs
targets=()
for f in fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for t in "${targets[@]:i:2}"; do
    tools/fuzz.sh "$seconds" "$t" >"build-fuzz/logs/$t.log" 2>&1 &
    pids+=($!)
  done
  for p in "${pids[@]}"; do wait "$p" || status=1; done
done
grep -H -E 'Done [0-9]+ runs|fuzzing' build-fuzz/logs/*.log
exit $status
