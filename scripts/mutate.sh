#!/usr/bin/env bash
# Plants faults one at a time in a scratch copy of the tracked sources, rebuilds what
# changed, runs the test suite and reports, per source folder, which faults the tests
# caught and which survived. The faults are listed in scripts/mutants.txt, one a line:
#     <file> @@ <text as it stands in the file> @@ <text it becomes>
# ("\n" in either text stands for a line break; the first occurrence is replaced).
#   scripts/mutate.sh [fault-number ...]      (default: every fault of the list)
#   scripts/mutate.sh --check                 (only that every fault's text is still there)
# Environment: MUTATE_DIR (scratch folder, default build-mutate), JOBS (default 2),
# MUTATE_EXCLUDE (a ctest -E pattern of tests to leave out, for example the slow
# packaging and include checks when no fault of the run touches what they check).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
list="$root/scripts/mutants.txt"

# Every fault's text must stand in its file, or the fault would plant nothing: a change
# of the code that moves or rewrites a line the list names must rewrite the list too.
check_texts() {
  local n=0 missing=0 line file rest
  while IFS= read -r line; do
    [[ -z "$line" || "$line" == \#* ]] && continue
    n=$((n + 1))
    file="${line%% @@ *}"
    rest="${line#* @@ }"
    if ! MUT_FROM="${rest%% @@ *}" perl -0 -ne 'BEGIN { $f = $ENV{MUT_FROM} =~ s/\\n/\n/gr } $found ||= index($_, $f) >= 0; END { exit !$found }' \
        "$root/$file" 2>/dev/null; then
      echo "fault $n: text not found in $file" >&2
      missing=$((missing + 1))
    fi
  done <"$list"
  echo "$n faults, $missing whose text is not found"
  [ "$missing" -eq 0 ]
}
if [ "${1:-}" = "--check" ]; then
  check_texts
  exit
fi
check_texts >/dev/null
./scripts/install-deps.sh
scratch="${MUTATE_DIR:-$root/build-mutate}"
jobs="${JOBS:-2}"

# A fresh copy of what git tracks (also the working tree's uncommitted edits), and one
# build tree that every fault reuses.
rm -rf "$scratch/src"
mkdir -p "$scratch/src"
git ls-files -z | xargs -0 cp --parents -t "$scratch/src"
# The run reads the list from its own copy: the list may be edited meanwhile.
list="$scratch/src/scripts/mutants.txt"
cmake -S "$scratch/src" -B "$scratch/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 \
  -DQUARVEL_BUILD_BENCH=OFF -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
echo "== building the unchanged copy"
cmake --build "$scratch/build" -j "$jobs" >/dev/null
exclude=()
[ -n "${MUTATE_EXCLUDE:-}" ] && exclude=(-E "$MUTATE_EXCLUDE")
# A test that takes over 300 s (without a limit of its own) counts as failing; so does
# a suite over an hour, which a fault that makes a test hang would otherwise be.
run_suite() { (cd "$scratch/build" && timeout 3600 ctest -j "$jobs" --timeout 300 --stop-on-failure "${exclude[@]}" >/dev/null 2>&1); }
if ! run_suite; then
  echo "the suite fails without any planted fault: nothing to measure" >&2
  exit 1
fi

declare -A caught total
survivors=()
n=0
while IFS= read -r line; do
  [[ -z "$line" || "$line" == \#* ]] && continue
  n=$((n + 1))
  if [ $# -gt 0 ] && [[ " $* " != *" $n "* ]]; then continue; fi
  file="${line%% @@ *}"
  rest="${line#* @@ }"
  export MUT_FROM="${rest%% @@ *}" MUT_TO="${rest#* @@ }"
  folder="$(dirname "$file")"
  target="$scratch/src/$file"
  cp "$target" "$target.orig"
  if ! perl -0 -i -pe 'BEGIN { ($f, $t) = map { s/\\n/\n/gr } @ENV{qw(MUT_FROM MUT_TO)} } $done += s/\Q$f\E/$t/ unless $done; END { exit !$done }' "$target"; then
    echo "fault $n: text not found in $file" >&2
    mv "$target.orig" "$target"
    exit 1
  fi
  total[$folder]=$((${total[$folder]:-0} + 1))
  if ! cmake --build "$scratch/build" -j "$jobs" >/dev/null 2>&1; then
    verdict="caught (does not build)"
  elif run_suite; then
    verdict="SURVIVED"
  else
    verdict="caught"
  fi
  if [ "$verdict" = SURVIVED ]; then survivors+=("$n $file: ${MUT_FROM} -> ${MUT_TO}")
  else caught[$folder]=$((${caught[$folder]:-0} + 1)); fi
  echo "fault $n ($file): $verdict"
  # Back to the original text; the next build recompiles it with the next fault.
  mv "$target.orig" "$target"
  touch "$target"
done <"$list"

echo
echo "== caught per folder"
for folder in $(printf '%s\n' "${!total[@]}" | sort); do
  printf '%-24s %3d of %3d\n' "$folder" "${caught[$folder]:-0}" "${total[$folder]}"
done
if [ ${#survivors[@]} -gt 0 ]; then
  echo "== survivors"
  printf '%s\n' "${survivors[@]}"
fi
cmake --build "$scratch/build" -j "$jobs" >/dev/null 2>&1 || true
