#!/usr/bin/env bash
# Benchmarks of the archive format and of eek, in one run:
#   - the decoder in memory beside zlib inflate and memcpy (bench/eek_bench.cpp);
#   - eek extract beside tar -xf (uncompressed) and tar -xzf of the same files;
#   - eek pack beside gzip -9, times and sizes;
#   - the installer's payload check on the packed corpus (bench/payload_check_bench.cpp).
# Builds eek and the benchmark in a Release tree (build/bench, not sanitized),
# regenerates the corpus, and prints PASS or MISS for each target. Informational:
# exits 0 whatever the figures. Wall times are the best of BENCH_RUNS runs
# (default 5) after one warm-up round, the tools taking turns; every
# extraction goes into a new folder on the same disk, and the folders are
# removed only at the end, so that no deletion is written back during a run.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

runs=${BENCH_RUNS:-5}
build=build/bench
work=$build/work
corpus=$work/corpus

echo "== building eek and eek_bench (Release) in $build"
cmake --preset host -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target eek eek_bench payload_check_bench -j "$(nproc)" >/dev/null
eek=$(realpath "$build/eek")

echo "== corpus"
mkdir -p "$work"
scripts/make-bench-corpus.sh "$corpus"
files=$(ls -1 "$corpus" | wc -l)

echo "== in memory"
"$build/bench/eek_bench" "$corpus" "$runs"

now() { date +%s%N; }
ms() { awk -v ns="$1" 'BEGIN { printf "%.1f", ns / 1e6 }'; }
# best NAME: updates best_NAME with the last measured duration (ns); the
# warm-up round (round 0) is not counted.
best() {
  local var=best_$1
  [ "$round" -gt 0 ] || return 0
  if [ -z "${!var:-}" ] || [ "$elapsed" -lt "${!var}" ]; then
    printf -v "$var" '%s' "$elapsed"
  fi
}
timed() {
  local start
  start=$(now)
  "$@"
  elapsed=$(($(now) - start))
}

echo "== packing (best of $runs)"
tar -cf "$work/corpus.tar" -C "$corpus" --sort=name --owner=0 --group=0 --numeric-owner .
for ((round = 0; round <= runs; round++)); do
  rm -f "$work/corpus.eek" "$work/corpus.tar.gz"
  timed "$eek" pack "$work/corpus.eek" "$corpus" >/dev/null
  best pack
  timed sh -c 'gzip -9 -c "$1" >"$2"' sh "$work/corpus.tar" "$work/corpus.tar.gz"
  best gzip
done
"$eek" test "$work/corpus.eek" >/dev/null
corpus_bytes=$(du -cb "$corpus"/* | tail -1 | cut -f1)
eek_bytes=$(stat -c %s "$work/corpus.eek")
tar_bytes=$(stat -c %s "$work/corpus.tar")
gz_bytes=$(stat -c %s "$work/corpus.tar.gz")
printf '  %-28s %9s ms %12s bytes\n' "eek pack" "$(ms "$best_pack")" "$eek_bytes" \
  "gzip -9 of the tar" "$(ms "$best_gzip")" "$gz_bytes"
printf '  (corpus %s bytes in %s files, tar %s bytes)\n' "$corpus_bytes" "$files" "$tar_bytes"

echo "== the installer's payload check"
"$build/bench/payload_check_bench" "$work/corpus.eek" 20

echo "== extracting (best of $runs, each into a new folder)"
runs_dir=$work/extract-runs
rm -rf "$runs_dir"
mkdir -p "$runs_dir"
sync
for ((round = 0; round <= runs; round++)); do
  mkdir "$runs_dir/eek-$round" "$runs_dir/tar-$round" "$runs_dir/targz-$round"
  timed "$eek" extract "$work/corpus.eek" -C "$runs_dir/eek-$round"
  best eek
  timed tar -xf "$work/corpus.tar" -C "$runs_dir/tar-$round"
  best tar
  timed tar -xzf "$work/corpus.tar.gz" -C "$runs_dir/targz-$round"
  best targz
done
extracted=$(ls -1 "$runs_dir/eek-$runs" | wc -l)
[ "$extracted" -eq "$files" ] || echo "  WARNING: eek extract wrote $extracted files, expected $files"
printf '  %-28s %9s ms\n' "eek extract" "$(ms "$best_eek")" "tar -xf" "$(ms "$best_tar")" \
  "tar -xzf" "$(ms "$best_targz")"
rm -rf "$runs_dir"

verdict() { if [ "$1" -le "$2" ]; then echo PASS; else echo MISS; fi; }
echo "== targets (the decoder's in-memory target is printed above)"
printf '  eek extract <= tar -xf time:  %s (%s ms vs %s ms)\n' "$(verdict "$best_eek" "$best_tar")" \
  "$(ms "$best_eek")" "$(ms "$best_tar")"
printf '  eek pack <= gzip -9 time:     %s (%s ms vs %s ms)\n' "$(verdict "$best_pack" "$best_gzip")" \
  "$(ms "$best_pack")" "$(ms "$best_gzip")"
exit 0
