#!/usr/bin/env bash
# Installs what is missing, builds the program, its tests and benchmarks, and
# runs every test, then runs each fuzz target for a short bounded time.
# --sanitize: the test suite under AddressSanitizer and
# UndefinedBehaviorSanitizer (separate build directory, no fuzzing).
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
kestrune_install_packages
tools/check-format.sh

dir=build
opts=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  # Unoptimised, with line tables only: the instrumented build compiles in a
  # third of the time, and every check still runs.
  # The Python and R bindings load into interpreters that are not
  # instrumented; they are built and tested in the plain run.
  opts=(-DKESTRUNE_SANITIZE=ON -DKESTRUNE_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
        "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g1" -DKESTRUNE_PYTHON=OFF -DKESTRUNE_R=OFF)
fi
kestrune_configure "$dir" "${opts[@]}"
cmake --build "$dir"
export QT_QPA_PLATFORM=offscreen
if [ "$dir" = build-sanitize ]; then
  # Qt's own libraries are not instrumented; leaks inside them are not ours.
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
ctest --test-dir "$dir" --output-on-failure -j2
if [ "$dir" = build ]; then
  tools/fuzz.sh "${KESTRUNE_FUZZ_SECONDS:-20}"
fi
