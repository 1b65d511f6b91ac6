#!/usr/bin/env bash
# Saves pictures of both windows to docs/: the setup dialog with three LOPs
# of chain 9007 picked (docs/setup-dialog.png) and the calculation window
# after a three-LOP position solution at 64 N 4 E (docs/calc-window.png),
# and the chart of the worked solution (docs/chart.png: LOPs 9007 W, X and
# Y, TDs copied from CALC TD est at 64 N 4 E, solved from 63 30 N 3 E).
# The GUI test program drives the real widgets and draws them with Qt's
# offscreen platform, so no display is needed.
#   --review            instead, the pictures for a review in docs/review/:
#                       both windows and the chart as they open on an X
#                       server (Xvfb) of 1280 x 1024 pixels, at 1x and 2x
#   KESTRUNE_BUILD_DIR  build directory to use (default build-screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
dir="${KESTRUNE_BUILD_DIR:-build-screenshots}"
if [ "${1:-}" = "--review" ]; then
  kestrune_install_packages xvfb xauth
  kestrune_configure "$dir" -DKESTRUNE_GUI=ON -DKESTRUNE_TESTS=ON -DKESTRUNE_BENCH=OFF
  cmake --build "$dir" --target app_keyboard_tests
  mkdir -p docs/review
  for scale in 1 2; do
    KESTRUNE_REVIEW_DIR="$PWD/docs/review" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale \
      xvfb-run -a -s "-screen 0 1280x1024x24" "$dir/app/app_keyboard_tests" reviewPictures
  done
  ls -l docs/review/*-[12]x.png
  exit 0
fi
kestrune_install_packages
kestrune_configure "$dir" -DKESTRUNE_GUI=ON -DKESTRUNE_TESTS=ON -DKESTRUNE_BENCH=OFF
cmake --build "$dir" --target app_session_tests app_chart_tests
mkdir -p docs
KESTRUNE_SCREENSHOT_DIR="$PWD/docs" QT_QPA_PLATFORM=offscreen \
  "$dir/app/app_session_tests" screenshots
KESTRUNE_SCREENSHOT_DIR="$PWD/docs" QT_QPA_PLATFORM=offscreen \
  "$dir/app/app_chart_tests" screenshot
ls -l docs/setup-dialog.png docs/calc-window.png docs/chart.png
