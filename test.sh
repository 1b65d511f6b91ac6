#!/usr/bin/env bash
# Installs what is missing, builds the program, its tests and benchmarks, and
# runs every test. --sanitize: the same under AddressSanitizer and
# UndefinedBehaviorSanitizer (separate build directory).
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
kestrune_install_packages

dir=build
opts=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  opts=(-DKESTRUNE_SANITIZE=ON -DKESTRUNE_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi
kestrune_configure "$dir" "${opts[@]}"
cmake --build "$dir"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure -j2
