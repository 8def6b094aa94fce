#!/usr/bin/env bash
# Runs the progress display on Wine virtual desktops of the five worked screen
# sizes, under the window watcher, and compares the window's outer rectangle
# and both controls' rectangles (client coordinates) with the worked layouts.
#
# usage: check_layouts.sh <build dir> <progress_driver.exe> <window_watcher.exe>
set -uo pipefail
here=$(dirname "$0")
source "$here/../wine/wine_env.sh" "$1"
source "$here/../watcher/record.sh"
driver=$2 watcher=$3

# screen: window, label, bar (x,y,width,height)
worked=(
  "640x480    160,185,320,110 20,20,280,20 20,50,280,18"
  "800x600    200,231,400,137 25,25,350,25 25,62,350,22"
  "1024x768   256,296,512,176 32,32,448,32 32,80,448,29"
  "1366x768   341,296,683,176 43,32,598,32 43,80,598,29"
  "1920x1080  480,416,960,247 60,45,840,45 60,112,840,40"
)

status=0
for row in "${worked[@]}"; do
  read -r screen window_rect label_rect bar_rect <<<"$row"
  log="$wine_session_dir/layout-$screen-$$.log"
  rm -f "$log"
  "$here/../wine/run_in_wine.sh" "$1" explorer "/desktop=layout$screen-$$,$screen" \
    "$(windows_path "$watcher")" --record "$(windows_path "$log")" -- \
    "$(windows_path "$driver")" 50 >/dev/null
  window=$(record_select "$log" window class=TarvineSelfExtractProgressDialog | head -n1)
  hwnd=$(record_field hwnd <<<"$window")
  seen="$(record_field rect <<<"$window") \
$(record_select "$log" child "parent=$hwnd" id=100 | head -n1 | record_field rect) \
$(record_select "$log" child "parent=$hwnd" id=200 | head -n1 | record_field rect)"
  echo "$screen: window, label, bar at $seen"
  if [ "$seen" != "$window_rect $label_rect $bar_rect" ]; then
    echo "FAIL: on $screen expected $window_rect $label_rect $bar_rect"
    status=1
  fi
  if [ "$(record_select "$log" exit | record_field code)" != 0 ]; then
    echo "FAIL: on $screen the display did not come up and close:"
    cat "$log"
    status=1
  fi
  rm -f "$log"
done
exit $status
