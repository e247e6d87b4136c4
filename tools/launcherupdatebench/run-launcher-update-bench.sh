#!/bin/bash
# Serves the update benchmark's product (published once into its cache) from
# loopback nginx and times velmor's update phase against the library's own
# update of everything, rounds alternating (launcher_update_bench).
#   tools/launcherupdatebench/run-launcher-update-bench.sh <Windows build dir> [rounds]
# VELMOR_EXE names another velmor.exe to time, VELMOR_BENCH_SETTINGS more
# lines for its settings file.
# Run it inside scripts/wine-session.sh: velmor draws its window on the
# session's display.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "$1" && pwd)
ROUNDS=${2:-3}
BENCH=$BUILD/tools/launcherupdatebench/launcher_update_bench.exe
PUBLISHER=$BUILD/tools/publisher/publisher.exe
VELMOR=${VELMOR_EXE:-$BUILD/launcher/velmor.exe}
for exe in "$BENCH" "$PUBLISHER" "$VELMOR"; do
  [ -x "$exe" ] || { echo "build $(basename "$exe") first" >&2; exit 1; }
done
. "$HERE/../../tests/fixtures/loopback-nginx.sh"
nginx_setup
. "$BUILD/wine-env.sh"
. "$HERE/../updatebench/bench-product.sh"
bench_product

nginx_start "$CACHE/tree"
mkdir -p "$NGINX_WORK/run"
"$VELMOR_WINE" "$BENCH" "Z:${VELMOR//\//\\}" "http://127.0.0.1:$NGINX_PORT" \
  "Z:${CACHE//\//\\}\\manifest.txt" "Z:${NGINX_WORK//\//\\}\\run" "$ROUNDS" | tr -d '\r'
