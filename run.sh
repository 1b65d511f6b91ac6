#!/usr/bin/env bash
# Installs what is missing, builds the Release program and starts it.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
kestrune_install_packages
kestrune_configure build -DKESTRUNE_TESTS=OFF -DKESTRUNE_BENCH=OFF
cmake --build build --target kestrune
exec ./build/app/kestrune
