#!/bin/sh
# Builds the shipped binaries in the Release configuration and writes
#   dist/zarpex32-VERSION/        Zarpex32.exe, zsiteid.dll, zpack.exe, zpack (native), README.md, SHA256SUMS
#   dist/zarpex32-VERSION-debug/  the debug information of each binary (*.debug), which the binaries
#                                 name through their .gnu_debuglink
#   dist/zarpex32-VERSION-win32.zip  the Windows binaries and README.md, to hand out as one file
#                                 (its checksum is in SHA256SUMS, as ../zarpex32-VERSION-win32.zip)
# The binaries are reproducible: the same commit gives the same bytes in any folder at any time
# (no time stamps, no build folders; file dates are the last commit's).
#
# Signing, off by default: with ZARPEX_SIGN_CERT (PEM certificate, chain included) and ZARPEX_SIGN_KEY
# (its PEM private key) set, and optionally ZARPEX_SIGN_TIMESTAMP (a time-stamp server's URL), the
# Windows binaries are also signed with osslsigncode (Authenticode) into
#   dist/zarpex32-VERSION-signed/ Zarpex32.exe, zsiteid.dll, zpack.exe
# The release folder and its SHA256SUMS stay those of the unsigned, reproducible binaries (a
# signature carries its signing time).
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
jobs=${JOBS:-2}
script=make-release
. tools/steps.sh

if [ "$(id -u)" = 0 ]; then quiet "installing the dependencies" tools/install-deps.sh; fi
# The one date: strip and objcopy write it into the PE headers (the linker writes none).
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || failed "reading the date of the last commit" 1
export SOURCE_DATE_EPOCH

echo "== Release builds (build/release-native, build/release-win32)"
quiet "configuring the native release build" \
  cmake -S . -B build/release-native -G Ninja -DCMAKE_BUILD_TYPE=Release -DZ_BENCH=OFF
quiet "building the native zpack" cmake --build build/release-native -j "$jobs" --target zpack
quiet "configuring the win32 release build" cmake -S . -B build/release-win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
quiet "building Zarpex32.exe, zsiteid.dll and zpack.exe" \
  cmake --build build/release-win32 -j "$jobs" --target Zarpex32 zsiteid zpack

version=$(build/release-native/tools/zpack/zpack --version | sed -n 's/^zpack \([^ ]*\) .*/\1/p')
[ -n "$version" ] || failed "reading the version from zpack --version" 1
dist=dist/zarpex32-$version
debug=dist/zarpex32-$version-debug
signed=dist/zarpex32-$version-signed
rm -rf "$dist" "$debug" "$signed"
mkdir -p "$dist" "$debug"

ship() {  # binary, tool prefix: stripped into $dist, its debug information into $debug
  name=$(basename "$1")
  quiet "keeping the debug information of $name" "${2}objcopy" --only-keep-debug "$1" "$debug/$name.debug"
  quiet "stripping $name" "${2}strip" --strip-all -o "$dist/$name" "$1"
  quiet "linking $name to its debug information" "${2}objcopy" --add-gnu-debuglink="$debug/$name.debug" "$dist/$name"
}
echo "== $dist"
ship build/release-win32/Zarpex32.exe i686-w64-mingw32-
ship build/release-win32/siteid/zsiteid.dll i686-w64-mingw32-
ship build/release-win32/tools/zpack/zpack.exe i686-w64-mingw32-
ship build/release-native/tools/zpack/zpack ""
# One version everywhere: the folder's (from zpack --version) is the one in both VERSIONINFO resources.
for f in Zarpex32.exe zsiteid.dll; do
  strings -el "$dist/$f" | grep -qx "$version" || failed "checking the version: $f does not carry $version" 1
done
quiet "checking the hardening flags of the shipped binaries" tools/check-hardening.sh -d "$debug" \
  "$dist/Zarpex32.exe" "$dist/zsiteid.dll" "$dist/zpack.exe" "$dist/zpack"
cp README.md "$dist/"
zip=zarpex32-$version-win32.zip
rm -f "dist/$zip"
quiet "writing $zip" python3 tools/write_zip.py "dist/$zip" "zarpex32-$version" "$SOURCE_DATE_EPOCH" \
  "$dist/Zarpex32.exe" "$dist/zsiteid.dll" "$dist/zpack.exe" "$dist/README.md"
(cd "$dist" && sha256sum Zarpex32.exe zsiteid.dll zpack.exe zpack README.md "../$zip" >SHA256SUMS) ||
  failed "writing SHA256SUMS" 1
touch -d "@$SOURCE_DATE_EPOCH" "$dist"/* "$debug"/* "dist/$zip"
if [ -n "$ZARPEX_SIGN_CERT$ZARPEX_SIGN_KEY" ]; then
  [ -n "$ZARPEX_SIGN_CERT" ] && [ -n "$ZARPEX_SIGN_KEY" ] ||
    failed "signing: ZARPEX_SIGN_CERT and ZARPEX_SIGN_KEY go together" 1
  echo "== $signed (signed with $ZARPEX_SIGN_CERT)"
  mkdir -p "$signed"
  for f in Zarpex32.exe zsiteid.dll zpack.exe; do
    quiet "signing $f" osslsigncode sign -certs "$ZARPEX_SIGN_CERT" -key "$ZARPEX_SIGN_KEY" -n "Zarpex32 $version" \
      ${ZARPEX_SIGN_TIMESTAMP:+-ts "$ZARPEX_SIGN_TIMESTAMP"} -in "$dist/$f" -out "$signed/$f"
  done
  (cd dist && ls -l "zarpex32-$version-signed" | grep -v '^total')
fi
(cd dist && ls -l "zarpex32-$version" "zarpex32-$version-debug" "$zip" | grep -v '^total')
echo "== SHA256SUMS"
cat "$dist/SHA256SUMS"
