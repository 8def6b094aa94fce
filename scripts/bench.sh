#!/usr/bin/env bash
# Benchmarks of the archive format and of eek, in one run:
#   - the decoder in memory beside zlib inflate and memcpy (bench/eek_bench.cpp);
#   - eek extract beside tar -xf (uncompressed) and tar -xzf of the same files;
#   - eek pack beside gzip -9, times and sizes.
# Builds eek and the benchmark in a Release tree (build/bench, not sanitized),
# regenerates the corpus, and prints PASS or MISS for each target. Informational:
# exits 0 whatever the figures. Wall times are the best of BENCH_RUNS runs
# (default 5), each into a fresh folder on the same disk.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

runs=${BENCH_RUNS:-5}
build=build/bench
work=$build/work
corpus=$work/corpus

echo "== building eek and eek_bench (Release) in $build"
cmake --preset host -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target eek eek_bench -j "$(nproc)" >/dev/null
eek=$(realpath "$build/eek")

echo "== corpus"
mkdir -p "$work"
scripts/make-bench-corpus.sh "$corpus"
files=$(ls -1 "$corpus" | wc -l)

echo "== in memory"
"$build/bench/eek_bench" "$corpus" "$runs"

now() { date +%s%N; }
ms() { awk -v ns="$1" 'BEGIN { printf "%.1f", ns / 1e6 }'; }
# fresh DIR: an empty folder, with earlier deletions written out first so that
# their cost does not land in the next timed run.
fresh() {
  rm -rf "$1"
  mkdir -p "$1"
  sync
}
# best NAME: updates best_NAME with the last measured duration (ns).
best() {
  local var=best_$1
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
for ((i = 0; i < runs; i++)); do
  rm -f "$work/corpus.eek" "$work/corpus.tar.gz"
  sync
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

echo "== extracting (best of $runs, fresh folders)"
for ((i = 0; i < runs; i++)); do
  fresh "$work/out-eek"
  timed "$eek" extract "$work/corpus.eek" -C "$work/out-eek"
  best eek
  fresh "$work/out-tar"
  timed tar -xf "$work/corpus.tar" -C "$work/out-tar"
  best tar
  fresh "$work/out-targz"
  timed tar -xzf "$work/corpus.tar.gz" -C "$work/out-targz"
  best targz
done
extracted=$(ls -1 "$work/out-eek" | wc -l)
[ "$extracted" -eq "$files" ] || echo "  WARNING: eek extract wrote $extracted files, expected $files"
printf '  %-28s %9s ms\n' "eek extract" "$(ms "$best_eek")" "tar -xf" "$(ms "$best_tar")" \
  "tar -xzf" "$(ms "$best_targz")"
rm -rf "$work/out-eek" "$work/out-tar" "$work/out-targz"

verdict() { if [ "$1" -le "$2" ]; then echo PASS; else echo MISS; fi; }
echo "== targets (the decoder's in-memory target is printed above)"
printf '  eek extract <= tar -xf time:  %s (%s ms vs %s ms)\n' "$(verdict "$best_eek" "$best_tar")" \
  "$(ms "$best_eek")" "$(ms "$best_tar")"
printf '  eek pack <= gzip -9 time:     %s (%s ms vs %s ms)\n' "$(verdict "$best_pack" "$best_gzip")" \
  "$(ms "$best_pack")" "$(ms "$best_gzip")"
exit 0
