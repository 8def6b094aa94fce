#!/usr/bin/env bash
# Measures the payload ceiling of the shipped stubs (informational, not a
# test): the largest incompressible payload whose installer, made by
# eek installer from the shipped stub, still starts under this machine's Wine.
# A 32-bit process must map the whole image, payload resource included, into
# its 2 GiB address space, so a PE32 installer past some size fails in
# CreateProcess (error 8, not enough memory) and never runs; that size belongs
# to the loader and the stub's architecture, not to the archive.
#
# The search bisects on the payload's size in MiB between a size that starts
# and one that does not (both probed first; a high bound that starts moves up,
# to the largest payload eek accepts at most). A probe makes a stored archive
# of random data of that size and the installer from it (--no-setup: a probe
# carries data alone; --past-tested-ceiling: eek refuses installers past the
# ceilings measured before, which is what is measured again), and starts it
# through the window watcher. Whether the image can start at all is decided at
# CreateProcess, so a probe need not run to its end: one still running when
# the watcher gives up on it, having begun the temporary archive it writes
# first (Bulktemp.eek), or one that ends with 1, has started; one the watcher
# cannot start, that ends otherwise or that has not begun its work, has not.
# The size found is then confirmed by a whole run of an installer of that size
# carrying a real setup.exe (the demo product's): exit 1 and every file byte
# for byte. An installer that starts can still fail later for want of address
# space, so after a whole run that fails the size steps down (by 64 MiB) until
# one installs everything: that is the ceiling.
#
# Prints every probe (payload bytes, the installer's SizeOfImage, the result)
# and, per build, the ceiling as payload bytes and as SizeOfImage.
#
# usage: scripts/find-payload-ceiling.sh [win32] [win64]   (default: both)
#   CEILING_WIN32_LOW/HIGH, CEILING_WIN64_LOW/HIGH: the bounds, in MiB of
#   payload (defaults from earlier runs); CEILING_PROBE_SECONDS: how long a
#   started probe is watched (default 15); CEILING_STEP_MIB: the step down
#   after a whole run that failed (default 64); CEILING_WIN32_START,
#   CEILING_WIN64_START: no search, whole runs from that size (MiB) down.
# Work folder build/payload-ceiling (its own Wine prefix, removed at the end
# apart from the prefix and the random source files, which later runs reuse).
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
root=$(pwd)
builds=("$@")
[ ${#builds[@]} -gt 0 ] || builds=(win32 win64)
work="$root/build/payload-ceiling"
probe_seconds=${CEILING_PROBE_SECONDS:-15}
mib=$((1 << 20))
./scripts/setup.sh >/dev/null

echo "== building eek, the window watcher and the demo setup.exe"
cmake --preset host >/dev/null
cmake --build --preset host --target eek -j 2 >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target window_watcher demo_setup -j 2 >/dev/null
eek="$root/build/host/eek"
for build in "${builds[@]}"; do
  cmake --preset "$build" >/dev/null
  cmake --build --preset "$build" --target demo_setup -j 2 >/dev/null
done
echo "i386 programs: $(scripts/i386-emulation.sh status)"

# The largest payload eek accepts: below 2 GiB.
payload_limit=$(((1 << 31) - 1))

echo "== random source files (reused by later runs)"
mkdir -p "$work/source" "$work/tokens"
# Eight files of 256 MiB: enough stored data for a payload of any size eek
# accepts. Each file's stored form (literal runs of 128 bytes, no copy
# tokens) is made once; a probe archive is entry headers and prefixes of it.
python3 - "$work" <<'EOF'
import os, sys
work = sys.argv[1]
size, block = 256 << 20, 128 * 8192
for n in range(1, 9):
    name = "DATA%d.BIN" % n
    source, tokens = os.path.join(work, "source", name), os.path.join(work, "tokens", name)
    if os.path.exists(tokens) and os.path.getsize(tokens) == size // 128 * 129:
        continue
    with open(source, "wb") as out:
        for _ in range(size // block):
            out.write(os.urandom(block))
    with open(source, "rb") as data, open(tokens + ".new", "wb") as out:
        while True:
            chunk = data.read(block)
            if not chunk:
                break
            view = memoryview(chunk)
            out.write(b"".join(b"\x7f" + view[i:i + 128] for i in range(0, len(chunk), 128)))
    os.rename(tokens + ".new", tokens)
EOF

# make_archive <bytes> <out> <manifest> [setup.exe]: a stored archive of at
# most <bytes> (within one run of 129 bytes): setup.exe first when given, then
# the random files, the last one cut; the manifest lists each entry's name and
# unpacked bytes.
make_archive() {
  python3 - "$work" "$@" <<'EOF'
import os, shutil, sys
work, size, out, manifest = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
setup = sys.argv[5] if len(sys.argv) > 5 else None

def header(name, packed, unpacked):
    raw = name.encode()
    return bytes([0x02, len(raw) - 1]) + packed.to_bytes(4, "little") + \
        unpacked.to_bytes(4, "little") + raw

def stored(data):
    return b"".join(bytes([len(data[i:i + 128]) - 1]) + data[i:i + 128]
                    for i in range(0, len(data), 128))

left = size
with open(out, "wb") as archive, open(manifest, "w") as listing:
    if setup:
        data = open(setup, "rb").read()
        tokens = stored(data)
        entry = header("SETUP.EXE", len(tokens), len(data)) + tokens
        archive.write(entry)
        listing.write("SETUP.EXE %d %s\n" % (len(data), setup))
        left -= len(entry)
    for n in range(1, 9):
        name = "DATA%d.BIN" % n
        tokens = os.path.join(work, "tokens", name)
        runs = min(os.path.getsize(tokens) // 129, (left - 10 - len(name)) // 129)
        if runs <= 0:
            break
        archive.write(header(name, runs * 129, runs * 128))
        with open(tokens, "rb") as source:
            remaining = runs * 129
            while remaining:
                piece = source.read(min(remaining, 1 << 24))
                archive.write(piece)
                remaining -= len(piece)
        listing.write("%s %d %s\n" % (name, runs * 128, os.path.join(work, "source", name)))
        left -= 10 + len(name) + runs * 129
EOF
}

size_of_image() {
  python3 -c '
import struct, sys
head = open(sys.argv[1], "rb").read(4096)
pe = struct.unpack_from("<I", head, 0x3c)[0]
print(struct.unpack_from("<I", head, pe + 24 + 56)[0])' "$1"
}

source "$root/tests/windows/wine/script_session.sh" "$root" "$work" "$eek"

# make_installer <build> <payload bytes> [setup.exe]: $work/probe.exe, or
# false when eek refuses it (its message on stderr).
make_installer() {
  local build=$1 size=$2
  shift 2
  rm -f "$work/probe.eek" "$work/probe.exe"
  make_archive "$size" "$work/probe.eek" "$work/probe.manifest" "$@"
  payload_bytes=$(stat -c %s "$work/probe.eek")
  local no_setup=--no-setup
  [ $# -eq 0 ] || no_setup=
  local status=0
  "$eek" installer -q --past-tested-ceiling --stub "$build" --archive "$work/probe.eek" $no_setup \
    -o "$work/probe.exe" 2>"$work/eek.err" || status=$?
  grep -v ': warning: ' "$work/eek.err" >&2 || true
  rm -f "$work/probe.eek"
  return $status
}

# run_probe <timeout ms>: starts $work/probe.exe from a new start folder;
# prints the watcher's verdict line (cannot start / timeout / exit N).
run_probe() {
  rm -rf "$drive_c/probe" "$base"
  mkdir -p "$drive_c/probe"
  local output
  output=$("$wine/run_in_wine.sh" "$work" "$watcher" --timeout-ms "$1" --cwd 'C:\probe' \
    --record "$(windows_path "$work/probe.log")" -- "$(windows_path "$work/probe.exe")" 2>&1 |
    tr -d '\r' | tr '\t' ' ' || true)
  grep -E '^(timeout|exit |window_watcher: cannot start)' <<<"$output" | tail -n1 || true
}

declare -A started_cache
# probe <build> <MiB>: true when the installer of that payload starts.
probe() {
  local build=$1 size=$(($2 * mib))
  [ "$size" -le "$payload_limit" ] || size=$payload_limit
  if ! make_installer "$build" "$size" 2>"$work/refused.txt"; then
    echo "  probe $size bytes: eek refused: $(cat "$work/refused.txt")" >&2
    return 1
  fi
  local image verdict result
  image=$(size_of_image "$work/probe.exe")
  verdict=$(run_probe $((probe_seconds * 1000)))
  # Started: still running when watched no longer, with the temporary
  # archive it writes first begun, or ended as a whole run ends.
  case "$verdict" in
    timeout) [ -e "$drive_c/probe/Bulktemp.eek" ] && result=started || result="did not begin" ;;
    "exit 1") result=started ;;
    *) result="did not start" ;;
  esac
  printf '  probe %13d bytes (%4d MiB), SizeOfImage %13d (%7.1f MiB): %s (%s)\n' "$payload_bytes" "$2" \
    "$image" "$(awk -v i="$image" 'BEGIN { print i / 1048576 }')" "$result" "${verdict:-no verdict}" >&2
  rm -rf "$work/probe.exe" "$drive_c/probe" "$base"
  [ "$result" = started ]
}

step_mib=${CEILING_STEP_MIB:-64}
# whole_run <build> <MiB> <setup.exe>: an installer of that payload with
# setup.exe run to its end; true when it ends with 1 and every file is in the
# installation folder byte for byte.
whole_run() {
  local build=$1 size=$(($2 * mib)) setup_exe=$3
  [ "$size" -le "$payload_limit" ] || size=$payload_limit
  echo "  whole run of $2 MiB, with setup.exe ($setup_exe):"
  if ! make_installer "$build" "$size" "$setup_exe"; then
    echo "  eek refused it"
    return 1
  fi
  local image begin end verdict files=0 same=0 name bytes source
  image=$(size_of_image "$work/probe.exe")
  begin=$(date +%s.%N)
  verdict=$(run_probe 1800000)
  end=$(date +%s.%N)
  while read -r name bytes source; do
    files=$((files + 1))
    if [ "$(stat -c %s "$install/$name" 2>/dev/null)" = "$bytes" ] &&
      cmp -s -n "$bytes" "$source" "$install/$name"; then
      same=$((same + 1))
    fi
  done <"$work/probe.manifest"
  printf '  payload %d bytes, SizeOfImage %d: %s in %.1f s; %d of %d files byte for byte\n' \
    "$payload_bytes" "$image" "${verdict:-no verdict}" \
    "$(awk -v b="$begin" -v e="$end" 'BEGIN { print e - b }')" "$same" "$files"
  rm -rf "$work/probe.exe" "$drive_c/probe" "$base"
  if [ "$verdict" = "exit 1" ] && [ "$same" = "$files" ]; then
    echo "  $build ceiling confirmed: payload $payload_bytes bytes, SizeOfImage $image"
    return 0
  fi
  echo "  $build: that run did NOT install everything"
  return 1
}

for build in "${builds[@]}"; do
  echo "== $build (shipped stub, eek installer --stub $build)"
  start_var=CEILING_${build^^}_START
  if [ -n "${!start_var:-}" ]; then
    for size_mib in $(seq "${!start_var}" "-$step_mib" 1 | head -n 6); do
      whole_run "$build" "$size_mib" "$root/build/$build/demo/setup.exe" && break
    done
    continue
  fi
  low_var=CEILING_${build^^}_LOW high_var=CEILING_${build^^}_HIGH
  # Defaults from the last run here (32-bit code native): a PE32 installer
  # started at 1935 MiB and not at 1991 MiB; a PE32+ one with every payload eek
  # accepts (2048 MiB is past what eek makes).
  if [ "$build" = win32 ]; then
    low=${!low_var:-1935} high=${!high_var:-1991}
  else
    low=${!low_var:-2047} high=${!high_var:-2048}
  fi
  limit_mib=$(((payload_limit + mib - 1) / mib))
  if ! probe "$build" "$low"; then
    echo "  the low bound of $low MiB does not start; give a lower CEILING_${build^^}_LOW"
    continue
  fi
  top_started=no
  while probe "$build" "$high"; do
    low=$high
    if [ "$high" -ge "$limit_mib" ]; then
      top_started=yes
      break
    fi
    high=$(((high * 2 < limit_mib) ? high * 2 : limit_mib))
  done
  while [ $top_started = no ] && [ $((high - low)) -gt 1 ]; do
    middle=$(((low + high) / 2))
    if probe "$build" "$middle"; then
      low=$middle
    else
      high=$middle
    fi
  done
  echo "  largest payload that started: $low MiB"
  setup_exe="$root/build/$build/demo/setup.exe"
  # An installer that starts may still fail later for want of address space
  # (the DLLs it loads, its progress thread): a whole run confirms the size,
  # and the size steps down until one installs everything.
  size_mib=$low
  for _ in 1 2 3 4 5 6; do
    whole_run "$build" "$size_mib" "$setup_exe" && break
    size_mib=$((size_mib - step_mib))
  done
done
rm -f "$work/probe.eek" "$work/probe.exe" "$work/probe.manifest" "$work/eek.err" "$work/refused.txt"
