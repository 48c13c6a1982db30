#!/bin/sh
# Runs one UI driver script against Zarpex32.exe in the GUI tests' own Wine prefix (so that registry
# values and settings files of other tests cannot change what the program derives), then turns the
# pictures it took into PNG files in <build>/screenshots (<build>/screenshots/<dpi>dpi at other scales).
#   gui-run.sh <build folder> <script>|init|stop [dots per inch, 96 unless given]
build=$1
script=$2
dpi=${3:-96}
# Through the build's one way into Wine, with the GUI tests' prefix: one for each display scale.
export Z_WINEPREFIX="$build/gui-wineprefix"
shots="$build/screenshots"
if [ "$dpi" != 96 ]; then
  Z_WINEPREFIX="$build/gui-wineprefix-$dpi"
  shots="$build/screenshots/${dpi}dpi"
fi
wine_run="$build/wine-run"
case "$script" in
  init)
    # Without a window manager on the display Wine draws the frames and captions itself; the
    # display scale is the prefix's LogPixels. The programs started after the server's end read both.
    "$wine_run" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null || exit 1
    "$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null || exit 1
    exec "$wine_run" --stop ;;
  stop) exec "$wine_run" --stop ;;
esac
mkdir -p "$shots/bmp"
windows() { echo "Z:$1" | tr / '\\'; }
"$wine_run" "$build/tools/uidriver/uidriver.exe" --exe "$build/Zarpex32.exe" --shots "$shots/bmp" \
  --set "SAMPLE=$(windows "$build/sample/connect.zpk")" --set "ZPACK=$(windows "$build/tools/zpack/zpack.exe")" \
  --set "DPI=$dpi" "$script"
rc=$?
for picture in "$shots"/bmp/*.bmp; do
  [ -f "$picture" ] || continue
  name=$(basename "$picture" .bmp)
  convert "$picture" "$shots/$name.png" && rm -f "$picture"
done
exit $rc
