#!/bin/bash
# Kills a package writer at random moments many times over and checks after
# every kill that the package loads and every indexed entry reads back whole.
# Run by hand; the test suite runs the same test with 100 kills.
#   tools/stress/store-kill-stress.sh <x86_64 build dir> [kills, default 1000]
# Uses a Wine prefix of its own, so it can run beside the test suite.
set -euo pipefail
HERE=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:?build dir}" && pwd)
KILLS=${2:-1000}
export VELMOR_WINEPREFIX="$BUILD/wineprefix-stress"
mkdir -p "$VELMOR_WINEPREFIX"
export STORE_KILL_CYCLES=$KILLS
exec "$HERE/scripts/wine-session.sh" "$BUILD" bash -c \
  "cd '$BUILD/tests/filesystem/store' && '$BUILD/wine-run.sh' ./store_tests.exe \
   --gtest_filter=CrashConsistency.*"
