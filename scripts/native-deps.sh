#!/bin/bash
# Fetches the LZMA SDK (the C folder of Debian's 7zip source package) once
# for the native build of the portable units and prints that folder's path on
# its last line. The mingw caches hold only target libraries; the native
# build compiles the SDK's sources itself.
#   scripts/native-deps.sh
#
# The source comes from Debian at the exact version of the installed 7zip
# package (scripts/debian-source.sh), which also names the cache folder.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
CACHE_ROOT=${VELMOR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/velmor-deps}
SEVENZIP_VERSION=26.0
. "$ROOT/scripts/debian-source.sh"

version=$(debian_source_version 7zip)
debian_version_matches "$version" "$SEVENZIP_VERSION" ||
  { echo "source package 7zip is at $version, the build expects $SEVENZIP_VERSION" >&2; exit 1; }
NATIVE=$CACHE_ROOT/native
DEST=$NATIVE/7zip-${version//:/_}

if [ -f "$DEST/.complete" ]; then
  echo "$DEST/C"
  exit 0
fi

log() { echo "[native-deps] $*" >&2; }

mkdir -p "$NATIVE"
WORK=$(mktemp -d "$NATIVE/.work.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

log "7zip $version"
debian_source_fetch 7zip "$version" "$WORK/7zip-src"
[ -f "$WORK/7zip-src/C/LzmaEnc.c" ] || { echo "no C/LzmaEnc.c in the 7zip source" >&2; exit 1; }

echo "7zip $version" > "$WORK/7zip-src/versions.txt"
touch "$WORK/7zip-src/.complete"
rm -rf "$DEST"
mv "$WORK/7zip-src" "$DEST"
log "LZMA SDK ready in $DEST/C"
echo "$DEST/C"
