#!/bin/bash
# Starts Debian's nginx on a free loopback port, serving one download package
# under a rate limit that stalls the first transfer after 120 KiB, runs the
# Windows check program through the Wine launcher, and stops nginx.
#   nginx-resume.sh <wine-run> <check program>
set -euo pipefail
WINE_RUN=$1
CHECK=$2
. "$(dirname "$0")/../../fixtures/loopback-nginx.sh"
nginx_setup
mkdir -p "$NGINX_WORK/root/d"

SIZE=200000
python3 - "$NGINX_WORK/root/d/pkg.pak" "$SIZE" <<'PY'
import random, struct, sys, zlib
path, size = sys.argv[1], int(sys.argv[2])
body = bytes(random.Random(7).getrandbits(8) for _ in range(size - 12))
with open(path, "wb") as f:
    f.write(b"HPAK" + struct.pack("<II", zlib.crc32(body) & 0xFFFFFFFF, size) + body)
PY

# After 120 KiB nginx sends about one byte a second: far slower than the
# check's receive time-out, so the first transfer stalls there.
nginx_start "$NGINX_WORK/root" '
    location /d/ {
      limit_rate_after 120k;
      limit_rate 1;
    }'

export VELMOR_NGINX_URL="http://127.0.0.1:$NGINX_PORT/d/"
export VELMOR_NGINX_FILE=pkg.pak
export VELMOR_NGINX_SIZE=$SIZE
"$WINE_RUN" "$CHECK"

echo "nginx access log:"
cat "$NGINX_WORK/logs/access.log"
# The first GET from byte 0 stalled; a later one asked for the rest.
grep -Eq '^GET 206 "bytes=0-" ' "$NGINX_WORK/logs/access.log"
grep -Eq '^GET 206 "bytes=[1-9][0-9]*-" ' "$NGINX_WORK/logs/access.log"
