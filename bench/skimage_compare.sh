#!/usr/bin/env bash
# Grid projection + FBP against scikit-image's radon + iradon, side by side, at
# 256^2 x 360 views x 363 bins and 512^2 x 720 x 725 (scikit-image's own bin counts for
# those images, circle=False):
#   ours:    quarvel-export reconstruction r.npy --image img.npy --views V --detectors M
#   skimage: radon(img, theta) then iradon(sinogram, theta, filter_name="ramp"), timed in
#            one Python process around the two calls only
# The image is the phantom sampled at the size (quarvel-export grid --grid-size N). Our
# figure is the median at V views minus the median at 1 view, which takes out the
# process start-up, reading the image, the metrics and writing the file; scikit-image's
# is the median of the timed calls. Wall time and processor time (user + system, all
# threads) are reported apart: on a shared machine the wall time includes waiting.
#   bench/skimage_compare.sh [REPS] [path/to/quarvel-export]
# (defaults 5, build-bench/src/app/quarvel-export or else build/src/app/quarvel-export).
# scikit-image is Debian's python3-skimage, run by the system's interpreter.
set -euo pipefail
cd "$(dirname "$0")/.."
reps=${1:-5}
ours=${2:-}
if [ -z "$ours" ]; then
  for candidate in build-bench/src/app/quarvel-export build/src/app/quarvel-export; do
    if [ -x "$candidate" ]; then ours=$candidate; break; fi
  done
fi
[ -n "$ours" ] && [ -x "$ours" ] || { echo "no quarvel-export (build it first)" >&2; exit 2; }
python=/usr/bin/python3
"$python" -c 'import skimage' 2>/dev/null && [ -x /usr/bin/time ] || ./scripts/install-deps.sh python3-skimage time
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=offscreen

timed() {  # prints "wall cpu" in seconds for one run of the command
  /usr/bin/time -f '%e %U %S' -o "$out/time" "$@" >/dev/null 2>&1
  awk '{printf "%s %.3f\n", $1, $2 + $3}' "$out/time"
}
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

echo "$reps repetitions, medians in seconds; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-22s %-8s %9s %9s\n' case tool wall cpu
for plan in 256:360:363 512:720:725; do
  IFS=: read -r n views bins <<<"$plan"
  "$ours" grid "$out/img$n.npy" --grid-size "$n"
  : >"$out/runs"
  for ((r = 0; r < reps; r++)); do
    for v in "$views" 1; do
      echo "$v $(timed "$ours" reconstruction "$out/r.npy" --image "$out/img$n.npy" --views "$v" --detectors "$bins")" >>"$out/runs"
    done
  done
  fig() { awk -v v="$1" -v c="$2" '$1 == v {print $c}' "$out/runs" | median; }
  ours_wall=$(echo "$(fig "$views" 2) - $(fig 1 2)" | bc -l)
  ours_cpu=$(echo "$(fig "$views" 3) - $(fig 1 3)" | bc -l)
  # numpy runs without the OpenBLAS overrides this machine may set (they slow it).
  read -r sk_wall sk_cpu sk_bins < <(env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE "$python" - "$out/img$n.npy" "$views" "$reps" <<'PY'
import sys, time, warnings
import numpy as np
from skimage.transform import radon, iradon
warnings.simplefilter("ignore")
img = np.load(sys.argv[1]); views = int(sys.argv[2]); reps = int(sys.argv[3])
theta = np.arange(views) * 180.0 / views
walls, cpus = [], []
for _ in range(reps):
    w, c = time.perf_counter(), time.process_time()
    s = radon(img, theta=theta, circle=False)
    iradon(s, theta=theta, filter_name="ramp", circle=False, output_size=img.shape[0])
    walls.append(time.perf_counter() - w); cpus.append(time.process_time() - c)
print(np.median(walls), np.median(cpus), s.shape[0])
PY
)
  [ "$sk_bins" = "$bins" ] || echo "note: scikit-image used $sk_bins bins, ours $bins"
  printf '%-22s %-8s %9.3f %9.3f\n' "${n}^2 x $views x $bins" ours "$ours_wall" "$ours_cpu"
  printf '%-22s %-8s %9.3f %9.3f\n' "${n}^2 x $views x $bins" skimage "$sk_wall" "$sk_cpu"
  echo "ratio skimage / ours: $(echo "scale=1; $sk_wall / $ours_wall" | bc -l) wall, $(echo "scale=1; $sk_cpu / $ours_cpu" | bc -l) processor"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
