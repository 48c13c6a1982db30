#!/bin/sh
# Whether this machine can run the build's Windows programs: Wine runs them in 32-bit x86 processes,
# which need the i386 loader and a kernel that executes 32-bit code (some virtual machines' kernels
# run 64-bit user code only). Exit 0 when it can; otherwise one line saying why, and exit 1.
loader=/lib/ld-linux.so.2
if [ ! -e "$loader" ]; then
  echo "no 32-bit x86 loader ($loader): tools/install-deps.sh installs Wine's i386 packages"
  exit 1
fi
if ! out=$("$loader" --version 2>&1); then
  case $out in
    *"format error"*) echo "this machine's kernel runs no 32-bit x86 programs (IA-32 emulation is off), so Wine cannot run the Windows programs here" ;;
    *) echo "the 32-bit x86 loader does not start: $out" ;;
  esac
  exit 1
fi
exit 0
