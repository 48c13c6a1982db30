#!/bin/sh
# Builds the native configuration and shows the sample packed file: its trailer and entries
# (zpack list) and the decompression of every entry (zpack test).
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
[ "$(id -u)" = 0 ] && tools/install-deps.sh
jobs=${JOBS:-2}
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$jobs" --target zpack zsample
sample=build/native/sample/connect.zpk
echo "== zpack list $sample"
build/native/tools/zpack/zpack list "$sample"
echo "== zpack test $sample"
build/native/tools/zpack/zpack test "$sample"
