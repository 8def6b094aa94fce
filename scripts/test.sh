#!/usr/bin/env bash
# Sets up whatever is missing, builds the presets and runs every test tier:
# host unit tests (sanitized); the Windows tier under Wine, first on the
# shipping 32-bit build (the whole tier), then on the 64-bit build (a
# representative set: the unit tier, the worked layouts, the fresh run; the
# whole tier where this machine cannot run 32-bit programs); then a short
# fuzzing run (one minute per target; scripts/fuzz.sh 3600 is the long run).
# Ends with a summary of every tier and names each test that was skipped, and
# each case a test skipped inside (the eek scripts on Windows).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

jobs=$(nproc)
status=0
logs=build/test-logs
for preset in host win32 win64; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
rm -rf "$logs" && mkdir -p "$logs"

# run_tier <preset> [ctest arguments...]: the preset's tests, their output
# kept for the summary.
run_tier() {
  local preset=$1
  shift
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$jobs" "$@" 2>&1 | tee "$logs/$preset.log" || status=1
}
run_tier host
run_tier win32
if [ -f build/win32/wine-session/unavailable ]; then
  echo "== win64 runs the whole Windows tier: $(cat build/win32/wine-session/unavailable)"
  run_tier win64
else
  run_tier win64 -LE complete_tier
fi

echo "== fuzz"
fuzz=passed
./scripts/fuzz.sh 60 || { fuzz=failed; status=1; }

# The summary: per tier the tests that passed, failed and were skipped, with
# the names of those that failed or were skipped.
echo "== summary"
total_passed=0 total_failed=0 total_skipped=0
for preset in host win32 win64; do
  log="$logs/$preset.log"
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n1)
  failed=$(sed -n 's/.* \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -n1)
  skipped=$(grep -cE '^[[:space:]]*[0-9]+ - .* \(Skipped\)$' "$log" || true)
  total=${total:-0} failed=${failed:-1}
  passed=$((total - failed - skipped))
  echo "$preset: $passed passed, $failed failed, $skipped skipped"
  sed -nE 's/^[[:space:]]*[0-9]+ - (.*) \((Failed|Timeout|Not Run|Exception|SEGFAULT|.*)\)$/  \2: \1/p' "$log" |
    sed 's/^  Skipped:/  skipped:/'
  # Cases a test skipped inside (eek's scripts: what cannot apply on Windows).
  grep -h 'case(s) skipped:' "build/$preset/Testing/Temporary/LastTest.log" 2>/dev/null |
    sed 's/^/  skipped inside /' | sort -u || true
  total_passed=$((total_passed + passed)) total_failed=$((total_failed + failed))
  total_skipped=$((total_skipped + skipped))
done
if [ -f build/win32/wine-session/unavailable ]; then
  echo "win32: every Wine run skipped: $(cat build/win32/wine-session/unavailable)"
fi
echo "fuzz: $fuzz"
[ "$fuzz" = passed ] && total_passed=$((total_passed + 1)) || total_failed=$((total_failed + 1))
echo "test.sh: $total_passed passed, $total_failed failed, $total_skipped skipped"
exit $status
