#!/usr/bin/env bash
# Runs one script test of the Windows tier, or reports it skipped (exit 77)
# when the build's Wine session found that this machine cannot run the
# build's programs.
#
# usage: wine_test.sh <build dir> <script> [arguments...]
set -uo pipefail
unavailable="$1/wine-session/unavailable"
if [ -f "$unavailable" ]; then
  echo "SKIPPED: $(cat "$unavailable")"
  exit 77
fi
script=$2
build=$1
shift 2
exec bash "$script" "$build" "$@"
