#!/bin/sh
# Whether this machine can run the Windows programs of one build under Wine:
#   tools/runs-windows.sh i686      the 32-bit build: 32-bit Wine, which needs the i386 loader and a
#                                   kernel that executes 32-bit x86 code (some virtual machines' kernels
#                                   run 64-bit user code only)
#   tools/runs-windows.sh x86_64    the 64-bit build: 64-bit Wine (/usr/lib/wine/wine64)
# Exit 0 when it can; otherwise one line saying why, and exit 1.
#   tools/runs-windows.sh --pick    the build folder that runs the shipped programs here: win32 where
#                                   32-bit Wine runs, as shipped, else win64; exit 1 when neither does
# Z_WINE_ARCHS (for example "x86_64") leaves out the other architectures, to play a machine of
# 64-bit user code only on one that runs both.
if [ -n "$Z_WINE_ARCHS" ] && [ "$1" != --pick ]; then
  case " $Z_WINE_ARCHS " in *" $1 "*) ;; *) echo "left out by Z_WINE_ARCHS=$Z_WINE_ARCHS"; exit 1 ;; esac
fi
case "$1" in
  --pick)
    self=$0
    why32=$("$self" i686) && { echo win32; exit 0; }
    why64=$("$self" x86_64) && { echo win64; exit 0; }
    echo "no Windows programs run here: 32-bit: $why32; 64-bit: $why64"
    exit 1
    ;;
  i686)
    loader=/lib/ld-linux.so.2
    if [ ! -e "$loader" ] || [ ! -x /usr/lib/wine/wine ]; then
      echo "no 32-bit Wine ($loader, /usr/lib/wine/wine): tools/install-deps.sh installs Wine's i386 packages"
      exit 1
    fi
    if ! out=$("$loader" --version 2>&1); then
      case $out in
        *"format error"*) echo "this machine's kernel runs no 32-bit x86 programs (IA-32 emulation is off), so 32-bit Wine cannot run here" ;;
        *) echo "the 32-bit x86 loader does not start: $out" ;;
      esac
      exit 1
    fi
    ;;
  x86_64)
    [ "$(uname -m)" = x86_64 ] || { echo "64-bit Wine runs on x86_64 machines only (this one is $(uname -m))"; exit 1; }
    loader=/usr/lib/wine/wine64
    [ -x "$loader" ] || { echo "no 64-bit Wine ($loader): tools/install-deps.sh installs it"; exit 1; }
    out=$("$loader" --version 2>&1) || { echo "64-bit Wine does not start: $out"; exit 1; }
    ;;
  *) echo "runs-windows.sh: name the build's processor, i686 or x86_64"; exit 2 ;;
esac
exit 0
