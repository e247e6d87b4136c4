#!/bin/bash
# The test command: installs what is missing, builds every target and runs
# every test.
#
# Everything is built for 32-bit Windows, the real target. The tests run
# under Wine: with wine32 where this machine can execute 32-bit x86 code,
# otherwise from a 64-bit Windows build of the same sources under wine64.
# The portable units also run natively with ASan and UBSan.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
JOBS=${JOBS:-$(nproc)}

"$ROOT/scripts/setup.sh"

configure_windows() { # triplet build-dir
  local prefix
  prefix=$("$ROOT/scripts/build-deps.sh" "$1" | tail -n1)
  cmake -S "$ROOT" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$1.cmake" \
        -DVELMOR_DEPS_PREFIX="$prefix" >/dev/null
  cmake --build "$2" -j "$JOBS"
}

can_run_32bit() {
  [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

echo "== build: i686-w64-mingw32 (the target)"
configure_windows i686-w64-mingw32 "$ROOT/build/i686"

if can_run_32bit; then
  TEST_TREE=$ROOT/build/i686
else
  echo "== this machine cannot execute 32-bit x86 code: tests run from the x86_64 build under wine64"
  TEST_TREE=$ROOT/build/x86_64
  configure_windows x86_64-w64-mingw32 "$TEST_TREE"
fi

echo "== build: portable units, native with sanitizers"
LZMA_SDK_DIR=$("$ROOT/scripts/native-deps.sh" | tail -n1)
cmake -S "$ROOT" -B "$ROOT/build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DVELMOR_LZMA_SDK_DIR="$LZMA_SDK_DIR" >/dev/null
cmake --build "$ROOT/build/native" -j "$JOBS"

echo "== test: native portable units"
(cd "$ROOT/build/native" && ctest --output-on-failure -j "$JOBS")

echo "== test: Windows build under Wine ($TEST_TREE)"
"$ROOT/scripts/wine-session.sh" "$TEST_TREE" \
  bash -c "cd '$TEST_TREE' && ctest --output-on-failure -j '$JOBS'"
