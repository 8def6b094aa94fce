#!/usr/bin/env bash
# Runs one Windows program in the build's Wine session as run_in_wine.sh does,
# but under the given Unix locale, from which Wine takes the program's ANSI
# code page (ja_JP.UTF-8: 932).
#
# usage: run_in_locale.sh <locale> <build dir> <program.exe> [arguments...]
set -uo pipefail
locale_name=$1
shift
if ! locale -a | grep -qix "$(echo "$locale_name" | sed 's/UTF-8/utf8/')"; then
  echo "run_in_locale: the locale $locale_name is not installed; run scripts/setup.sh" >&2
  exit 1
fi
WINE_TEST_LOCALE=$locale_name exec bash "$(dirname "$0")/../wine/run_in_wine.sh" "$@"
