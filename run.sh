#!/usr/bin/env bash
# Installs what is missing, builds the Release program and the command-line
# converter kestrune-convert, and starts the program.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
kestrune_install_packages
kestrune_configure build -DKESTRUNE_TESTS=OFF -DKESTRUNE_BENCH=OFF
cmake --build build --target kestrune kestrune-convert
exec ./build/app/kestrune
