#!/usr/bin/env bash
# The default payload: the host eek finds it sound, it holds the demo product
# (setup.exe and its data files, several MB), and its data files are exactly
# what the generator makes afresh, so the build is repeatable.
#
# usage: check_demo_payload.sh <host eek> <payload archive> <make_demo_files.py> <work dir>
set -uo pipefail
eek=$1 archive=$2 generator=$3 work=$4
rm -rf "$work" && mkdir -p "$work/extracted"
status=0

"$eek" test "$archive" || { echo "FAIL: eek test"; exit 1; }
listing=$("$eek" list "$archive") || { echo "FAIL: eek list"; exit 1; }
echo "$listing"
names=$(awk 'NR > 1 && $NF != "entries" {print $NF}' <<<"$listing" | sort | tr '\n' ' ')
[ "$names" = "ASSETS.PAK MANUAL.TXT SETUP.EXE TABLES.DAT " ] || { echo "FAIL: entries $names"; status=1; }

"$eek" extract "$archive" -C "$work/extracted" >/dev/null || { echo "FAIL: eek extract"; exit 1; }
total=$(cat "$work"/extracted/* | wc -c)
[ "$total" -ge $((4 << 20)) ] || { echo "FAIL: only $total bytes unpacked"; status=1; }
python3 "$generator" "$work/fresh" || { echo "FAIL: generator"; exit 1; }
for file in "$work"/fresh/*; do
  cmp "$file" "$work/extracted/$(basename "$file")" || { echo "FAIL: $(basename "$file") differs"; status=1; }
done
rm -rf "$work"
[ $status -eq 0 ] && echo "PASS: demo payload of $total bytes, generated files repeatable"
exit $status
