#!/bin/sh
# Names beyond ASCII from end to end: a tree with "Übersicht.txt" and "größe.dat" packed by the native
# zpack, installed by Zarpex32 under Wine in setup-call mode (batch form), arrives with those names.
#   zpack_names_wine.sh NATIVE_ZPACK WINE_RUN ZARPEX32_EXE WORK_DIR DRIVE_C
zpack=$1 wine=$2 program=$3 work=$4 drive_c=$5
fail() { echo "zpack_names_wine: $*" >&2; exit 1; }
[ -x "$zpack" ] || fail "no native zpack at $zpack (build build/native first, or set Z_HOST_ZPACK)"
rm -rf "$work" "$drive_c/znamen"
mkdir -p "$work/src" "$drive_c/znamen/ARCHIVE/SYSTEM" "$drive_c/znamen/clients" || fail "cannot prepare $work"
printf 'U' >"$work/src/Übersicht.txt"
printf 'g' >"$work/src/größe.dat"
printf '[COMMON]\r\nServer=ZELVAR1\r\nVolume=SYS\r\n' >"$drive_c/znamen/clients/setup.inf"
"$zpack" create "$work/namen.zpk" --title "Namen" --subdir '\ARCHIVE\SYSTEM\namen' "$work/src" >/dev/null ||
  fail "packing failed"
windows() { printf 'Z:%s' "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" | tr / '\\'; }
"$wine" "$program" @@SETUP_CALL "-Q$(windows "$work/namen.zpk")" '-ZC:\znamen\ARCHIVE\SYSTEM\namen' </dev/null
status=$?
target=$drive_c/znamen/ARCHIVE/SYSTEM/namen
ls "$target"
[ "$status" = 0 ] || fail "Zarpex32 exit code $status"
[ "$(cat "$target/Übersicht.txt" 2>/dev/null)" = U ] || fail "Übersicht.txt did not arrive"
[ "$(cat "$target/größe.dat" 2>/dev/null)" = g ] || fail "größe.dat did not arrive"
echo "both names arrived"
