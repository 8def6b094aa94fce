#!/usr/bin/env bash
# Builds the benchmark corpus in one flat folder from files that set-up leaves
# on every machine: Wine's 64-bit DLLs (binary code), Wine's fonts and the
# packages' copyright texts. Selection is by sorted name within fixed byte
# budgets, timestamps are fixed, so the same machine state gives the same
# corpus (about 30 MB in about 1,100 files).
# Usage: make-bench-corpus.sh FOLDER   (the folder is replaced)
set -euo pipefail
export LC_ALL=C
out=${1:?usage: make-bench-corpus.sh FOLDER}

dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
fonts=/usr/share/wine/fonts
dll_budget=20000000      # bytes of DLLs, each at most 256 KiB
text_budget=9000000      # bytes of copyright texts, each at most 64 KiB

for dir in "$dlls" "$fonts"; do
  [ -d "$dir" ] || { echo "make-bench-corpus: $dir is missing; run scripts/setup.sh" >&2; exit 1; }
done
rm -rf "$out"
mkdir -p "$out"

# take BUDGET MAX_SIZE PREFIX_MODE < paths: copies files in the given order
# while the budget lasts; PREFIX_MODE "package" names a copy after its package
# folder (/usr/share/doc/PKG/copyright -> PKG.copyright.txt).
take() {
  local budget=$1 max=$2 mode=$3 total=0 path size name
  while IFS= read -r path; do
    size=$(stat -L -c %s "$path")
    [ "$size" -gt 0 ] && [ "$size" -le "$max" ] || continue
    [ $((total + size)) -le "$budget" ] || break
    total=$((total + size))
    if [ "$mode" = package ]; then
      name=$(basename "$(dirname "$path")").copyright.txt
    else
      name=$(basename "$path")
    fi
    cp -L "$path" "$out/$name"
  done
}

ls -1 "$dlls"/*.dll | take "$dll_budget" 262144 plain
ls -1 "$fonts"/* | take 100000000 100000000 plain
ls -1 /usr/share/doc/*/copyright | take "$text_budget" 65536 package

# Entry names are compared in upper case: the corpus must not hold two files
# that differ only in case.
duplicates=$(ls -1 "$out" | tr '[:lower:]' '[:upper:]' | sort | uniq -d)
[ -z "$duplicates" ] || { echo "make-bench-corpus: names equal in upper case: $duplicates" >&2; exit 1; }

chmod 644 "$out"/*
touch -d '2000-01-01 00:00:00 UTC' "$out"/* "$out"
echo "corpus: $(ls -1 "$out" | wc -l) files, $(du -cb "$out"/* | tail -1 | cut -f1) bytes in $out"
