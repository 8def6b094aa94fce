#!/usr/bin/env bash
# Files and folder links planted where the installer looks, run through the
# real installer under wine64: none of them is unpacked, loaded, started or
# followed.
#
# usage: planted.sh <arguments of hardening_support.sh>
# Cases: archive_read_only archive_hidden dll linked_base linked_install ostrel_exe
source "$(dirname "$0")/hardening_support.sh"

# A temporary archive planted in the start folder with the read-only or the
# hidden attribute, so that the removal of a stale one leaves it: its
# setup.exe leaves a mark when started. The installer must not unpack it in
# place of its own payload, nor write over it: its own archive goes to the
# user's temporary folder, and the product installs from there.
planted_archive() {  # <attribute letter>
  reset_state hardening-start
  find_temp_folder
  echo "planted" >"$work/PLANTED.TXT"
  python3 "$here/make_payload.py" files "$start/Bulktemp.eek" \
    "SETUP.EXE=$start_marker" "PLANTED.TXT=$work/PLANTED.TXT"
  cp "$start/Bulktemp.eek" "$work/planted.eek"
  set_attribute "$1" "$start_windows\\Bulktemp.eek"
  run_installer "$installer"
  expect "what the run showed" "$run_output" "$final_report"$'\nexit\t1'
  expect_quick_end
  ! ls "$install" | grep -qi '\.ran$' || fail "the planted archive's setup.exe was started"
  cmp -s "$start/Bulktemp.eek" "$work/planted.eek" || fail "the planted archive was changed"
  expect_install_folder_is "$payload" setup-started.txt
  [ -f "$link" ] || fail "no shortcut on the desktop"
  expect "temporary archives left" "$(ls "$start"; ls "$temp_folder" | grep -ix bulktemp.eek)" \
    Bulktemp.eek
}
case_archive_read_only() { planted_archive R; }
case_archive_hidden() { planted_archive H; }

# DLLs named like comctl32 (which the installer used to import) and uxtheme
# (which comctl32 and user32 load late, when the first window is made) beside
# the installer, with Wine told to prefer such native DLLs over its own for the
# programs there, as Windows would. A plain-name load by another program there
# reaches them; the installer loads neither.
prefer_native_dlls() {  # <program name> <add|delete>
  local key="HKCU\\Software\\Wine\\AppDefaults\\$1"
  if [ "$2" = add ]; then
    wine_run reg add "$key\\DllOverrides" /v comctl32 /d native,builtin /f >/dev/null &&
      wine_run reg add "$key\\DllOverrides" /v uxtheme /d native,builtin /f >/dev/null
  else
    wine_run reg delete "$key" /f >/dev/null 2>&1
  fi
}
# The mark of a planted DLL, named as the load spelled the DLL's name.
was_loaded() { ls "$folder" | grep -qix "$1.dll.loaded"; }
case_dll() {
  reset_state hardening-start
  local folder="$drive_c/hardening-dll" program=InstallerUnderTest.exe name
  rm -rf "$folder" && mkdir -p "$folder"
  cp "$installer" "$folder/$program"
  cp "$loader" "$folder/load_library.exe"
  prefer_native_dlls "$program" add && prefer_native_dlls load_library.exe add ||
    fail "cannot set the DLL overrides"
  for name in comctl32 uxtheme; do
    cp "$planted_dll" "$folder/$name.dll"
    wine_run "C:\\hardening-dll\\load_library.exe" "$name.dll" >/dev/null
    was_loaded "$name" ||
      fail "the plant proves nothing: a plain-name load of $name.dll does not reach it"
    rm -f "$folder"/*.loaded
  done
  run_installer "$folder/$program"
  prefer_native_dlls "$program" delete
  prefer_native_dlls load_library.exe delete
  expect "what the run showed" "$run_output" "$final_report"$'\nexit\t1'
  expect_quick_end
  for name in comctl32 uxtheme; do
    ! was_loaded "$name" || fail "the installer loaded the planted $name.dll"
  done
  expect_install_folder_is "$payload" setup-started.txt
  [ -n "$(progress_windows)" ] || fail "no progress window: comctl32 was not loaded from the system"
  rm -rf "$folder"
}

# The base folder, or the installation folder, already there as a symbolic
# link to a folder elsewhere (Wine shows a link to a folder as a reparse
# point, as Windows shows a junction): the folder fails its check, nothing
# there is deleted and nothing is written there.
linked_folder() {  # <path to link> <its Windows path>
  reset_state hardening-start
  local elsewhere="$work/elsewhere" before
  mkdir -p "$elsewhere/Tarvine64"
  echo "kept" >"$elsewhere/KEEP.TXT"
  echo "kept" >"$elsewhere/Tarvine64/KEEP.TXT"
  mkdir -p "$(dirname "$1")"
  ln -s "$elsewhere$([ "$1" = "$install" ] && echo /Tarvine64)" "$1"
  before=$(cd "$elsewhere" && find . | sort)
  run_installer "$installer"
  expect_stopped_at "Unable to create \"$2\" !"
  expect_quick_end 2
  expect "the folder the link leads to" "$(cd "$elsewhere" && find . | sort)" "$before"
  expect "a file there" "$(cat "$elsewhere/Tarvine64/KEEP.TXT")" kept
  rm -f "$1"
}
case_linked_base() { linked_folder "$base" "$base_windows"; }
case_linked_install() { linked_folder "$install" "$install_windows"; }

# A program planted at the base folder's first word (C:\Ostrel.exe), where an
# unquoted start of the installed setup.exe would find it: it is not started,
# the unpacked setup program is.
case_ostrel_exe() {
  reset_state hardening-start
  local plant="${base%% *}.exe"
  cp "$start_marker" "$plant"
  run_installer "$installer"
  expect "what the run showed" "$run_output" "$final_report"$'\nexit\t1'
  expect_quick_end
  [ ! -e "$plant.ran" ] || fail "the planted ${plant#$drive_c/} was started"
  expect "started program" "$(setup_field program | tr '[:lower:]' '[:upper:]')" \
    "${install_windows^^}\\SETUP.EXE"
  rm -f "$plant" "$plant.ran"
}

"case_$case_name"
exit $status
