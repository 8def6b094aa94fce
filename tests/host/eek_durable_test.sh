#!/usr/bin/env bash
# Every command's new file reaches the disk before it takes the output's name,
# and the folder after: read in the system calls each command makes (strace).
# For each output the trace must show, in this order, the last write to the new
# file, its fsync, the link or rename that gives it the output's name, and an
# fsync of the output's folder.
# Usage: eek_durable_test.sh PATH_TO_EEK PATH_TO_STUB
set -u
stub=$(realpath "$2")
source "$(dirname "${BASH_SOURCE[0]}")/eek_script_support.sh" all "$1"
if ! strace -f -qq -e trace=fsync true 2>/dev/null; then
  echo "SKIPPED: strace cannot trace here (no ptrace)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# flushed_in_order WHAT OUTPUT...: each OUTPUT (a path below $work) took its
# name from a file flushed before, and its folder was flushed after.
flushed_in_order() {
  local what=$1 output
  shift
  for output in "$@"; do
    awk -v out="$work/$output" -v what="$what" '
      function folder_of(path) { sub(/\/[^\/]*$/, "", path); return path }
      # The k-th quoted text of a call.
      function quoted(line, k,   i) {
        for (i = 1; i <= k; i++) {
          if (!match(line, /"[^"]*"/)) return ""
          if (i == k) return substr(line, RSTART + 1, RLENGTH - 2)
          line = substr(line, RSTART + RLENGTH)
        }
      }
      { lines[NR] = $0 }
      # A name given to an unnamed file: linkat(..., "/proc/self/fd/N", ..., "NAME").
      /linkat\(/ && / = 0$/ && quoted($0, 1) ~ /^\/proc\/self\/fd\/[0-9]+$/ {
        n = quoted($0, 1); sub(/.*\//, "", n)
        linked[quoted($0, 2)] = n; linkedAt[quoted($0, 2)] = NR
      }
      # A name taken by a rename from a name beside it.
      /rename(at2?)?\(/ && / = 0$/ && quoted($0, 2) == out { renamedFrom = quoted($0, 1); renamedAt = NR }
      END {
        named = out in linked ? linkedAt[out] : renamedAt
        source = out in linked ? out : renamedFrom
        if (!named || !(source in linked)) { print what ": " out ": no link or rename gave it its name"; exit 1 }
        fd = linked[source]; first = linkedAt[source]
        flushed = 0
        for (i = first - 1; i > 0; i--) {
          if (lines[i] ~ ("(write|pwrite64)\\(" fd "<") && !flushed) { print what ": " out ": not flushed after its last write"; exit 1 }
          if (lines[i] ~ ("fsync\\(" fd "<")) { flushed = i; break }
        }
        if (!flushed) { print what ": " out ": not flushed before it took its name"; exit 1 }
        folder = folder_of(out)
        for (i = named + 1; i <= NR; i++) {
          if (lines[i] ~ /fsync\([0-9]+</ && index(lines[i], "<" folder ">")) { exit 0 }
        }
        print what ": " out ": its folder " folder " was not flushed after the name"; exit 1
      }' calls.txt >verdict.txt || fail "$(cat verdict.txt)"
  done
}

# traced WHAT CMD...: runs eek under strace (the trace in trace.txt); the
# command must succeed.
traced() {
  local what=$1
  shift
  strace -f -qq -y -s 4096 -o trace.txt \
    -e trace=openat,fsync,fdatasync,write,pwrite64,linkat,rename,renameat,renameat2 "$eek" "$@" \
    >out.txt 2>err.txt || fail "$what: exit status $?: $(cat err.txt)"
  # A call another thread interrupted is written in two parts: joined again.
  awk '/<unfinished \.\.\.>$/ { sub(/ <unfinished \.\.\.>$/, ""); held[$1] = $0; next }
       /<\.\.\. [a-z0-9_]+ resumed>/ { rest = $0; sub(/^[0-9]+ +<\.\.\. [a-z0-9_]+ resumed>/, "", rest)
                                       print held[$1] rest; next }
       { print }' trace.txt >calls.txt
}

mkdir -p product out
printf 'setup program\n' >product/setup.exe
head -c 300000 /dev/urandom >product/data.bin
printf 'read me\n' >product/readme.txt

traced "pack into a new archive" pack "$work/new.eek" "$work/product"
flushed_in_order "pack into a new archive" new.eek
traced "pack over an existing archive" pack "$work/new.eek" "$work/product"
flushed_in_order "pack over an existing archive" new.eek
traced "installer from a folder" installer --stub "$stub" -o "$work/setup.exe" "$work/product"
flushed_in_order "installer from a folder" setup.exe
traced "installer from an archive over an installer" installer --stub "$stub" \
  --archive "$work/new.eek" -o "$work/setup.exe"
flushed_in_order "installer from an archive over an installer" setup.exe
traced "extract" extract "$work/new.eek" -C "$work/out"
flushed_in_order "extract" out/SETUP.EXE out/DATA.BIN out/README.TXT
traced "checksum --record" checksum "$work/new.eek" --record "$work/new.rec"
flushed_in_order "checksum --record" new.rec

[ "$failures" -eq 0 ] || exit 1
echo "all outputs flushed before their names, and their folders after"
