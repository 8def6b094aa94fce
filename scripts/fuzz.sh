#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (preset "fuzz", build/fuzz) and runs
# each for SECONDS (default 60) from a copy of its seed corpus, so the
# repository is left as it is. Everything a run writes (grown corpus, log,
# crash, leak and timeout inputs) stays in build/fuzz/run/<target>/.
# Exits non-zero on any finding: a crash, a sanitizer report, a leak, a
# violated property or a time-out.
#
#   scripts/fuzz.sh [SECONDS]      e.g. scripts/fuzz.sh 3600 for a long run
#
# A finding is replayed with build/fuzz/fuzz/<target>_fuzzer <input file>.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
root=$(pwd)

echo "== fuzz: configure and build (clang)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2

status=0
for target in archive_walk entry_name pe_update; do
  case $target in
    archive_walk) max_len=8192 dict=-dict="$root/fuzz/archive.dict" ;;
    entry_name) max_len=512 dict=-dict="$root/fuzz/archive.dict" ;;
    pe_update) max_len=65536 dict=-use_value_profile=0 ;;
  esac
  run="$root/build/fuzz/run/$target"
  rm -rf "$run"
  mkdir -p "$run/corpus" "$run/findings"
  cp "$root/fuzz/corpus/$target/"* "$run/corpus/"
  echo "== fuzz: $target for ${seconds}s"
  # With -jobs the run is a child process whose output goes to fuzz-0.log in
  # the working folder.
  if ! (cd "$run" && nice -n 10 "$root/build/fuzz/fuzz/${target}_fuzzer" \
    -max_total_time="$seconds" -timeout=25 -max_len="$max_len" \
    "$dict" -jobs=1 -print_final_stats=1 \
    -artifact_prefix="$run/findings/" corpus >"$run/driver.log" 2>&1); then
    status=1
  fi
  log="$run/fuzz-0.log"
  if [ ! -f "$log" ]; then
    cat "$run/driver.log"
    status=1
    continue
  fi
  # The last status line carries the coverage: "#N DONE cov: C ft: F corp: ...".
  grep -E '^#[0-9]+' "$log" | tail -n 1 || true
  grep -E '^(Done [0-9]+ runs|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
  if [ -n "$(ls -A "$run/findings")" ]; then
    echo "!! $target: findings in $run/findings:"
    ls -l "$run/findings"
    grep -E 'ERROR|property violated|SUMMARY' "$log" | head -n 20 || true
    status=1
  fi
done
exit $status
