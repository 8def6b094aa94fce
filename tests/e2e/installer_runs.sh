#!/usr/bin/env bash
# End-to-end runs of the real installers under wine64, one scenario per call,
# each from a known state of its own (no installation folders, no shortcut,
# an empty start folder), checking what a user sees (through the window
# watcher) and what the user finds afterwards (on the host and in Wine).
#
# usage: installer_runs.sh <build dir> <scenario> <installer.exe> <stub.exe>
#          <installer-without-setup.exe> <window_watcher.exe> <read_shortcut.exe>
#          <payload folder> <host eek>
#
# Scenarios: fresh_run second_run stale_archive stub hidden_base_folder
# file_as_base_folder kept_files no_setup_program read_only_start full_start
# damaged_payload record_removed code_page_names archive_deleted full_install_volume
# killed_run
#
# Every run's exit code is checked: 1 for a complete installation, 2 for a run
# that ended at a box without one.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_dir="$here/../windows/wine"
source "$wine_dir/wine_env.sh" "$1"
source "$here/../windows/watcher/record.sh"
scenario=$2 installer=$3 stub=$4 without_setup=$5 watcher=$6 reader=$7 payload=$8 eek=$9
work="$wine_session_dir/e2e-$scenario"
rm -rf "$work" && mkdir -p "$work"
source "$here/e2e_support.sh"

# The last label text of the last run's progress window.
last_label() {
  record_select "$run_log" child id=100 | record_field text | grep . | tail -n1
}

# The progress window of the last run: one window, its caption changed once
# to "Extracting Installation Files...", percentages in the label rising, the
# bar rising with them, and the window gone before the final message came up.
check_progress_window() {
  local windows window captions labels numbers positions gone box
  windows=$(progress_windows)
  [ "$(wc -w <<<"$windows")" = 1 ] || { fail "expected one progress window, saw: $windows"; return; }
  window=$windows
  captions=$(record_select "$run_log" window "hwnd=$window" | record_field caption | uniq)
  [[ "$captions" =~ ^(Extracting\ Files$'\n')?Extracting\ Installation\ Files\.\.\.$ ]] ||
    fail "captions seen: $captions"
  labels=$(record_select "$run_log" child "parent=$window" id=100 | record_field text | uniq | grep .)
  grep -vqE '^ [0-9]+ %$' <<<"$labels" && fail "label texts not of the form ' N %': $labels"
  numbers=$(tr -dc '0-9\n' <<<"$labels")
  [ "$numbers" = "$(sort -un <<<"$numbers")" ] || fail "label percentages do not rise: $(echo $numbers)"
  positions=$(record_select "$run_log" child "parent=$window" id=200 | record_field pos | uniq)
  [ "$positions" = "$(sort -n <<<"$positions")" ] || fail "bar positions fall: $(echo $positions)"
  [ "$(sort -u <<<"$positions" | wc -l)" -ge 4 ] || fail "the bar hardly moved: $(echo $positions)"
  expect "bar range" "$(record_select "$run_log" child "parent=$window" id=200 |
    record_field range | sort -u)" "0,100"
  gone=$(record_select "$run_log" gone "hwnd=$window" | record_field t)
  box=$(record_select "$run_log" box | head -n1 | record_field t)
  [ -n "$gone" ] && [ -n "$box" ] && ((gone < box)) ||
    fail "the progress window was not closed before the final message (gone '$gone', box '$box')"
}

# The final message of the last run as the watcher saw it: its caption, text,
# OK alone, no icon, no owner, system-modal; then the setup program started
# after it was answered, in the installation folder, in a normal window.
check_final_message_and_start() {
  local box
  box=$(record_select "$run_log" box)
  expect "final message caption" "$(record_field caption <<<"$box")" "Ostrel Tarvine64 Setup Message"
  expect "final message text" "$(record_field text <<<"$box")" "$final_text"
  expect "final message buttons, icon, owner and modality" \
    "$(record_field buttons <<<"$box") $(record_field icon <<<"$box") $(record_field owner <<<"$box") $(record_field modal <<<"$box")" \
    "OK no 0x0 system"
  [ -n "$setup_record" ] || { fail "the setup program did not record a start"; return; }
  expect "setup started after the final message was answered" "$setup_after_answer" 1
  expect "setup program" "$(setup_field program | tr '[:lower:]' '[:upper:]')" "${install_windows^^}\\SETUP.EXE"
  expect "setup current folder" "$(setup_field folder)" "$install_windows"
  expect "setup show command (SW_SHOWNORMAL)" "$(setup_field show)" 1
}

# The desktop shortcut, read back in Wine through the shell's link object and
# on the host with lnkinfo and from the file itself.
check_shortcut() {
  [ -f "$link" ] || { fail "no shortcut $link"; return; }
  local user read info target="$install_windows\\setup.exe"
  user=$(basename "$(dirname "$desktop")")
  read=$(wine_run "$reader" "C:\\users\\$user\\Desktop\\Ostrel Tarvine64 Setup.lnk" | tr -d '\r')
  echo "$read"
  field() { sed -n "s/^$1=//p" <<<"$read"; }
  expect "shortcut target" "$(field target)" "$target"
  expect "shortcut working folder" "$(field working)" "$install_windows"
  expect "shortcut arguments" "$(field arguments)" ""
  expect "shortcut icon location" "$(field icon),$(field icon_index)" "$target,0"
  expect "shortcut description" "$(field description)" "Ostrel Tarvine64 Setup"
  expect "shortcut show command" "$(field show)" 1
  info=$(lnkinfo "$link")
  lnk() { sed -n "s/^[[:space:]]*$1[[:space:]]*: //p" <<<"$info" | head -n1; }
  expect "lnkinfo local path" "$(lnk "Local path")" "$target"
  expect "lnkinfo working directory" "$(lnk "Working directory")" "$install_windows"
  expect "lnkinfo icon location" "$(lnk "Icon location")" "$target"
  expect "lnkinfo description" "$(lnk "Description")" "Ostrel Tarvine64 Setup"
  expect "lnkinfo arguments" "$(lnk "Command line arguments")" ""
  # lnkinfo misreads the show command: icon index (0x38) and show command (0x3C) from the file.
  expect "icon index and show command in the file" "$(od -An -td4 -j56 -N8 "$link" | xargs)" "0 1"
  # Wine writes an empty arguments string where Windows writes none; both read
  # back as no arguments. The relative path (HasRelativePath, 0x08 in the link
  # flags at 0x14): Wine's WScript.Shell shortcut object answers
  # put_RelativePath with E_NOTIMPL, so Wine's file has none.
  if (($(od -An -tu4 -j20 -N4 "$link") & 0x8)); then
    [ -n "$(lnk "Relative path")" ] || fail "the link flags a relative path but holds none"
  else
    echo "Wine shortfall: IWshShortcut::put_RelativePath is not implemented by Wine's" \
      "WScript.Shell (E_NOTIMPL); the shortcut holds no relative path"
  fi
}

# A fresh installation as a user meets it. The window watcher looks every
# millisecond; on a loaded machine it can miss the few milliseconds between
# the label's last text and the window's close, so a run in which it did not
# see the last text is made again, from the same state, up to twice.
scenario_fresh_run() {
  local attempt
  for attempt in 1 2 3; do
    reset_state e2e-start
    run_installer "$installer"
    [ "$(last_label)" != " 100 %" ] || break
    echo "note: the watcher missed the end of the progress window (last label seen:" \
      "'$(last_label)'); run $attempt of at most 3"
  done
  expect "what the run showed" "$run_output" "$final_report"$'\nexit\t1'
  expect "exit code in the log" "$(record_select "$run_log" exit | record_field code)" 1
  [ -d "$base" ] && [ -d "$install" ] || fail "the installation folders were not made"
  expect_payload_installed "$payload"
  expect "files in the installation folder" "$(ls "$install" | sort | xargs)" \
    "$( (ls "$payload" | tr '[:lower:]' '[:upper:]'; echo setup-started.txt) | sort | xargs)"
  expect "files left in the start folder" "$(ls -A "$start")" ""
  check_progress_window
  # 100 % at the end: the names of the demo payload's four entries, which the
  # percentage does not count, are far below half a per cent of it.
  expect "last label text" "$(last_label)" " 100 %"
  check_final_message_and_start
  check_shortcut
}

# A second run over the first, with arguments (which change nothing): it
# clears and unpacks again, writes the shortcut again and starts the setup
# program again; it recreates nothing that exists. A file of the product that
# it made read-only is kept by the clearing and, being the payload's, counts
# as installed.
scenario_second_run() {
  reset_state e2e-start
  run_installer "$installer"
  local first=$run_output inode
  inode=$(stat -c %i "$base")
  echo "kept" >"$base/KEEP.TXT"
  echo "changed" >"$install/MANUAL.TXT"
  echo "left over" >"$install/OLD.TXT"
  echo "not a shortcut" >"$link"
  set_attribute R "$install_windows\\TABLES.DAT"
  run_installer "$installer" /S --silent "C:\\some folder" -- '"'
  expect "what the second run showed" "$run_output" "$first"
  expect "base folder" "$(stat -c %i "$base")" "$inode"
  expect "a file in the base folder" "$(cat "$base/KEEP.TXT")" kept
  [ ! -e "$install/OLD.TXT" ] || fail "OLD.TXT of the earlier installation is still there"
  expect_payload_installed "$payload"
  has_attribute R "$install_windows\\TABLES.DAT" || fail "TABLES.DAT lost its attribute"
  check_progress_window
  check_final_message_and_start
  check_shortcut
}

# A temporary archive left in the start folder and one left in the user's
# temporary folder by earlier runs: both deleted; the installer's own payload
# is unpacked.
scenario_stale_archive() {
  reset_state e2e-start
  find_temp_folder
  mkdir -p "$work/stale" && echo "stale" >"$work/stale/STALE.TXT"
  "$eek" pack "$start/Bulktemp.eek" "$work/stale" >/dev/null || fail "cannot pack the stale archive"
  cp "$start/Bulktemp.eek" "$temp_folder/Bulktemp.eek"
  run_installer "$installer"
  expect "what the run showed" "$run_output" "$final_report"$'\nexit\t1'
  expect "files left in the start folder" "$(ls -A "$start")" ""
  [ ! -e "$temp_folder/Bulktemp.eek" ] || fail "the stale archive in the temporary folder is left"
  [ ! -e "$install/STALE.TXT" ] || fail "the stale archive was unpacked"
  expect_payload_installed "$payload"
  check_final_message_and_start
}

# The installer without a payload: the folders are made (first run) and
# cleared (second run, with a stale archive too), then "Resource Not Found!".
scenario_stub() {
  reset_state e2e-start
  run_installer "$stub"
  expect_stopped_at "Resource Not Found!"
  [ -d "$install" ] || fail "the installation folder was not made"
  echo "old" >"$install/OLD.TXT"
  echo "stale" >"$start/Bulktemp.eek"
  run_installer "$stub"
  expect_stopped_at "Resource Not Found!"
  [ ! -e "$install/OLD.TXT" ] || fail "the installation folder was not cleared"
}

# A hidden base folder fails its check although it exists; a stale temporary
# archive has been deleted before.
scenario_hidden_base_folder() {
  reset_state e2e-start
  mkdir "$base"
  set_attribute H "$base_windows"
  echo "stale" >"$start/Bulktemp.eek"
  run_installer "$installer"
  expect_stopped_at "Unable to create \"$base_windows\" !"
  [ ! -e "$install" ] || fail "the installation folder was made"
}

# A plain file named like the base folder passes its check; the installation
# folder then cannot be made.
scenario_file_as_base_folder() {
  reset_state e2e-start
  echo "a file" >"$base"
  run_installer "$installer"
  expect_stopped_at "Unable to create \"$install_windows\" !"
  expect "the file named as the base folder" "$(cat "$base")" "a file"
}

# What the clearing keeps: read-only, hidden and system files and a subfolder
# with its contents. A kept read-only file named like a payload entry is not
# overwritten; the other entries are unpacked, then a box names the file.
scenario_kept_files() {
  reset_state e2e-start
  mkdir -p "$install/SUB"
  local name
  for name in PLAIN.TXT READONLY.TXT HIDDEN.TXT SYSTEM.TXT SUB/INNER.TXT MANUAL.TXT; do
    echo "before: $name" >"$install/$name"
  done
  set_attribute R "$install_windows\\READONLY.TXT" "$install_windows\\MANUAL.TXT"
  set_attribute H "$install_windows\\HIDDEN.TXT"
  set_attribute S "$install_windows\\SYSTEM.TXT"
  run_installer "$installer"
  # The kept MANUAL.TXT is not the payload's: the user is told which file,
  # and the installation is neither linked nor started.
  expect "what the run showed" "$run_output" "$(printf 'box\t%s\t%s\tOK\tnoicon\nexit\t2' \
    "$setup_caption" "Unable to write \"$install_windows\\MANUAL.TXT\" !")"
  [ ! -e "$install/PLAIN.TXT" ] || fail "the plain file was not cleared"
  for name in READONLY.TXT HIDDEN.TXT SYSTEM.TXT SUB/INNER.TXT MANUAL.TXT; do
    expect "$name" "$(cat "$install/$name" 2>&1)" "before: $name"
  done
  local kept
  for kept in READONLY.TXT:R HIDDEN.TXT:H SYSTEM.TXT:S MANUAL.TXT:R; do
    has_attribute "${kept#*:}" "$install_windows\\${kept%:*}" || fail "${kept%:*} lost its attribute"
  done
  expect_payload_installed "$payload" MANUAL.TXT
  [ -z "$setup_record" ] && [ ! -e "$link" ] || fail "the installation was linked or started"
}

# A payload without setup.exe: unpacked, the shortcut written and the final
# message shown as always, then nothing is started and nothing else shown.
scenario_no_setup_program() {
  reset_state e2e-start
  run_installer "$without_setup"
  expect "what the run showed" "$run_output" "$final_report"$'\nexit\t1'
  expect_payload_installed "$payload" SETUP.EXE
  [ ! -e "$install/SETUP.EXE" ] || fail "a setup program was unpacked"
  [ -z "$setup_record" ] || fail "a setup program was started"
  [ -f "$link" ] || fail "no shortcut"
}

# The installer with one byte of its payload changed inside a literal run
# (which the entry walk and the decoder cannot see), then with a malformed
# payload check record: "Payload Damaged!" before anything is written;
# nothing unpacked, linked or started.
scenario_damaged_payload() {
  local change altered
  for change in literal version; do
    altered="$work/$change-$(basename "$installer")"
    python3 "$here/alter_installer.py" "$change" "$installer" "$altered" ||
      fail "cannot make the installer with the $change change"
    reset_state e2e-start
    run_installer "$altered"
    expect_stopped_at "Payload Damaged!"
    [ -d "$install" ] || fail "$change: the installation folder was not made"
    expect "$change: files in the installation folder" "$(ls -A "$install" 2>&1)" ""
  done
}

# The installer without its payload check record (renamed away) installs as
# installers made before the record did.
scenario_record_removed() {
  local altered="$work/unchecked-$(basename "$installer")"
  python3 "$here/alter_installer.py" unnamed "$installer" "$altered" ||
    fail "cannot make the installer without a check record"
  reset_state e2e-start
  run_installer "$altered"
  expect "what the run showed" "$run_output" "$final_report"$'\nexit\t1'
  expect_payload_installed "$payload"
  expect "files left in the start folder" "$(ls -A "$start")" ""
  check_final_message_and_start
  check_shortcut
}

# A start folder on a file system the installer cannot write to (mounted for
# the run): the temporary archive goes to the user's temporary folder, the
# product installs whole, and no temporary archive is left in either place.
# With the temporary folder read-only as well, the box names the last place
# tried and nothing is unpacked, linked or started.
mounted_start() {  # <name> <mount options>
  reset_state "$1"
  if ! mount -t tmpfs -o "$2" "e2e-$1" "$start" 2>"$work/mount.err"; then
    echo "SKIP: cannot mount a file system here ($(cat "$work/mount.err")); run as root"
    exit 77
  fi
  trap 'umount "$start"; mountpoint -q "$temp_folder" && umount "$temp_folder"' EXIT
  find_temp_folder
}
expect_installed_through_temp_folder() {
  expect "what the run showed" "$run_output" "$final_report"$'\nexit\t1'
  expect_payload_installed "$payload"
  check_final_message_and_start
  [ -f "$link" ] || fail "no shortcut on the desktop"
  expect "files left in the start folder" "$(ls -A "$start")" ""
  [ ! -e "$temp_folder/Bulktemp.eek" ] || fail "Bulktemp.eek is left in $temp_windows"
}
expect_stopped_at_temp_folder() {
  rm -rf "$base" "$link"
  mount --bind "$temp_folder" "$temp_folder" && mount -o remount,bind,ro "$temp_folder" ||
    { fail "cannot make the temporary folder read-only"; return; }
  run_installer "$installer"
  umount "$temp_folder"
  expect_stopped_at "Unable to write \"$temp_windows\\Bulktemp.eek\" !"
  expect "files in the installation folder" "$(ls -A "$install" 2>&1)" ""
  [ ! -e "$temp_folder/Bulktemp.eek" ] || fail "Bulktemp.eek is left in $temp_windows"
}
scenario_read_only_start() {
  mounted_start e2e-read-only-start size=64k
  mount -o remount,ro "$start"
  run_installer "$installer"
  expect_installed_through_temp_folder
  expect_stopped_at_temp_folder
}
scenario_full_start() {
  mounted_start e2e-full-start size=1m
  [ "$(stat -c %s "$installer")" -gt $((2 << 20)) ] || fail "the payload fits the 1 MB start folder"
  run_installer "$installer"
  expect_installed_through_temp_folder
  expect_stopped_at_temp_folder
}

# The temporary archive taken from the start folder by another process, as a
# scanner quarantines a new file, while the installer runs. Deleted right
# after the payload copy closed it, it is gone before the unpacking opens it
# (the run ends at the box naming it: nothing installed, linked or started);
# deleted once the unpacking has opened it, the open archive unpacks whole
# and the run ends with 1. Every run holds to the exit code's promise
# (run_installer); the deletion right after the close races the installer,
# so it is tried until it came first, at most four times.
scenario_archive_deleted() {
  local trigger attempt seen before=0 after=0
  local gone_box="Unable to write \"C:\\e2e-start\\Bulktemp.eek\" !"
  for trigger in closed "closed opened"; do
    for attempt in 1 2 3 4; do
      reset_state e2e-start
      watch_files --delete "$start" Bulktemp.eek $trigger || { fail "cannot watch $start"; return; }
      run_installer "$installer"
      seen=$(end_file_watch)
      grep -q '^deleted' <<<"$seen" || fail "the archive was not deleted ($trigger): $seen"
      if [ "$run_output" = "$(printf 'box\t%s\t%s\tOK\tnoicon\nexit\t2' "$setup_caption" "$gone_box")" ]; then
        before=$((before + 1))
        [ ! -e "$link" ] && [ -z "$setup_record" ] || fail "linked or started without an archive"
      elif [ "$run_output" = "$final_report"$'\nexit\t1' ]; then
        after=$((after + 1))
      else
        fail "deleted on '$trigger': neither the archive's box nor a whole installation"
      fi
      echo "deleted on '$trigger': $before before the open, $after after it"
      [ "$trigger" != closed ] || [ "$before" = 0 ] || break
      [ "$trigger" = closed ] || break
    done
  done
  [ "$before" -ge 1 ] || fail "no deletion came before the unpacking opened the archive"
  [ "$after" -ge 1 ] || fail "no deletion came after the unpacking opened the archive"
  expect "files left in the start folder" "$(ls -A "$start")" ""
}

# A full volume under the installation folder. Wine shows a mount point as a
# reparse point, which the folder check refuses, so drive C: itself is put on
# a file system of 1 MB for the run: its drive mapping points to the root of
# a small tmpfs that holds a link to each entry of drive_c, so that only the
# new C:\Ostrel Setup lands on it (skipped where the tests may not mount).
# The files that fit are written whole, the first that does not is deleted
# again and named in the box; nothing is linked or started, and the run ends
# with 2.
scenario_full_install_volume() {
  reset_state e2e-start
  local mapping="$WINEPREFIX/dosdevices/c:" root="$work/small-c" target entry
  target=$(readlink "$mapping")
  mkdir -p "$root"
  if ! mount -t tmpfs -o size=1m e2e-small-c "$root" 2>"$work/mount.err"; then
    echo "SKIP: cannot mount a file system here ($(cat "$work/mount.err")); run as root"
    exit 77
  fi
  for entry in "$drive_c"/* "$drive_c"/.[!.]*; do
    [ -e "$entry" ] && ln -s "$entry" "$root/$(basename "$entry")"
  done
  ln -s "$root" "$work/small-mapping" && mv -T "$work/small-mapping" "$mapping"
  trap 'ln -sfn "'"$target"'" "'"$mapping"'"; umount "'"$root"'"' EXIT
  local real_install=$install real_base=$base
  install="$root/${install#"$drive_c/"}" base="$root/${base#"$drive_c/"}"
  run_installer "$installer"
  local name file upper named=0
  name=$(sed -n 's/^box\t[^\t]*\tUnable to write "\(.*\)" !\tOK\tnoicon$/\1/p' <<<"$run_output")
  name=${name#"$install_windows\\"}
  expect "what the run showed" "$run_output" "$(printf 'box\t%s\t%s\tOK\tnoicon\nexit\t2' \
    "$setup_caption" "Unable to write \"$install_windows\\$name\" !")"
  for file in "$payload"/*; do
    upper=$(basename "$file" | tr '[:lower:]' '[:upper:]')
    [ "$upper" != "$name" ] || named=1
    [ ! -e "$install/$upper" ] || cmp -s "$file" "$install/$upper" || fail "$upper is not whole"
  done
  [ "$named" = 1 ] || fail "the box names no file of the payload"
  [ ! -e "$install/$name" ] || fail "$name, which did not fit, was left"
  [ "$(ls "$install" | wc -l)" -lt "$(ls "$payload" | wc -l)" ] || fail "everything fitted in 1 MB"
  [ ! -e "$link" ] && [ -z "$setup_record" ] || fail "the installation was linked or started"
  [ ! -e "$real_base" ] || fail "the base folder was made on the drive's own disk"
  install=$real_install base=$real_base
}

# An installer ended half-way through the unpacking (taskkill /F of its
# process once the first product file is closed in the installation folder,
# the rest still to come), then started again: the second run clears what the
# first left, installs everything and ends with 1. The payload has a large
# file after the demo product's, so that the kill comes while it unpacks; the
# installer's file name is this scenario's own, so that taskkill of that
# image in the session's prefix ends it and nothing else (Wine 8's tasklist
# lists nothing to take its process id from).
scenario_killed_run() {
  local folder="$work/big-product" big="$work/KilledHalfwaySetup.exe" attempt
  rm -rf "$folder" && cp -r "$payload" "$folder"
  # The same incompressible bytes every run, so that the payload is the same.
  python3 -c 'import random, sys; random.seed(25); sys.stdout.buffer.write(random.randbytes(64 << 20))' \
    >"$folder/zz-large.bin"
  "$eek" installer -q --stub "$stub" -o "$big" "$folder" || fail "cannot make the large installer"
  for attempt in 1 2 3; do
    reset_state e2e-start
    mkdir -p "$install"
    watch_files "$install" '*' closed || { fail "cannot watch $install"; return; }
    (
      read -r line <&"$file_watch" && [ "${line%% *}" = seen ] &&
        wine_run taskkill /f /im "$(basename "$big")" >/dev/null
    ) &
    local killer=$!
    run_ended_by_test=1 run_installer "$big"
    wait "$killer"
    end_file_watch >/dev/null
    [ -n "$(payload_not_installed "$(payload_of "$big")")" ] && break
    echo "note: the installer was done before it was killed; attempt $attempt of at most 3"
  done
  [ -z "$setup_record" ] && [ ! -e "$link" ] || fail "the killed run linked or started"
  [ -n "$(payload_not_installed "$(payload_of "$big")")" ] || fail "never killed half-way"
  run_installer "$big"
  expect "what the second run showed" "$run_output" "$final_report"$'\nexit\t1'
  expect "files left in the start folder" "$(ls -A "$start")" ""
}

# Names in the publisher's code page, installed under the same Unicode names
# whatever the system's: a --code-page 932 installer on a system of code page
# 1252 (the session's locale), and a default (1252) installer under the
# Japanese locale (code page 932). Then an installer whose check record names
# a code page the system lacks: its box alone, nothing prepared or unpacked.
code_page_installer() {  # <code page> <installer> <names>...
  local folder="$work/names-$1" name
  rm -rf "$folder" && mkdir -p "$folder"
  cp "$payload/setup.exe" "$folder/setup.exe"
  for name in "${@:3}"; do echo "$name" >"$folder/$name"; done
  "$eek" installer --code-page "$1" --stub "$stub" -o "$2" "$folder" >/dev/null ||
    fail "cannot make the code page $1 installer"
}
expect_names_installed() {  # <names as installed>...
  local name
  expect "what the run showed" "$run_output" "$final_report"$'\nexit\t1'
  expect "files in the installation folder" "$(ls "$install" | sort | xargs)" \
    "$(printf '%s\n' "$@" SETUP.EXE setup-started.txt | sort | xargs)"
  for name in "$@"; do
    [ -f "$install/$name" ] || fail "$name is not installed under its name"
  done
  check_final_message_and_start
}
scenario_code_page_names() {
  # 表 and ソ end in the byte of "\", ヂ in the byte of "a".
  code_page_installer 932 "$work/names-932.exe" 日本語.txt 表.txt ソ.txt ヂ.txt
  reset_state e2e-start
  run_installer "$work/names-932.exe"
  expect_names_installed 日本語.TXT 表.TXT ソ.TXT ヂ.TXT

  code_page_installer 1252 "$work/names-1252.exe" café.txt Ünïcödé.txt
  reset_state e2e-start
  WINE_TEST_LOCALE=ja_JP.UTF-8
  export WINE_TEST_LOCALE
  run_installer "$work/names-1252.exe"
  expect_names_installed CAFÉ.TXT ÜNÏCÖDÉ.TXT
  # A kept file of other content: the box names it in the payload's code
  # page, not in the system's.
  reset_state e2e-start
  mkdir -p "$install"
  echo "kept" >"$install/CAFÉ.TXT"
  chmod a-w "$install/CAFÉ.TXT"
  run_installer "$work/names-1252.exe"
  unset WINE_TEST_LOCALE
  expect "what the run showed" "$run_output" "$(printf 'box\t%s\t%s\tOK\tnoicon\nexit\t2' \
    "$setup_caption" "Unable to write \"$install_windows\\CAFÉ.TXT\" !")"

  # Names of code page 932 in a payload whose record says 1252: 表 (95 5C)
  # reads as "•\", a name with a separator. It is not written, and the run
  # says so: the box names it, nothing is linked or started.
  code_page_installer 932 "$work/names-932-only.exe" 表.txt
  python3 "$here/alter_installer.py" code_page_1252 "$work/names-932-only.exe" \
    "$work/names-mislabelled.exe" || fail "cannot make the mislabelled installer"
  reset_state e2e-start
  run_installer "$work/names-mislabelled.exe"
  expect "what the run showed" "$run_output" "$(printf 'box\t%s\t%s\tOK\tnoicon\nexit\t2' \
    "$setup_caption" "Unable to write \"$install_windows\\•\\.TXT\" !")"
  expect "files in the installation folder" "$(ls "$install" | xargs)" SETUP.EXE
  [ ! -e "$link" ] && [ -z "$setup_record" ] || fail "the installation was linked or started"

  python3 "$here/alter_installer.py" code_page "$installer" "$work/missing-code-page.exe" ||
    fail "cannot make the installer with a code page the system lacks"
  reset_state e2e-start
  run_installer "$work/missing-code-page.exe"
  expect_stopped_at "Code Page 59999 Not Installed!"
  [ ! -e "$base" ] || fail "the folders were prepared"
}

"scenario_$scenario"
cat "$run_log" >"$work/last-run.log" 2>/dev/null
exit $status
