#!/bin/bash
# The demo: what velmor does, end to end, on this machine.
#
# Installs what is missing, builds the launcher, the publisher, the sample
# game and a small update server, publishes a sample product (the launcher
# itself, the game library with its setting file, three data files), serves
# it from a loopback nginx and the update server, and runs velmor.exe under
# Wine on a private X display with a configuration that points at them.
# velmor updates itself first and restarts, then brings the game's files up
# to date with its progress bars, shows the login page (a stand-in browser
# registered in the Wine prefix, whose page reports the player logged in
# after a while), loads and steps the sample game and runs it in its window. A screenshot of the screen is saved at each
# phase; the folder is named at the end. The exit code is not 0 when a phase
# did not happen.
#
#   scripts/demo.sh            everything, from a fresh clone
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
JOBS=${JOBS:-$(nproc)}

if [ "${1:-}" = "--inside" ]; then
  shift
else
  "$ROOT/scripts/setup.sh"
  can_run_32bit() {
    [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
  }
  if can_run_32bit; then TRIPLET=i686-w64-mingw32; TREE=$ROOT/build/i686
  else
    echo "== this machine cannot execute 32-bit x86 code: the demo runs the x86_64 build under wine64"
    TRIPLET=x86_64-w64-mingw32; TREE=$ROOT/build/x86_64
  fi
  PREFIX=$("$ROOT/scripts/build-deps.sh" "$TRIPLET" | tail -n1)
  echo "== build: $TREE"
  cmake -S "$ROOT" -B "$TREE" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$TRIPLET.cmake" \
        -DVELMOR_DEPS_PREFIX="$PREFIX" >/dev/null
  cmake --build "$TREE" -j "$JOBS" --target velmor publisher game demo_update_server \
        standin_browser_server
  # A prefix of the demo's own: the stand-in browser it registers must not
  # reach the tests, which register theirs inside their own processes.
  export VELMOR_WINEPREFIX=$ROOT/build/demo-wineprefix
  exec "$ROOT/scripts/wine-session.sh" "$TREE" "$ROOT/scripts/demo.sh" --inside "$TREE"
fi

TREE=$1
. "$TREE/wine-env.sh"
WINE=$VELMOR_WINE
. "$ROOT/tests/fixtures/loopback-nginx.sh"
nginx_setup
# The shipped strings are Chinese; Wine's default fonts have no such glyphs,
# so the font that Wine links in for them is served by Debian's WenQuanYi.
"$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /d 'WenQuanYi Micro Hei' /f \
  >/dev/null 2>&1 || true

DEMO=$ROOT/build/demo
SHOTS=$DEMO/screenshots
rm -rf "$DEMO"
mkdir -p "$DEMO/resources/data" "$DEMO/www" "$DEMO/run" "$SHOTS"
PRODUCT=velmordemo

echo "== publish the sample product"
cp "$TREE/launcher/velmor.exe" "$DEMO/resources/velmor.exe"
cp "$TREE/tools/samplegame/game.dll" "$DEMO/resources/game.dll"
cat > "$DEMO/resources/samplegame.ini" <<'INI'
init_pending=1
step.1=0,0,0,0.2
step.2=0,0,0,0.5
step.3=0,0,0,0.8
draw=1
INI
for name in world music art; do head -c $((8 * 1024 * 1024)) /dev/urandom > "$DEMO/resources/data/$name.dat"; done
cat > "$DEMO/manifest.txt" <<MANIFEST
product $PRODUCT
serverversion 1
file velmor.exe 1 0
loose game.dll 1 0 path=game.dll
loose samplegame.ini 1 0 path=samplegame.ini
file data/world.dat 1 0
file data/music.dat 1 0
file data/art.dat 1 0
MANIFEST
(cd "$DEMO" && "$WINE" "$TREE/tools/publisher/publisher.exe" manifest.txt resources www) ||
  { echo "the publisher failed" >&2; exit 1; }

echo "== serve it: nginx for downloads, an update server for the product query"
nginx_start "$DEMO/www" || { echo "nginx did not start" >&2; exit 1; }
PORT_FILE=$DEMO/update-server.port
(cd "$DEMO" && exec "$WINE" "$TREE/tools/demoupdateserver/demo_update_server.exe" \
   "$PRODUCT" 1 "http://127.0.0.1:$NGINX_PORT/" update-server.port) &
UPDATE_SERVER_PID=$!
for _ in $(seq 200); do [ -s "$PORT_FILE" ] && break; sleep 0.05; done
[ -s "$PORT_FILE" ] || { echo "the update server did not start" >&2; exit 1; }
UPDATE_PORT=$(tr -d '\r\n' < "$PORT_FILE")
echo "   downloads on 127.0.0.1:$NGINX_PORT, update server on 127.0.0.1:$UPDATE_PORT"

cp "$TREE/launcher/velmor.exe" "$DEMO/run/velmor.exe"
cat > "$DEMO/run/velmor.cfg" <<CFG
# The demo's configuration: the launcher runs where it is and updates from
# the loopback servers.
ProductName=$PRODUCT
RunPlace=2
UpdaterFileName=velmor.exe
UpdateThreadCount=1
MaxPackageSize=268435456
MaxDeltaPackageSize=16777216
UpdateServer=127.0.0.1:$UPDATE_PORT
UpdateFile=game.dll
UpdateFile=samplegame.ini
UpdateFile=data/world.dat
UpdateFile=data/music.dat
UpdateFile=data/art.dat
UpdateEnable=true
LoginEnable=true
LoginUrl=http://127.0.0.1:$NGINX_PORT/login.html
StatEnable=false
CFG

echo "== the login page: the stand-in browser answers the login after a while"
STANDIN=$TREE/tests/fixtures/standinbrowser/standinbrowser.dll
"$WINE" regsvr32 /s "Z:${STANDIN//\//\\}" ||
  { echo "the stand-in browser could not be registered" >&2; exit 1; }
export VELMOR_STANDIN_RESULT="xLogin=success;ServerAddress=127.0.0.1:$NGINX_PORT;Account=demo;ServerIndex=1"
export VELMOR_STANDIN_PENDING="Login=pending"
export VELMOR_STANDIN_POLLS=2500
export VELMOR_STANDIN_COLOR=3366cc
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;standinbrowser=n"

echo "== run velmor.exe on display $DISPLAY"
LOG=$DEMO/run/gameupdater.log
GAME_LOG=$DEMO/run/samplegame.log
(cd "$DEMO/run" && exec "$WINE" velmor.exe) &
VELMOR_PID=$!

stop_all() {
  rm -f "$PORT_FILE"
  wineserver -k >/dev/null 2>&1 || true
  wait "$UPDATE_SERVER_PID" 2>/dev/null || true
  nginx_cleanup
}
trap stop_all EXIT

# Phase name, and the file and text that show it has begun.
PHASES=(
  "01-self-update|$LOG|The launcher itself is out of date."
  "02-restart|$LOG|Started to check the installation."
  "03-resource-update|$LOG|Update phase started."
  "04-update-finished|$LOG|Update finished."
  "05-login-page|$LOG|Waiting for the login."
  "06-logged-in|$LOG|Login detected."
  "07-loading-game|$LOG|The game library is loaded."
  "08-game-running|$GAME_LOG|Activate flag="
)
declare -A SEEN
shot() { import -window root "$1" 2>/dev/null || xwd -root -silent | convert xwd:- "$1"; }
frame=0
deadline=$((SECONDS + 180))
restarted=0
while [ $SECONDS -lt $deadline ]; do
  shot "$DEMO/frame.png"
  frame=$((frame + 1))
  # Frames during the resource update show the bars moving.
  if [ -n "${SEEN[03-resource-update]:-}" ] && [ -z "${SEEN[04-update-finished]:-}" ]; then
    cp "$DEMO/frame.png" "$SHOTS/03-resource-update-$(printf %03d $frame).png"
  fi
  for phase in "${PHASES[@]}"; do
    IFS='|' read -r name file text <<<"$phase"
    [ -n "${SEEN[$name]:-}" ] && continue
    # The restarted launcher starts a new log, which says it came after a
    # self-update: the later phases count only there.
    case $name in
      03-*|04-*|05-*|06-*|07-*)
        grep -qa "Started to check the installation." "$LOG" 2>/dev/null || continue ;;
    esac
    if [ -f "$file" ] && grep -qa "$text" "$file"; then
      SEEN[$name]=1
      cp "$DEMO/frame.png" "$SHOTS/$name.png"
      echo "   phase $name"
    fi
  done
  if [ -n "${SEEN[08-game-running]:-}" ]; then
    sleep 1
    shot "$SHOTS/09-game-window.png"
    break
  fi
  sleep 0.3
done

# A first launcher too quick to be caught: its restart shows it updated
# itself.
if [ -z "${SEEN[01-self-update]:-}" ] && [ -n "${SEEN[02-restart]:-}" ]; then
  SEEN[01-self-update]=1
  echo "   phase 01-self-update (seen by its restart; no picture)"
fi
missing=0
for phase in "${PHASES[@]}"; do
  name=${phase%%|*}
  if [ -z "${SEEN[$name]:-}" ]; then echo "phase $name did not happen" >&2; missing=1; fi
done
# The pictures show what the logs say: the skinned window on the screen
# while the resources are updated, the game's red in its window at the end.
has_colour() { # picture colour
  local share
  share=$(convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:mean]' info: 2>/dev/null || echo 0)
  awk -v s="$share" 'BEGIN { exit !(s > 0.001) }'
}
shows_window() { # picture: more than a tenth of the screen is not black
  local share
  share=$(convert "$1" -fill white +opaque "rgb(0,0,0)" -format '%[fx:mean]' info: 2>/dev/null || echo 0)
  awk -v s="$share" 'BEGIN { exit !(s > 0.1) }'
}
if [ -f "$SHOTS/04-update-finished.png" ] && ! shows_window "$SHOTS/04-update-finished.png"; then
  echo "the update screenshot shows no launcher window" >&2; missing=1
fi
if [ -f "$SHOTS/09-game-window.png" ] && ! has_colour "$SHOTS/09-game-window.png" "rgb(255,0,0)"; then
  echo "the game screenshot shows no game" >&2; missing=1
fi
cp "$LOG" "$SHOTS/gameupdater.log" 2>/dev/null || true
cp "$GAME_LOG" "$SHOTS/samplegame.log" 2>/dev/null || true
echo "== screenshots and logs: $SHOTS"
exit $missing
