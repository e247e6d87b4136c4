#!/bin/bash
# Installs what a fresh Debian 12 machine lacks for building and testing
# (run as root), then makes sure the dependency caches exist. Idempotent:
# a second run only checks.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)

PACKAGES=(
  cmake ninja-build g++ dpkg-dev
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 mingw-w64-tools
  libz-mingw-w64-dev librapidxml-dev nasm googletest liblzo2-dev zlib1g-dev
  wine wine64 xvfb xauth
  nginx 7zip libjpeg-turbo-progs imagemagick curl fonts-wqy-microhei python3
  clang libclang-rt-14-dev
)
I386_PACKAGES=(wine32:i386)

missing=()
for p in "${PACKAGES[@]}" "${I386_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "[setup] installing: ${missing[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

# The tests and the demo start nginx of their own on free loopback ports,
# whatever the machine's own nginx service does.

# Both dependency caches at once; each is built only when it is missing.
pids=()
for triplet in i686-w64-mingw32 x86_64-w64-mingw32; do
  "$ROOT/scripts/build-deps.sh" "$triplet" >/dev/null &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid"; done
# The LZMA SDK's sources for the native build of the portable units.
"$ROOT/scripts/native-deps.sh" >/dev/null
