#!/usr/bin/env bash
# One installer whose payload holds every kind of entry name that must never
# be written (make_payload.py hostile), with good entries between them: each
# bad entry is passed over without a trace, the walk stays in step so every
# good entry comes out byte for byte, nothing is written outside the
# installation folder, and no device name makes the run hang. A refused
# entry could be a file of the product, so the installation is not whole:
# the box names the first of them as its path would have read, and nothing
# is linked or started.
#
# usage: hostile_names.sh <arguments of hardening_support.sh>
source "$(dirname "$0")/hardening_support.sh"

case_hostile_names() {
  reset_state hardening-start
  local expected="$build_work/hostile-names/expected" before marks
  [ "$(ls "$expected" | wc -l)" -ge 40 ] || fail "the payload's good entries are missing"
  echo "sentinel" >"$drive_c/SENTINEL.TXT"
  echo "sentinel" >"$start/SENTINEL.TXT"
  mkdir -p "$base" && echo "sentinel" >"$base/SENTINEL.TXT"
  before=$(list_drive_c)
  run_installer "$hostile_installer"
  # The payload's first entry is ..\ESCAPE1.TXT.
  expect "what the run showed" "$run_output" "$(printf 'box\t%s\t%s\tOK\tnoicon\nexit\t2' \
    "$setup_caption" "Unable to write \"$install_windows\\..\\ESCAPE1.TXT\" !")"
  expect_quick_end 2
  [ ! -e "$link" ] && [ -z "$setup_record" ] || fail "the installation was linked or started"
  expect_install_folder_is "$expected"
  expect "the sentinels" "$(cat "$drive_c/SENTINEL.TXT" "$start/SENTINEL.TXT" "$base/SENTINEL.TXT")" \
    $'sentinel\nsentinel\nsentinel'
  expect_drive_c_unchanged_but "$before" "${install/#$drive_c/.}*" "${link/#$drive_c/.}"
  # Every refused entry's data carries HOSTILE-<n>: no file anywhere in the
  # prefix or the session's folders holds it.
  marks=$(grep -rlas 'HOSTILE-' "$WINEPREFIX" "$wine_session_dir" --exclude-dir="hardening-$case_name")
  expect "files holding a refused entry's data" "$marks" ""
  [ ! -e /tmp/ESCAPE7.TXT ] || fail "an entry was written through drive Z: to /tmp"
  rm -f "$drive_c/SENTINEL.TXT"
}

"case_$case_name"
exit $status
