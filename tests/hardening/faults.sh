#!/usr/bin/env bash
# Faults met by the real installer under wine64: a full installation drive,
# an output file another program holds open, a read-only file with an entry's
# name, payloads cut inside a header, a name and the data, and no display at
# all. Each run ends with exit code 1 within seconds, shows the box the
# installer has for the fault, leaves every file it wrote whole (a file that
# did not come out whole is reported and removed) and writes nothing outside
# its folders.
#
# usage: faults.sh <arguments of hardening_support.sh>
# Cases: held_open read_only_entry cut_header cut_name cut_data no_display
source "$(dirname "$0")/hardening_support.sh"

# The payload's files that are in the installation folder are whole; the
# others are missing, and the first of them is the one the box named.
expect_whole_or_reported() {  # <box text> <named file>
  local file name missing=""
  for file in "$payload"/*; do
    name=$(basename "$file" | tr '[:lower:]' '[:upper:]')
    if [ -e "$install/$name" ]; then
      cmp -s "$file" "$install/$name" || fail "$name was left incomplete"
    else
      missing+=" $name"
    fi
  done
  [[ "$missing" == *" $2"* ]] || fail "the box names $2, which is there: $1"
  echo "missing after the run:$missing"
}

# The box of the last run, which must be the installer's unwritten-file box
# for a file of the installation folder; prints that file's name.
unwritten_file_named() {
  local box prefix="Unable to write \"$install_windows\\" name
  box=$(record_select "$run_log" box | record_field text)
  name=${box#"$prefix"}
  name=${name%\" !}
  [ "$box" = "$prefix$name\" !" ] && [ -n "$name" ] || fail "not an unwritten-file box: $box"
  echo "$name"
}

# Another program holds MANUAL.TXT of the installation folder open without
# sharing: the clearing cannot delete it, the extraction cannot open it.
case_held_open() {
  reset_state hardening-start
  mkdir -p "$install"
  local held="$install/MANUAL.TXT"
  wine_run "$(windows_path "$holder")" "$install_windows\\MANUAL.TXT" &
  local holder_run=$!
  for _ in $(seq 100); do [ -e "$held.held" ] && break; sleep 0.1; done
  [ -e "$held.held" ] || fail "the file could not be held open"
  run_installer "$installer"
  touch "$held.release"
  wait "$holder_run"
  expect_stopped_after_extraction "Unable to write \"$install_windows\\MANUAL.TXT\" !"
  expect "the held file" "$(stat -c %s "$held")" 0
  rm -f "$held"*
  expect_whole_or_reported "$run_output" MANUAL.TXT
}

# A read-only file with the name of an entry, which the clearing has to keep:
# it is not written over, and the user is told.
case_read_only_entry() {
  reset_state hardening-start
  mkdir -p "$install"
  echo "kept" >"$install/TABLES.DAT"
  set_attribute R "$install_windows\\TABLES.DAT"
  run_installer "$installer"
  expect_stopped_after_extraction "Unable to write \"$install_windows\\TABLES.DAT\" !"
  expect "the read-only file" "$(cat "$install/TABLES.DAT")" kept
  rm -f "$install/TABLES.DAT"
  expect_whole_or_reported "$run_output" TABLES.DAT
}

# Payloads cut short inside the third entry: its header, its name, its data.
# The two entries before the cut come out whole; no file is made of a cut
# header or name (not even under the part of the name that was there), a cut
# entry's data keeps what arrived; the user is told the payload is damaged.
cut_payload() {  # <installer> [name of the cut entry's file]
  reset_state hardening-start
  run_installer "$1"
  expect_stopped_after_extraction "Payload Damaged!"
  if [ $# -gt 1 ]; then
    local size
    size=$(stat -c %s "$install/$2")
    ((size > 0 && size < 6000)) && cmp -s -n "$size" "$install/$2" "$build_work/cut-third.dat" ||
      fail "$2 is not the start of the cut entry's data"
    rm -f "$install/$2"
  fi
  expect_install_folder_is "$build_work/cut-expected"
}
case_cut_header() { cut_payload "$cut_header_installer"; }
case_cut_name() { cut_payload "$cut_name_installer"; }
case_cut_data() { cut_payload "$cut_data_installer" THIRD.DAT; }

# No display at all: no window can be made, so neither the progress window nor
# any box appears. The installer does not wait for them: it unpacks the
# payload and ends at once.
case_no_display() {
  reset_state hardening-start
  run_log="$work/no-display.log"
  # run_in_wine.sh would give the program the session's display.
  env -u DISPLAY "$wine_loader" "$watcher" --timeout-ms 60000 --record "$(windows_path "$run_log")" \
    --cwd "$start_windows" -- "$(windows_path "$installer")" >"$work/no-display.out" 2>/dev/null
  run_output=$(tr -d '\r' <"$work/no-display.out")
  echo "$run_output"
  expect "what the run showed" "$run_output" $'exit\t1'
  expect_quick_end
  # The installer ended right after starting the setup program, which cannot
  # show its window either; it is ended once it has recorded its start.
  local record="$install/setup-started.txt" process
  for _ in $(seq 100); do [ -s "$record" ] && break; sleep 0.1; done
  process=$(sed -n 's/^process=//p' "$record" 2>/dev/null | tr -d '\r')
  [ -n "$process" ] || fail "the setup program was not started"
  [ -z "$process" ] || wine_run taskkill /f /pid "$process" >/dev/null
  rm -f "$record"
  expect_install_folder_is "$payload"
  expect "left in the start folder" "$(ls -A "$start")" ""
}

"case_$case_name"
exit $status
