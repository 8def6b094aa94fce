#!/usr/bin/env bash
# Keeps the call table's account of the direct calls true: every Windows call
# that the installer's own objects import directly must be named in the
# comment at the head of frame/system_calls_windows.h (which says why it is
# made directly), and none may be a call of the table's list (a file that
# makes a listed call without including the table would bypass it).
#
# usage: check_direct_calls.sh <system_calls_windows.h> <nm> <object>...
set -uo pipefail
header=$1 nm=$2
shift 2
[ $# -gt 0 ] || { echo "FAIL: no objects given"; exit 1; }

# The comment before "#pragma once", and the names of the list's X(Name, field) lines.
comment=$(sed -n '/^#pragma once/q; p' "$header")
listed=$(sed -n 's/^[[:space:]]*X(\([A-Za-z0-9_]*\), *[A-Za-z0-9_]*).*/\1/p' "$header")
[ -n "$listed" ] || { echo "FAIL: no X(Name, field) lines in $header"; exit 1; }

status=0
for object in "$@"; do
  # __imp__Name@N (i386) or __imp_Name (x86-64): a call through the import table.
  imports=$("$nm" -u "$object" | sed -n 's/.*__imp_\(_*\)\([A-Za-z0-9_]*\).*/\2/p' | sort -u)
  for name in $imports; do
    if grep -qx "$name" <<<"$listed"; then
      echo "FAIL: $(basename "$object") calls $name directly, bypassing the call table"
      status=1
    elif ! grep -qw "$name" <<<"$comment"; then
      echo "FAIL: $(basename "$object") calls $name directly, which the call table's header does not name"
      status=1
    fi
  done
  [ -z "$imports" ] || echo "$(basename "$object"):" $imports
done
[ $status -eq 0 ] && echo "PASS: every direct call of the installer's objects is named in the call table's header"
exit $status
