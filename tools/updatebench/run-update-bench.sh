#!/bin/bash
# Publishes a product of 2,000 resources (200 MiB, make-product.py) once into
# a cache folder, serves it with loopback nginx, and times a cold update of
# everything with 4 download workers (update_bench, under Wine). A first run
# also times the adder against a plain file and names the packages; then
# RUNS rounds (default 5) run in turn: the update again, and the same
# packages fetched by the same-platform peers in this Wine session, libcurl
# in the workers' pattern (a thread per package, HEAD on a fresh connection,
# GET with "Connection: close") and libcurl with keep-alive and 4 long-lived
# threads, with Debian's curl --parallel --parallel-max 4 as a native
# reference. Prints median, minimum and maximum of each row, the adder's
# busy share of the update, the ratio to the workers' pattern (target: at
# most 0.85) and the gap between the two libcurl programs (the price of a
# thread and a connection per package).
#   tools/updatebench/run-update-bench.sh <Windows build dir>
# Run it inside scripts/wine-session.sh so that Wine starts warm. The tree is
# kept in ${VELMOR_BENCH_CACHE:-~/.cache/velmor-bench}/updatebench-<key>, the
# key following the generator and the publisher's sources.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "$1" && pwd)
BENCH=$BUILD/tools/updatebench/update_bench.exe
PUBLISHER=$BUILD/tools/publisher/publisher.exe
PEER=$BUILD/tools/netpeers/curl_update_peer.exe
RUNS=${RUNS:-5}
for exe in "$BENCH" "$PUBLISHER" "$PEER"; do
  [ -x "$exe" ] || { echo "build $(basename "$exe") first" >&2; exit 1; }
done
. "$HERE/../../tests/fixtures/loopback-nginx.sh"
nginx_setup
. "$BUILD/wine-env.sh"

. "$HERE/bench-product.sh"
bench_product

nginx_start "$CACHE/tree"
ORIGIN="http://127.0.0.1:$NGINX_PORT"
RESULTS="$NGINX_WORK/results.txt"
: > "$RESULTS"
# One update into a fresh work folder; records its time and adder share.
update_once() {
  local work=$1
  shift
  rm -rf "$work"
  "$@" "$VELMOR_WINE" "$BENCH" "$ORIGIN" "$PRODUCT" "$VERSION" "Z:$work" "Z:$CACHE/tree" \
    | tr -d '\r' | tee "$NGINX_WORK/bench.txt"
  local seconds share
  seconds=$(awk '$1 == "update" && $2 == "seconds" { print $3 }' "$NGINX_WORK/bench.txt")
  share=$(awk '$1 == "adder" && $2 == "share" { print $3 }' "$NGINX_WORK/bench.txt")
  [ -n "$seconds" ] || exit 1
  echo "library $seconds" >> "$RESULTS"
  echo "adder-share $share" >> "$RESULTS"
  rm -rf "$work"
}
echo "-- first run (with the adder against a plain file)"
update_once "$NGINX_WORK/run" env

# The same packages for the peers: every GET nginx answered during the update.
awk '$1 == "GET" && ($2 == 200 || $2 == 206) { print $4 }' "$NGINX_WORK/logs/access.log" \
  | sort -u > "$NGINX_WORK/packages.txt"
while read -r uri; do
  printf 'url = "%s%s"\noutput = "%s/curl%s"\n' "$ORIGIN" "$uri" "$NGINX_WORK" "$uri"
done < "$NGINX_WORK/packages.txt" > "$NGINX_WORK/curl.conf"
count=$(wc -l < "$NGINX_WORK/packages.txt")

peer_once() {
  local mode=$1 line
  line=$("$VELMOR_WINE" "$PEER" "$mode" "$ORIGIN" "Z:$NGINX_WORK/packages.txt" 4 | tr -d '\r')
  echo "libcurl $mode: $line"
  case "$line" in wall*) echo "libcurl-$mode $(echo "$line" | awk '{print $2}')" >> "$RESULTS" ;;
    *) exit 1 ;; esac
}

native_once() {
  rm -rf "$NGINX_WORK/curl"
  mkdir -p "$NGINX_WORK/curl"
  local start end
  start=$(date +%s.%N)
  # curl 7.88 draws its parallel progress meter even when silenced: stderr
  # is kept aside and shown only when a transfer failed.
  if ! curl -s -S -f --parallel --parallel-max 4 -K "$NGINX_WORK/curl.conf" 2> "$NGINX_WORK/curl.err"; then
    tr '\r' '\n' < "$NGINX_WORK/curl.err" | grep -v '^ *$' >&2
    exit 1
  fi
  end=$(date +%s.%N)
  echo "curl-native $(python3 -c "print('%.3f' % ($end - $start))")" | tee -a "$RESULTS"
  rm -rf "$NGINX_WORK/curl"
}

# The first run's figures also fed the list; the rounds are timed alike.
: > "$RESULTS"
for run in $(seq "$RUNS"); do
  echo "-- round $run"
  update_once "$NGINX_WORK/run" env VELMOR_BENCH_UPDATE_ONLY=1 > /dev/null
  tail -n2 "$RESULTS" | head -n1
  peer_once design
  peer_once keepalive
  native_once
done
python3 - "$RESULTS" "$RUNS" "$count" <<'PY'
import collections, statistics, sys
rows = collections.OrderedDict()
for line in open(sys.argv[1]):
    name, value = line.split()
    rows.setdefault(name, []).append(float(value))
print("\n%d rounds, alternating; %d packages; seconds (median [min - max])" % (
    int(sys.argv[2]), int(sys.argv[3])))
for name, values in rows.items():
    print("%-18s %.3f [%.3f - %.3f]" % (name, statistics.median(values), min(values), max(values)))
med = {name: statistics.median(values) for name, values in rows.items()}
print("update-all / libcurl-design     ratio %.2f (target <= 0.85)" % (
    med["library"] / med["libcurl-design"]))
print("update-all / libcurl-keepalive  ratio %.2f" % (med["library"] / med["libcurl-keepalive"]))
print("update-all / curl-native        ratio %.2f" % (med["library"] / med["curl-native"]))
print("design's price: libcurl-design - libcurl-keepalive = %.3f s (%.2fx)" % (
    med["libcurl-design"] - med["libcurl-keepalive"],
    med["libcurl-design"] / med["libcurl-keepalive"]))
print("adder busy share of the update: median %.0f%% [%.0f%% - %.0f%%]" % (
    100 * med["adder-share"], 100 * min(rows["adder-share"]), 100 * max(rows["adder-share"])))
PY
