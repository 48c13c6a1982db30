#!/bin/sh
# The whole setup-call job under Wine against xcopy of the same uncompressed tree, in the same prefix.
#
#   tests/bench/job_against_xcopy.sh [build/win32] [rounds] [source folder...]
#
# The tree is made of real files of this machine (by default the editor runtime /usr/share/vim and the
# headers /usr/include/node), packed with the native zpack. Each round unpacks it through setuphost in
# setup-call mode with both paths on the command line, as the sample run does (Z_JOB_BENCH_CONTROL=1:
# the options come from the setup program's control instead, and every entry is shown there), and
# then copies the uncompressed tree with "xcopy /E /K /H", which also carries times and attributes.
# Z_JOB_BENCH_LOG=1: the job also writes its log (-L), one line per file; compare the medians with
# and without it for the log's cost.
# Prints every round and the medians. Needs build/native's zpack and the win32 build's Zarpex32.exe and
# setuphost.exe; runs in one display of its own, so that the prefix's server lives through all rounds.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/win32}" && pwd)
rounds=${2:-3}
[ $# -ge 2 ] && shift 2 || shift $#
sources=${*:-/usr/share/vim /usr/include/node}
zpack=$root/build/native/tools/zpack/zpack
work=$build/bench/job
drive_c=$build/wineprefix/drive_c

if [ -z "$Z_JOB_BENCH_INSIDE_DISPLAY" ]; then
  rm -rf "$work" && mkdir -p "$work/tree"
  for s in $sources; do cp -rL "$s" "$work/tree/$(basename "$s")"; done
  echo "tree: $(find "$work/tree" -type f | wc -l) files, $(find "$work/tree" -type d | wc -l) directories, $(du -sm "$work/tree" | cut -f1) MB"
  "$zpack" create "$work/tree.zpk" --title "Bench" --subdir '\ARCHIVE\SYSTEM\bench' "$work/tree" >/dev/null
  echo "packed: $(($(stat -c %s "$work/tree.zpk") / 1048576)) MB"
  export Z_JOB_BENCH_INSIDE_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$rounds" $sources
fi

"$build/wine-run" --start
rm -rf "$drive_c/zelvar" "$drive_c/zbench"
mkdir -p "$drive_c/zelvar/ARCHIVE/SYSTEM" "$drive_c/zelvar/clients" "$drive_c/zbench"
printf '[COMMON]\r\nServer=ZELVAR1\r\nVolume=SYS\r\n' > "$drive_c/zelvar/clients/setup.inf"
cp "$work/tree.zpk" "$drive_c/zbench/tree.zpk"
cp -r "$work/tree" "$drive_c/zbench/tree"
exe="Z:$(echo "$build" | tr / '\\')\\Zarpex32.exe"

log_option=""
[ -n "$Z_JOB_BENCH_LOG" ] && log_option='-LC:\zbench\job.log'
seconds() { date +%s.%N; }
: > "$work/times"
round=1
while [ "$round" -le "$rounds" ]; do
  rm -rf "$drive_c/zelvar/ARCHIVE/SYSTEM/bench"
  start=$(seconds)
  if [ -n "$Z_JOB_BENCH_CONTROL" ]; then
    "$build/wine-run" "$build/tools/setuphost/setuphost.exe" --exe "$exe" --width 40 --timeout 900 \
      --control "-QC:\\zbench\\tree.zpk -ZC:\\zelvar\\ARCHIVE\\SYSTEM\\bench $log_option" >"$work/setuphost.log" 2>&1 || true
  else
    "$build/wine-run" "$build/tools/setuphost/setuphost.exe" --exe "$exe" --width 40 --timeout 900 -- \
      '-QC:\zbench\tree.zpk' '-ZC:\zelvar\ARCHIVE\SYSTEM\bench' $log_option >"$work/setuphost.log" 2>&1 || true
  fi
  job=$(echo "$(seconds) - $start" | bc)
  grep -q '^exit 0' "$work/setuphost.log" || { echo "round $round: the job failed"; tail -3 "$work/setuphost.log"; exit 1; }
  rm -rf "$drive_c/zbench/copy"
  start=$(seconds)
  "$build/wine-run" xcopy 'C:\zbench\tree' 'C:\zbench\copy' /E /K /H /I /Q >"$work/xcopy.log" 2>&1
  copy=$(echo "$(seconds) - $start" | bc)
  echo "$job $copy" >> "$work/times"
  printf 'round %d: job %.2f s, xcopy %.2f s, ratio %.2f\n' "$round" "$job" "$copy" "$(echo "$job / $copy" | bc -l)"
  round=$((round + 1))
done
"$build/wine-run" --stop
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
job=$(cut -d' ' -f1 "$work/times" | median)
copy=$(cut -d' ' -f2 "$work/times" | median)
printf 'median: job %.2f s, xcopy %.2f s, ratio %.2f\n' "$job" "$copy" "$(echo "$job / $copy" | bc -l)"
