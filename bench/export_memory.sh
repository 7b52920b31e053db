#!/usr/bin/env bash
# Peak resident memory of the export tool for large charts, measured with
# /usr/bin/time -v (a memory figure, not a timing). The largest chart, 8000 x 8000,
# must hold at most one frame (256 MB of 32-bit pixels) plus the PNG encoder's working
# memory: at most 300 MB peak. Exits 1 when the limit is passed.
#   bench/export_memory.sh [path/to/quarvel-export]      (default: build/src/app/quarvel-export)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${1:-build/src/app/quarvel-export}
[ -x "$tool" ] || { echo "no export tool at $tool (run make build first)" >&2; exit 2; }
[ -x /usr/bin/time ] || ./scripts/install-deps.sh time
limit_kib=$((300 * 1000 * 1000 / 1024))
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
status=0
printf '%-12s %-10s %14s %14s\n' size resolution "peak RSS KiB" "frame KiB"
for case in 651x302:512x512 2000x2000:512x512 8000x8000:128x128 8000x8000:512x512; do
  size=${case%%:*} resolution=${case##*:}
  w=${size%%x*} h=${size##*x}
  peak=$(/usr/bin/time -v "$tool" chart "$out/chart.png" --size "$size" --resolution "$resolution" 2>&1 >/dev/null |
         awk -F': ' '/Maximum resident set size/ {print $2}')
  printf '%-12s %-10s %14s %14s\n' "$size" "$resolution" "$peak" $((w * h * 4 / 1024))
  if [ "$w" -eq 8000 ] && [ "$h" -eq 8000 ] && [ "$peak" -gt "$limit_kib" ]; then
    echo "over the limit: $peak KiB > $limit_kib KiB (300 MB)" >&2
    status=1
  fi
done
exit $status
