#!/bin/sh
# Installs everything the builds and tests need, from Debian's packages. Safe to run again.
set -e
if [ "$(id -u)" != 0 ]; then echo "install-deps: must run as root" >&2; exit 1; fi
packages="cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine wine32:i386 wine64 xvfb xauth x11-utils xdotool imagemagick
  libstorm-dev libdynamite-dev python3 libdeflate-dev locales openssl osslsigncode fonts-ipafont-gothic"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends $missing
fi
# The locales Wine takes its code pages from: German (ANSI 1252, OEM 850), which build/win32/wine-run
# gives Wine (without it Wine falls back to ASCII names and cannot write a name such as "größe.dat"),
# and Polish (1250, 852) for the code-page tests.
for l in de_DE pl_PL; do
  locale -a 2>/dev/null | grep -qx "$l.utf8" || localedef -i "$l" -f UTF-8 "$l.UTF-8"
done
if [ "$(LC_ALL=de_DE.UTF-8 locale charmap 2>/dev/null)" != UTF-8 ]; then
  echo "install-deps: the locale de_DE.UTF-8 could not be made" >&2
  exit 1
fi
