# Support of the hardening runs (sourced by planted.sh, hostile_names.sh and
# faults.sh): their common arguments, the end-to-end runs' support, and the
# checks that the runs share.
#
# Arguments of every script:
#   <build dir> <case> <installer.exe> <window_watcher.exe> <start_marker.exe>
#   <planted_dll.dll> <hold_file.exe> <load_library.exe> <demo payload folder>
#   <hostile-names installer> <cut-in-header> <cut-in-name> <cut-in-data installer>
#   <build work folder of tests/hardening>
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine_dir="$here/../windows/wine"
source "$wine_dir/wine_env.sh" "$1"
source "$here/../windows/watcher/record.sh"
case_name=$2 installer=$3 watcher=$4 start_marker=$5 planted_dll=$6 holder=$7 loader=$8
payload=$9 hostile_installer=${10} cut_header_installer=${11} cut_name_installer=${12}
cut_data_installer=${13} build_work=${14}
work="$wine_session_dir/hardening-$case_name"
rm -rf "$work" && mkdir -p "$work"
source "$here/../e2e/e2e_support.sh"

# A run ends on its own: one still going this many milliseconds after the
# watcher's start (boxes, each answered after a second, included) is taken
# as hung. Generous, so that a slow machine or emulated 32-bit code is not
# mistaken for a hang; the watcher ends the program a little later.
run_limit_ms=55000

# The paths of drive C: (Wine's own windows folder left out, and the scratch
# folders C:\ft<process>-<n> of unit tests that run beside this one), one per
# line.
list_drive_c() {
  (cd "$drive_c" && find . -path ./windows -prune -o -path './ft[0-9]*' -prune -o -print | sort)
}

# Checks that the last run ended within the limit, with the exit code given:
# 1 (the default) for a complete installation, 2 for a run that ended without.
expect_quick_end() {  # [exit code]
  local ended
  ended=$(record_select "$run_log" exit | record_field t)
  expect "exit code of the run" "$(record_select "$run_log" exit | record_field code)" "${1:-1}"
  [ -n "$ended" ] && ((ended < run_limit_ms)) || fail "the run took ${ended:-forever} ms"
}

# Checks that drive C: differs from the listing taken before the run only by
# the paths given (as patterns of the listing, e.g. "${install/#$drive_c/.}*").
expect_drive_c_unchanged_but() {  # <listing before> [pattern]...
  local changes line pattern
  changes=$(diff <(echo "$1") <(list_drive_c) | sed -n 's/^[<>] //p')
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    for pattern in "${@:2}"; do
      # shellcheck disable=SC2053
      [[ "$line" == $pattern ]] && continue 2
    done
    fail "drive C: changed outside the installer's folders: $line"
  done <<<"$changes"
}

# Checks that the installation folder holds exactly the files of a folder,
# byte for byte under their upper-case names, and the other names given.
expect_install_folder_is() {  # <folder of expected files> [other name]...
  local file name
  for file in "$1"/*; do
    name=$(basename "$file" | tr '[:lower:]' '[:upper:]')
    cmp -s "$file" "$install/$name" || fail "$name is missing or differs"
  done
  expect "files in the installation folder" "$(ls -A "$install" | sort | xargs)" \
    "$( (ls -A "$1" | tr '[:lower:]' '[:upper:]'; printf '%s\n' "${@:2}") | grep . | sort | xargs)"
}

# Checks that a run stopped at its box after the extraction: the box alone,
# exit code 2, in time; no shortcut, nothing started, the start folder empty.
expect_stopped_after_extraction() {  # <box text>
  expect "what the run showed" "$run_output" \
    "$(printf 'box\t%s\t%s\tOK\tnoicon\nexit\t2' "$setup_caption" "$1")"
  expect_quick_end 2
  [ ! -e "$link" ] || fail "a shortcut was put on the desktop"
  [ -z "$setup_record" ] || fail "the setup program was started"
  [ -z "$(ls -A "$start")" ] || fail "left in the start folder: $(ls -A "$start")"
}
