#!/usr/bin/env bash
# Benchmark of the whole installer under Wine (informational, not a test), for
# the shipping 32-bit build and the 64-bit build in one run: the time from the
# installer's start to its final message, for a payload of about 11 MB packed,
# beside the time Wine needs to copy the same unpacked files into a new folder
# (bench/installer_bench_copy_windows.cpp of the same build, CopyFileW, ending
# with a box), and beside the same installer carrying the files stored (literal
# runs only, no copy tokens), which shows what decoding still costs inside the
# installer's fixed 2 KB pieces. All are started by the window watcher on a
# virtual desktop and timed the same way, from the start to the box (watcher
# log).
#
# The payload is a fixed selection of the benchmark corpus
# (scripts/make-bench-corpus.sh: Wine DLLs, fonts, copyright texts), the files
# in name order up to 11,050,424 packed bytes; the installers are made from it
# by eek installer with each build's stub. The installation folder, the start
# folder and every copy are new for each run; earlier ones are renamed aside,
# never deleted during the runs. Prints the best and the median of BENCH_RUNS
# runs (default 5) after one warm-up run of each, taking turns, and the ratios
# with their targets. A build this machine cannot run (32-bit code on a kernel
# without it) is reported as skipped.
#
# usage: scripts/bench-installer.sh   (work folder build/bench-installer)
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
root=$(pwd)
runs=${BENCH_RUNS:-5}
target_packed=11050424
work="$root/build/bench-installer"
./scripts/setup.sh

echo "== building eek; each build's stub and copy yardstick; the window watcher"
cmake --preset host >/dev/null
cmake --build --preset host --target eek -j "$(nproc)" >/dev/null
for build in win32 win64; do
  cmake --preset $build >/dev/null
  cmake --build --preset $build --target OstrelTarvine64SetupStub installer_bench_copy wine_probe \
    -j "$(nproc)" >/dev/null
done
cmake --build --preset win64 --target window_watcher -j "$(nproc)" >/dev/null
eek="$root/build/host/eek"

echo "== payload: the benchmark corpus in name order up to $target_packed packed bytes"
mkdir -p "$work"
scripts/make-bench-corpus.sh "$work/corpus" >/dev/null
"$eek" pack "$work/corpus.eek" "$work/corpus" >/dev/null
declare -A packed
while read -r size _ _ name; do
  packed[$name]=$size
done < <("$eek" list "$work/corpus.eek" | awk 'NR > 1 && NF == 4')
rm -rf "$work/payload" && mkdir -p "$work/payload"
total=0
for file in $(ls "$work/corpus"); do
  size=${packed[$(tr '[:lower:]' '[:upper:]' <<<"$file")]}
  [ $((total + size)) -le "$target_packed" ] || break
  total=$((total + size))
  cp -p "$work/corpus/$file" "$work/payload/"
done
# The same files stored: every entry's data as literal runs.
python3 scripts/make-stored-archive.py "$work/payload" "$work/stored.eek"
"$eek" test "$work/stored.eek" >/dev/null
# The corpus holds no setup.exe: the installers say so (--no-setup), and end
# with the final message, starting nothing; the run is timed to that message.
for build in win32 win64; do
  stub=build/$build/installer/OstrelTarvine64SetupStub.exe
  "$eek" installer --no-setup --stub "$stub" -o "$work/BenchSetup-$build.exe" "$work/payload" >/dev/null
  "$eek" installer --no-setup --stub "$stub" --archive "$work/stored.eek" \
    -o "$work/StoredSetup-$build.exe" >/dev/null
done
files=$(ls "$work/payload" | wc -l)
bytes=$(du -cb "$work/payload"/* | tail -n1 | cut -f1)
echo "payload: $files files, $bytes bytes, $total bytes packed ($(stat -c %s "$work/stored.eek") stored)"

source "$root/tests/windows/wine/script_session.sh" "$root" "$work" "$eek"
rm -rf "$drive_c/bench" "$base"
mkdir -p "$drive_c/bench"
cp -rp "$work/payload" "$drive_c/bench/source"

# timed_run <name> <start folder> <program> [arguments...]: the milliseconds
# from the program's start to its first box.
timed_run() {
  local name=$1 folder=$2 log="$work/$1.log"
  shift 2
  rm -f "$log"
  "$wine/run_in_wine.sh" "$work" explorer "/desktop=$name,800x600" "$watcher" --timeout-ms 300000 \
    --record "$(windows_path "$log")" --cwd "$folder" -- "$@" >/dev/null
  record_select "$log" box | head -n1 | record_field t
}
# Each run gets a number of its own (runs are called in subshells, so the
# caller counts): its start folder, installation and copy are new.
run_number=0
next_run() { run_number=$((run_number + 1)); }
installer_run() {  # <n> <installer.exe>: a fresh installation from a new start folder
  [ ! -e "$base" ] || mv "$base" "$drive_c/bench/installed-$1"
  mkdir "$drive_c/bench/start-$1"
  timed_run "installer-$1" "C:\\bench\\start-$1" "$(windows_path "$2")"
}
copy_run() {  # <n> <build>: a copy into a new folder
  timed_run "copy-$1" 'C:\bench' "$(windows_path "$root/build/$2/bench/installer_bench_copy.exe")" \
    'C:\bench\source' "C:\\bench\\copy-$1"
  [ "$(ls "$drive_c/bench/copy-$1" | wc -l)" = "$files" ] || echo "warning: copy $1 is incomplete" >&2
}
stats() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[1], v[int((NR + 1) / 2)] }'; }
verdict() {  # <name> <numerator> <denominator> <target> [judged: yes|no]
  awk -v n="$2" -v d="$3" -v t="$4" -v name="$1" -v judged="${5:-yes}" 'BEGIN {
    r = n / d
    v = judged == "no" ? "not judged (emulated)" : r <= t ? "PASS" : "MISS"
    printf "%-40s %.2f  target <= %.2f: %s\n", name, r, t, v }'
}

for build in win32 win64; do
  echo "== $build"
  bits=${build#win}
  probe=$("$wine/run_in_wine.sh" "$work" "$(windows_path "$root/build/$build/tests/windows/wine_probe.exe")" \
    2>&1 | tr -d '\r' || true)
  if [ "$probe" != "pointer bits: $bits" ]; then
    echo "skipped: this machine cannot run $bits-bit Windows programs (${probe%%$'\n'*})"
    continue
  fi
  # 32-bit figures judge the targets only where i386 code runs natively.
  judged=yes
  if [ "$bits" = 32 ] && [ "$("$root/scripts/i386-emulation.sh" status)" = emulated ]; then
    judged=no
    echo "EMULATED: this machine runs i386 code by qemu-i386; the figures are shown, not judged"
  fi
  echo "runs: one warm-up each, then $runs each, taking turns"
  next_run && installer_run $run_number "$work/BenchSetup-$build.exe" >/dev/null
  next_run && installer_run $run_number "$work/StoredSetup-$build.exe" >/dev/null
  next_run && copy_run $run_number $build >/dev/null
  installer_times=() stored_times=() copy_times=()
  for n in $(seq "$runs"); do
    next_run && installer_times+=("$(installer_run $run_number "$work/BenchSetup-$build.exe")")
    [ "$(ls "$install" | wc -l)" = "$files" ] ||
      echo "warning: installation $run_number does not hold all $files files" >&2
    next_run && stored_times+=("$(installer_run $run_number "$work/StoredSetup-$build.exe")")
    next_run && copy_times+=("$(copy_run $run_number $build)")
    echo "run $n: installer ${installer_times[-1]} ms, stored ${stored_times[-1]} ms, copy ${copy_times[-1]} ms"
  done
  read -r installer_best installer_median < <(stats "${installer_times[@]}")
  read -r stored_best stored_median < <(stats "${stored_times[@]}")
  read -r copy_best copy_median < <(stats "${copy_times[@]}")
  echo "start to final box, $files files, $bytes bytes ($total packed):"
  printf '  %-38s best %6d ms   median %6d ms\n' \
    "installer (unpack, shortcut)" "$installer_best" "$installer_median" \
    "installer with the stored payload" "$stored_best" "$stored_median" \
    "copy of the unpacked files" "$copy_best" "$copy_median"
  verdict "  $build installer / copy (medians)" "$installer_median" "$copy_median" 1.00 "$judged"
  verdict "  $build installer / stored (medians)" "$installer_median" "$stored_median" 1.05 "$judged"
done
rm -rf "$drive_c/bench" "$base"
