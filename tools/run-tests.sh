#!/bin/sh
# Checks the includes against the floors of the sources, builds every configuration and runs every
# test: native (plain and with ASan/UBSan), the fuzzers
# for a bounded time, and the Windows builds (build/win32 for i686, build/win64 for x86_64) under
# Wine; then reads the exports, imports and hardening flags from the headers of the shipped binaries
# and measures the self-extracting program.
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

echo "== floors: every include keeps to the layering of the sources"
check floors tools/check-floors.sh

echo "== native"
configure build/native
check native ctest --test-dir build/native -j "$jobs" --output-on-failure

echo "== native, AddressSanitizer and UndefinedBehaviorSanitizer"
configure build/asan -DZ_SANITIZE=ON -DZ_BENCH=OFF
check asan env ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build/asan -j "$jobs" --output-on-failure

echo "== fuzzers (clang, libFuzzer)"
configure build/fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZ_FUZZ=ON -DZ_BENCH=OFF
check fuzz ctest --test-dir build/fuzz -j "$jobs" -L fuzz --output-on-failure

# Windows: both builds are always built; each runs its whole suite (GUI tests included, on an Xvfb
# display) where this machine runs its Wine: x86_64 on any x86_64 machine with Wine, i686 where the
# kernel also runs 32-bit code. A machine that runs neither fails.
windows_ran=""
not_run=""
for arch in i686 x86_64; do
  case $arch in i686) dir=build/win32 ;; *) dir=build/win64 ;; esac
  if why=$(tools/runs-windows.sh $arch); then
    echo "== $dir ($arch) under Wine"
    configure "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DZ_HOST_ZPACK=
    check "$dir" xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$dir" -j "$jobs" --output-on-failure
    windows_ran="$windows_ran $arch"
  else
    # Built all the same (the sample packed by the native zpack); only running it is impossible.
    echo "== $dir ($arch): built, its tests cannot run here: $why"
    configure "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
      -DZ_HOST_ZPACK="$root/build/native/tools/zpack/zpack"
    not_run="$not_run $arch"
  fi
  echo "== $dir: exports, imports and hardening flags of the shipped binaries, the program's size"
  check "$dir-exports" tools/check-exports.sh "$dir"
  check "$dir-imports" tools/check-imports.sh "$dir"
  check "$dir-size" tools/check-size.sh "$dir/Zarpex32.exe"
  check "$dir-hardening" tools/check-hardening.sh "$dir/Zarpex32.exe" "$dir/siteid/zsiteid.dll" \
    "$dir/tools/zpack/zpack.exe"
done
[ -n "$windows_ran" ] || { echo "== no Windows tests could run on this machine"; failed="$failed windows"; }
check native-hardening tools/check-hardening.sh build/native/tools/zpack/zpack
if [ -n "$failed" ]; then echo "== FAILED:$failed"; exit 1; fi
echo "== all tests passed (Windows suites run:$windows_ran${not_run:+; built only, not runnable here:$not_run})"
