#!/bin/bash
# Downloads one 256 MiB download package from loopback nginx, RUNS times
# (default 5) in turn with HttpDownloader and its same-platform peers, all
# Win32 programs in this Wine session: a raw WinSock receive loop with the
# worker's receive-buffer size and CRC (winsock_peer) and libcurl with its
# default settings (curl_peer); Debian's curl is kept as a native
# reference. Prints median, minimum and maximum of each row and the ratios
# of the medians (target: HttpDownloader <= 1.05x the WinSock loop).
#   tools/downloadbench/run-download-bench.sh <Windows build dir>
# Run it inside scripts/wine-session.sh so that Wine starts warm.
set -euo pipefail
BUILD=$(cd "$1" && pwd)
RUNS=${RUNS:-5}
BENCH="$BUILD/tools/downloadbench/download_bench.exe"
WINSOCK="$BUILD/tools/netpeers/winsock_peer.exe"
CURLPEER="$BUILD/tools/netpeers/curl_peer.exe"
for exe in "$BENCH" "$WINSOCK" "$CURLPEER"; do
  [ -x "$exe" ] || { echo "build $(basename "$exe" .exe) first" >&2; exit 1; }
done
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
RESULTS="$NGINX_WORK/results.txt"
: > "$RESULTS"
# One row: "<name> <wall> <cpu>" from a line "wall <s> cpu <s> ...".
record() {
  local name=$1 line=$2
  echo "$name: $line"
  case "$line" in wall*) echo "$name $(echo "$line" | awk '{print $2, $4}')" >> "$RESULTS" ;; esac
}
for run in $(seq "$RUNS"); do
  echo "-- run $run"
  record HttpDownloader "$("$VELMOR_WINE" "$BENCH" "$URL" pkg.pak | tr -d '\r')"
  record winsock-loop "$("$VELMOR_WINE" "$WINSOCK" 127.0.0.1 "$NGINX_PORT" /d/pkg.pak | tr -d '\r')"
  record libcurl-win32 "$("$VELMOR_WINE" "$CURLPEER" "${URL}pkg.pak" | tr -d '\r')"
  # The native reference writes into memory too (a file in /dev/shm).
  times=$(/usr/bin/time -f "%e %U %S" curl -s -o /dev/shm/velmor-bench.$$ "${URL}pkg.pak" 2>&1)
  rm -f /dev/shm/velmor-bench.$$
  record curl-native "$(echo "$times" | awk '{printf "wall %s cpu %.2f", $1, $2 + $3}')"
done
python3 - "$RESULTS" "$RUNS" <<'PY'
import collections, statistics, sys
rows = collections.OrderedDict()
for line in open(sys.argv[1]):
    name, wall, cpu = line.split()
    rows.setdefault(name, ([], []))
    rows[name][0].append(float(wall)); rows[name][1].append(float(cpu))
print("\n%d runs each, alternating; seconds (median [min - max])" % int(sys.argv[2]))
print("%-16s %-26s %-26s" % ("", "wall", "cpu"))
for name, (wall, cpu) in rows.items():
    print("%-16s %.3f [%.3f - %.3f]      %.3f [%.3f - %.3f]" % (
        name, statistics.median(wall), min(wall), max(wall),
        statistics.median(cpu), min(cpu), max(cpu)))
ours = statistics.median(rows["HttpDownloader"][0])
for peer in ("winsock-loop", "libcurl-win32", "curl-native"):
    if peer in rows:
        print("HttpDownloader / %-14s wall ratio %.2f%s" % (
            peer, ours / statistics.median(rows[peer][0]),
            "  (target <= 1.05)" if peer == "winsock-loop" else ""))
PY
