#!/bin/sh
# Builds the shipped binaries in the Release configuration and writes
#   dist/zarpex32-VERSION/        Zarpex32.exe, zsiteid.dll, zpack.exe, zpack (native), README.md, SHA256SUMS
#   dist/zarpex32-VERSION-debug/  the debug information of each binary (*.debug), which the binaries
#                                 name through their .gnu_debuglink
#   dist/zarpex32-VERSION-win32.zip  the Windows binaries and README.md, to hand out as one file
#                                 (its checksum is in SHA256SUMS, as ../zarpex32-VERSION-win32.zip)
#   dist/zarpex32-VERSION-win64/  the 64-bit Zarpex32.exe, zsiteid.dll and zpack.exe
#   dist/zarpex32-VERSION-win64-debug/  their debug information
#   dist/zarpex32-VERSION-win64.zip  the 64-bit binaries and README.md
# SHA256SUMS (in dist/zarpex32-VERSION/) names every shipped file of both, and both zips.
# The binaries are reproducible: the same commit gives the same bytes in any folder at any time
# (no time stamps, no build folders; file dates are the last commit's).
#
# Signing, off by default: with ZARPEX_SIGN_CERT (PEM certificate, chain included) and ZARPEX_SIGN_KEY
# (its PEM private key) set, and optionally ZARPEX_SIGN_TIMESTAMP (a time-stamp server's URL), the
# Windows binaries are also signed with osslsigncode (Authenticode) into
#   dist/zarpex32-VERSION-signed/ Zarpex32.exe, zsiteid.dll, zpack.exe
#   dist/zarpex32-VERSION-win64-signed/  the same of the 64-bit build
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

echo "== Release builds (build/release-native, build/release-win32, build/release-win64)"
quiet "configuring the native release build" \
  cmake -S . -B build/release-native -G Ninja -DCMAKE_BUILD_TYPE=Release -DZ_BENCH=OFF
quiet "building the native zpack" cmake --build build/release-native -j "$jobs" --target zpack
for arch in i686 x86_64; do
  case $arch in i686) bits=32 ;; *) bits=64 ;; esac
  quiet "configuring the win$bits release build" cmake -S . -B "build/release-win$bits" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake"
  quiet "building the $bits-bit Zarpex32.exe, zsiteid.dll and zpack.exe" \
    cmake --build "build/release-win$bits" -j "$jobs" --target Zarpex32 zsiteid zpack
done

version=$(build/release-native/tools/zpack/zpack --version | sed -n 's/^zpack \([^ ]*\) .*/\1/p')
[ -n "$version" ] || failed "reading the version from zpack --version" 1
dist=dist/zarpex32-$version
debug=dist/zarpex32-$version-debug
signed=dist/zarpex32-$version-signed
dist64=dist/zarpex32-$version-win64
debug64=dist/zarpex32-$version-win64-debug
signed64=dist/zarpex32-$version-win64-signed
rm -rf "$dist" "$debug" "$signed" "$dist64" "$debug64" "$signed64"
mkdir -p "$dist" "$debug" "$dist64" "$debug64"

ship() {  # binary, tool prefix, folder, debug folder: stripped into the folder, its debug information beside
  name=$(basename "$1")
  quiet "keeping the debug information of $name" "${2}objcopy" --only-keep-debug "$1" "$4/$name.debug"
  quiet "stripping $name" "${2}strip" --strip-all -o "$3/$name" "$1"
  quiet "linking $name to its debug information" "${2}objcopy" --add-gnu-debuglink="$4/$name.debug" "$3/$name"
}
echo "== $dist, $dist64"
for f in Zarpex32.exe siteid/zsiteid.dll tools/zpack/zpack.exe; do
  ship "build/release-win32/$f" i686-w64-mingw32- "$dist" "$debug"
  ship "build/release-win64/$f" x86_64-w64-mingw32- "$dist64" "$debug64"
done
ship build/release-native/tools/zpack/zpack "" "$dist" "$debug"
# One version everywhere: the folder's (from zpack --version) is the one in both VERSIONINFO resources.
for f in "$dist/Zarpex32.exe" "$dist/zsiteid.dll" "$dist64/Zarpex32.exe" "$dist64/zsiteid.dll"; do
  strings -el "$f" | grep -qx "$version" || failed "checking the version: $f does not carry $version" 1
done
quiet "checking the hardening flags of the shipped binaries" tools/check-hardening.sh -d "$debug" \
  "$dist/Zarpex32.exe" "$dist/zsiteid.dll" "$dist/zpack.exe" "$dist/zpack"
quiet "checking the hardening flags of the 64-bit binaries" tools/check-hardening.sh -d "$debug64" \
  "$dist64/Zarpex32.exe" "$dist64/zsiteid.dll" "$dist64/zpack.exe"
quiet "checking the exports of the shipped binaries" tools/check-exports.sh "$dist"
quiet "checking the exports of the 64-bit binaries" tools/check-exports.sh "$dist64"
quiet "checking the imports of the shipped binaries (Windows XP and later)" tools/check-imports.sh "$dist"
quiet "checking the imports of the 64-bit binaries (Windows XP and later)" tools/check-imports.sh "$dist64"
quiet "checking the size of the self-extracting programs" tools/check-size.sh \
  build/release-win32/Zarpex32.exe build/release-win64/Zarpex32.exe
cp README.md "$dist/"
zip=zarpex32-$version-win32.zip
zip64=zarpex32-$version-win64.zip
rm -f "dist/$zip" "dist/$zip64"
quiet "writing $zip" python3 tools/write_zip.py "dist/$zip" "zarpex32-$version" "$SOURCE_DATE_EPOCH" \
  "$dist/Zarpex32.exe" "$dist/zsiteid.dll" "$dist/zpack.exe" "$dist/README.md"
quiet "writing $zip64" python3 tools/write_zip.py "dist/$zip64" "zarpex32-$version-win64" "$SOURCE_DATE_EPOCH" \
  "$dist64/Zarpex32.exe" "$dist64/zsiteid.dll" "$dist64/zpack.exe" "$dist/README.md"
w64=../zarpex32-$version-win64
(cd "$dist" && sha256sum Zarpex32.exe zsiteid.dll zpack.exe zpack README.md "../$zip" \
   "$w64/Zarpex32.exe" "$w64/zsiteid.dll" "$w64/zpack.exe" "../$zip64" >SHA256SUMS) ||
  failed "writing SHA256SUMS" 1
touch -d "@$SOURCE_DATE_EPOCH" "$dist"/* "$debug"/* "$dist64"/* "$debug64"/* "dist/$zip" "dist/$zip64"
if [ -n "$ZARPEX_SIGN_CERT$ZARPEX_SIGN_KEY" ]; then
  [ -n "$ZARPEX_SIGN_CERT" ] && [ -n "$ZARPEX_SIGN_KEY" ] ||
    failed "signing: ZARPEX_SIGN_CERT and ZARPEX_SIGN_KEY go together" 1
  echo "== $signed, $signed64 (signed with $ZARPEX_SIGN_CERT)"
  mkdir -p "$signed" "$signed64"
  for f in Zarpex32.exe zsiteid.dll zpack.exe; do
    for pair in "$dist:$signed" "$dist64:$signed64"; do
      quiet "signing ${pair%%:*}/$f" osslsigncode sign -certs "$ZARPEX_SIGN_CERT" -key "$ZARPEX_SIGN_KEY" \
        -n "Zarpex32 $version" ${ZARPEX_SIGN_TIMESTAMP:+-ts "$ZARPEX_SIGN_TIMESTAMP"} \
        -in "${pair%%:*}/$f" -out "${pair#*:}/$f"
    done
  done
  (cd dist && ls -l "zarpex32-$version-signed" "zarpex32-$version-win64-signed" | grep -v '^total')
fi
(cd dist && ls -l "zarpex32-$version" "zarpex32-$version-debug" "zarpex32-$version-win64" \
   "zarpex32-$version-win64-debug" "$zip" "$zip64" | grep -v '^total')
echo "== SHA256SUMS"
cat "$dist/SHA256SUMS"
