#!/bin/sh
# zpack verify of an installed tree against "diff -r" of two uncompressed copies of the same tree,
# natively, on the job benchmark's tree (by default /usr/share/vim and /usr/include/node, about 100 MB).
#
#   tests/bench/verify_against_diff.sh [build/native] [rounds] [source folder...]
#
# The tree is packed and extracted with the native zpack; each round times "zpack verify" of the
# packed file against the extracted tree and "diff -r" of the tree against a copy, both with the
# files in the page cache (one warm-up run each). Prints every round, the medians, and the bytes
# verify read (strace: the packed file once plus every installed file once).
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/native}" && pwd)
rounds=${2:-5}
[ $# -ge 2 ] && shift 2 || shift $#
sources=${*:-/usr/share/vim /usr/include/node}
zpack=$build/tools/zpack/zpack
work=$build/bench/verify

rm -rf "$work" && mkdir -p "$work/tree"
for s in $sources; do cp -rL "$s" "$work/tree/$(basename "$s")"; done
echo "tree: $(find "$work/tree" -type f | wc -l) files, $(du -sm "$work/tree" | cut -f1) MB"
"$zpack" create "$work/tree.zpk" --title "Bench" --subdir '\ARCHIVE\SYSTEM\bench' "$work/tree" >/dev/null
echo "packed: $(($(stat -c %s "$work/tree.zpk") / 1048576)) MB"
"$zpack" extract "$work/tree.zpk" "$work/installed" >/dev/null
cp -a "$work/tree" "$work/copy"

"$zpack" verify "$work/tree.zpk" "$work/installed" >/dev/null || { echo "verify found differences"; exit 1; }
diff -r "$work/tree" "$work/copy" >/dev/null

seconds() { date +%s.%N; }
: > "$work/times"
round=1
while [ "$round" -le "$rounds" ]; do
  start=$(seconds)
  "$zpack" verify "$work/tree.zpk" "$work/installed" >/dev/null
  verify=$(echo "$(seconds) - $start" | bc)
  start=$(seconds)
  diff -r "$work/tree" "$work/copy" >/dev/null
  diff=$(echo "$(seconds) - $start" | bc)
  echo "$verify $diff" >> "$work/times"
  printf 'round %d: verify %.2f s, diff -r %.2f s\n' "$round" "$verify" "$diff"
  round=$((round + 1))
done
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf 'median: verify %.2f s, diff -r %.2f s\n' "$(cut -d' ' -f1 "$work/times" | median)" \
  "$(cut -d' ' -f2 "$work/times" | median)"

if command -v strace >/dev/null; then
  strace -f -e trace=read,pread64 -o "$work/strace.log" "$zpack" verify "$work/tree.zpk" "$work/installed" >/dev/null
  installed=$(du -sb --apparent-size "$work/installed" | cut -f1)
  read=$(awk -F'= ' '/^[0-9]+ +(read|pread64)\(/ && $NF + 0 > 0 { s += $NF } END { printf "%d", s }' "$work/strace.log")
  echo "verify read $read bytes: packed file $(stat -c %s "$work/tree.zpk"), installed files about $installed"
fi
