#!/bin/sh
# concurrent_jobs_test's case of two machines: the test runs in the build's Wine prefix and, at the
# same time, in a second prefix with a Wine server of its own; both reach one folder through Z:.
#   tests/engine/two_machines.sh BUILD
build=$(cd "$1" && pwd)
folder="$build/two-machines"
second="$build/wineprefix-second"
rm -rf "$folder"
export Z_TWO_MACHINES_FOLDER="Z:$(echo "$folder" | tr / '\\')"
test="$build/tests/concurrent_jobs_test.exe"

Z_WINEPREFIX="$second" "$build/wine-run" --start || { echo "two_machines: the second prefix cannot be prepared"; exit 1; }
Z_TWO_MACHINES_PARTNER=1 Z_WINEPREFIX="$second" "$build/wine-run" "$test" --gtest_filter=TwoMachines.* \
  >"$build/two-machines-second.log" 2>&1 &
partner=$!
"$build/wine-run" "$test" --gtest_filter=TwoMachines.*
first=$?
wait "$partner"
other=$?
echo "---- the second machine:"
cat "$build/two-machines-second.log"
Z_WINEPREFIX="$second" "$build/wine-run" --stop
[ "$first" = 0 ] && [ "$other" = 0 ] && rm -rf "$folder"
[ "$first" = 0 ] && [ "$other" = 0 ]
