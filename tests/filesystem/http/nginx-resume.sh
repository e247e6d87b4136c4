#!/bin/bash
# Starts Debian's nginx on a free loopback port, serving one download package
# under a rate limit that stalls the first transfer after 120 KiB, runs the
# Windows check program through the Wine launcher, and stops nginx.
#   nginx-resume.sh <wine-run> <check program>
set -euo pipefail
WINE_RUN=$1
CHECK=$2

NGINX=$(command -v nginx || true)
[ -n "$NGINX" ] || NGINX=/usr/sbin/nginx
[ -x "$NGINX" ] || { echo "nginx is not installed" >&2; exit 77; }

WORK=$(mktemp -d)
NGINX_PID=
cleanup() {
  if [ -n "$NGINX_PID" ]; then kill "$NGINX_PID" 2>/dev/null || true; wait "$NGINX_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT
mkdir -p "$WORK/root/d" "$WORK/logs" "$WORK/temp"

SIZE=200000
python3 - "$WORK/root/d/pkg.pak" "$SIZE" <<'PY'
import random, struct, sys, zlib
path, size = sys.argv[1], int(sys.argv[2])
body = bytes(random.Random(7).getrandbits(8) for _ in range(size - 12))
with open(path, "wb") as f:
    f.write(b"HPAK" + struct.pack("<II", zlib.crc32(body) & 0xFFFFFFFF, size) + body)
PY

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_nginx() {
  local port=$1
  cat > "$WORK/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $WORK/nginx.pid;
error_log $WORK/logs/error.log;
events { worker_connections 64; }
http {
  log_format ranges '\$request_method \$status "\$http_range"';
  access_log $WORK/logs/access.log ranges;
  client_body_temp_path $WORK/temp/body;
  proxy_temp_path $WORK/temp/proxy;
  fastcgi_temp_path $WORK/temp/fastcgi;
  uwsgi_temp_path $WORK/temp/uwsgi;
  scgi_temp_path $WORK/temp/scgi;
  server {
    listen 127.0.0.1:$port;
    root $WORK/root;
    location /d/ {
      # After 120 KiB nginx sends about one byte a second: far slower than
      # the check's receive time-out, so the first transfer stalls there.
      limit_rate_after 120k;
      limit_rate 1;
    }
  }
}
CONF
  "$NGINX" -p "$WORK" -c "$WORK/nginx.conf" &
  NGINX_PID=$!
  for _ in $(seq 50); do
    if python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null; then
      return 0
    fi
    kill -0 "$NGINX_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill "$NGINX_PID" 2>/dev/null || true
  wait "$NGINX_PID" 2>/dev/null || true
  NGINX_PID=
  return 1
}

PORT=
for _ in 1 2 3; do
  PORT=$(free_port)
  if start_nginx "$PORT"; then break; fi
  PORT=
done
[ -n "$PORT" ] || { echo "nginx did not start" >&2; cat "$WORK/logs/error.log" >&2 || true; exit 1; }

export VELMOR_NGINX_URL="http://127.0.0.1:$PORT/d/"
export VELMOR_NGINX_FILE=pkg.pak
export VELMOR_NGINX_SIZE=$SIZE
"$WINE_RUN" "$CHECK"

echo "nginx access log:"
cat "$WORK/logs/access.log"
# The first GET from byte 0 stalled; a later one asked for the rest.
grep -Eq '^GET 206 "bytes=0-"$' "$WORK/logs/access.log"
grep -Eq '^GET 206 "bytes=[1-9][0-9]*-"$' "$WORK/logs/access.log"
