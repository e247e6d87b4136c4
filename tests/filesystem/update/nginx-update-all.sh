#!/bin/bash
# Starts Debian's nginx on a free loopback port over an empty folder, runs the
# Windows check program, which publishes a product into that folder and
# updates everything from nginx, and stops nginx.
#   nginx-update-all.sh <wine-run> <check program>
set -euo pipefail
WINE_RUN=$1
CHECK=$2
. "$(dirname "$0")/../../fixtures/loopback-nginx.sh"
nginx_setup
mkdir -p "$NGINX_WORK/root"
nginx_start "$NGINX_WORK/root"

export VELMOR_NGINX_ORIGIN="http://127.0.0.1:$NGINX_PORT"
# Wine's drive Z: is the root of the Linux file system.
export VELMOR_NGINX_ROOT="Z:$NGINX_WORK/root"
"$WINE_RUN" "$CHECK"

echo "nginx access log:"
cat "$NGINX_WORK/logs/access.log"
# Every package the update asked for was there.
if grep -Ev '^(GET|HEAD) (200|206) ' "$NGINX_WORK/logs/access.log"; then
  echo "nginx answered the requests above with an error" >&2
  exit 1
fi
