#!/bin/sh
# Runs one UI driver script against Zarpex32.exe in the GUI tests' own Wine prefix (so that registry
# values and settings files of other tests cannot change what the program derives), then turns the
# pictures it took into PNG files in <build>/screenshots.
#   gui-run.sh <build folder> <script>|init|stop
build=$1
script=$2
# Through the build's one way into Wine, with the GUI tests' prefix.
export Z_WINEPREFIX="$build/gui-wineprefix"
wine_run="$build/wine-run"
case "$script" in
  init)
    # Without a window manager on the display Wine draws the frames and captions itself; the
    # programs started after the server's end read that.
    "$wine_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null || exit 1
    exec "$wine_run" --stop ;;
  stop) exec "$wine_run" --stop ;;
esac
mkdir -p "$build/screenshots/bmp"
windows() { echo "Z:$1" | tr / '\\'; }
"$wine_run" "$build/tools/uidriver/uidriver.exe" --exe "$build/Zarpex32.exe" --shots "$build/screenshots/bmp" \
  --set "SAMPLE=$(windows "$build/sample/connect.zpk")" --set "ZPACK=$(windows "$build/tools/zpack/zpack.exe")" \
  "$script"
rc=$?
for picture in "$build"/screenshots/bmp/*.bmp; do
  [ -f "$picture" ] || continue
  name=$(basename "$picture" .bmp)
  convert "$picture" "$build/screenshots/$name.png" && rm -f "$picture"
done
exit $rc
