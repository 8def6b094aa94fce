#!/usr/bin/env bash
# Runs the installer under the window watcher, without and with command-line
# arguments, from a start folder in the prefix: it ends with exit code 1 and
# the arguments change nothing it shows.
#
# usage: check_normal_run.sh <build dir> <installer.exe> <window_watcher.exe>
set -uo pipefail
here=$(dirname "$0")
source "$here/../wine/wine_env.sh" "$1"
installer=$2 watcher=$3
start="$WINEPREFIX/drive_c/normal-run"
rm -rf "$start" && mkdir -p "$start"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

run() {
  "$here/../wine/run_in_wine.sh" "$1" "$watcher" --cwd 'C:\normal-run' -- \
    "$(windows_path "$installer")" "${@:2}"
}
plain=$(run "$1") || { echo "FAIL: watcher: $plain"; exit 1; }
with_arguments=$(run "$1" /S --silent "C:\\some folder" -- '"') || exit 1
echo "without arguments:"; echo "$plain"
echo "with arguments:"; echo "$with_arguments"

status=0
[ "$(tail -n1 <<<"$plain")" = $'exit\t1' ] || { echo "FAIL: exit code is not 1"; status=1; }
[ "$plain" = "$with_arguments" ] || { echo "FAIL: the arguments changed the run"; status=1; }
exit $status
