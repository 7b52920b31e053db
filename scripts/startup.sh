#!/usr/bin/env bash
# Process spawn to the first painted chart frame of quarvel-view, RUNS times (default
# 10) on Qt's offscreen platform and under a virtual X server, with the median.
#
# The clock starts in this shell just before the program is spawned (bash's own
# $EPOCHREALTIME, no extra process); the program, started with
# QUARVEL_EXIT_AFTER_FIRST_FRAME set, prints the wall-clock time once the chart's
# first frame has been painted and handed to the window system, and quits.
#
#   scripts/startup.sh [path/to/quarvel-view] [runs]
set -euo pipefail

program=${1:-build-bench/src/app/quarvel-view}
runs=${2:-10}
[[ -x $program ]] || { echo "startup.sh: no program at $program (run make bench first)" >&2; exit 2; }

export QT_FONT_DPI=96 QT_ENABLE_HIGHDPI_SCALING=0 DBUS_SESSION_BUS_ADDRESS=disabled:
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
server=
cleanup() {
  [[ -n $server ]] && { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true; }
  rm -rf "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

measure() {  # prints one time in ms per run
  local i start line end
  for ((i = 0; i < runs; ++i)); do
    start=${EPOCHREALTIME/./}
    line=$(QUARVEL_EXIT_AFTER_FIRST_FRAME=1 "$program" | grep '^first-frame ')
    end=${line#first-frame }
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f\n", (b - a) / 1000 }'
  done
}

report() {  # name, then the times
  local name=$1; shift
  printf '%-10s median %6s ms   runs: %s\n' "$name" "$(printf '%s\n' "$@" | median)" "$*"
}

mapfile -t offscreen < <(QT_QPA_PLATFORM=offscreen measure)
report offscreen "${offscreen[@]}"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do
  DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
mapfile -t xcb < <(DISPLAY=$display QT_QPA_PLATFORM=xcb measure)
report xvfb "${xcb[@]}"
