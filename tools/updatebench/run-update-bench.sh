#!/bin/bash
# Publishes a product of 2,000 resources (200 MiB, make-product.py) once into
# a cache folder, serves it with loopback nginx, and times a cold update of
# everything with 4 download workers (update_bench, under Wine) against
# Debian's curl fetching the same packages with --parallel --parallel-max 4.
# Prints both times, their ratio (target: at most 1.3) and the adder's
# throughput against a plain file.
#   tools/updatebench/run-update-bench.sh <Windows build dir>
# Run it inside scripts/wine-session.sh so that Wine starts warm. The tree is
# kept in ${VELMOR_BENCH_CACHE:-~/.cache/velmor-bench}/updatebench-<key>, the
# key following the generator and the publisher's sources.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "$1" && pwd)
BENCH=$BUILD/tools/updatebench/update_bench.exe
PUBLISHER=$BUILD/tools/publisher/publisher.exe
for exe in "$BENCH" "$PUBLISHER"; do
  [ -x "$exe" ] || { echo "build $(basename "$exe") first" >&2; exit 1; }
done
. "$HERE/../../tests/fixtures/loopback-nginx.sh"
nginx_setup
. "$BUILD/wine-env.sh"

. "$HERE/bench-product.sh"
bench_product

nginx_start "$CACHE/tree"
ORIGIN="http://127.0.0.1:$NGINX_PORT"
"$VELMOR_WINE" "$BENCH" "$ORIGIN" "$PRODUCT" "$VERSION" "Z:$NGINX_WORK/run" "Z:$CACHE/tree" \
  | tr -d '\r' | tee "$NGINX_WORK/bench.txt"
ours=$(awk '$1 == "update" && $2 == "seconds" { print $3 }' "$NGINX_WORK/bench.txt")
[ -n "$ours" ] || exit 1

# The same packages for curl: every GET nginx answered during the update.
awk '$1 == "GET" && ($2 == 200 || $2 == 206) { print $4 }' "$NGINX_WORK/logs/access.log" \
  | sort -u > "$NGINX_WORK/packages.txt"
mkdir -p "$NGINX_WORK/curl"
while read -r uri; do
  printf 'url = "%s%s"\noutput = "%s/curl%s"\n' "$ORIGIN" "$uri" "$NGINX_WORK" "$uri"
done < "$NGINX_WORK/packages.txt" > "$NGINX_WORK/curl.conf"
# curl 7.88 draws its parallel progress meter even when silenced: stderr is
# kept aside and shown only when a transfer failed.
start=$(date +%s.%N)
if ! curl -s -S -f --parallel --parallel-max 4 -K "$NGINX_WORK/curl.conf" 2> "$NGINX_WORK/curl.err"; then
  tr '\r' '\n' < "$NGINX_WORK/curl.err" | grep -v '^ *$' >&2
  exit 1
fi
end=$(date +%s.%N)
count=$(wc -l < "$NGINX_WORK/packages.txt")
bytes=$(du -sb "$NGINX_WORK/curl" | cut -f1)
python3 - "$ours" "$start" "$end" "$count" "$bytes" <<'PY'
import sys
ours, start, end, count, size = (float(x) for x in sys.argv[1:6])
theirs = end - start
print("(2) curl --parallel --parallel-max 4: %d packages, %.1f MiB in %.3f s" % (
    count, size / 2**20, theirs))
print("update-all %.3f s / curl %.3f s = ratio %.2f (target <= 1.3)" % (ours, theirs, ours / theirs))
PY
