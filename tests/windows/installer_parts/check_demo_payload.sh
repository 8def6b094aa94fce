#!/usr/bin/env bash
# The default payload holds the demo product, several MB, sound to the host
# eek, and its data files are exactly what the generator makes afresh.
#
# usage: check_demo_payload.sh <host eek> <payload archive> <make_demo_files.py> <work dir>
set -uo pipefail
rm -rf "$4" && mkdir -p "$4"
"$1" test "$2" && "$1" extract "$2" -C "$4/extracted" && python3 "$3" "$4/fresh" ||
  { echo "FAIL: eek test/extract or the generator"; exit 1; }
status=0
names=$(ls "$4/extracted" | tr '\n' ' ')
[ "$names" = "ASSETS.PAK MANUAL.TXT SETUP.EXE TABLES.DAT " ] || { echo "FAIL: entries $names"; status=1; }
total=$(cat "$4"/extracted/* | wc -c)
[ "$total" -ge $((4 << 20)) ] || { echo "FAIL: only $total bytes unpacked"; status=1; }
for file in "$4"/fresh/*; do
  cmp "$file" "$4/extracted/$(basename "$file")" || status=1
done
rm -rf "$4"
exit $status
