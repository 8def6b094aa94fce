#!/usr/bin/env bash
# Runs one Windows program of the test tier in the build's Wine session and
# passes its exit code through. The program's output and its error output are
# collected in files and shown afterwards, each on its own stream, so that Wine
# processes that outlive the program never hold the test runner's pipes open. Where the session found that this machine
# cannot run the build's programs, it reports the run skipped (exit 77).
#
# usage: run_in_wine.sh <build dir> <program.exe> [arguments...]
set -uo pipefail
source "$(dirname "$0")/wine_env.sh" "$1"
shift
if [ ! -f "$wine_session_dir/display" ]; then
  echo "run_in_wine: no Wine session for $wine_build_dir; run the tier with ctest" >&2
  exit 125
fi
if [ -f "$wine_session_dir/unavailable" ]; then
  echo "SKIPPED: $(cat "$wine_session_dir/unavailable")"
  exit 77
fi
output=$(mktemp "$wine_session_dir/run.XXXXXX")
"$wine_loader" "$@" </dev/null >"$output" 2>"$output.err"
status=$?
cat "$output"
cat "$output.err" >&2
rm -f "$output" "$output.err"
exit $status
