#!/bin/sh
# Installs everything the builds and tests need, from Debian's packages. Safe to run again.
set -e
if [ "$(id -u)" != 0 ]; then echo "install-deps: must run as root" >&2; exit 1; fi
packages="cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 wine64 xvfb xauth x11-utils xdotool imagemagick
  libstorm-dev libdynamite-dev python3 libdeflate-dev locales"
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
# The locale that build/win32/wine-run gives Wine (a German Windows: ANSI code page 1252, Unix file
# names in UTF-8). Without it Wine falls back to ASCII names and cannot write a name such as "größe.dat".
locale -a 2>/dev/null | grep -qx 'de_DE\.utf8' || localedef -i de_DE -f UTF-8 de_DE.UTF-8
if [ "$(LC_ALL=de_DE.UTF-8 locale charmap 2>/dev/null)" != UTF-8 ]; then
  echo "install-deps: the locale de_DE.UTF-8 could not be made" >&2
  exit 1
fi
