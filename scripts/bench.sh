#!/usr/bin/env bash
# Benchmarks of the archive format and of eek, in one run, each target printed
# with its figures, the ratio and PASS or MISS (informational: exits 0
# whatever the figures):
#   1. the 32-bit decoder within 1.3 times the 64-bit one: eek.exe test of the
#      benchmark archive under Wine, win32 build beside win64 build, the time
#      above that of a one-entry archive (medians);
#   2. the decoder in memory at least 10 times zlib inflate (bench/eek_bench.cpp,
#      processor time, so that other work on a shared machine does not count);
#   3. eek extract no slower than tar -xf of the same files (median of the
#      extraction runs), and within 1.2 times eek extract of the same files
#      stored (literal runs only: the floor for this format);
#   5. eek pack at least 4 times the speed of gzip -9 of a tar of the files;
# and the installer's payload check on the packed corpus
# (bench/payload_check_bench.cpp).
# (Target 4, the installer under Wine, is scripts/bench-installer.sh.)
#
# Builds eek and the benchmark in a Release tree (build/bench, not sanitized),
# eek.exe in the win32 and win64 trees, regenerates the corpus. Wall times of
# whole commands, best and median: BENCH_RUNS (default 5) runs for packing and
# Wine, BENCH_EXTRACT_RUNS (default 10) for extraction, after one warm-up
# round, the tools taking turns. Every extraction goes into a new folder on
# the same disk; the folders are removed only at the end, so that no deletion
# is written back during a run.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
./scripts/setup.sh

runs=${BENCH_RUNS:-5}
extract_runs=${BENCH_EXTRACT_RUNS:-10}
build=build/bench
work=$build/work
corpus=$work/corpus

echo "== building eek and eek_bench (Release) in $build, eek.exe in build/win32 and build/win64"
cmake --preset host -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target eek eek_bench payload_check_bench -j 2 >/dev/null
for preset in win32 win64; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset --target eek -j 2 >/dev/null
done
eek=$(realpath "$build/eek")

echo "== corpus"
mkdir -p "$work"
scripts/make-bench-corpus.sh "$corpus"
files=$(ls -1 "$corpus" | wc -l)

echo "== in memory"
"$build/bench/eek_bench" "$corpus" "$((runs * 2))" | tee "$work/in_memory.txt"

now() { date +%s%N; }
ms() { awk -v ns="$1" 'BEGIN { printf "%.1f", ns / 1e6 }'; }
# record NAME: appends the last measured duration (ns) to times_NAME; the
# warm-up round (round 0) is not counted.
record() {
  [ "$round" -gt 0 ] || return 0
  eval "times_$1+=(\"\$elapsed\")"
}
timed() {
  local start
  start=$(now)
  "$@"
  elapsed=$(($(now) - start))
}
# best NAME / median NAME: of times_NAME, in ns.
best() { eval "printf '%s\n' \"\${times_$1[@]}\"" | sort -n | head -n 1; }
median() {
  eval "printf '%s\n' \"\${times_$1[@]}\"" | sort -n |
    awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)) }'
}
figures() {  # <label> <name>: best and median in ms
  printf '  %-34s %9s ms best %9s ms median\n' "$1" "$(ms "$(best "$2")")" "$(ms "$(median "$2")")"
}
# verdict <label> <numerator ns> <denominator ns> <target> [<best numerator> <best denominator>]:
# the ratio of the medians against the target, with that of the bests beside it.
verdict() {
  awk -v n="$2" -v d="$3" -v t="$4" -v bn="${5:-0}" -v bd="${6:-1}" -v name="$1" 'BEGIN {
    r = n / d
    best = bn > 0 ? sprintf(", best %.2f", bn / bd) : ""
    printf "  %-44s %6.2f (target <= %.2f%s): %s\n", name, r, t, best, r <= t ? "PASS" : "MISS" }'
}

echo "== packing ($runs runs)"
tar -cf "$work/corpus.tar" -C "$corpus" --sort=name --owner=0 --group=0 --numeric-owner .
times_pack=() times_gzip=()
for ((round = 0; round <= runs; round++)); do
  rm -f "$work/corpus.eek" "$work/corpus.tar.gz"
  timed "$eek" pack "$work/corpus.eek" "$corpus" >/dev/null
  record pack
  timed sh -c 'gzip -9 -c "$1" >"$2"' sh "$work/corpus.tar" "$work/corpus.tar.gz"
  record gzip
done
"$eek" test "$work/corpus.eek" >/dev/null
figures "eek pack" pack
figures "gzip -9 of the tar" gzip
printf '  (corpus %s bytes in %s files; tar %s, eek %s, tar.gz %s bytes)\n' \
  "$(du -cb "$corpus"/* | tail -1 | cut -f1)" "$files" "$(stat -c %s "$work/corpus.tar")" \
  "$(stat -c %s "$work/corpus.eek")" "$(stat -c %s "$work/corpus.tar.gz")"

echo "== the installer's payload check"
"$build/bench/payload_check_bench" "$work/corpus.eek" 20

# The same files stored: every entry's data as literal runs.
python3 scripts/make-stored-archive.py "$corpus" "$work/stored.eek"
"$eek" test "$work/stored.eek" >/dev/null

echo "== extracting ($extract_runs runs, each into a new folder)"
runs_dir=$work/extract-runs
rm -rf "$runs_dir"
mkdir -p "$runs_dir"
sync
times_eek=() times_stored=() times_tar=()
for ((round = 0; round <= extract_runs; round++)); do
  mkdir "$runs_dir/eek-$round" "$runs_dir/stored-$round" "$runs_dir/tar-$round"
  timed "$eek" extract "$work/corpus.eek" -C "$runs_dir/eek-$round"
  record eek
  timed "$eek" extract "$work/stored.eek" -C "$runs_dir/stored-$round"
  record stored
  timed tar -xf "$work/corpus.tar" -C "$runs_dir/tar-$round"
  record tar
done
for kind in eek stored; do
  extracted=$(ls -1 "$runs_dir/$kind-$extract_runs" | wc -l)
  [ "$extracted" -eq "$files" ] || echo "  WARNING: $kind extract wrote $extracted files, expected $files"
done
figures "eek extract" eek
figures "eek extract, stored archive" stored
figures "tar -xf" tar
rm -rf "$runs_dir"

echo "== 32-bit and 64-bit eek.exe test under Wine ($runs runs)"
export WINEPREFIX=$(realpath "$build")/wineprefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
printf '\x02\x00\x02\x00\x00\x00\x01\x00\x00\x00A\x00x' >"$work/tiny.eek"
wine_loader() { if [ "$1" = win32 ]; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi; }
wine_ready=()
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -p 60 >/dev/null 2>&1 || true
for preset in win32 win64; do
  if probe=$("$(wine_loader $preset)" "build/$preset/eek.exe" test "$work/tiny.eek" 2>&1); then
    wine_ready+=("$preset")
  else
    echo "  $preset: cannot run here (${probe%%$'\n'*})"
  fi
done
times_win32=() times_win32tiny=() times_win64=() times_win64tiny=()
for ((round = 0; round <= runs; round++)); do
  for preset in "${wine_ready[@]}"; do
    timed "$(wine_loader $preset)" "build/$preset/eek.exe" test "$work/corpus.eek" >/dev/null
    record "$preset"
    timed "$(wine_loader $preset)" "build/$preset/eek.exe" test "$work/tiny.eek" >/dev/null
    record "${preset}tiny"
  done
done
i386=$(scripts/i386-emulation.sh status)
for preset in "${wine_ready[@]}"; do
  [ "$preset" = win32 ] && [ "$i386" = emulated ] && echo "  (win32 figures: EMULATED, i386 code runs by qemu-i386 here)"
  figures "$preset eek.exe test, benchmark archive" "$preset"
  figures "$preset eek.exe test, one-entry archive" "${preset}tiny"
done

echo "== targets"
if [ ${#wine_ready[@]} -eq 2 ] && [ "$i386" = emulated ]; then
  above32=$(($(median win32) - $(median win32tiny)))
  above64=$(($(median win64) - $(median win64tiny)))
  printf '  1. 32-bit decoding: %s ms (win32, EMULATED by qemu-i386) vs %s ms (win64) above a one-entry archive, medians\n' \
    "$(ms "$above32")" "$(ms "$above64")"
  echo "     not judged: the 32-bit target holds only where i386 code runs natively"
elif [ ${#wine_ready[@]} -eq 2 ]; then
  above32=$(($(median win32) - $(median win32tiny)))
  above64=$(($(median win64) - $(median win64tiny)))
  printf '  1. 32-bit decoding: %s ms (win32) vs %s ms (win64) above a one-entry archive, medians\n' \
    "$(ms "$above32")" "$(ms "$above64")"
  verdict "   win32 / win64 time (medians)" "$above32" "$above64" 1.3 \
    "$(($(best win32) - $(best win32tiny)))" "$(($(best win64) - $(best win64tiny)))"
else
  echo "  1. 32-bit decoding: NOT MEASURED (this machine cannot run both Windows builds under Wine)"
fi
printf '  2. %s\n' "$(grep '^target 2:' "$work/in_memory.txt" | sed 's/^target 2: //')"
printf '  3. eek extract %s ms, tar -xf %s ms, stored archive %s ms (medians of %s)\n' \
  "$(ms "$(median eek)")" "$(ms "$(median tar)")" "$(ms "$(median stored)")" "$extract_runs"
verdict "   eek extract / tar -xf (medians)" "$(median eek)" "$(median tar)" 1.0 \
  "$(best eek)" "$(best tar)"
verdict "   eek extract / stored archive (medians)" "$(median eek)" "$(median stored)" 1.2 \
  "$(best eek)" "$(best stored)"
printf '  5. eek pack %s ms, gzip -9 %s ms (medians)\n' "$(ms "$(median pack)")" \
  "$(ms "$(median gzip)")"
verdict "   eek pack time / (gzip -9 time / 4)" "$(median pack)" "$(($(median gzip) / 4))" 1.0 \
  "$(best pack)" "$(($(best gzip) / 4))"
exit 0
