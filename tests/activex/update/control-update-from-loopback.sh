#!/bin/bash
# Publishes a small product with the publisher, serves it with Debian's nginx
# on a free loopback port and runs the check program, which sites the control
# and plays the page: it names the product, answers the product query on
# 127.0.0.1:9009 and updates a file and a group through the control.
#   control-update-from-loopback.sh <wine-run> <publisher> <check program>
set -euo pipefail
WINE_RUN=$1
PUBLISHER=$2
CHECK=$3
. "$(dirname "$0")/../../fixtures/loopback-nginx.sh"
nginx_setup
mkdir -p "$NGINX_WORK/root" "$NGINX_WORK/src"
printf 'alpha content, stored' > "$NGINX_WORK/src/a.txt"
head -c 3000 /dev/zero | tr '\0' b > "$NGINX_WORK/src/b.txt"
printf 'charlie charlie charlie charlie charlie' > "$NGINX_WORK/src/c.txt"
cat > "$NGINX_WORK/manifest.txt" <<'MANIFEST'
product axupdate
serverversion 3
file a.txt 2 0
file b.txt 1 1
file c.txt 4 2
group maps 2
first a.txt b.txt
MANIFEST
"$WINE_RUN" "$PUBLISHER" "Z:$NGINX_WORK/manifest.txt" "Z:$NGINX_WORK/src" "Z:$NGINX_WORK/root"
nginx_start "$NGINX_WORK/root"
export VELMOR_NGINX_ORIGIN="http://127.0.0.1:$NGINX_PORT"
"$WINE_RUN" "$CHECK"
