#!/bin/sh
# Reads the headers of shipped binaries and fails when a hardening flag is missing:
#   Windows programs (.exe)  ASLR (DYNAMIC_BASE, in a 64-bit image also HIGH_ENTROPY_VA), DEP
#                            (NX_COMPAT), NO_SEH, TERMINAL_SERVER_AWARE, stack canaries
#                            (__stack_chk_fail linked in)
#   Windows DLLs (.dll)      ASLR (the same), DEP, NO_SEH; no canaries (zsiteid.dll carries no C runtime)
#   ELF programs             PIE, full RELRO (GNU_RELRO and BIND_NOW), fortified calls (__*_chk),
#                            stack canaries, non-executable stack
# Usage: check-hardening.sh [-d DEBUGDIR] BINARY...
# A stripped binary's symbols are looked for in DEBUGDIR/NAME.debug.
debugdir=""
if [ "$1" = -d ]; then debugdir=$2; shift 2; fi
[ $# -gt 0 ] || { echo "usage: check-hardening.sh [-d DEBUGDIR] BINARY..." >&2; exit 2; }

status=0
missing() { echo "check-hardening: $1: $2 missing"; status=1; bad=1; }

# The file that holds the symbols of $1: itself, or its debug file.
symbol_file() {
  if [ -n "$debugdir" ] && [ -f "$debugdir/$(basename "$1").debug" ]; then echo "$debugdir/$(basename "$1").debug"
  else echo "$1"; fi
}

check_pe() {  # file, kind (exe or dll)
  # The tools of the image's own architecture: PE32 (i686) or PE32+ (x86_64).
  headers=$(x86_64-w64-mingw32-objdump -p "$1" 2>/dev/null || i686-w64-mingw32-objdump -p "$1" 2>/dev/null)
  value=$(echo "$headers" | awk '$1 == "DllCharacteristics" { print $2 }')
  [ -n "$value" ] || { missing "$1" "a PE header"; return; }
  flags=$(printf '%d' "0x$value")
  if echo "$headers" | grep -q '^Magic.*(PE32+)'; then
    tools=x86_64-w64-mingw32 chk_fail=__stack_chk_fail
    [ $((flags & 0x20)) -ne 0 ] || missing "$1" "HIGH_ENTROPY_VA (64-bit ASLR)"
  else
    tools=i686-w64-mingw32 chk_fail=___stack_chk_fail
  fi
  [ $((flags & 0x40)) -ne 0 ] || missing "$1" "DYNAMIC_BASE (ASLR)"
  [ $((flags & 0x100)) -ne 0 ] || missing "$1" "NX_COMPAT (DEP)"
  [ $((flags & 0x400)) -ne 0 ] || missing "$1" "NO_SEH"
  [ "$2" = dll ] && return
  [ $((flags & 0x8000)) -ne 0 ] || missing "$1" "TERMINAL_SERVER_AWARE"
  "$tools-nm" "$(symbol_file "$1")" 2>/dev/null | grep -q " T $chk_fail\$" ||
    missing "$1" "stack protector (__stack_chk_fail)"
}

check_elf() {
  headers=$(readelf -W -h -l -d "$1") || { missing "$1" "an ELF header"; return; }
  symbols=$(readelf -W --dyn-syms "$1")
  echo "$headers" | grep -q 'Type:[[:space:]]*DYN' && echo "$headers" | grep -q 'Flags:.*PIE' ||
    missing "$1" "PIE"
  echo "$headers" | grep -q 'GNU_RELRO' || missing "$1" "RELRO"
  echo "$headers" | grep -Eq '\(BIND_NOW\)|Flags:.* NOW' || missing "$1" "immediate binding (BIND_NOW)"
  echo "$headers" | grep -E 'GNU_STACK' | grep -q ' RW ' || missing "$1" "non-executable stack"
  echo "$symbols" | grep -Eq ' __[a-z_]+_chk(@|$)' || missing "$1" "_FORTIFY_SOURCE (__*_chk calls)"
  echo "$symbols" | grep -q ' __stack_chk_fail' || missing "$1" "stack protector (__stack_chk_fail)"
}

for f in "$@"; do
  bad=0
  [ -f "$f" ] || { missing "$f" "the file"; continue; }
  case $(head -c 2 "$f") in
    MZ) case $f in *.dll) check_pe "$f" dll ;; *) check_pe "$f" exe ;; esac ;;
    *) check_elf "$f" ;;
  esac
  [ $bad = 0 ] && echo "hardened  $f"
done
exit $status
