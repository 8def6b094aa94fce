#!/usr/bin/env bash
# Static checks of a built installer executable: machine, GUI subsystem (no
# console), and imports from system DLLs only, so that it runs on a bare system.
#
# usage: check_executable.sh <exe> <objdump> <i386|x86-64>
set -uo pipefail
exe=$1 objdump=$2 machine=$3
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll ole32.dll oleaut32.dll shell32.dll comctl32.dll msvcrt.dll"
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

headers=$("$objdump" -p "$exe") || {
  echo "FAIL: $objdump cannot read $exe"
  exit 1
}
case "$machine" in
  i386) format=pei-i386 magic="010b" file_kind="PE32 executable (GUI) Intel 80386" ;;
  x86-64) format=pei-x86-64 magic="020b" file_kind="PE32+ executable (GUI) x86-64" ;;
  *)
    echo "unknown machine $machine"
    exit 2
    ;;
esac
grep -q "file format $format\$" <<<"$headers" || fail "not $format"
grep -Eq "^Magic[[:space:]]+$magic" <<<"$headers" || fail "optional header magic is not $magic"
grep -Eq "^Subsystem[[:space:]]+00000002" <<<"$headers" || fail "subsystem is not Windows GUI (2)"
file -b "$exe" | grep -qF "$file_kind" || fail "file(1) says: $(file -b "$exe")"

imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || fail "no import table found"
for dll in $imports; do
  case " $allowed " in
    *" $dll "*) ;;
    *) fail "imports $dll, which is not a system DLL" ;;
  esac
done
echo "imports: $(echo $imports)"
[ $status -eq 0 ] && echo "PASS: $machine GUI executable importing system DLLs only"
exit $status
