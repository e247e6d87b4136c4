#!/bin/bash
# Builds the mingw dependencies for one target once into a cache outside the
# source tree and prints the cache's prefix on its last line.
#   scripts/build-deps.sh [i686-w64-mingw32 | x86_64-w64-mingw32]
#
# Sources come only from Debian: the source packages are fetched with
# apt-get source through a private sources list made from this machine's own
# apt configuration; GoogleTest and zlib come from installed Debian packages.
# The cache folder's name carries the upstream versions and a hash of the
# recipes, so a changed recipe or version builds a new cache beside the old.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
CACHE_ROOT=${VELMOR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/velmor-deps}
TRIPLET=${1:-i686-w64-mingw32}
TOOLCHAIN=$ROOT/cmake/toolchain-$TRIPLET.cmake
[ -f "$TOOLCHAIN" ] || { echo "no toolchain file for $TRIPLET" >&2; exit 1; }

# Upstream versions the recipes were written for (prefix of Debian's version).
LZO_VERSION=2.10
JPEG_VERSION=2.1.5
CURL_VERSION=7.88.1
SEVENZIP_VERSION=26.0
GTEST_VERSION=1.12.1

recipe_hash() {
  cat "$0" "$TOOLCHAIN" "$ROOT"/cmake/mingw-common.cmake \
      "$ROOT"/cmake/deps/lzma/CMakeLists.txt \
      "$ROOT"/cmake/deps/googletest/gtest/internal/custom/gtest-port.h |
    sha256sum | cut -c1-12
}

KEY="$TRIPLET/lzo-${LZO_VERSION}_jpeg-${JPEG_VERSION}_curl-${CURL_VERSION}_7zip-${SEVENZIP_VERSION}_gtest-${GTEST_VERSION}_$(recipe_hash)"
PREFIX=$CACHE_ROOT/$KEY

if [ -f "$PREFIX/.complete" ]; then
  echo "$PREFIX"
  exit 0
fi

log() { echo "[deps] $*" >&2; }

mkdir -p "$CACHE_ROOT"
WORK=$(mktemp -d "$CACHE_ROOT/.work.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
STAGE=$WORK/prefix
mkdir -p "$STAGE" "$WORK/src"

# --- private apt configuration for source packages -------------------------
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

fetch_source() { # package upstream-version -> prints the unpacked folder
  local pkg=$1 want=$2 ver dir
  ver=$(apt-cache "${APT_OPTS[@]}" showsrc "$pkg" | awk '/^Version:/{print $2}' | sort -V | tail -1)
  case "${ver#*:}" in
    "$want"*|*"really$want"*) ;;
    *) echo "source package $pkg is at $ver, the recipes expect $want" >&2; exit 1 ;;
  esac
  (cd "$WORK/src" && apt-get "${APT_OPTS[@]}" source -qq --download-only "$pkg=$ver" >&2 &&
     dpkg-source --no-check -x "$pkg"_*.dsc "$pkg-src" >/dev/null)
  echo "$pkg $ver" >> "$STAGE/versions.txt"
  echo "$WORK/src/$pkg-src"
}

cmake_build() { # source-dir build-name cmake-args...
  local src=$1 name=$2; shift 2
  cmake -S "$src" -B "$WORK/build-$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$STAGE" "$@" >&2
  cmake --build "$WORK/build-$name" >&2
  cmake --install "$WORK/build-$name" >&2
}

: > "$STAGE/versions.txt"

log "LZO"
src=$(fetch_source lzo2 "$LZO_VERSION")
cmake_build "$src" lzo -DENABLE_STATIC=ON -DENABLE_SHARED=OFF

log "libjpeg-turbo"
src=$(fetch_source libjpeg-turbo "$JPEG_VERSION")
cmake_build "$src" jpeg -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_JPEG7=ON -DWITH_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm

log "libcurl"
src=$(fetch_source curl "$CURL_VERSION")
cmake_build "$src" curl -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
  -DHTTP_ONLY=ON -DCURL_ENABLE_SSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBPSL=OFF \
  -DUSE_LIBIDN2=OFF -DCURL_ZLIB=OFF -DCURL_DISABLE_PROXY=ON -DCURL_WINDOWS_SSPI=OFF \
  -DCURL_DISABLE_NTLM=ON -DENABLE_MANUAL=OFF -DCURL_CA_PATH=none -DCURL_CA_BUNDLE=none

log "LZMA SDK"
src=$(fetch_source 7zip "$SEVENZIP_VERSION")
cmake_build "$ROOT/cmake/deps/lzma" lzma -DLZMA_SDK_DIR="$src/C"

log "GoogleTest"
cp -r /usr/src/googletest "$WORK/src/googletest"
cp "$ROOT/cmake/deps/googletest/gtest/internal/custom/gtest-port.h" \
   "$WORK/src/googletest/googletest/include/gtest/internal/custom/gtest-port.h"
echo "googletest $(dpkg-query -W -f='${Version}' googletest)" >> "$STAGE/versions.txt"
cmake_build "$WORK/src/googletest" gtest -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=ON

touch "$STAGE/.complete"
rm -rf "$PREFIX"
mkdir -p "$(dirname "$PREFIX")"
mv "$STAGE" "$PREFIX"
log "cache ready in $PREFIX"
echo "$PREFIX"
