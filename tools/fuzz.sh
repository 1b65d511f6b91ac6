#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each for a
# bounded time: tools/fuzz.sh [seconds-per-target] [target...]
# The seed corpus under fuzz/corpus/<name>/ is copied to a scratch corpus, so
# the repository stays unchanged; a crash leaves its input in build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
kestrune_install_packages

seconds="${1:-20}"
shift || true
if [ ! -f build-fuzz/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTRUNE_FUZZ=ON -DKESTRUNE_TESTS=OFF -DKESTRUNE_BENCH=OFF -DKESTRUNE_GUI=OFF
fi
cmake --build build-fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
mkdir -p build-fuzz/crashes
status=0
for t in "${targets[@]}"; do
  name="${t#fuzz_}"
  work="build-fuzz/corpus/$name"
  mkdir -p "$work"
  [ -d "fuzz/corpus/$name" ] && cp -n "fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
  echo "== fuzzing $t for ${seconds}s"
  # The working directory is a scratch folder: the setup-file target writes Kestrune.ini there.
  scratch=$(mktemp -d)
  if ! (cd "$scratch" && "$OLDPWD/build-fuzz/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$OLDPWD/build-fuzz/crashes/$name-" "$OLDPWD/$work" 2>&1 | tail -n 12); then
    status=1
  fi
  rm -rf "$scratch"
done
if [ $status -ne 0 ]; then
  echo "fuzzing found a failure: see build-fuzz/crashes/"
  exit 1
fi
echo "fuzzing: no failure"
