#!/bin/bash
# Prints a folder holding Wine's IDL files (oaidl.idl, ocidl.idl and what they
# import), which widl needs and mingw-w64 does not ship. The folder is a cache
# outside the source tree, filled once from Debian's libwine-dev:i386 package
# without installing it (its dependencies are not wanted).
set -euo pipefail
CACHE=${VELMOR_WINE_IDL_CACHE:-$HOME/.cache/velmor-wine-idl}
IDL_DIR=$CACHE/usr/include/wine/wine/windows
if [ ! -f "$IDL_DIR/ocidl.idl" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get download libwine-dev:i386 >/dev/null 2>&1)
  deb=$(ls "$work"/libwine-dev_*.deb 2>/dev/null | head -n1)
  [ -n "$deb" ] || { echo "libwine-dev:i386 could not be downloaded" >&2; exit 1; }
  mkdir -p "$CACHE"
  dpkg-deb -x "$deb" "$CACHE"
  [ -f "$IDL_DIR/ocidl.idl" ] || { echo "libwine-dev:i386 holds no ocidl.idl" >&2; exit 1; }
fi
echo "$IDL_DIR"
