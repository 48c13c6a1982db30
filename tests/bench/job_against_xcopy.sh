#!/bin/sh
# The whole job under Wine against xcopy of the same uncompressed tree, in the same prefix.
#
#   tests/bench/job_against_xcopy.sh [build/win64] [rounds] [source folder...]
#
# The tree is made of real files of this machine (by default the editor runtime /usr/share/vim and the
# headers /usr/include/node), packed with the native zpack. Each round runs, in an order that turns
# from round to round:
#   setup    the setup call through setuphost with both paths on the command line, as the sample run
#   control  the setup call with the options in the setup program's control (every entry shown there)
#   sheet    the interactive job, driven by uidriver: start, "Entpacken", time to the success box
#   xcopy    "xcopy /E /K /H" of the uncompressed tree, which also carries times and attributes
# Prints every round with its ratios, the medians, the goals (sheet <= 1.1 x setup and <= 1.0 x xcopy,
# control <= 1.2 x setup) and the load average before and after the run and with every round (other
# builds on the machine show there: compare rounds of like load). 5 rounds by default: fewer are too
# noisy on a shared machine. Needs build/native's zpack and the Windows build's Zarpex32.exe,
# setuphost.exe and uidriver.exe; runs in one display of its own, so that the prefix's server lives
# through all rounds.
# Z_JOB_BENCH_LOG=1: the setup calls also write their log (-L), one line per file; compare the
# medians with and without it for the log's cost. Z_JOB_BENCH_EXE=PATH times another Zarpex32.exe
# (a Unix path, say a copy of an earlier build) with this build's tools and prefix.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
rounds=${2:-5}
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
program=${Z_JOB_BENCH_EXE:-$build/Zarpex32.exe}
exe="Z:$(echo "$program" | tr / '\\')"

cat > "$work/sheet.txt" <<'SCRIPT'
reg-set HKLM "SOFTWARE\Brannix\Zelvar" RootDirectory "C:\zelvar"
start "C:\zbench\tree.zpk" -d "C:\zelvar\ARCHIVE\SYSTEM\bench"
wait-sheet 120
command 1
timed-box 900
box ok - "Der Entpackvorgang wurde erfolgreich abgeschlossen\nund die entpackten Archives im BAS eingerichtet!"
command 2
wait-exit 120 0
SCRIPT

log_option=""
[ -n "$Z_JOB_BENCH_LOG" ] && log_option='-LC:\zbench\job.log'
seconds() { date +%s.%N; }
setuphost() {  # options as in the control, or "--" and the options on the command line
  "$build/wine-run" "$build/tools/setuphost/setuphost.exe" --exe "$exe" --width 40 --timeout 900 "$@" \
    >"$work/setuphost.log" 2>&1 || true
  grep -q '^exit 0' "$work/setuphost.log" || { echo "round $round: the setup call failed" >&2; tail -3 "$work/setuphost.log" >&2; exit 1; }
}
run() {  # what, in a subshell: prints its seconds (for the sheet: "Entpacken" to the success box, then the whole run)
  rm -rf "$drive_c/zelvar/ARCHIVE/SYSTEM/bench" "$drive_c/zbench/copy"
  start=$(seconds)
  case $1 in
    setup) setuphost -- '-QC:\zbench\tree.zpk' '-ZC:\zelvar\ARCHIVE\SYSTEM\bench' $log_option ;;
    control) setuphost --control "-QC:\\zbench\\tree.zpk -ZC:\\zelvar\\ARCHIVE\\SYSTEM\\bench $log_option" ;;
    sheet)
      "$build/wine-run" "$build/tools/uidriver/uidriver.exe" --exe "$exe" "$(windows "$work/sheet.txt")" \
        >"$work/uidriver.log" 2>&1 || { echo "round $round: the interactive job failed" >&2; tail -5 "$work/uidriver.log" >&2; exit 1; } ;;
    xcopy) "$build/wine-run" xcopy 'C:\zbench\tree' 'C:\zbench\copy' /E /K /H /I /Q >"$work/xcopy.log" 2>&1 ;;
  esac
  whole=$(echo "$(seconds) - $start" | bc)
  if [ "$1" = sheet ]; then
    box=$(sed -n 's/.*box after \([0-9]*\) ms.*/\1/p' "$work/uidriver.log")
    echo "$(echo "$box / 1000" | bc -l) $whole"
  else
    echo "$whole"
  fi
}
windows() { echo "Z:$1" | tr / '\\'; }
ratio() { echo "$1 / $2" | bc -l; }

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
: > "$work/times"
round=1
while [ "$round" -le "$rounds" ]; do
  case $((round % 4)) in
    1) order="setup control sheet xcopy" ;;
    2) order="xcopy sheet control setup" ;;
    3) order="sheet setup xcopy control" ;;
    0) order="control xcopy setup sheet" ;;
  esac
  for what in $order; do
    case $what in
      setup) setup=$(run setup) ;;
      control) control=$(run control) ;;
      sheet) times=$(run sheet); set -- $times; sheet=$1; sheet_whole=$2 ;;
      xcopy) copy=$(run xcopy) ;;
    esac
  done
  echo "$setup $control $sheet $copy $sheet_whole" >> "$work/times"
  printf 'round %d (load %s): setup %.2f s, control %.2f s, sheet %.2f s (whole run %.2f s), xcopy %.2f s; ' \
    "$round" "$(cut -d' ' -f1 /proc/loadavg)" "$setup" "$control" "$sheet" "$sheet_whole" "$copy"
  printf 'sheet/setup %.2f, sheet/xcopy %.2f, control/setup %.2f, setup/xcopy %.2f\n' \
    "$(ratio "$sheet" "$setup")" "$(ratio "$sheet" "$copy")" "$(ratio "$control" "$setup")" "$(ratio "$setup" "$copy")"
  round=$((round + 1))
done
"$build/wine-run" --stop
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
setup=$(cut -d' ' -f1 "$work/times" | median)
control=$(cut -d' ' -f2 "$work/times" | median)
sheet=$(cut -d' ' -f3 "$work/times" | median)
copy=$(cut -d' ' -f4 "$work/times" | median)
sheet_whole=$(cut -d' ' -f5 "$work/times" | median)
printf 'median: setup %.2f s, control %.2f s, sheet %.2f s (whole run %.2f s), xcopy %.2f s\n' \
  "$setup" "$control" "$sheet" "$sheet_whole" "$copy"
goal() {  # name value limit
  verdict=met; [ "$(echo "$2 <= $3" | bc -l)" = 1 ] || verdict="NOT met"
  printf 'goal %s: %.2f <= %.2f %s\n' "$1" "$2" "$3" "$verdict"
}
goal "sheet/setup" "$(ratio "$sheet" "$setup")" 1.1
goal "sheet/xcopy" "$(ratio "$sheet" "$copy")" 1.0
goal "control/setup" "$(ratio "$control" "$setup")" 1.2
