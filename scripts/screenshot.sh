#!/usr/bin/env bash
# Makes docs/screenshot.png: starts the program in a virtual X server, waits for its
# window and photographs it (without a window manager the window sits at its designed
# position, without decorations). `screenshot.sh bench [OUT]` photographs the
# reconstruction bench instead (docs/screenshot-bench.png), opened with --bench on a
# 1920 x 1080 screen once its first result is shown.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh xvfb xauth x11-utils imagemagick
make build >/dev/null

window="Quarvel view"
args=""
settle=0.5
screen=1280x800
if [ "${1:-}" = bench ]; then
  shift
  window="Reconstruction bench — Quarvel view"
  args=--bench
  settle=2.5
  screen=1920x1080
  out=${1:-docs/screenshot-bench.png}
else
  out=${1:-docs/screenshot.png}
fi
mkdir -p "$(dirname "$out")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/shoot.sh" <<SHOOT
#!/usr/bin/env bash
set -eu
QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled: ./build/src/app/quarvel-view $args &
app=\$!
for _ in \$(seq 1 100); do
  xwininfo -name "$window" >/dev/null 2>&1 && break
  sleep 0.1
done
sleep $settle
at=\$(xwininfo -name "$window" | awk '/Absolute upper-left X/ {x = \$4} /Absolute upper-left Y/ {y = \$4} /Width:/ {w = \$2} /Height:/ {h = \$2} END {print w "x" h "+" x "+" y}')
/usr/bin/import -window root -crop \$at +repage "$work/shot.png"  # +repage: no page offset in the PNG
kill \$app
SHOOT
chmod +x "$work/shoot.sh"
xvfb-run -a -s "-screen 0 ${screen}x24" "$work/shoot.sh"
cp "$work/shot.png" "$out"
echo "wrote $out"
