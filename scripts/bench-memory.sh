#!/usr/bin/env bash
# Peak memory of eek pack on one large input beside gzip -9 and zip -9: each
# program's peak resident set as getrusage reports it for a finished child,
# with its time and output size. The input is the benchmark corpus repeated
# to the size asked for (default 1 GB), so that it compresses as real
# payloads do. Measures and prints; it checks nothing.
# usage: scripts/bench-memory.sh [BYTES]   (after cmake --build --preset host)
set -euo pipefail
cd "$(dirname "$0")/.."
bytes=${1:-1000000000}
eek=build/host/eek
[ -x "$eek" ] || { echo "bench-memory: build the host preset first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bash scripts/make-bench-corpus.sh "$work/corpus" >/dev/null
cat "$work"/corpus/* >"$work/corpus.bin"
: >"$work/input.bin"
while [ "$(stat -c %s "$work/input.bin")" -lt "$bytes" ]; do
  cat "$work/corpus.bin" >>"$work/input.bin"
done
truncate -s "$bytes" "$work/input.bin"
rm -rf "$work/corpus" "$work/corpus.bin"

# measure NAME OUTPUT COMMAND...: runs the command and prints its peak RSS
# (getrusage of the finished child), wall time and the output's size.
measure() {
  local name=$1 output=$2
  shift 2
  python3 - "$name" "$output" "$@" <<'PY'
import os, resource, subprocess, sys, time
name, output, command = sys.argv[1], sys.argv[2], sys.argv[3:]
start = time.monotonic()
with open(os.devnull, "wb") as sink:
    subprocess.run(command, check=True, stdout=sink)
elapsed = time.monotonic() - start
peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
size = os.path.getsize(output)
print(f"{name:10} peak RSS {peak_kib / 1024:8.1f} MiB  {elapsed:7.1f} s  {size:>12} bytes")
PY
}

echo "input: $bytes bytes (the benchmark corpus repeated)"
measure "eek pack" "$work/input.eek" "$eek" pack "$work/input.eek" "$work/input.bin"
measure "gzip -9" "$work/input.bin.gz" gzip -9 -k "$work/input.bin"
measure "zip -9" "$work/input.zip" zip -9 -q -j "$work/input.zip" "$work/input.bin"
