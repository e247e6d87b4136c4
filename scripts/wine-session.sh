#!/bin/bash
# Runs a command inside one Wine session of a build tree: one private Xvfb
# display, the tree's own 32-bit prefix, and one persistent wineserver for
# the whole command, so that each Windows process starts warm.
#   scripts/wine-session.sh <build-dir> <command> [args...]
set -euo pipefail

BUILD=$(cd "$1" && pwd); shift

[ -f "$BUILD/wine-env.sh" ] || { echo "$BUILD is no configured Windows build tree" >&2; exit 1; }
. "$BUILD/wine-env.sh"

XVFB_PID=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
  rm -f "$BUILD/.xvfb-display"
}
trap cleanup EXIT

# A display number of its own: fixed numbers may be taken by other sessions.
rm -f "$BUILD/.xvfb-display"
exec 3>"$BUILD/.xvfb-display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$BUILD/.xvfb-display" ] && break
  sleep 0.1
done
[ -s "$BUILD/.xvfb-display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$BUILD/.xvfb-display")

# One persistent server for the whole command. Booting the prefix under it
# also starts Wine's services with their output detached, so that no test
# process hands its pipes to them.
wineserver -k >/dev/null 2>&1 || true
mkdir -p "$WINEPREFIX"
wineserver -p
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$VELMOR_WINE" wineboot -i </dev/null >/dev/null 2>&1
else
  "$VELMOR_WINE" wineboot </dev/null >/dev/null 2>&1
fi
"$@"
