#!/usr/bin/env bash
# Makes the installer's desktop shortcut in the Wine prefix and reads the .lnk
# file on the host: with lnkinfo for its strings, and the show command straight
# from the header (offset 0x3C), which lnkinfo does not report correctly.
#
# usage: check_shortcut_file.sh <build dir> <make_desktop_shortcut.exe> <setup.exe>
set -uo pipefail
here=$(dirname "$0")
source "$here/../wine/wine_env.sh" "$1"
driver=$2 setup=$3
drive_c="$WINEPREFIX/drive_c"
for folder in "$drive_c"/users/*/Desktop; do
  case "$folder" in */Public/Desktop) ;; *) desktop=$folder ;; esac  # the user's own desktop
done
install="$drive_c/shortcut-check/Ostrel Setup/Tarvine64"
target='C:\shortcut-check\Ostrel Setup\Tarvine64\setup.exe'
link="$desktop/Ostrel Tarvine64 Setup.lnk"

rm -rf "$drive_c/shortcut-check" "$link"
mkdir -p "$install" && cp "$setup" "$install/setup.exe"
# The working folder ends in two "\": the shortcut gets it without them.
"$here/../wine/run_in_wine.sh" "$1" "$driver" "$target" \
  'C:\shortcut-check\Ostrel Setup\Tarvine64\\' 'Ostrel Tarvine64 Setup' ||
  { echo "FAIL: the driver failed"; exit 1; }
[ -f "$link" ] || { echo "FAIL: no $link"; exit 1; }

info=$(lnkinfo "$link") || { echo "FAIL: lnkinfo cannot read the file"; exit 1; }
echo "$info"
status=0
expect_field() {  # <lnkinfo field> <value>
  local value
  value=$(sed -n "s/^[[:space:]]*$1[[:space:]]*: //p" <<<"$info" | head -n1)
  [ "$value" = "$2" ] || { echo "FAIL: $1 is '$value', expected '$2'"; status=1; }
}
expect_field "Local path" "$target"
expect_field "Working directory" 'C:\shortcut-check\Ostrel Setup\Tarvine64'
expect_field "Icon location" "$target"
expect_field "Description" "Ostrel Tarvine64 Setup"
# No arguments: Wine writes an empty string for them, Windows none; both read as empty.
expect_field "Command line arguments" ""

# Header: size 0x4C, then the shell link class; show command at 0x3C, icon index at 0x38.
header=$(od -An -tx1 -N20 "$link" | tr -d ' \n')
[ "$header" = 4c0000000114020000000000c000000000000046 ] || { echo "FAIL: header $header"; status=1; }
read -r icon_index show <<<"$(od -An -td4 -j56 -N8 "$link")"
[ "$show" = 1 ] || { echo "FAIL: show command $show, expected 1 (normal window)"; status=1; }
[ "$icon_index" = 0 ] || { echo "FAIL: icon index $icon_index, expected 0"; status=1; }

rm -rf "$drive_c/shortcut-check" "$link"
[ $status -eq 0 ] && echo "PASS: shortcut file as the installer writes it"
exit $status
