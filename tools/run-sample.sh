#!/bin/sh
# The main job on the sample: builds Zarpex32.exe with the sample packed file appended to it,
# prepares a sample installation on the Wine drive C:, unpacks it through setuphost in setup-call
# mode under Wine, and prints the progress, the outcome, the unpacked tree and the records that
# registered the archive. Works without a terminal and without an X display (wine-run brings its own).
# The program is the 32-bit build (build/win32), as shipped, where this machine runs 32-bit Wine, and
# the 64-bit build (build/win64) on a machine that runs 64-bit user code only; the output says which.
# A failed step ends the run with one line naming it and a non-zero exit code; on a machine that runs
# neither, the run says why and exits 77.
#
#   tools/run-sample.sh [--sign CERT.pem KEY.pem]
#
# With --sign the program carrying the sample is signed (osslsigncode, Authenticode) after the packed
# file was appended, its signature is verified against CERT.pem, and the signed copy is installed.
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
jobs=${JOBS:-2}
script=run-sample
. tools/steps.sh
sign_cert=""
sign_key=""
if [ "$1" = --sign ]; then
  [ $# -eq 3 ] || { echo "usage: tools/run-sample.sh [--sign CERT.pem KEY.pem]" >&2; exit 2; }
  sign_cert=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
  sign_key=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
fi

if [ "$(id -u)" = 0 ]; then
  echo "== dependencies (tools/install-deps.sh)"
  quiet "installing the dependencies" tools/install-deps.sh
fi

build=$(tools/runs-windows.sh --pick) || { echo "run-sample: NOT RUN: $build" >&2; exit 77; }
case $build in
  win32) arch=i686 bits=32 ;;
  *) arch=x86_64 bits=64 ;;
esac
echo "== build (native zpack, $bits-bit Windows program in build/$build: $(
  [ $bits = 32 ] && echo "as shipped" || echo "this machine runs no 32-bit Windows programs"))"
quiet "configuring the native build" cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
quiet "building the native zpack" cmake --build build/native -j "$jobs" --target zpack zsample
quiet "configuring the $build build" cmake -S . -B "build/$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake"
quiet "building Zarpex32.exe and setuphost" cmake --build "build/$build" -j "$jobs" --target Zarpex32 setuphost

zpack=build/native/tools/zpack/zpack
wine=build/$build/wine-run
program=build/$build/sample/Zarpex32-sample.exe
mkdir -p "build/$build/sample"
echo "== $program: the program with the sample packed file behind it"
"$zpack" create "$program" --title "Connect Beispielarchiv" --subdir '\ARCHIVE\SYSTEM\connect' --ascii \
  --time 1230768000 --append-to "build/$build/Zarpex32.exe" sample/connect >/dev/null || failed "packing the sample" $?
if [ -n "$sign_cert" ]; then
  echo "== $program: signed behind the packed file (osslsigncode), then checked"
  rm -f "$program.signed"
  quiet "signing the sample copy" osslsigncode sign -certs "$sign_cert" -key "$sign_key" -n "Zarpex32 sample" \
    -in "$program" -out "$program.signed"
  mv "$program.signed" "$program" || failed "signing the sample copy" $?
  quiet "verifying the signature of the sample copy" osslsigncode verify -CAfile "$sign_cert" -in "$program"
fi
"$zpack" test "$program" || failed "testing the packed sample" $?

printf '%s\n' '== sample installation C:\zelvar (server ZELVAR1, volume SYS)'
quiet "preparing the Wine prefix" "$wine" --start
drive_c=build/$build/wineprefix/drive_c
target=zelvar/ARCHIVE/SYSTEM/connect
rm -rf "$drive_c/zelvar"
mkdir -p "$drive_c/zelvar/ARCHIVE/SYSTEM" "$drive_c/zelvar/clients" || failed "making the sample installation" $?
printf '[COMMON]\r\nServer=ZELVAR1\r\nVolume=SYS\r\n' >"$drive_c/zelvar/clients/setup.inf"

echo "== setup-call run through setuphost: progress, done code, exit code"
exe="Z:$(cd "build/$build/sample" && pwd | tr / '\\')\\Zarpex32-sample.exe"
"$wine" "build/$build/tools/setuphost/setuphost.exe" --exe "$exe" --width 40 -- \
  "-Q$exe" '-ZC:\zelvar\ARCHIVE\SYSTEM\connect' </dev/null
status=$?
"$wine" --stop

printf '%s\n' '== unpacked tree (C:\zelvar)'
(cd "$drive_c" && find zelvar -printf '%y %10s  %p\n' | sort -k3)

echo "== records that registered the archive"
records=""
for f in zelvar/archive.dir zelvar/ARCHIVE/archive.dir zelvar/ARCHIVE/SYSTEM/archive.dir "$target/archive.add"; do
  [ -f "$drive_c/$f" ] && records="$records $drive_c/$f"
done
[ -n "$records" ] || failed "registering the archive: no archive.dir above the target" 1
# shellcheck disable=SC2086
"$zpack" records $records | sed "s|^$drive_c/|C:/|"

[ "$status" = 0 ] || failed "the setup-call run (setuphost exit code $status)" "$status"
printf '%s\n' '== done: the sample archive is unpacked to C:\zelvar\ARCHIVE\SYSTEM\connect and registered'
