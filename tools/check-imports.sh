#!/bin/sh
# Reads the load-time imports of a Windows build's shipped binaries (Zarpex32.exe, zsiteid.dll,
# zpack.exe) and compares them with the committed lists tools/imports/ARCH/NAME.txt, ARCH being
# the image's architecture (i686 or x86_64). Each line of a list names a DLL, a function and the
# oldest Windows that has it (2000, xp, vista, 7, 8, 8.1, 10; "2000" for Windows 2000 or older;
# in the x86_64 lists "xp" is the first 64-bit Windows, XP x64 / Server 2003). It fails
#   - for an import the list lacks: add it, with the oldest Windows that has it;
#   - for a listed function that is no longer imported: take it out;
#   - for a listed function newer than the oldest Windows the programs run on, Windows XP: the
#     program looks such a function up when it runs (GetProcAddress) instead of importing it.
# Usage: check-imports.sh DIR   (build/win32, build/win64 or a release folder)
dir=$1
[ -n "$dir" ] || { echo "usage: check-imports.sh DIR" >&2; exit 2; }
lists=$(cd "$(dirname "$0")" && pwd)/imports
floor=xp
windows_order="2000 xp vista 7 8 8.1 10"
status=0

find_file() {
  for f in "$dir/$1" "$dir/siteid/$1" "$dir/tools/zpack/$1"; do [ -f "$f" ] && { echo "$f"; return 0; }; done
  return 1
}

imports() {  # file: "dll function" per line (DLL names in lower case, ordinals as ordinal-N), sorted
  x86_64-w64-mingw32-objdump -p "$1" | awk '
    /^The Import Tables/ { table = 1; next }
    table && /^[^ \t]/ && !/^$/ { table = 0 }
    table && /^\tDLL Name:/ { dll = tolower($3); next }
    table && /^\t[0-9a-f]+\t +[0-9]+  / {
      if ($3 == "<none>") print dll, "ordinal-" $2; else print dll, $3
    }' | sort -u
}

check() {  # binary name
  file=$(find_file "$1") || { echo "check-imports: no $1 in $dir"; status=1; return; }
  if x86_64-w64-mingw32-objdump -p "$file" | grep -q '^Magic.*(PE32+)'; then arch=x86_64; else arch=i686; fi
  list="$lists/$arch/$1.txt"
  [ -f "$list" ] || { echo "check-imports: no list $list for $file"; status=1; return; }
  actual=$(imports "$file")
  [ -n "$actual" ] || { echo "check-imports: no imports read from $file"; status=1; return; }
  problems=$(printf '%s\n' "$actual" | awk -v list="$list" -v floor="$floor" -v order="$windows_order" '
    BEGIN {
      n = split(order, names, " ")
      for (i = 1; i <= n; i++) rank[names[i]] = i
      while ((getline line < list) > 0) {
        if (line ~ /^[ \t]*(#|$)/) continue
        split(line, f, /[ \t]+/)
        key = tolower(f[1]) " " f[2]
        if (!(f[3] in rank)) { print "  " list ": " key ": unknown Windows \"" f[3] "\" (one of: " order ")"; continue }
        listed[key] = f[3]
      }
    }
    { imported[$0] = 1
      if (!($0 in listed)) print "  imports " $0 ", which the list lacks: add it with the oldest Windows that has it"
      else if (rank[listed[$0]] > rank[floor])
        print "  imports " $0 " of Windows " listed[$0] ", newer than Windows XP, the oldest the programs run on: look it up at run time (GetProcAddress)"
    }
    END { for (key in listed) if (!(key in imported)) print "  no longer imports " key ": take it out of the list" }')
  if [ -z "$problems" ]; then echo "imports   $file (Windows XP and later)"; else
    echo "check-imports: $file ($arch), against $list:"; printf '%s\n' "$problems" | sort; status=1
  fi
}

for name in Zarpex32.exe zsiteid.dll zpack.exe; do check "$name"; done
exit $status
