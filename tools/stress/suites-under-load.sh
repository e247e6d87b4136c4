#!/bin/bash
# Runs the store and update suites many times in a row while busy loops
# keep some cores loaded, and stops at the first round that fails. Run by
# hand; prints one line per round and the figures at the end.
#   tools/stress/suites-under-load.sh <x86_64 build dir> [rounds, default 50] [busy cores, default 4]
#                                     [tests at once, default 4]
# Uses a Wine prefix of its own, so it can run beside the test suite.
set -euo pipefail
HERE=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:?build dir}" && pwd)
ROUNDS=${2:-50}
BUSY=${3:-4}
JOBS=${4:-4}
export VELMOR_WINEPREFIX="$BUILD/wineprefix-load"
mkdir -p "$VELMOR_WINEPREFIX"

LOADERS=()
stop_load() {
  for pid in "${LOADERS[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap stop_load EXIT
for _ in $(seq "$BUSY"); do
  bash -c 'while :; do :; done' &
  LOADERS+=($!)
done

exec_rounds() {
  local passed=0 start round_start
  start=$(date +%s)
  for round in $(seq "$ROUNDS"); do
    round_start=$(date +%s)
    if ! (cd "$BUILD" && ctest -L 'store_tests|update_tests' -j"$JOBS" --output-on-failure \
          > "$BUILD/load-round-$round.log" 2>&1); then
      echo "round $round FAILED after $passed passing rounds; see $BUILD/load-round-$round.log"
      grep -E '^\s+[0-9]+ - ' "$BUILD/load-round-$round.log" || true
      return 1
    fi
    passed=$((passed + 1))
    echo "round $round passed in $(( $(date +%s) - round_start )) s"
    rm -f "$BUILD/load-round-$round.log"
  done
  echo "$passed rounds of the store and update suites passed in $(( $(date +%s) - start )) s" \
       "beside $BUSY busy loops, $JOBS tests at once"
}

export -f exec_rounds
export BUILD ROUNDS BUSY JOBS
"$HERE/scripts/wine-session.sh" "$BUILD" bash -c exec_rounds
