#!/usr/bin/env bash
# Grid projection + FBP against the CT simulator ctsim, side by side in one run:
#   ours:  tomo_chain VIEWS             (the built-in phantom, 128 x 128, 182 bins)
#   ctsim: phm2pj OUT.pj 182 VIEWS --phantom shepp-logan
#          pjrec OUT.pj OUT.if 128 128 --filter-method rfftw
# and then in fan beam, over a full turn with an arc (equiangular) detector:
#   ours:  tomo_chain VIEWS 0 fan-arc   (R = D = 256 pixels, 188 bins)
#   ctsim: phm2pj OUT.pj 188 VIEWS --phantom shepp-logan --geometry equiangular
#          (its focal length twice the view's radius, its full turn), then pjrec as above
# Each is run REPS times at VIEWS and at 1 view, alternating; a tool's time is the median
# at VIEWS minus the median at 1 view, which takes out its process start-up (loading,
# the phantom, the output file's set-up). Wall time (both cores for ours: ctsim runs in
# one thread) and processor time (user + system, all threads) are reported apart: on a
# shared machine the wall time includes waiting for a processor, the processor time not.
#   bench/ctsim_compare.sh [VIEWS] [REPS] [path/to/tomo_chain]
# (defaults 3600, 7, build-bench/bench/tomo_chain or else build/bench/tomo_chain).
# ctsim is a Debian package: without it, the script installs it (scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
views=${1:-3600}
reps=${2:-7}
ours=${3:-}
if [ -z "$ours" ]; then
  for candidate in build-bench/bench/tomo_chain build/bench/tomo_chain; do
    if [ -x "$candidate" ]; then ours=$candidate; break; fi
  done
fi
[ -n "$ours" ] && [ -x "$ours" ] || { echo "no tomo_chain (run make bench first)" >&2; exit 2; }
command -v pjrec >/dev/null && command -v bc >/dev/null && [ -x /usr/bin/time ] || ./scripts/install-deps.sh ctsim time bc
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Prints "wall cpu" in seconds for one run of the command.
timed() {
  /usr/bin/time -f '%e %U %S' -o "$out/time" "$@" >/dev/null 2>&1
  awk '{printf "%s %.3f\n", $1, $2 + $3}' "$out/time"
}
ctsim_run() {
  phm2pj "$out/p.pj" 182 "$1" --phantom shepp-logan && pjrec "$out/p.pj" "$out/p.if" 128 128 --filter-method rfftw
}
ctsim_fan() {
  phm2pj "$out/p.pj" 188 "$1" --phantom shepp-logan --geometry equiangular &&
    pjrec "$out/p.pj" "$out/p.if" 128 128 --filter-method rfftw
}
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

figure() {  # tool views column(3 = wall, 4 = cpu)
  awk -v t="$1" -v n="$2" -v c="$3" '$1 == t && $2 == n {print $c}' "$out/runs" | median
}

# compare GEOMETRY CTSIM_FUNCTION: both tools alternately, then the table.
compare() {
  local geometry=$1 ctsim=$2
  : >"$out/runs"
  for ((r = 0; r < reps; r++)); do
    for n in "$views" 1; do
      echo "ours $n $(timed "$ours" "$n" 0 "$geometry")" >>"$out/runs"
      echo "ctsim $n $(timed bash -c "$(declare -f "$ctsim"); out=$out; $ctsim $n")" >>"$out/runs"
    done
  done

  echo "$geometry: views $views, $reps repetitions, medians in seconds; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
  printf '%-6s %-5s %10s %10s %14s\n' tool time "at $views" "at 1" "difference"
  for column in 3 4; do
    kind=$([ $column = 3 ] && echo wall || echo cpu)
    for tool in ours ctsim; do
      a=$(figure $tool "$views" $column) b=$(figure $tool 1 $column)
      printf '%-6s %-5s %10.3f %10.3f %14.3f\n' $tool $kind "$a" "$b" "$(echo "$a - $b" | bc -l)"
      eval "d_${tool}_${kind}=$(echo "$a - $b" | bc -l)"
    done
    # shellcheck disable=SC2154
    echo "ratio ctsim / ours ($kind): $(echo "scale=1; $(eval echo "\$d_ctsim_$kind") / $(eval echo "\$d_ours_$kind")" | bc -l)"
  done
}

compare parallel ctsim_run
compare fan-arc ctsim_fan
