#!/bin/sh
# Builds both configurations and runs every test: native (plain and with ASan/UBSan), the fuzzers
# for a bounded time, and the win32 build under Wine (GUI tests on an Xvfb display); then reads the
# hardening flags from the headers of the shipped binaries.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ "$(id -u)" = 0 ] && tools/install-deps.sh
jobs=${JOBS:-2}

failed=""
check() {  # stage name, command...: runs every stage, remembers the ones that failed
  stage=$1; shift
  "$@" || failed="$failed $stage"
}

configure() {  # dir, extra cmake arguments...
  dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== native"
configure build/native
check native ctest --test-dir build/native -j "$jobs" --output-on-failure

echo "== native, AddressSanitizer and UndefinedBehaviorSanitizer"
configure build/asan -DZ_SANITIZE=ON -DZ_BENCH=OFF
check asan env ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build/asan -j "$jobs" --output-on-failure

echo "== fuzzers (clang, libFuzzer)"
configure build/fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZ_FUZZ=ON -DZ_BENCH=OFF
check fuzz ctest --test-dir build/fuzz -j "$jobs" -L fuzz --output-on-failure

echo "== win32 under Wine"
if why=$(tools/runs-win32.sh); then
  configure build/win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DZ_HOST_ZPACK=
  check win32 xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir build/win32 -j "$jobs" --output-on-failure
else
  # Everything is still built (the sample packed by the native zpack); only running it is impossible.
  configure build/win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DZ_HOST_ZPACK="$root/build/native/tools/zpack/zpack"
  not_run="win32 tests built but NOT RUN: $why"
  echo "== $not_run"
fi

echo "== hardening flags of the shipped binaries"
check hardening tools/check-hardening.sh build/win32/Zarpex32.exe build/win32/siteid/zsiteid.dll \
  build/win32/tools/zpack/zpack.exe build/native/tools/zpack/zpack
if [ -n "$failed" ]; then echo "== FAILED:$failed"; exit 1; fi
echo "== all tests passed${not_run:+ ($not_run)}"
