#!/usr/bin/env bash
# The shipped installer stub is what the current sources build: the stub of
# this build and the one in stubs/ must be the same bytes (the stub is linked
# reproducibly). When they differ, the sources have changed since the stubs
# were last copied (or the toolchain differs from the one they were built
# with, stubs/toolchain.txt), and publishers would get an outdated stub.
#
# usage: compare_shipped_stub.sh <shipped stub> <built stub> <C++ compiler>
#        compare_shipped_stub.sh --toolchain <C++ compiler>   (prints what built it)
set -uo pipefail

toolchain_text() {  # <C++ compiler>: compiler, linker and MinGW-w64 run time
  local runtime
  runtime=$(printf '#include <_mingw.h>\n__MINGW64_VERSION_MAJOR.__MINGW64_VERSION_MINOR.__MINGW64_VERSION_BUGFIX\n' |
    "$1" -E -P -x c++ - | tail -n1 | tr -d ' ')
  echo "$("$1" --version | head -n1), $("$("$1" -print-prog-name=ld)" --version | head -n1), MinGW-w64 $runtime"
}
if [ "$1" = --toolchain ]; then
  toolchain_text "$2"
  exit
fi

shipped=$1 built=$2 cxx=$3
update="run scripts/update-stubs.sh and commit stubs/ with the change to the sources"
[ -f "$shipped" ] || {
  echo "FAIL: no shipped stub $shipped; $update"
  exit 1
}
if cmp -s "$shipped" "$built"; then
  echo "$shipped is the stub the current sources build ($(stat -c %s "$built") bytes)"
  exit 0
fi

echo "FAIL: $shipped is not the stub the current sources build ($built):"
echo "$update."
# What differs, to tell a change of code from a build that is not reproducible.
objdump=$("$cxx" -print-prog-name=objdump)
echo "sizes: shipped $(stat -c %s "$shipped"), built $(stat -c %s "$built") bytes; bytes that differ:"
# The sections with bytes in the built stub's file: name, first byte, end.
sections=$(mktemp)
trap 'rm -f "$sections"' EXIT
"$objdump" -h "$built" | awk '$1 ~ /^[0-9]+$/ && NF == 7 && $6 !~ /^0+$/ { print $2, $3, $6 }' |
  while read -r name size offset; do echo "$name $((0x$offset)) $((0x$offset + 0x$size))"; done >"$sections"
cmp -l "$shipped" "$built" 2>/dev/null | awk '
  NR == FNR { name[++n] = $1; first[n] = $2; end[n] = $3; next }
  { where = "headers"
    for (i = 1; i <= n; i++) if ($1 - 1 >= first[i] && $1 - 1 < end[i]) where = name[i]
    count[where]++ }
  END { for (where in count) printf "  %s: %d\n", where, count[where] }
'  "$sections" - | sort
recorded=$(sed -n "s/^$(basename "$(dirname "$shipped")"): //p" "$(dirname "$shipped")/../toolchain.txt" 2>/dev/null)
current=$(toolchain_text "$cxx")
[ "$recorded" = "$current" ] ||
  echo "note: the shipped stub was built with '$recorded', this build uses '$current';" \
    "another toolchain alone changes the bytes"
exit 1
