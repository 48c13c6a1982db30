#!/bin/sh
# Checks that the sources keep to their floors (README, "Floors"): a file includes only headers of
# its own floor or of floors below it. From the bottom:
#   0 platform   the seam (platform/, its win32/ and posix/ sides)
#   1 base       discovery's settings, paths, texts, tokens, tags, the locator
#   2 engine     packed file, explode, records, extraction, job, progress messages, worker
#   3 ui         pages, sheet, message boxes, path display; siteid
#   4 entry      the program's entry, its command lines and the setup call (discovery)
#   5 tools      the project's helpers (tests are not checked)
# An include against the floors fails, unless it is one of the allowed arrows listed below, each
# with its reason. Usage: check-floors.sh [SOURCE_ROOT]
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

# "includer included": arrows that go against the floors by design.
allowed='
discovery/probe_source_file.cpp engine/packed_file.h
discovery/record_scan.cpp engine/records.h
'
# Why: the locator (base) recognises a packed file and reads the record files with the engine's own
# readers, so that what it finds is what the job will read.

floor() {
  case $1 in
    platform/*) echo 0 ;;
    discovery/program_entry_win32.* | discovery/command_line.* | discovery/setup_call.*) echo 4 ;;
    discovery/*) echo 1 ;;
    engine/*) echo 2 ;;
    ui/* | siteid/*) echo 3 ;;
    tools/*) echo 5 ;;
    *) echo "" ;;
  esac
}

status=0
for file in $(find platform discovery engine ui siteid tools \( -name '*.cpp' -o -name '*.h' \) | sort); do
  own=$(floor "$file")
  for included in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z]*\/[^"]*\)".*/\1/p' "$file"); do
    theirs=$(floor "$included")
    [ -n "$theirs" ] || continue
    [ "$theirs" -le "$own" ] && continue
    if printf '%s\n' "$allowed" | grep -qx "$file $included"; then continue; fi
    echo "check-floors: $file (floor $own) includes $included (floor $theirs)"
    status=1
  done
done
[ $status -eq 0 ] && echo "check-floors: every include keeps to the floors"
exit $status
