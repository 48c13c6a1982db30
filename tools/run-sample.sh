#!/bin/sh
# The main job on the sample: builds Zarpex32.exe with the sample packed file appended to it,
# prepares a sample installation on the Wine drive C:, and unpacks through setuphost in
# setup-call mode under Wine (headless), printing progress and the resulting tree.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ "$(id -u)" = 0 ] && tools/install-deps.sh
jobs=${JOBS:-2}

echo "== build (native zpack, win32 program)"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$jobs" --target zpack zsample
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build build/win32 -j "$jobs" --target Zarpex32 setuphost

zpack=build/native/tools/zpack/zpack
program=build/win32/sample/Zarpex32-sample.exe
mkdir -p build/win32/sample
echo "== the sample packed file"
"$zpack" list build/native/sample/connect.zpk
"$zpack" create "$program" --title "Connect Beispielarchiv" --subdir '\ARCHIVE\SYSTEM\connect' --ascii \
  --time 1230768000 --append-to build/win32/Zarpex32.exe sample/connect
echo "== $program carries it behind the program"
"$zpack" test "$program"

echo "== sample installation C:\\zelvar (server ZELVAR1, volume SYS)"
build/win32/wine-prefix init
drive_c=build/win32/wineprefix/drive_c
rm -rf "$drive_c/zelvar"
mkdir -p "$drive_c/zelvar/ARCHIVE/SYSTEM" "$drive_c/zelvar/clients"
printf '[COMMON]\r\nServer=ZELVAR1\r\nVolume=SYS\r\n' > "$drive_c/zelvar/clients/setup.inf"

echo "== setup-call run through setuphost"
exe="Z:$(cd build/win32/sample && pwd | tr / '\\')\\Zarpex32-sample.exe"
status=0
xvfb-run -a build/win32/wine-run build/win32/tools/setuphost/setuphost.exe --exe "$exe" --width 40 -- \
  "-Q$exe" '-ZC:\zelvar\ARCHIVE\SYSTEM\connect' >build/win32/sample/setuphost.log 2>&1 || status=$?
grep -v "X connection" build/win32/sample/setuphost.log || true
build/win32/wine-prefix kill

echo "== resulting tree"
(cd "$drive_c" && find zelvar -printf '%y %10s  %p\n' | sort -k3)
exit $status
