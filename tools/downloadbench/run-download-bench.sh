#!/bin/bash
# Downloads one 256 MiB download package from loopback nginx with
# HttpDownloader (under Wine) and with Debian's curl, alternating, three
# times each, and prints the ratios of wall and CPU times (ours / curl).
#   tools/downloadbench/run-download-bench.sh <Windows build dir>
# Run it inside scripts/wine-session.sh so that Wine starts warm.
set -euo pipefail
BUILD=$(cd "$1" && pwd)
BENCH="$BUILD/tools/downloadbench/download_bench.exe"
[ -x "$BENCH" ] || { echo "build download_bench first" >&2; exit 1; }
. "$(dirname "$0")/../../tests/fixtures/loopback-nginx.sh"
nginx_setup
SIZE=$((256 * 1024 * 1024))
mkdir -p "$NGINX_WORK/root/d"

python3 - "$NGINX_WORK/root/d/pkg.pak" "$SIZE" <<'PY'
import os, struct, sys, zlib
path, size = sys.argv[1], int(sys.argv[2])
body = os.urandom(size - 12)
with open(path, "wb") as f:
    f.write(b"HPAK" + struct.pack("<II", zlib.crc32(body) & 0xFFFFFFFF, size) + body)
PY

nginx_start "$NGINX_WORK/root"

. "$BUILD/wine-env.sh"
URL="http://127.0.0.1:$NGINX_PORT/d/"
ours_wall=(); ours_cpu=(); curl_wall=(); curl_cpu=()
for run in 1 2 3; do
  line=$("$VELMOR_WINE" "$BENCH" "$URL" pkg.pak | tr -d '\r')
  echo "HttpDownloader run $run: $line"
  ours_wall+=("$(echo "$line" | awk '{print $2}')")
  ours_cpu+=("$(echo "$line" | awk '{print $4}')")
  # curl writes into memory too (a file in /dev/shm), as the downloader
  # keeps the whole image in memory; /dev/null alone is shown for scale.
  times=$(/usr/bin/time -f "%e %U %S" curl -s -o /dev/shm/velmor-bench.$$ "${URL}pkg.pak" 2>&1)
  rm -f /dev/shm/velmor-bench.$$
  null=$(/usr/bin/time -f "%e %U %S" curl -s -o /dev/null "${URL}pkg.pak" 2>&1)
  echo "curl run $run: wall/user/sys $times (to /dev/null: $null)"
  curl_wall+=("$(echo "$times" | awk '{print $1}')")
  curl_cpu+=("$(echo "$times" | awk '{print $2 + $3}')")
done
python3 - "${ours_wall[*]}" "${ours_cpu[*]}" "${curl_wall[*]}" "${curl_cpu[*]}" <<'PY'
import statistics, sys
ow, oc, cw, cc = ([float(x) for x in a.split()] for a in sys.argv[1:5])
print("median wall: HttpDownloader %.3f s, curl %.3f s, ratio %.2f" % (
    statistics.median(ow), statistics.median(cw), statistics.median(ow) / statistics.median(cw)))
print("median cpu:  HttpDownloader %.3f s, curl %.3f s, ratio %.2f" % (
    statistics.median(oc), statistics.median(cc), statistics.median(oc) / max(statistics.median(cc), 1e-3)))
PY
