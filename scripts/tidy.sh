#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy on the C++ sources changed relative to a
# base (default: the merge base with origin/main, or HEAD~1 when that is HEAD itself; the
# working tree counts, so uncommitted changes are checked too), or on every source with
# --all. Any finding fails the run (.clang-tidy makes every warning an error).
#   scripts/tidy.sh [--all] [base]        environment: BUILD_DIR (default build), JOBS (default 2)
# The compiler flags come from the build folder's compile_commands.json; when the folder
# has none yet it is configured (not built: clang-tidy needs no objects, and the only
# generated header is written at configure time). A changed header is checked through
# the sources of the build that include it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
jobs=${JOBS:-2}
tidy=clang-tidy-14
command -v "$tidy" >/dev/null || tidy=clang-tidy
command -v "$tidy" >/dev/null || { echo "tidy: clang-tidy-14 not found (./scripts/install-deps.sh clang-tidy-14)"; exit 2; }

all=false
base=
for arg in "$@"; do
  case "$arg" in
    --all) all=true ;;
    -*) echo "usage: scripts/tidy.sh [--all] [base]"; exit 2 ;;
    *) base=$arg ;;
  esac
done

if [ ! -f "$build/compile_commands.json" ]; then
  cmake -S . -B "$build" -G Ninja >/dev/null
fi
# The sources the build compiles, relative to the top folder.
mapfile -t built < <(python3 - "$build/compile_commands.json" "$PWD" <<'EOF'
import json, os, sys
top = sys.argv[2]
for f in sorted({os.path.relpath(os.path.join(e["directory"], e["file"]), top)
                 for e in json.load(open(sys.argv[1]))}):
    if f.split("/")[0] in ("src", "tests", "bench", "fuzz", "python"):
        print(f)
EOF
)

if ! $all && [ -z "$base" ]; then
  # A branch is checked against where it left main; main itself (or a clone whose
  # origin/main is this very commit) against its last commit. A clone without the
  # parent commit (shallow) has nothing to diff against, so everything is checked.
  if git rev-parse -q --verify origin/main >/dev/null; then
    base=$(git merge-base HEAD origin/main)
  fi
  if [ -z "$base" ] || [ "$(git rev-parse "$base")" = "$(git rev-parse HEAD)" ]; then
    base=HEAD~1
  fi
  if ! git rev-parse -q --verify "$base^{commit}" >/dev/null; then
    echo "tidy: no base commit to compare with, checking every source"
    all=true
  fi
fi

if $all; then
  files=("${built[@]}")
else
  mapfile -t changed < <(git diff --name-only --diff-filter=d "$base" -- \
                           'src/*' 'tests/*' 'bench/*' 'fuzz/*' | grep -E '\.(h|cpp)$' || true)
  files=()
  for f in "${changed[@]}"; do
    case "$f" in
      *.cpp)
        if printf '%s\n' "${built[@]}" | grep -qxF "$f"; then
          files+=("$f")
        else
          echo "tidy: $f is not compiled in $build, skipped"
        fi
        ;;
      *.h)
        # The sources that include the header by its name (includes are written from
        # src/ or from the test support folders, so the file name is what they share).
        name=$(basename "$f")
        mapfile -t users < <(grep -lE "^#include \"([^\"]*/)?${name//./\\.}\"" "${built[@]}" || true)
        [ ${#users[@]} -eq 0 ] && echo "tidy: no compiled source includes $f, skipped"
        files+=("${users[@]}")
        ;;
    esac
  done
  mapfile -t files < <(printf '%s\n' "${files[@]}" | sed '/^$/d' | sort -u)
fi

if [ ${#files[@]} -eq 0 ]; then
  echo "tidy: no C++ source to check"
  exit 0
fi
echo "tidy: ${#files[@]} sources"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# One clang-tidy per source; xargs exits non-zero when any of them found something.
if printf '%s\n' "${files[@]}" | xargs -P "$jobs" -n 1 "$tidy" -p "$build" --quiet >"$log" 2>&1; then
  echo "tidy: no findings"
else
  grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^Error while processing' "$log" || true
  echo "tidy: findings above (fix them, or NOLINT(check) with the reason where the code is right)"
  exit 1
fi
