#!/usr/bin/env bash
# Keeps the call table's account of the direct calls true. The header of
# frame/system_calls_windows.h names, on its "// direct: FILE: NAME..."
# lines, the Windows calls each of the installer's files makes directly, with
# the reason beneath. Every call an object imports directly must be on its
# file's line, every call on a line must still be imported by its file's
# object, every file with a line must be among the objects, and no object may
# import a call of the table's list (a file that makes a listed call without
# including the table would bypass it).
#
# usage: check_direct_calls.sh <system_calls_windows.h> <nm> <object>...
set -uo pipefail
header=$1 nm=$2
shift 2
[ $# -gt 0 ] || { echo "FAIL: no objects given"; exit 1; }

listed=$(sed -n 's/^[[:space:]]*X(\([A-Za-z0-9_]*\), *[A-Za-z0-9_]*).*/\1/p' "$header")
[ -n "$listed" ] || { echo "FAIL: no X(Name, field) lines in $header"; exit 1; }
declare -A direct checked
while read -r file names; do
  direct[$file]+=" $names "
done < <(sed -n 's|^// direct: \([A-Za-z0-9_.]*\): \(.*\)$|\1 \2|p' "$header")
[ ${#direct[@]} -gt 0 ] || { echo "FAIL: no '// direct: FILE: NAME...' lines in $header"; exit 1; }
# Each group of direct: lines is followed by its reason.
if ! awk '/^\/\/ direct: / { open = 1; next } open && /^\/\/     [^ ]/ { open = 0; next }
          open { print "FAIL: no reason under the direct: lines before line " NR; bad = 1; open = 0 }
          END { exit bad }' "$header"; then
  exit 1
fi

status=0
for object in "$@"; do
  file=$(basename "$object")
  file=${file%.obj}
  file=${file%.o}
  checked[$file]=1
  # __imp__Name@N (i386) or __imp_Name (x86-64): a call through the import table.
  imports=$("$nm" -u "$object" | sed -n 's/.*__imp_\(_*\)\([A-Za-z0-9_]*\).*/\2/p' | sed 's/@[0-9]*$//' | sort -u)
  for name in $imports; do
    if grep -qx "$name" <<<"$listed"; then
      echo "FAIL: $file calls $name directly, bypassing the call table"
      status=1
    elif [[ "${direct[$file]:-}" != *" $name "* ]]; then
      echo "FAIL: $file calls $name directly, which the header's 'direct: $file:' line does not name"
      status=1
    fi
  done
  for name in ${direct[$file]:-}; do
    if ! grep -qx "$name" <<<"$imports"; then
      echo "FAIL: the header names $name for $file, which no longer calls it directly"
      status=1
    fi
  done
  [ -z "$imports" ] || echo "$file:" $imports
done
for file in "${!direct[@]}"; do
  [ -n "${checked[$file]:-}" ] || { echo "FAIL: the header names $file, whose object was not checked"; status=1; }
done
[ $status -eq 0 ] && echo "PASS: every direct call of the installer's objects is named for its file in the call table's header"
exit $status
