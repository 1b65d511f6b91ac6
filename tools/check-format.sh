#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what the committed .clang-format
# makes of it, and names the files. Tests parked in tests_old/ (not built)
# are left out.
set -euo pipefail
cd "$(dirname "$0")/.."
bad=()
while IFS= read -r f; do
  if ! clang-format --style=file "$f" | cmp -s - "$f"; then bad+=("$f"); fi
done < <(git ls-files '*.cpp' '*.hpp' ':!:*/tests_old/*')
if [ ${#bad[@]} -gt 0 ]; then
  echo "not formatted by .clang-format (run: clang-format -i <file>):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
