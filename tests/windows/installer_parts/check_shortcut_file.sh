#!/usr/bin/env bash
# Makes the installer's desktop shortcut in the Wine prefix and reads the .lnk
# on the host: its strings with lnkinfo, the header, icon index (0x38) and show
# command (0x3C) straight from the file, as lnkinfo misreports the latter.
#
# usage: check_shortcut_file.sh <build dir> <make_desktop_shortcut.exe> <setup.exe>
set -uo pipefail
here=$(dirname "$0")
source "$here/../wine/wine_env.sh" "$1"
drive_c="$WINEPREFIX/drive_c"
for folder in "$drive_c"/users/*/Desktop; do
  case "$folder" in */Public/Desktop) ;; *) desktop=$folder ;; esac  # the user's own
done
link="$desktop/Ostrel Tarvine64 Setup.lnk" target='C:\shortcut-check\Ostrel Setup\Tarvine64\setup.exe'
rm -rf "$drive_c/shortcut-check" "$link"
mkdir -p "$drive_c/shortcut-check/Ostrel Setup/Tarvine64"
cp "$3" "$drive_c/shortcut-check/Ostrel Setup/Tarvine64/setup.exe"
# The working folder ends in two "\": the shortcut gets it without them.
"$here/../wine/run_in_wine.sh" "$1" "$2" "$target" 'C:\shortcut-check\Ostrel Setup\Tarvine64\\' \
  'Ostrel Tarvine64 Setup' && info=$(lnkinfo "$link") || { echo "FAIL: no readable $link"; exit 1; }
echo "$info"

status=0
expect() {  # <what> <found> <expected>
  [ "$2" = "$3" ] || { echo "FAIL: $1 is '$2', expected '$3'"; status=1; }
}
field() { sed -n "s/^[[:space:]]*$1[[:space:]]*: //p" <<<"$info" | head -n1; }
expect "local path" "$(field "Local path")" "$target"
expect "working directory" "$(field "Working directory")" 'C:\shortcut-check\Ostrel Setup\Tarvine64'
expect "icon location" "$(field "Icon location")" "$target"
expect "description" "$(field "Description")" "Ostrel Tarvine64 Setup"
# No arguments: Wine writes an empty string for them, Windows none; both read as empty.
expect "arguments" "$(field "Command line arguments")" ""
expect "header" "$(od -An -tx1 -N20 "$link" | tr -d ' \n')" 4c0000000114020000000000c000000000000046
expect "icon index and show command" "$(od -An -td4 -j56 -N8 "$link" | xargs)" "0 1"
rm -rf "$drive_c/shortcut-check" "$link"
exit $status
