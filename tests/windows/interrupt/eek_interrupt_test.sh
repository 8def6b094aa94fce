#!/usr/bin/env bash
# An interrupt of eek.exe while it writes a temporary file leaves no temporary
# file of any command, and an output that existed stays as it was; a Ctrl+C
# that its parent disabled for it (a new process group) lets it finish.
#
# usage: eek_interrupt_test.sh <build dir> <eek.exe> <console_interrupt.exe> <source dir> <32|64>
set -uo pipefail
build=$1
eek=$2
sender=$3
source_dir=$4
bits=$5
work=$(mktemp -d "$build/eek-interrupt.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# The Windows form of a path of this machine, as Wine's drive Z: shows it.
win() { printf 'Z:%s' "${1//\//\\}"; }

# Products whose files take long enough to write for the interrupt to land
# while eek writes them: incompressible data, stored for the commands that
# only copy or decode it, and less of it to pack for the 32-bit build, whose
# encoder is far slower under Wine.
mkdir -p "$work/product" "$work/stored" "$work/out"
printf 'setup program\n' | tee "$work/product/setup.exe" >"$work/stored/setup.exe"
head -c $((32 << 20)) /dev/urandom >"$work/stored/data.bin"
head -c $((bits == 64 ? 32 << 20 : 8 << 20)) "$work/stored/data.bin" >"$work/product/data.bin"
python3 "$source_dir/scripts/make-stored-archive.py" "$work/stored" "$work/stored.eek"
stub=$source_dir/stubs/win32/OstrelTarvine64SetupStub.exe

# interrupted NAME EVENT FOLDER PATTERN EXPECT -- EEK-ARGS...: runs eek.exe
# under the sender, which sends EVENT once a file in FOLDER matching PATTERN
# holds bytes. EXPECT is "interrupted" (eek ends by the event) or "finished"
# (eek ignores it and succeeds). Either way no temporary file is left in
# FOLDER, and what FOLDER held before is unchanged unless eek finished.
interrupted() {
  local name=$1 event=$2 folder=$3 pattern=$4 expect=$5
  shift 6
  local before
  before=$(cd "$folder" && find . -type f -exec md5sum {} + | sort)
  local report status code
  report=$(bash "$source_dir/tests/windows/wine/run_in_wine.sh" "$build" "$sender" "$event" \
    "$(win "$folder")" "$pattern" -- "$eek" "$@" 2>&1)
  status=$?
  if [ "$status" -eq 77 ]; then
    echo "SKIPPED: $name: $(grep SKIPPED <<<"$report")"
    # The sender ended eek the hard way, which leaves its files.
    rm -f "$folder"/*.tmp*
    return
  fi
  [ "$status" -eq 0 ] || { fail "$name: the sender failed ($status): $report"; return; }
  code=$(sed -n 's/^exit //p' <<<"$report")
  local left failed=$failures
  left=$(cd "$folder" && ls -A | grep -F '.tmp' || true)
  [ -z "$left" ] || fail "$name: temporary files left: $left"
  rm -f "$folder"/*.tmp*
  case $expect in
  interrupted)
    # Windows ends the process with STATUS_CONTROL_C_EXIT, Wine 8 with 0; an
    # eek that finished would have changed the folder.
    [ "$code" = c000013a ] || [ "$code" = 0 ] || fail "$name: eek ended with $code: $report"
    [ "$(cd "$folder" && find . -type f -exec md5sum {} + | sort)" = "$before" ] ||
      fail "$name: the folder changed: eek was not interrupted while it wrote: $report"
    ;;
  finished)
    [ "$code" = 0 ] || fail "$name: eek did not finish: $report"
    ;;
  esac
  [ "$failures" -ne "$failed" ] || echo "ok: $name ($(grep interrupting <<<"$report"))"
}

printf 'the installer that was there\n' >"$work/out/setup.exe"
interrupted "installer from a folder, Ctrl+C while the installer is written" ctrl-c \
  "$work/out" 'setup.exe.tmp*' interrupted -- \
  installer --stub "$(win "$stub")" -o "$(win "$work/out/setup.exe")" "$(win "$work/product")"
interrupted "installer from an archive, Ctrl+Break while the installer is written" ctrl-break \
  "$work/out" 'setup.exe.tmp*' interrupted -- \
  installer --stub "$(win "$stub")" --archive "$(win "$work/stored.eek")" \
  -o "$(win "$work/out/setup.exe")"
interrupted "extract, Ctrl+C while an entry is written" ctrl-c "$work/out" 'DATA.BIN.tmp*' \
  interrupted -- extract "$(win "$work/stored.eek")" -C "$(win "$work/out")"
interrupted "pack, Ctrl+C while the archive is written" ctrl-c "$work/out" 'packed.eek.tmp*' \
  interrupted -- pack "$(win "$work/out/packed.eek")" "$(win "$work/product")"
# A parent that starts eek in a new process group disables Ctrl+C for it: eek
# keeps that and finishes, and its output is whole.
interrupted "installer, Ctrl+C that its new process group disabled" ctrl-c-disabled \
  "$work/out" 'setup.exe.tmp*' finished -- \
  installer --stub "$(win "$stub")" --archive "$(win "$work/stored.eek")" \
  -o "$(win "$work/out/setup.exe")"
[ -z "${HOST_EEK:-}" ] || "$HOST_EEK" installer --check "$work/out/setup.exe" >/dev/null ||
  fail "the installer written after the ignored Ctrl+C does not pass --check"

[ "$failures" -eq 0 ] || exit 1
