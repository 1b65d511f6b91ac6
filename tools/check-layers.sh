#!/usr/bin/env bash
# The folders a front end may include from: the chart and the R and Python
# bindings stand on the computation library (loran/, with util/ and
# platform/ below it) and never on another front end.
#   check-layers.sh
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
check() {  # check <allowed-regex> <files...>
  local allowed="$1"
  shift
  local bad
  bad="$(grep -HnE '^#include "' "$@" | grep -vE "#include \"($allowed)/" || true)"
  if [ -n "$bad" ]; then
    echo "check-layers: includes from outside ($allowed):" >&2
    echo "$bad" >&2
    status=1
  fi
}
check 'chart|loran|util|platform' chart/*.cpp chart/*.hpp
check 'loran|util|platform' python/*.cpp r/kestrune/src/*.cpp
exit $status
