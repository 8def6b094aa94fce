#!/usr/bin/env bash
# Saves a picture of the progress window in the middle of a run: the display
# driven as the extraction drives it (caption, then 5, 12, 25 and 37 %), held
# at 37 % on an 800 x 600 Wine virtual desktop of the win64 build's Wine
# session, and captured from the session's X display.
#
# usage: scripts/screenshot-progress.sh [picture.png]
#        (default build/win64/progress-window.png)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build/win64"
picture=$(realpath -m "${1:-$build/progress-window.png}")
./scripts/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target progress_driver window_watcher -j 2 >/dev/null

wine="$root/tests/windows/wine"
source "$wine/wine_env.sh" "$build"
if [ ! -f "$wine_session_dir/display" ]; then
  bash "$wine/wine_session.sh" start "$build" >/dev/null
  trap 'bash "$wine/wine_session.sh" stop "$build"' EXIT
  source "$wine/wine_env.sh" "$build"
fi
source "$root/tests/windows/watcher/record.sh"

desktop="screenshot-$$"
log="$wine_session_dir/$desktop.log"
rm -f "$log"
"$wine/run_in_wine.sh" "$build" explorer "/desktop=$desktop,800x600" \
  "$(windows_path "$build/tests/windows/window_watcher.exe")" --record "$(windows_path "$log")" -- \
  "$(windows_path "$build/tests/windows/progress/progress_driver.exe")" \
  --step-ms 150 --hold-ms 5000 5 12 25 37 >/dev/null &
runner=$!

# Wait until the window shows 37 % in the label and in the bar.
for _ in $(seq 300); do
  if grep -q $'\ttext= 37 %' "$log" 2>/dev/null && grep -q $'\tpos=37\t' "$log"; then
    break
  fi
  sleep 0.1
done
grep -q $'\tpos=37\t' "$log" || { echo "the progress window did not come up; see $log" >&2; exit 1; }
sleep 0.5  # let the bar repaint
window=$(xwininfo -display "$DISPLAY" -name "$desktop - Wine desktop" | awk '/Window id:/ { print $4 }')
import -display "$DISPLAY" -window "$window" "$picture"
wait "$runner"
rm -f "$log"
echo "saved $picture"
