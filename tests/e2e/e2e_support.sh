# Support of the end-to-end runs (sourced by installer_runs.sh): a known state
# before each run, one run of an installer as a user meets it, and the checks
# that several runs share. Needs wine_env.sh and record.sh sourced first.
#
# After run_installer:
#   run_output  the watcher's report (box and exit lines)
#   run_log     the watcher's observation log (window_record.h)
#   setup_record  the demo setup program's start record (empty: not started)
#   setup_after_answer  1 when the record appeared only after the last box
#                       had been answered, 0 when it was there before

drive_c="$WINEPREFIX/drive_c"
source "$(dirname "${BASH_SOURCE[0]}")/../windows/wine/installer_facts.sh" "$HOST_EEK" "$drive_c"
for folder in "$drive_c"/users/*/Desktop; do
  case "$folder" in */Public/Desktop) ;; *) desktop=$folder ;; esac  # the user's own
done
link="$desktop/Ostrel Tarvine64 Setup.lnk"
setup_caption='Ostrel Tarvine64 Setup'
final_text="If the program setup screen does not come up, use the new desktop icon called 'Ostrel Tarvine64 Setup'"
final_report=$'box\tOstrel Tarvine64 Setup Message\t'"$final_text"$'\tOK\tnoicon'

status=0
fail() {
  echo "FAIL: $*"
  status=1
}
expect() {  # <what> <found> <expected>
  [ "$2" = "$3" ] || fail "$1 is '$(head -c 300 <<<"$2")', expected '$3'"
}

# Runs a Windows program of the session and waits for it.
wine_run() { "$wine_dir/run_in_wine.sh" "$wine_build_dir" "$@"; }

# drive_c_path <windows path>: the host path of a path on drive C:.
drive_c_path() { printf '%s/%s' "$drive_c" "$(sed 's/^[Cc]:\\//; s/\\/\//g' <<<"$1")"; }

# find_temp_folder: the user's temporary folder, where the installer writes
# its temporary archive when the start folder cannot take it, as Windows
# programs see it ($temp_windows, without the final "\") and on the host
# ($temp_folder).
find_temp_folder() {
  temp_windows=$(wine_run cmd /c echo %TEMP% | tr -d '\r' | grep -i '^C:' | tail -n1)
  temp_windows=${temp_windows%\\}
  [ -n "$temp_windows" ] || fail "cannot find the temporary folder of the prefix"
  temp_folder=$(drive_c_path "$temp_windows")
  [ -d "$temp_folder" ] || fail "the temporary folder $temp_windows is not $temp_folder"
}

# reset_state <start folder name>: no installation folders, no shortcut on the
# desktop and an empty start folder C:\<name> (its Unix path in $start).
reset_state() {
  rm -rf "$base" "$link"
  start="$drive_c/$1"
  start_windows="C:\\$1"
  if mountpoint -q "$start" 2>/dev/null; then
    umount "$start"
  fi
  rm -rf "$start" && mkdir -p "$start"
}

# payload_of <installer>: the folder holding the installer's payload as eek
# extracts it on the host (upper-case names), made once per installer
# content; empty when eek finds no payload that extracts whole.
payload_of() {
  local key folder="$wine_session_dir/e2e-payloads"
  key=$(sha1sum <"$1" | cut -c1-40)
  if [ ! -e "$folder/$key.done" ]; then
    rm -rf "${folder:?}/$key" && mkdir -p "$folder/$key"
    if "$eek" extract -C "$folder/$key" "$1" >/dev/null 2>&1; then
      echo "$folder/$key" >"$folder/$key.done"
    else
      echo "" >"$folder/$key.done"
    fi
  fi
  cat "$folder/$key.done"
}

# The files of a payload folder that are not in the installation folder byte
# for byte (names compared upper-cased), one a line.
payload_not_installed() {  # <payload folder>
  python3 - "$1" "$install" <<'PYTHON'
import filecmp, os, sys
payload, install = sys.argv[1:3]
have = {name.upper(): name for name in os.listdir(install)} if os.path.isdir(install) else {}
for name in sorted(os.listdir(payload)):
    there = have.get(name.upper())
    if there is None or not filecmp.cmp(os.path.join(payload, name),
                                        os.path.join(install, there), shallow=False):
        print(name)
PYTHON
}

# The exit code's promise, checked after every run: exit code 1 if and only
# if every file of the installer's payload is in the installation folder
# byte for byte; any other end shows a box (or is a fatal 255).
check_exit_promise() {  # <installer>
  local code boxes payload_folder missing whole=0
  code=$(sed -n 's/^exit\t//p' <<<"$run_output" | tail -n1)
  boxes=$(grep -c '^box' <<<"$run_output")
  payload_folder=$(payload_of "$1")
  if [ -n "$payload_folder" ]; then
    missing=$(payload_not_installed "$payload_folder")
    [ -n "$missing" ] || whole=1
  fi
  if [ "$code" = 1 ]; then
    [ "$whole" = 1 ] || fail "exit code 1, but not installed whole:" \
      "$([ -n "$payload_folder" ] && echo $missing || echo 'no payload eek can extract')"
  else
    [ "$whole" = 0 ] || fail "the payload is installed whole, but the exit code is '$code'"
    [ "$code" = 255 ] || [ "$boxes" -gt 0 ] || fail "exit code '$code' without a box"
  fi
}

# watch_files [--delete] <folder> <name> <event>...: starts file_events.py on
# the folder and returns once it watches (false when it cannot); its further
# lines (seen, deleted, timeout) are then read from the descriptor
# $file_watch. end_file_watch ends it and prints what it has not read yet.
watch_files() {
  local line
  rm -f "$work/file-watch" && mkfifo "$work/file-watch"
  python3 "$(dirname "${BASH_SOURCE[0]}")/file_events.py" "$@" >"$work/file-watch" &
  file_watch_pid=$!
  exec {file_watch}<"$work/file-watch"
  read -r line <&"$file_watch" && [ "$line" = watching ]
}
end_file_watch() {
  kill "$file_watch_pid" 2>/dev/null
  wait "$file_watch_pid" 2>/dev/null
  cat <&"$file_watch"
  exec {file_watch}<&-
}

# set_attribute <R|H|S> <windows path>...: gives files and folders of drive C:
# the read-only, hidden or system attribute, and checks with Wine's attrib
# that Wine sees it. Wine keeps read-only as a file without write permission,
# so R is set on the host, where a failure cannot pass unseen: attrib +R says
# nothing when its change does not take, and once in a CI run it did not. H
# and S, which Wine keeps beside the file, are set with attrib, one flag per
# call (Wine's attrib keeps only the last of several).
set_attribute() {
  local letter=$1 path
  shift
  for path in "$@"; do
    if [ "$letter" = R ]; then
      chmod a-w "$(drive_c_path "$path")"
    else
      wine_run attrib "+$letter" "$path" >/dev/null
    fi
    has_attribute "$letter" "$path" ||
      fail "cannot set attribute $letter on $path (attrib shows: $(wine_run attrib "$path" | tr -d '\r'))"
  done
}
has_attribute() {  # <R|H|S> <windows path>
  local line
  line=$(wine_run attrib "$2" | tr -d '\r' | head -n1)
  [[ "${line%%C:*}" == *"$1"* ]]
}

# run_installer <installer.exe> [arguments...]: runs it from the start folder
# under the window watcher on an 800 x 600 virtual desktop, as a person would:
# every box stays up for a second before OK is pressed. Each setup program the
# installer starts is ended once it has recorded its start. The exit code is
# then held to its promise (check_exit_promise), unless the caller ends the
# run itself (run_ended_by_test=1 while it runs: the code is then the
# killer's).
run_counter=0
run_installer() {
  local program=$1
  shift
  run_counter=$((run_counter + 1))
  run_log="$work/run-$run_counter.log"
  local output="$work/run-$run_counter.out" record="$install/setup-started.txt" seen="" process
  # A record of an earlier run would read as this run's start.
  rm -f "$run_log" "$output" "$record"
  setup_record="" setup_after_answer="" setup_starts=0
  wine_run explorer "/desktop=e2e-$$-$run_counter,800x600" \
    "$(windows_path "$watcher")" --timeout-ms 60000 --answer-after-ms 1000 \
    --record "$(windows_path "$run_log")" --cwd "$start_windows" -- \
    "$(windows_path "$program")" "$@" >"$output" 2>&1 &
  local runner=$!
  # The desktop stays while a started setup program shows its window.
  for _ in $(seq 1800); do
    kill -0 "$runner" 2>/dev/null || break
    process=$(sed -n 's/^process=//p' "$record" 2>/dev/null | tr -d '\r')
    if [ -n "$process" ] && [[ " $seen " != *" $process "* ]]; then
      seen+=" $process"
      setup_starts=$((setup_starts + 1))
      if [ -z "$setup_record" ]; then
        local boxes answered
        boxes=$(record_select "$run_log" box | wc -l)
        answered=$(record_select "$run_log" pressed | wc -l)
        setup_after_answer=$([ "$boxes" -gt 0 ] && [ "$answered" = "$boxes" ] && echo 1 || echo 0)
        setup_record=$(tr -d '\r' <"$record")
      fi
      wine_run taskkill /f /pid "$process" >/dev/null
    fi
    sleep 0.05
  done
  if kill -0 "$runner" 2>/dev/null; then
    fail "the run did not end within 90 s"
    kill $(ps -o pid= --ppid "$runner") "$runner" 2>/dev/null
  fi
  wait "$runner"
  run_output=$(tr -d '\r' <"$output")
  echo "-- run $run_counter: $(basename "$program") $*"
  echo "$run_output"
  [ "$setup_starts" -le 1 ] || fail "the setup program was started $setup_starts times"
  [ "${run_ended_by_test:-0}" = 1 ] || check_exit_promise "$program"
}

# The value of key in the setup program's start record.
setup_field() { sed -n "s/^$1=//p" <<<"$setup_record"; }

# Lines of the progress window in the log of the last run.
progress_windows() {
  record_select "$run_log" window class=TarvineSelfExtractProgressDialog | record_field hwnd | sort -u
}

# Checks of a run that ended at a box of its own: that box alone was shown
# (no progress window, no final message), nothing was unpacked, linked or
# started, and the exit code is 2 (ended without a complete installation).
expect_stopped_at() {  # <box text>
  expect "what the run showed" "$run_output" \
    "$(printf 'box\t%s\t%s\tOK\tnoicon\nexit\t2' "$setup_caption" "$1")"
  [ -z "$(progress_windows)" ] || fail "a progress window was shown"
  [ ! -e "$link" ] || fail "a shortcut was put on the desktop"
  [ -z "$setup_record" ] || fail "the setup program was started"
  [ -z "$(ls -A "$start")" ] || fail "left in the start folder: $(ls -A "$start")"
}

# Every file of the payload folder is in the installation folder under its
# upper-case name with the same bytes; prints the names it checked.
expect_payload_installed() {  # <payload folder> [name kept instead]...
  local file name kept
  for file in "$1"/*; do
    name=$(basename "$file" | tr '[:lower:]' '[:upper:]')
    for kept in "${@:2}"; do [ "$name" = "$kept" ] && continue 2; done
    cmp -s "$file" "$install/$name" || fail "$name is missing or differs from the payload"
  done
}
