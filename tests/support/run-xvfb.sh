#!/bin/sh
# Runs a test program in a virtual X server. Without the tools for one it says which is
# missing and exits 77, which CTest reports as a skipped test.
for tool in xvfb-run xauth; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed, so the window suite cannot run under X11" \
         "(scripts/install-deps.sh installs xvfb and xauth)"
    exit 77
  fi
done
exec xvfb-run -a -s "-screen 0 1280x800x24" "$@"
