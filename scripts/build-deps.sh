#!/bin/bash
# Builds the mingw dependencies for one target once into a cache outside the
# source tree and prints the cache's prefix on its last line.
#   scripts/build-deps.sh [i686-w64-mingw32 | x86_64-w64-mingw32]
#
# Sources come only from Debian: the source packages are fetched with
# apt-get source (scripts/debian-source.sh), each at the exact version of its
# installed binary package; GoogleTest and zlib come from installed Debian
# packages. The cache folder's name carries those exact versions and a hash
# of the recipes, so a changed recipe or version builds a new cache beside
# the old.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
CACHE_ROOT=${VELMOR_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/velmor-deps}
TRIPLET=${1:-i686-w64-mingw32}
TOOLCHAIN=$ROOT/cmake/toolchain-$TRIPLET.cmake
[ -f "$TOOLCHAIN" ] || { echo "no toolchain file for $TRIPLET" >&2; exit 1; }

. "$ROOT/scripts/debian-source.sh"

# Each source package the recipes build, the installed binary package its
# exact Debian version is read from, and the upstream version the recipes
# were written for. The cache is keyed by the exact versions: a Debian
# update of any of them (a security fix, say) builds a new cache.
SOURCES=(
  "lzo2 liblzo2-dev 2.10"
  "libjpeg-turbo libjpeg-turbo-progs 2.1.5"
  "curl curl 7.88.1"
  "7zip 7zip 26.0"
  "googletest googletest 1.12.1"
)
declare -A VERSION
VERSIONS_TEXT=
for entry in "${SOURCES[@]}"; do
  read -r pkg binary want <<<"$entry"
  version=$(debian_source_version "$binary")
  debian_version_matches "$version" "$want" ||
    { echo "source package $pkg is at $version, the recipes expect $want" >&2; exit 1; }
  VERSION[$pkg]=$version
  VERSIONS_TEXT+="$pkg $version"$'\n'
done

recipe_hash() {
  { cat "$0" "$ROOT/scripts/debian-source.sh" "$TOOLCHAIN" "$ROOT"/cmake/mingw-common.cmake \
        "$ROOT"/cmake/deps/lzma/CMakeLists.txt \
        "$ROOT"/cmake/deps/googletest/gtest/internal/custom/gtest-port.h
    printf '%s' "$VERSIONS_TEXT"; } | sha256sum | cut -c1-12
}

KEY="$TRIPLET/lzo-${VERSION[lzo2]}_jpeg-${VERSION[libjpeg-turbo]}_curl-${VERSION[curl]}"
KEY+="_7zip-${VERSION[7zip]}_gtest-${VERSION[googletest]}_$(recipe_hash)"
KEY=${KEY//:/_}
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
debian_source_lists

fetch_source() { # package -> prints the unpacked folder
  local pkg=$1
  debian_source_fetch "$pkg" "${VERSION[$pkg]}" "$WORK/src/$pkg-src"
  echo "$WORK/src/$pkg-src"
}

cmake_build() { # source-dir build-name cmake-args...
  local src=$1 name=$2; shift 2
  cmake -S "$src" -B "$WORK/build-$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$STAGE" "$@" >&2
  cmake --build "$WORK/build-$name" >&2
  cmake --install "$WORK/build-$name" >&2
}

printf '%s' "$VERSIONS_TEXT" > "$STAGE/versions.txt"

log "LZO"
src=$(fetch_source lzo2)
cmake_build "$src" lzo -DENABLE_STATIC=ON -DENABLE_SHARED=OFF

log "libjpeg-turbo"
src=$(fetch_source libjpeg-turbo)
cmake_build "$src" jpeg -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_JPEG7=ON -DWITH_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm

log "libcurl"
src=$(fetch_source curl)
cmake_build "$src" curl -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
  -DHTTP_ONLY=ON -DCURL_ENABLE_SSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBPSL=OFF \
  -DUSE_LIBIDN2=OFF -DCURL_ZLIB=OFF -DCURL_DISABLE_PROXY=ON -DCURL_WINDOWS_SSPI=OFF \
  -DCURL_DISABLE_NTLM=ON -DENABLE_MANUAL=OFF -DCURL_CA_PATH=none -DCURL_CA_BUNDLE=none

log "LZMA SDK"
src=$(fetch_source 7zip)
cmake_build "$ROOT/cmake/deps/lzma" lzma -DLZMA_SDK_DIR="$src/C"

log "GoogleTest"
cp -r /usr/src/googletest "$WORK/src/googletest"
cp "$ROOT/cmake/deps/googletest/gtest/internal/custom/gtest-port.h" \
   "$WORK/src/googletest/googletest/include/gtest/internal/custom/gtest-port.h"
cmake_build "$WORK/src/googletest" gtest -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=ON

touch "$STAGE/.complete"
rm -rf "$PREFIX"
mkdir -p "$(dirname "$PREFIX")"
mv "$STAGE" "$PREFIX"
log "cache ready in $PREFIX"
echo "$PREFIX"
