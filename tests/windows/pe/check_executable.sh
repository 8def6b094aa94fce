#!/usr/bin/env bash
# Static checks of a built executable: machine, subsystem (the installer is a
# GUI program without a console; eek.exe a console one), and imports from
# system DLLs only, so that it runs on a bare system.
#
# usage: check_executable.sh <exe> <objdump> <i386|x86-64> [gui|console]
set -uo pipefail
exe=$1 objdump=$2 machine=$3 subsystem=${4:-gui}
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
case "$subsystem" in
  gui) subsystem_number=00000002 subsystem_name="Windows GUI (2)" kind=GUI ;;
  console) subsystem_number=00000003 subsystem_name="Windows console (3)" kind=console ;;
  *)
    echo "unknown subsystem $subsystem"
    exit 2
    ;;
esac
case "$machine" in
  i386) format=pei-i386 magic="010b" file_kind="PE32 executable ($kind) Intel 80386" ;;
  x86-64) format=pei-x86-64 magic="020b" file_kind="PE32+ executable ($kind) x86-64" ;;
  *)
    echo "unknown machine $machine"
    exit 2
    ;;
esac
grep -q "file format $format\$" <<<"$headers" || fail "not $format"
grep -Eq "^Magic[[:space:]]+$magic" <<<"$headers" || fail "optional header magic is not $magic"
grep -Eq "^Subsystem[[:space:]]+$subsystem_number" <<<"$headers" || fail "subsystem is not $subsystem_name"
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
[ $status -eq 0 ] && echo "PASS: $machine $kind executable importing system DLLs only"
exit $status
