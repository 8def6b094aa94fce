#!/usr/bin/env bash
# Peak memory and time of every eek command on large payloads, beside tar and
# zip doing the same work: each program's peak resident set as getrusage
# reports it for a finished child, its wall time and its output's size. For
# each payload size asked for (default 1 GB and 1.9 GB), a product folder of
# that many bytes is made from the benchmark corpus (files of at most 100 MB,
# so that it compresses as real payloads do, and a setup.exe); pack and the
# folder form of installer compress it, and a stored archive of the same
# files (about the size asked for) is the payload of installer --archive, whose
# installer list, test, extract, --check and checksum then read. Measures and
# prints; it checks nothing.
# usage: scripts/bench-memory.sh [BYTES...]   (after cmake --build --preset host)
#   EEK_BENCH_SKIP_PACK=1 leaves out the two commands that compress (pack and
#   the folder form of installer), the slow ones.
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000000000 1900000000)
eek=$PWD/build/host/eek
# The 64-bit stub: a 32-bit installer of 1 GB or more is past the size in
# memory that PE32 installers start with, and eek refuses to make it.
stub=$PWD/stubs/win64/OstrelTarvine64SetupStub.exe
[ -x "$eek" ] || { echo "bench-memory: build the host preset first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bash scripts/make-bench-corpus.sh "$work/corpus" >/dev/null
cat "$work"/corpus/* >"$work/corpus.bin"
rm -rf "$work/corpus"

# measure NAME OUTPUT COMMAND...: runs the command and prints its peak RSS
# (getrusage of the finished child), wall time and the output's size (a
# folder's: the sum of its files; - for none).
measure() {
  local name=$1 output=$2
  shift 2
  python3 - "$name" "$output" "$@" <<'PY'
import os, resource, subprocess, sys, time
name, output, command = sys.argv[1], sys.argv[2], sys.argv[3:]
start = time.monotonic()
with open(os.devnull, "wb") as sink:
    status = subprocess.run(command, stdout=sink).returncode
elapsed = time.monotonic() - start
peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
if output == "-":
    size = "-"
elif os.path.isdir(output):
    size = sum(os.path.getsize(os.path.join(output, f)) for f in os.listdir(output))
else:
    size = os.path.getsize(output)
note = "" if status == 0 else f"  (exit status {status})"
print(f"{name:28} peak RSS {peak_kib / 1024:8.1f} MiB  {elapsed:7.1f} s  {size:>12} bytes{note}")
PY
}

for bytes in "${sizes[@]}"; do
  folder=$work/product
  rm -rf "$folder" && mkdir "$folder"
  printf 'setup program\n' >"$folder/setup.exe"
  # Stored entries take 129 bytes for 128: the files hold 128/129 of the size.
  left=$((bytes * 128 / 129))
  n=0
  while [ "$left" -gt 0 ]; do
    part=$((left < 100000000 ? left : 100000000))
    file=$folder/data$(printf %03d $n).bin
    : >"$file"
    while [ "$(stat -c %s "$file")" -lt "$part" ]; do cat "$work/corpus.bin" >>"$file"; done
    truncate -s "$part" "$file"
    left=$((left - part))
    n=$((n + 1))
  done
  python3 scripts/make-stored-archive.py "$folder" "$work/stored.eek"
  echo "payload: $bytes bytes asked; $(du -sb "$folder" | cut -f1) bytes in $((n + 1)) files;" \
    "stored archive of $(stat -c %s "$work/stored.eek") bytes"
  if [ -z "${EEK_BENCH_SKIP_PACK:-}" ]; then
    measure "eek pack" "$work/packed.eek" "$eek" pack "$work/packed.eek" "$folder"
    measure "eek installer FOLDER" "$work/packed.exe" "$eek" installer --stub "$stub" \
      -o "$work/packed.exe" "$folder"
    rm -f "$work/packed.eek" "$work/packed.exe"
  fi
  measure "eek installer --archive" "$work/setup.exe" "$eek" installer --stub "$stub" \
    --archive "$work/stored.eek" -o "$work/setup.exe"
  measure "eek list INSTALLER" - "$eek" list "$work/setup.exe"
  measure "eek test INSTALLER" - "$eek" test "$work/setup.exe"
  measure "eek installer --check" - "$eek" installer --check "$work/setup.exe"
  measure "eek checksum INSTALLER" - "$eek" checksum "$work/setup.exe"
  measure "eek extract INSTALLER" "$work/out" "$eek" extract "$work/setup.exe" -C "$work/out"
  rm -rf "$work/out"
  measure "eek list ARCHIVE" - "$eek" list "$work/stored.eek"
  measure "eek extract ARCHIVE" "$work/out" "$eek" extract "$work/stored.eek" -C "$work/out"
  rm -rf "$work/out" "$work/setup.exe"
  measure "tar -cf" "$work/product.tar" tar -cf "$work/product.tar" -C "$folder" .
  measure "tar -tf" - tar -tf "$work/product.tar"
  mkdir "$work/out"
  measure "tar -xf" "$work/out" tar -xf "$work/product.tar" -C "$work/out"
  rm -rf "$work/out" "$work/product.tar"
  measure "zip -q -r" "$work/product.zip" sh -c "cd '$folder' && zip -q -r '$work/product.zip' ."
  measure "unzip -t" - unzip -tq "$work/product.zip"
  measure "unzip -d" "$work/out" unzip -q "$work/product.zip" -d "$work/out"
  rm -rf "$work/out" "$work/product.zip" "$work/stored.eek" "$folder"
  echo
done
