#!/usr/bin/env bash
# Benchmark of the whole installer under Wine (informational, not a test):
# the time from the installer's start to its final message, for a payload of
# about 11 MB packed, beside the time Wine needs to copy the same unpacked
# files into a new folder (bench/installer_bench_copy_windows.cpp, CopyFileW,
# ending with a box). Both are started by the window watcher on a virtual
# desktop and timed the same way, from the start to the box (watcher log).
#
# The payload is a fixed selection of the benchmark corpus
# (scripts/make-bench-corpus.sh: Wine DLLs, fonts, copyright texts), the files
# in name order up to 11,050,424 packed bytes; the installer is made from it
# by eek installer with the win64 stub of this build. The installation
# folder, the start folder and every copy are new for each run; earlier ones
# are renamed aside, never deleted during the runs. Prints the best and the
# median of BENCH_RUNS runs (default 5) after one warm-up run of each, taking
# turns, and the ratio. Target: the installer within 1.5 times the copy.
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

echo "== building eek, the win64 stub, the window watcher and the copy yardstick"
cmake --preset host >/dev/null
cmake --build --preset host --target eek -j "$(nproc)" >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target OstrelTarvine64SetupStub window_watcher installer_bench_copy \
  -j "$(nproc)" >/dev/null
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
"$eek" installer --stub build/win64/installer/OstrelTarvine64SetupStub.exe -o "$work/BenchSetup.exe" \
  "$work/payload" >/dev/null
files=$(ls "$work/payload" | wc -l)
bytes=$(du -cb "$work/payload"/* | tail -n1 | cut -f1)
echo "payload: $files files, $bytes bytes, $total bytes packed"

wine="$root/tests/windows/wine"
bash "$wine/wine_session.sh" start "$work" >/dev/null
trap 'bash "$wine/wine_session.sh" stop "$work"' EXIT
source "$wine/wine_env.sh" "$work"
source "$root/tests/windows/watcher/record.sh"
drive_c="$WINEPREFIX/drive_c"
rm -rf "$drive_c/bench" "$drive_c/Ostrel Setup"
mkdir -p "$drive_c/bench"
cp -rp "$work/payload" "$drive_c/bench/source"
watcher=$(windows_path "$root/build/win64/tests/windows/window_watcher.exe")

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
installer_run() {  # <n>: a fresh installation from a new start folder
  [ ! -e "$drive_c/Ostrel Setup" ] || mv "$drive_c/Ostrel Setup" "$drive_c/bench/installed-$1"
  mkdir "$drive_c/bench/start-$1"
  timed_run "installer-$1" "C:\\bench\\start-$1" "$(windows_path "$work/BenchSetup.exe")"
}
copy_run() {  # <n>: a copy into a new folder
  timed_run "copy-$1" 'C:\bench' "$(windows_path "$root/build/win64/bench/installer_bench_copy.exe")" \
    'C:\bench\source' "C:\\bench\\copy-$1"
}

echo "== runs (one warm-up each, then $runs each, taking turns)"
installer_run 0 >/dev/null
copy_run 0 >/dev/null
installer_times=() copy_times=()
for n in $(seq "$runs"); do
  installer_times+=("$(installer_run "$n")")
  copy_times+=("$(copy_run "$n")")
  echo "run $n: installer ${installer_times[-1]} ms, copy ${copy_times[-1]} ms"
done
for n in $(seq 0 "$runs"); do
  [ "$(ls "$drive_c/bench/copy-$n" | wc -l)" = "$files" ] || echo "warning: copy $n is incomplete" >&2
done
[ "$(ls "$drive_c/Ostrel Setup/Tarvine64" | wc -l)" = "$files" ] ||
  echo "warning: the last installation does not hold all $files files" >&2

stats() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[1], v[int((NR + 1) / 2)] }'; }
read -r installer_best installer_median < <(stats "${installer_times[@]}")
read -r copy_best copy_median < <(stats "${copy_times[@]}")
echo "== start to final box, $files files, $bytes bytes ($total packed)"
printf '%-32s best %6d ms   median %6d ms\n' "installer (unpack, shortcut)" "$installer_best" "$installer_median" \
  "copy of the unpacked files" "$copy_best" "$copy_median"
awk -v i="$installer_median" -v c="$copy_median" \
  'BEGIN { r = i / c; printf "ratio (medians): %.2f  target <= 1.50: %s\n", r, r <= 1.5 ? "PASS" : "MISS" }'
rm -rf "$drive_c/bench" "$drive_c/Ostrel Setup"
