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

# clang with its libFuzzer runtime makes the fuzz targets real libFuzzer
# programs; without it the default compiler builds them on the replay driver.
# VELMOR_FUZZ_REPLAY=1 asks for the replay driver anyway.
has_libfuzzer() {
  [ "${VELMOR_FUZZ_REPLAY:-0}" != 1 ] && command -v clang >/dev/null 2>&1 &&
    command -v clang++ >/dev/null 2>&1 || return 1
  local dir rc=0
  dir=$(mktemp -d)
  echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
    >"$dir/probe.cpp"
  { clang++ -fsanitize=fuzzer,address,undefined "$dir/probe.cpp" -o "$dir/probe" &&
    "$dir/probe" -runs=1; } >/dev/null 2>&1 || rc=1
  rm -rf "$dir"
  return $rc
}

echo "== build: portable units, native with sanitizers"
LZMA_SDK_DIR=$("$ROOT/scripts/native-deps.sh" | tail -n1)
NATIVE_CXX=$(command -v c++ || true)
NATIVE_CC=$(command -v cc || true)
if has_libfuzzer; then
  NATIVE_CXX=$(command -v clang++)
  NATIVE_CC=$(command -v clang)
  echo "== native compiler: clang, fuzz targets on libFuzzer"
else
  echo "== native compiler: $NATIVE_CXX, fuzz targets on the replay driver"
fi
# A tree configured with another compiler cannot switch in place.
if [ -f "$ROOT/build/native/CMakeCache.txt" ] &&
   ! grep -qx "CMAKE_CXX_COMPILER:[A-Z]*=$NATIVE_CXX" "$ROOT/build/native/CMakeCache.txt"; then
  rm -rf "$ROOT/build/native"
fi
cmake -S "$ROOT" -B "$ROOT/build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_COMPILER="$NATIVE_CC" -DCMAKE_CXX_COMPILER="$NATIVE_CXX" \
      -DVELMOR_LZMA_SDK_DIR="$LZMA_SDK_DIR" >/dev/null
cmake --build "$ROOT/build/native" -j "$JOBS"

echo "== test: native portable units"
(cd "$ROOT/build/native" && ctest --output-on-failure -j "$JOBS")

echo "== test: Windows build under Wine ($TEST_TREE)"
"$ROOT/scripts/wine-session.sh" "$TEST_TREE" \
  bash -c "cd '$TEST_TREE' && ctest --output-on-failure -j '$JOBS'"
