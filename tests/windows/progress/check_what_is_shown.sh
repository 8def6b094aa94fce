#!/usr/bin/env bash
# Runs the progress display as the extraction drives it, on an 800 x 600 Wine
# virtual desktop under the window watcher, holding every state until the
# watcher has recorded it, and checks what a person sees: a captioned window without
# system menu or buttons; its caption changes once; the label stays empty
# until the first percentage and then shows each text in turn; the bar starts
# at 1 and shows every position in the order posted, positions below 1 as 1
# and above 100 as a full bar; the window closes after the last position.
#
# usage: check_what_is_shown.sh <build dir> <progress_driver.exe> <window_watcher.exe>
set -uo pipefail
here=$(dirname "$0")
source "$here/../wine/wine_env.sh" "$1"
source "$here/../watcher/record.sh"
driver=$2 watcher=$3
log="$wine_session_dir/shown-$$.log"
rm -f "$log"

output=$("$here/../wine/run_in_wine.sh" "$1" explorer "/desktop=shown-$$,800x600" \
  "$(windows_path "$watcher")" --record "$(windows_path "$log")" -- \
  "$(windows_path "$driver")" --seen-in "$(windows_path "$log")" 10 40 bar=0 60 bar=-5 bar=150 100 |
  tr -d '\r')
echo "$output"
cat "$log"
status=0
fail() { echo "FAIL: $*"; status=1; }

[ "$(record_select "$log" exit | record_field code)" = 0 ] || fail "the driver did not end with 0"
grep -qx 'closed 1' <<<"$output" || fail "CloseProgressDisplay did not report the thread handle released"

windows=$(record_select "$log" window class=TarvineSelfExtractProgressDialog | record_field hwnd | sort -u)
[ "$(wc -w <<<"$windows")" = 1 ] || fail "expected one progress window, saw: $windows"
window=$(head -n1 <<<"$windows")
window_lines=$(record_select "$log" window "hwnd=$window")
label_lines=$(record_select "$log" child "parent=$window" id=100)
bar_lines=$(record_select "$log" child "parent=$window" id=200)

# Title bar and fixed border; no system menu, close, minimise or maximise
# box, no sizing border: WS_CAPTION set, WS_SYSMENU, WS_THICKFRAME,
# WS_MINIMIZEBOX and WS_MAXIMIZEBOX clear, in every state seen.
for style in $(record_field style <<<"$window_lines"); do
  ((style & 0x00C00000)) || fail "style $style has no caption"
  ((style & 0x00080000 | style & 0x00040000 | style & 0x00020000 | style & 0x00010000)) &&
    fail "style $style has a system menu, sizing border or window buttons"
done
[ "$(head -n1 <<<"$window_lines" | record_field visible)" = 1 ] || fail "first seen hidden"

captions=$(record_field caption <<<"$window_lines" | uniq)
[ "$captions" = $'Extracting Files\nExtracting Installation Files...' ] ||
  fail "captions seen: $captions"

# Label texts as the driver sets them; empty until the first percentage,
# also after the caption has changed.
labels=$(record_field text <<<"$label_lines" | uniq)
[ "$labels" = $'\n 10 %\n 40 %\n 60 %\n 100 %' ] || fail "label texts seen: $(echo $labels)"
caption_changed=$(grep -m1 'caption=Extracting Installation Files...' <<<"$window_lines" | record_field t)
first_text=$(grep -m1 -P '\ttext=.' <<<"$label_lines" | record_field t)
[ -n "$caption_changed" ] && [ -n "$first_text" ] && ((first_text > caption_changed)) ||
  fail "the label changed before the caption"

# Positions: a new bar reads 0 until the display's first posted position
# arrives; then 1, and every position in the order posted: 0 and -5 show 1,
# 150 a full bar (after which 100 changes nothing).
positions=$(record_field pos <<<"$bar_lines" | uniq | sed '1{/^0$/d}' | tr '\n' ' ')
[ "$positions" = "1 10 40 1 60 1 100 " ] || fail "bar positions seen: $positions"
[ "$(record_field range <<<"$bar_lines" | sort -u)" = 0,100 ] || fail "bar range is not 0 to 100"

# The close comes after the last position: the window is gone, after it was
# seen full, before the driver ended.
full=$(grep -P '\tpos=100(\t|$)' <<<"$bar_lines" | head -n1 | record_field t)
gone=$(record_select "$log" gone "hwnd=$window" | record_field t)
[ -n "$full" ] && [ -n "$gone" ] && ((gone >= full)) || fail "the window closed before the full bar"

rm -f "$log"
exit $status
