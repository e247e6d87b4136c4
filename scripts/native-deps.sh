#!/bin/bash
# Fetches the LZMA SDK (the C folder of Debian's 7zip source package) once
# for the native build of the portable units and prints that folder's path on
# its last line. The mingw caches hold only target libraries; the native
# build compiles the SDK's sources itself.
#   scripts/native-deps.sh
#
# The source comes from Debian through a private sources list made from this
# machine's own apt configuration, as scripts/build-deps.sh does.
set -euo pipefail

CACHE_ROOT=${VELMOR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/velmor-deps}
SEVENZIP_VERSION=26.0
NATIVE=$CACHE_ROOT/native
DEST=$NATIVE/7zip-$SEVENZIP_VERSION

if [ -f "$DEST/.complete" ]; then
  echo "$DEST/C"
  exit 0
fi

log() { echo "[native-deps] $*" >&2; }

mkdir -p "$NATIVE"
WORK=$(mktemp -d "$NATIVE/.work.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

APT=$WORK/apt
mkdir -p "$APT/parts" "$APT/lists/partial"
sources=(/etc/apt/sources.list.d/*.sources)
if [ -e "${sources[0]}" ]; then
  for f in "${sources[@]}"; do
    sed 's/^Types:.*$/Types: deb-src/' "$f" > "$APT/parts/$(basename "$f")"
  done
fi
if [ -f /etc/apt/sources.list ]; then
  grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > "$APT/parts/main.list" || true
fi
APT_OPTS=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$APT/parts"
          -o "Dir::State::Lists=$APT/lists" -o Debug::NoLocking=1)
log "reading Debian's source lists"
apt-get "${APT_OPTS[@]}" update -qq >&2

ver=$(apt-cache "${APT_OPTS[@]}" showsrc 7zip | awk '/^Version:/{print $2}' | sort -V | tail -1)
case "${ver#*:}" in
  "$SEVENZIP_VERSION"*|*"really$SEVENZIP_VERSION"*) ;;
  *) echo "source package 7zip is at $ver, the build expects $SEVENZIP_VERSION" >&2; exit 1 ;;
esac
log "7zip $ver"
mkdir -p "$WORK/src"
(cd "$WORK/src" && apt-get "${APT_OPTS[@]}" source -qq --download-only "7zip=$ver" >&2 &&
   dpkg-source --no-check -x 7zip_*.dsc 7zip-src >/dev/null)
[ -f "$WORK/src/7zip-src/C/LzmaEnc.c" ] || { echo "no C/LzmaEnc.c in the 7zip source" >&2; exit 1; }

echo "7zip $ver" > "$WORK/src/7zip-src/versions.txt"
touch "$WORK/src/7zip-src/.complete"
rm -rf "$DEST"
mv "$WORK/src/7zip-src" "$DEST"
log "LZMA SDK ready in $DEST/C"
echo "$DEST/C"
