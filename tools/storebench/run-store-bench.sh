#!/bin/bash
# Runs the store benchmark (the library beside its same-platform peers) and
# the codec benchmark in one warm Wine session.
#   tools/storebench/run-store-bench.sh <Windows build dir> [runs]
set -euo pipefail
BUILD=$(cd "$1" && pwd)
RUNS=${2:-7}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
for exe in tools/storebench/store_bench.exe tools/codecbench/codecbench.exe; do
  [ -x "$BUILD/$exe" ] || { echo "build $(basename "$exe" .exe) first" >&2; exit 1; }
done
exec "$ROOT/scripts/wine-session.sh" "$BUILD" bash -c '
  . "$1/wine-env.sh"
  "$VELMOR_WINE" "$1/tools/storebench/store_bench.exe" "C:\\store_bench" "$2" | tr -d "\r"
  "$VELMOR_WINE" "$1/tools/codecbench/codecbench.exe" "$2" | tr -d "\r"
' bash "$BUILD" "$RUNS"
