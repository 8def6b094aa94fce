#!/usr/bin/env bash
# Runs the installer on a system that reports itself as Windows 98: Wine does
# that for one program name when the AppDefaults key of that name asks for
# "win98". A copy of the installer under its own name is used, so that no
# other run sees the setting. The run shows only the "Win98 No Support" box,
# ends with exit code 255 and creates nothing.
#
# usage: check_platform_refusal.sh <build dir> <installer.exe> <window_watcher.exe>
set -uo pipefail
here=$(dirname "$0")
source "$here/../wine/wine_env.sh" "$1"
installer=$2 watcher=$3
drive_c="$WINEPREFIX/drive_c"
source "$here/../wine/installer_facts.sh" "$HOST_EEK" "$drive_c"
program=RefusedPlatformSetup.exe
start="$drive_c/refusal-start"
for folder in "$drive_c"/users/*/Desktop; do
  case "$folder" in */Public/Desktop) ;; *) desktop=$folder ;; esac  # the user's own
done

rm -rf "$drive_c/refusal-program" "$start" "$base"
mkdir -p "$drive_c/refusal-program" "$start"
cp "$installer" "$drive_c/refusal-program/$program"
"$here/../wine/run_in_wine.sh" "$1" reg add "HKCU\\Software\\Wine\\AppDefaults\\$program" \
  /v Version /t REG_SZ /d win98 /f >/dev/null || { echo "FAIL: reg add"; exit 1; }
desktop_before=$(ls -A "$desktop")

report=$("$here/../wine/run_in_wine.sh" "$1" "$watcher" --cwd 'C:\refusal-start' -- \
  "C:\\refusal-program\\$program")
echo "$report"

status=0
expected=$'box\tError\tWin98 No Support\tOK\tnoicon\nexit\t255'
[ "$report" = "$expected" ] || { echo "FAIL: expected exactly:"; echo "$expected"; status=1; }
[ -z "$(ls -A "$start")" ] || { echo "FAIL: files in the start folder: $(ls -A "$start")"; status=1; }
[ ! -e "$base" ] || { echo "FAIL: $base_windows was created"; status=1; }
[ "$(ls -A "$desktop")" = "$desktop_before" ] || { echo "FAIL: the desktop changed"; status=1; }
exit $status
