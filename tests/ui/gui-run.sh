#!/bin/sh
# Runs one UI driver script against Zarpex32.exe in the GUI tests' own Wine prefix (so that registry
# values and settings files of other tests cannot change what the program derives), then turns the
# pictures it took into PNG files in <build>/screenshots.
#   gui-run.sh <build folder> <script> [init]
build=$1
script=$2
export WINEPREFIX="$build/gui-wineprefix"
export WINEARCH=win32
# A German system: message-box buttons read "Ja", "Nein", "Abbrechen".
export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$script" = init ]; then
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || exit 1
  # Without a window manager on the display Wine draws the frames and captions itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  wineserver -w
  exit 0
fi
mkdir -p "$build/screenshots/bmp"
windows() { echo "Z:$1" | tr / '\\'; }
wine "$build/tools/uidriver/uidriver.exe" --exe "$build/Zarpex32.exe" --shots "$build/screenshots/bmp" \
  --set "SAMPLE=$(windows "$build/sample/connect.zpk")" --set "ZPACK=$(windows "$build/tools/zpack/zpack.exe")" \
  "$script"
rc=$?
for picture in "$build"/screenshots/bmp/*.bmp; do
  [ -f "$picture" ] || continue
  name=$(basename "$picture" .bmp)
  convert "$picture" "$build/screenshots/$name.png" && rm -f "$picture"
done
exit $rc
