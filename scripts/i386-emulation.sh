#!/usr/bin/env bash
# i386 programs on a host that runs 64-bit user code only.
#
#   i386-emulation.sh enable          run i386 programs, natively or else by emulation
#   i386-emulation.sh status          say how: native, emulated or unavailable
#   i386-emulation.sh disable         remove the i386 emulation entry
#   i386-emulation.sh needs-emulator  exit 0 when i386 programs need a qemu-i386
#                                     that is not installed
#   i386-emulation.sh add-source      add the backports suite that serves it
#
# scripts/setup.sh installs the emulator itself, with the rest, and runs
# `enable` with I386_EMULATION_NO_INSTALL=1; run alone, `enable` installs it.
# SIMULATE_NO_32BIT=1 makes i386 programs look unrunnable and changes nothing.
#
# Some x86_64 hosts refuse i386 executables ("Exec format error"). There the
# i386 ELF format is registered with binfmt_misc, interpreted by qemu-i386
# (F flag: the interpreter is opened once, at registration, so it also serves
# programs in other mount namespaces). qemu-user 10 or later is needed:
# bookworm's 7.2 ignores MAP_FIXED_NOREPLACE, and Wine then cannot reserve
# its address space. It comes from the backports suite of the Debian source
# the machine is already configured with. Where i386 runs natively nothing
# is changed. Idempotent.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
entry_name=qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
backports_list=/etc/apt/sources.list.d/eek-backports.sources
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi

# A static i386 program that exits with 42: four instructions, no loader.
probe_program() {
  local file=$1
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$file"
  printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$file"
  printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000' >>"$file"
  printf '\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010' >>"$file"
  printf '\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000' >>"$file"
  printf '\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' >>"$file"
  chmod +x "$file"
}

# A folder of its own for the probe, in a file system that lets programs run
# (a noexec /tmp would make every host look like one without i386): the
# build tree, else the scripts' own folder, else the temporary folder.
probe_folder() {
  local base dir
  for base in "$repo/build" "$here" "${TMPDIR:-/tmp}"; do
    mkdir -p "$base" 2>/dev/null || continue
    dir=$(mktemp -d "$base/.i386-probe.XXXXXX" 2>/dev/null) || continue
    printf '#!/bin/sh\nexit 0\n' >"$dir/can-run" && chmod +x "$dir/can-run"
    if "$dir/can-run" 2>/dev/null; then
      echo "$dir"
      return 0
    fi
    rm -rf "$dir"
  done
  return 1
}

# i386_runs: 0 when a static i386 program runs here (natively or emulated).
i386_runs() {
  local dir status=0
  [ "${SIMULATE_NO_32BIT:-}" = 1 ] && return 1
  dir=$(probe_folder) || { echo "i386-emulation: no folder here lets a program run" >&2; return 1; }
  probe_program "$dir/probe"
  "$dir/probe" 2>/dev/null || status=$?
  rm -rf "$dir"
  [ "$status" -eq 42 ]
}

entry_registered() { [ -e "$binfmt/$entry_name" ]; }
entry_enabled() { entry_registered && head -n1 "$binfmt/$entry_name" | grep -qx enabled; }

# How i386 programs run here: "native", "emulated" (through the binfmt_misc
# entry, which the kernel consults before its own i386 support) or
# "unavailable". Changes nothing.
state() {
  if ! i386_runs; then
    echo unavailable
  elif entry_enabled; then
    echo emulated
  else
    echo native
  fi
}

# The deb822 or one-line source that serves this release's main suite, with
# its suite replaced by the backports suite.
backports_source() {
  local codename=$1
  python3 - "$codename" <<'PY'
import glob, re, sys
codename = sys.argv[1]
def deb822(path):
    for stanza in re.split(r"\n\s*\n", open(path).read()):
        fields, key = {}, None
        for line in stanza.splitlines():
            if line.startswith("#") or not line.strip():
                continue
            if line[0] in " \t" and key:
                fields[key] += " " + line.strip()
                continue
            key, _, value = line.partition(":")
            fields[key.strip().lower()] = value.strip()
        if "deb" in fields.get("types", "").split() and codename in fields.get("suites", "").split() \
                and fields.get("enabled", "yes").lower() != "no":
            out = ["Types: deb", "URIs: " + fields["uris"], "Suites: %s-backports" % codename,
                   "Components: " + fields.get("components", "main")]
            if "signed-by" in fields:
                out.append("Signed-By: " + fields["signed-by"])
            return "\n".join(out)
def oneline(path):
    for line in open(path):
        words = line.split("#")[0].split()
        if len(words) >= 4 and words[0] == "deb":
            options = [w for w in words[1:] if w.startswith("[")]
            rest = [w for w in words[1:] if not w.startswith("[")]
            if rest[1] == codename:
                signed = [o.strip("[]").split("=", 1)[1] for o in options if "signed-by=" in o]
                out = ["Types: deb", "URIs: " + rest[0], "Suites: %s-backports" % codename,
                       "Components: " + " ".join(rest[2:])]
                if signed:
                    out.append("Signed-By: " + signed[0])
                return "\n".join(out)
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    if path.endswith("eek-backports.sources"):
        continue
    found = deb822(path)
    if found:
        print(found); sys.exit(0)
for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    try:
        found = oneline(path)
    except OSError:
        continue
    if found:
        print(found); sys.exit(0)
sys.exit(1)
PY
}

qemu_major() {
  local qemu=$1
  "$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p'
}

# A qemu-i386 of version 10 or later, installed from backports if need be.
find_qemu() {
  local candidate
  for candidate in /usr/bin/qemu-i386 /usr/bin/qemu-i386-static; do
    if [ -x "$candidate" ] && [ "$(qemu_major "$candidate")" -ge 10 ] 2>/dev/null; then
      echo "$candidate"
      return 0
    fi
  done
  return 1
}

# The backports suite of the configured Debian source, in a list of its own.
add_source() {
  [ -f "$backports_list" ] && return 0
  local codename source
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  if ! command -v python3 >/dev/null; then
    echo "i386-emulation: python3 is needed to read the apt sources; run this again once it is installed" >&2
    return 1
  fi
  source=$(backports_source "$codename") || {
    echo "i386-emulation: no Debian source for $codename is configured" >&2
    return 1
  }
  echo "i386-emulation: adding the $codename-backports suite of the configured Debian source" >&2
  printf '%s\n' "$source" | $sudo tee "$backports_list" >/dev/null
}

install_qemu() {
  [ "${I386_EMULATION_NO_INSTALL:-}" = 1 ] && return 1
  local codename
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  add_source || return 1
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get -o Acquire::Retries=3 update -q >/dev/null || true
  $sudo apt-get install -y -q -t "$codename-backports" --no-install-recommends qemu-user >/dev/null
}

# 0 when i386 programs do not run and no usable qemu-i386 is installed.
needs_emulator() {
  [ "${SIMULATE_NO_32BIT:-}" = 1 ] && return 1
  ! i386_runs && ! find_qemu >/dev/null
}

enable() {
  case "$(state)" in
    native)
      echo "i386: runs natively; no emulation needed"
      return 0
      ;;
    emulated)
      echo "i386: emulated ($(sed -n 's/^interpreter //p' "$binfmt/$entry_name"))"
      return 0
      ;;
  esac
  if [ "${SIMULATE_NO_32BIT:-}" = 1 ]; then
    echo "i386-emulation: i386 programs made unrunnable on purpose (SIMULATE_NO_32BIT=1)" >&2
    return 1
  fi
  local qemu
  qemu=$(find_qemu) || { install_qemu && qemu=$(find_qemu); } || {
    echo "i386-emulation: no qemu-i386 of version 10 or later could be installed" >&2
    return 1
  }
  if [ ! -e "$binfmt/register" ]; then
    $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
  fi
  if entry_registered; then
    # A disabled or stale entry of this name (another interpreter): replaced.
    echo -1 | $sudo tee "$binfmt/$entry_name" >/dev/null
  fi
  # ELF, 32-bit, little-endian, version 1, executable or shared object,
  # machine 3 (i386). The mask, as qemu's own registration has it, ignores
  # the OS ABI byte (7) and the low bit of the data encoding (5), of the ELF
  # version (6) and of the type (16: executable 2 or shared object 3).
  # F: the interpreter is opened now.
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf ':%s:M::%s:%s:%s:F\n' "$entry_name" "$magic" "$mask" "$qemu" | $sudo tee "$binfmt/register" >/dev/null
  if ! i386_runs; then
    echo "i386-emulation: $qemu is registered, but an i386 program still does not run" >&2
    return 1
  fi
  echo "i386: emulated ($qemu, version $(qemu_major "$qemu"), binfmt_misc entry $entry_name)"
}

disable() {
  if entry_registered; then
    echo -1 | $sudo tee "$binfmt/$entry_name" >/dev/null
    echo "i386-emulation: removed the binfmt_misc entry $entry_name"
  fi
}

case "${1:-}" in
  enable) enable ;;
  status) state ;;
  disable) disable ;;
  needs-emulator) needs_emulator ;;
  add-source) add_source ;;
  *) echo "usage: $0 enable|status|disable|needs-emulator|add-source" >&2; exit 2 ;;
esac
