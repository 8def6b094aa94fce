#!/usr/bin/env bash
# The main job on the built-in default payload: sets up whatever is missing,
# builds the archive tool, packs the sample folder, lists, tests and extracts
# the archive and checks that every extracted file equals its original.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset host >/dev/null
cmake --build --preset host --target eek -j "$(nproc)" >/dev/null

eek=build/host/eek
sample=samples/demo
work=build/host/demo
rm -rf "$work" && mkdir -p "$work/extracted"

echo "== eek pack $work/demo.eek $sample"
"$eek" pack "$work/demo.eek" "$sample"
echo "== eek list"
"$eek" list "$work/demo.eek"
echo "== eek test"
"$eek" test "$work/demo.eek"
echo "== eek extract -C $work/extracted"
"$eek" extract "$work/demo.eek" -C "$work/extracted"

# Entries are stored under their upper-case names; compare each with its source.
files=0 bytes=0
for f in "$sample"/*; do
  name=$(basename "$f" | tr '[:lower:]' '[:upper:]')
  cmp -s "$f" "$work/extracted/$name" || { echo "MISMATCH: $name" >&2; exit 1; }
  files=$((files + 1)); bytes=$((bytes + $(stat -c %s "$f")))
done
echo "== summary: $files files, $bytes bytes packed into $(stat -c %s "$work/demo.eek") bytes; all extracted files identical"
