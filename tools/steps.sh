# Sourced by the tools' scripts, from the top folder: steps whose failure ends the script with one
# line naming the step and a non-zero exit code. The steps' output goes into build/<script>.log.
#   script=<name>; . tools/steps.sh
log=build/$script.log
mkdir -p build && : >"$log"

failed() {  # step, exit code
  echo "$script: FAILED: $1 (exit code $2; details in $log)" >&2
  exit "$2"
}
quiet() {  # step, command...: output into the log, shown when the command fails
  step=$1; shift
  "$@" >>"$log" 2>&1 && return 0
  rc=$?
  tail -n 25 "$log" >&2
  failed "$step" "$rc"
}
