#!/usr/bin/env bash
# Checks that every C++ source in the tree is formatted as .clang-format says; prints
# the files that are not and exits 1. With --fix, formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=clang-format-14
command -v "$formatter" >/dev/null || formatter=clang-format
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- 'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' \
                       'bench/*.h' 'bench/*.cpp' 'fuzz/*.h' 'fuzz/*.cpp' 'python/*.h' 'python/*.cpp')
if [ "${1:-}" = "--fix" ]; then
  "$formatter" -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  if ! "$formatter" --dry-run -Werror "$f" >/dev/null 2>&1; then
    bad+=("$f")
  fi
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "not formatted (run scripts/check-format.sh --fix):"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
echo "format: ${#files[@]} files formatted"
