#!/usr/bin/env bash
# Runs one Windows program in the build's Wine session as run_in_wine.sh does,
# but under the given Unix locale, from which Wine takes the program's ANSI
# code page (ja_JP.UTF-8: 932).
#
# usage: run_in_locale.sh <locale> <build dir> <program.exe> [arguments...]
set -uo pipefail
locale_name=$1
shift
source "$(dirname "$0")/../wine/wine_env.sh" "$1"
shift
if ! locale -a | grep -qix "$(echo "$locale_name" | sed 's/UTF-8/utf8/')"; then
  echo "run_in_locale: the locale $locale_name is not installed; run scripts/setup.sh" >&2
  exit 1
fi
if [ -f "$wine_session_dir/unavailable" ]; then
  echo "skipped: $(cat "$wine_session_dir/unavailable")"
  exit 77
fi
export LANG=$locale_name LC_ALL=$locale_name
output=$(mktemp "$wine_session_dir/run.XXXXXX")
"$wine_loader" "$@" </dev/null >"$output" 2>&1
status=$?
cat "$output"
rm -f "$output"
exit $status
