#!/usr/bin/env bash
# Sets up whatever is missing, builds the three presets and runs every test tier:
# host unit tests (sanitized), the Windows tests under wine64, the end-to-end runs
# of the real installer, and the static checks of the shipping 32-bit build; then
# a short fuzzing run of the archive walk and the entry-name rule (one minute per
# target; scripts/fuzz.sh 3600 is the long run).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

jobs=$(nproc)
status=0
for preset in host win64 win32; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
for preset in host win64 win32; do
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$jobs" || status=1
done
./scripts/fuzz.sh 60 || status=1
exit $status
