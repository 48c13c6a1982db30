#!/bin/sh
# Fails when the self-extracting program has grown: every packed file handed out as a program
# carries Zarpex32.exe. Its size without symbols and debug information (stripped into a temporary
# file) may be at most 256 KB for i686 and 320 KB for x86_64.
# Usage: check-size.sh ZARPEX32.EXE...
[ $# -gt 0 ] || { echo "usage: check-size.sh ZARPEX32.EXE..." >&2; exit 2; }
status=0
stripped=$(mktemp) || exit 1
trap 'rm -f "$stripped"' EXIT
for f in "$@"; do
  if [ "$(head -c 2 "$f" 2>/dev/null)" != MZ ] || ! headers=$(x86_64-w64-mingw32-objdump -p "$f" 2>/dev/null); then
    echo "check-size: $f: no Windows program"; status=1; continue
  fi
  if echo "$headers" | grep -q '^Magic.*(PE32+)'; then tools=x86_64-w64-mingw32 limit=327680
  else tools=i686-w64-mingw32 limit=262144; fi
  if ! "$tools-strip" --strip-all -o "$stripped" "$f"; then
    echo "check-size: $f: cannot be stripped"; status=1; continue
  fi
  size=$(wc -c <"$stripped")
  if [ "$size" -le "$limit" ]; then echo "size      $f: $size bytes stripped (at most $limit)"
  else echo "check-size: $f: $size bytes stripped, more than $limit"; status=1; fi
done
exit $status
