#!/bin/sh
# Reads the export tables of a Windows build's deliverables and fails when one differs from what
# hosts import: zsiteid.dll exactly "getSiteID", undecorated; Zarpex32.exe the two SetWindowPos
# overloads under the GNU names and the Microsoft compiler's names of the image's architecture.
# Usage: check-exports.sh BUILDDIR   (build/win32 or build/win64; a release folder with both files too)
dir=$1
[ -n "$dir" ] || { echo "usage: check-exports.sh BUILDDIR" >&2; exit 2; }
status=0
find_file() { for f in "$dir/$1" "$dir/siteid/$1"; do [ -f "$f" ] && { echo "$f"; return 0; }; done; return 1; }

exports() {  # file: its exported names, one per line, sorted
  x86_64-w64-mingw32-objdump -p "$1" | awk '
    /^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
    table && /^\t\[/ { print $NF; next }
    table { table = 0 }' | sort
}
compare() {  # file, expected names (one per line)
  actual=$(exports "$1")
  expected=$(printf '%s\n' "$2" | sort)
  if [ "$actual" = "$expected" ]; then echo "exports   $1"; else
    echo "check-exports: $1 exports"; echo "$actual" | sed 's/^/    /'
    echo "  instead of"; echo "$expected" | sed 's/^/    /'; status=1
  fi
}

program=$(find_file Zarpex32.exe) || { echo "check-exports: no Zarpex32.exe in $dir"; exit 1; }
dll=$(find_file zsiteid.dll) || { echo "check-exports: no zsiteid.dll in $dir"; exit 1; }
if x86_64-w64-mingw32-objdump -p "$program" | grep -q '^Magic.*(PE32+)'; then pointer=PEA; else pointer=PA; fi
compare "$program" "_Z12SetWindowPosP6HWND__S0_ii
_Z12SetWindowPosP6HWND__iii
?SetWindowPos@@YAX${pointer}UHWND__@@0HH@Z
?SetWindowPos@@YAX${pointer}UHWND__@@HHH@Z"
compare "$dll" "getSiteID"
exit $status
