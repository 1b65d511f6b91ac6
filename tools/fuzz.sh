#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each for a
# bounded time, as many at once as there are processors:
# tools/fuzz.sh [seconds-per-target] [target...]
# The seed corpus under fuzz/corpus/<name>/ is copied to a scratch corpus, so
# the repository stays unchanged; a crash leaves its input in build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
kestrune_install_packages

seconds="${1:-20}"
shift || true
if [ ! -f build-fuzz/build.ninja ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
    -DKESTRUNE_FUZZ=ON -DKESTRUNE_TESTS=OFF -DKESTRUNE_BENCH=OFF -DKESTRUNE_GUI=OFF
fi
cmake --build build-fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
mkdir -p build-fuzz/crashes build-fuzz/logs

# One target on a scratch copy of its corpus, in a scratch working directory
# (the setup-file target writes Kestrune.ini there); its log goes to
# build-fuzz/logs/<name>.log.
fuzz_one() {
  local t="$1" name="${1#fuzz_}"
  local work="build-fuzz/corpus/$name" scratch top="$PWD"
  mkdir -p "$work"
  [ -d "fuzz/corpus/$name" ] && cp -n "fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
  scratch=$(mktemp -d)
  (cd "$scratch" && "$top/build-fuzz/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
     -artifact_prefix="$top/build-fuzz/crashes/$name-" "$top/$work" > "$top/build-fuzz/logs/$name.log" 2>&1)
  local result=$?
  rm -rf "$scratch"
  return $result
}

# As many targets at a time as there are processors.
jobs_max=$(nproc)
declare -A running=()
status=0
report() {
  local t="$1" result="$2"
  echo "== $t for ${seconds}s: $([ "$result" -eq 0 ] && echo "no failure" || echo FAILED)"
  tail -n 4 "build-fuzz/logs/${t#fuzz_}.log"
  [ "$result" -eq 0 ] || status=1
}
for t in "${targets[@]}"; do
  while [ ${#running[@]} -ge "$jobs_max" ]; do
    set +e
    wait -n -p done_pid
    result=$?
    set -e
    report "${running[$done_pid]}" "$result"
    unset "running[$done_pid]"
  done
  set +e
  fuzz_one "$t" &
  set -e
  running[$!]="$t"
done
for pid in "${!running[@]}"; do
  set +e
  wait "$pid"
  result=$?
  set -e
  report "${running[$pid]}" "$result"
done
if [ $status -ne 0 ]; then
  echo "fuzzing found a failure: see build-fuzz/crashes/"
  exit 1
fi
echo "fuzzing: no failure"
