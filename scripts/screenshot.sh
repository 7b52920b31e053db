#!/usr/bin/env bash
# Makes docs/screenshot.png: starts the program in a virtual X server, waits for its
# window and photographs it (without a window manager the window sits at its designed
# position, without decorations).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh xvfb xauth x11-utils imagemagick
make build >/dev/null

out=${1:-docs/screenshot.png}
mkdir -p "$(dirname "$out")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/shoot.sh" <<SHOOT
#!/usr/bin/env bash
set -eu
QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled: ./build/src/app/quarvel-view &
app=\$!
for _ in \$(seq 1 100); do
  xwininfo -name "Quarvel view" >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 0.5
at=\$(xwininfo -name "Quarvel view" | awk '/Absolute upper-left X/ {x = \$4} /Absolute upper-left Y/ {y = \$4} END {print x "+" y}')
/usr/bin/import -window root -crop 651x482+\$at +repage "$work/shot.png"  # +repage: no page offset in the PNG
kill \$app
SHOOT
chmod +x "$work/shoot.sh"
xvfb-run -a -s "-screen 0 1280x800x24" "$work/shoot.sh"
cp "$work/shot.png" "$out"
echo "wrote $out"
