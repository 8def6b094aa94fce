#!/usr/bin/env bash
# Command-line behaviour of eek: round trips, refused inputs, damaged archives
# and extraction that must stay inside its folder, in groups that run alone.
# Usage: eek_cli_test.sh GROUP|all EEK_COMMAND...
#   EEK_COMMAND: the host's eek, or a runner and eek.exe (eek_script_support.sh)
set -u
source "$(dirname "${BASH_SOURCE[0]}")/eek_script_support.sh" "$@"
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
cd "$work"

# refused DESCRIPTION TEXT CMD...: the command must fail with one line on
# stderr that holds TEXT (the culprit).
refused() {
  local what=$1 text=$2
  shift 2
  run "$@"
  [ "$status" -ne 0 ] || fail "$what: exit status 0"
  [ "$(wc -l <err.txt)" -eq 1 ] || fail "$what: expected one line on stderr, got: $err"
  err_holds "$text" || fail "$what: stderr does not name '$text': $err"
}

# Hand-made tagged entries: entry NAME TEXT writes an entry whose data is one
# literal run holding TEXT (1 to 128 bytes).
byte() { printf "\\$(printf %03o "$1")"; }
le32() { byte $(($1 & 255)); byte $(($1 >> 8 & 255)); byte $(($1 >> 16 & 255)); byte $(($1 >> 24 & 255)); }
entry() {
  local name=$1 text=$2
  byte 2
  byte $((${#name} - 1))
  le32 $((${#text} + 1))
  le32 ${#text}
  printf '%s' "$name"
  byte $((${#text} - 1))
  printf '%s' "$text"
}

# Every group starts from the same folders and archive.
mkdir -p src/docs
# A name with spaces around it, stored without them; Windows itself drops a
# trailing space from a path, so eek.exe gets the leading one only.
mixed="src/docs/ Mixed Case.txt "
skip_on windows "a file name ending in a space" "Windows drops it from every path" &&
  mixed="src/docs/ Mixed Case.txt"
printf 'hello\n' >"$mixed"
: >src/docs/empty.bin
seq 1 200000 >src/docs/numbers.txt # larger than the tool's 256 KiB buffers
head -c 300000 /dev/urandom >src/docs/noise.bin
printf '\xe9t\xe9' >src/single.txt
run pack archive.eek src/docs src/single.txt
[ "$status" -eq 0 ] || fail "pack of a folder and a file: $err"

# --- Round trip of folders and files ---------------------------------------
if in_group roundtrip; then
  run list archive.eek
  [ "$status" -eq 0 ] || fail "list: $err"
  for name in "MIXED CASE.TXT" EMPTY.BIN NUMBERS.TXT NOISE.BIN SINGLE.TXT "total: 5 entries"; do
    grep -qF "$name" out.txt || fail "list does not show $name"
  done
  # Entries come in the order given, a folder's files sorted by name.
  [ "$(sed '1d;$d' out.txt | cut -c36- | tr '\n' /)" = "MIXED CASE.TXT/EMPTY.BIN/NOISE.BIN/NUMBERS.TXT/SINGLE.TXT/" ] ||
    fail "list order: $(cat out.txt)"
  grep -q "$(stat -c %s src/docs/numbers.txt) .*NUMBERS.TXT" out.txt || fail "list unpacked size"
  run test archive.eek
  [ "$status" -eq 0 ] || fail "test of a sound archive: $err"
  mkdir dest
  head -c 1000000 /dev/zero >dest/NUMBERS.TXT # a longer earlier file is replaced, not overwritten
  run extract archive.eek -C dest
  [ "$status" -eq 0 ] || fail "extract: $err"
  cmp -s "$mixed" "dest/MIXED CASE.TXT" || fail "MIXED CASE.TXT differs"
  cmp -s src/docs/empty.bin dest/EMPTY.BIN || fail "EMPTY.BIN differs"
  cmp -s src/docs/numbers.txt dest/NUMBERS.TXT || fail "NUMBERS.TXT differs"
  cmp -s src/docs/noise.bin dest/NOISE.BIN || fail "NOISE.BIN differs"
  cmp -s src/single.txt dest/SINGLE.TXT || fail "SINGLE.TXT differs"
  run extract archive.eek -C new/nested
  [ "$status" -eq 0 ] && cmp -s src/docs/noise.bin new/nested/NOISE.BIN || fail "extract into a new folder"
  (mkdir cwd && cd cwd && eek_command extract ../archive.eek >/dev/null 2>&1) &&
    cmp -s src/single.txt cwd/SINGLE.TXT || fail "extract into the current folder"
  (mkdir cwd2 && cd cwd2 && eek_command extract ../archive.eek -C "" >/dev/null 2>&1) &&
    cmp -s src/single.txt cwd2/SINGLE.TXT || fail "extract with an empty folder name"
  # The fixed layout: no unpacked size in the header.
  { printf 'notes.txt   %8d' 27; printf '\x05fixed!'; } >fixed.eek
  run list fixed.eek
  [ "$status" -eq 0 ] && grep -qE '^ +7 +6 .*NOTES.TXT' out.txt || fail "fixed layout list: $(cat out.txt) $err"
  run test fixed.eek
  [ "$status" -eq 0 ] || fail "fixed layout test: $err"
fi

# --- Pack refuses bad inputs, names the culprit and leaves no archive --------
if in_group pack_refusals; then
  printf 'old' >kept.eek
  mkdir -p bad/nested/inner bad/dup1 bad/dup2 bad/device bad/dot bad/colon bad/fifo bad/dangling
  printf x >bad/nested/a.txt
  printf 1 >bad/dup1/readme.txt
  printf 2 >"bad/dup2/ README.TXT"
  printf x >bad/device/aux.log
  printf x >bad/dot/trailing.
  printf x >bad/colon/a:b
  mkfifo bad/fifo/pipe
  ln -s missing-target bad/dangling/link
  truncate -s 2G bad/huge.bin
  refused "nested folder" "bad/nested/inner" pack kept.eek bad/nested
  refused "names equal once upper-cased" "bad/dup1/readme.txt" pack kept.eek bad/dup1 bad/dup2
  refused "device name" "bad/device/aux.log" pack kept.eek bad/device
  refused "trailing dot" "bad/dot/trailing." pack kept.eek bad/dot
  skip_on windows "colon" "no Windows name holds one; Wine shows the file under another name" ||
    refused "colon" "bad/colon/a:b" pack kept.eek bad/colon
  skip_on windows "pipe" "Windows has no FIFOs" || refused "pipe" "bad/fifo/pipe" pack kept.eek bad/fifo
  skip_on windows "unreadable file" "a dangling Unix link, which Wine leaves out of the folder" ||
    refused "unreadable file" "bad/dangling/link" pack kept.eek bad/dangling
  refused "missing input" "bad/none" pack kept.eek bad/none
  refused "input of 2 GiB" "bad/huge.bin" pack kept.eek src/single.txt bad/huge.bin
  refused "the archive among the inputs" "kept.eek" pack kept.eek kept.eek
  [ "$(cat kept.eek)" = old ] || fail "a refused pack changed the existing archive"
  refused "archive path is a folder" "src" pack src src/single.txt
  refused "archive in a missing folder" "nowhere/x.eek" pack nowhere/x.eek src/single.txt
  [ -z "$(ls | grep -E '^kept\.eek.|^x\.eek')" ] || fail "temporary files left behind: $(ls)"
fi

# --- Usage -------------------------------------------------------------------
if in_group usage; then
  # Usage errors: status 2 and one line starting "eek:".
  usage_error() {
    local what=$1 text=$2
    shift 2
    run "$@"
    [ "$status" -eq 2 ] && [ "$(wc -l <err.txt)" -eq 1 ] && grep -q "^eek: .*$text" err.txt ||
      fail "$what: status $status, $err"
  }
  usage_error "no command" "subcommand" 
  usage_error "unknown command" 'unknown command "frobnicate"' frobnicate x
  usage_error "pack without inputs" "INPUT" pack only-archive.eek
  [ ! -e only-archive.eek ] || fail "pack without inputs wrote an archive"
  run --version
  [ "$status" -eq 0 ] && grep -q '^eek [0-9]' out.txt || fail "--version: $(cat out.txt) $err"
  skip_on windows "list to a full disk" "/dev/full is a Unix device" || {
    "$eek" list archive.eek >/dev/full 2>err.txt
    [ $? -eq 1 ] && grep -q '^eek: cannot write to standard output$' err.txt || fail "list to a full disk: $(cat err.txt)"
  }
  run test archive.eek archive.eek
  [ "$status" -eq 0 ] && [ "$(grep -c ': OK' out.txt)" -eq 2 ] || fail "test of two archives: $err"
  for command in pack list test extract; do
    eek_command "$command" --help | grep -q "Usage: eek $command" || fail "eek $command --help"
  done
fi

# --- Names the extraction refuses --------------------------------------------
if in_group extraction_names; then
  # A later entry of the same name replaces an earlier one.
  { entry 'GOOD.TXT' first; entry '..\EVIL.TXT' evil; entry 'nul.txt' device
    entry 'SUB/X.TXT' sub; entry 'AFTER.TXT' after; entry ' good.txt' good; } >refused.eek
  mkdir ex
  run extract refused.eek -C ex
  [ "$status" -ne 0 ] || fail "refused names: exit status 0"
  [ "$(grep -c . err.txt)" -eq 3 ] || fail "refused names: expected 3 messages, got: $err"
  grep -qF 'EVIL.TXT' err.txt && grep -qF 'NUL.TXT' err.txt && grep -qF 'SUB/X.TXT' err.txt ||
    fail "refused names not named: $err"
  [ "$(cat ex/GOOD.TXT)" = good ] && [ "$(cat ex/AFTER.TXT)" = after ] ||
    fail "entries around refused names not extracted"
  [ "$(ls ex | tr '\n' ' ')" = "AFTER.TXT GOOD.TXT " ] || fail "extra files in the folder: $(ls ex)"
  [ -z "$(find . -name '*EVIL*')" ] || fail "a refused entry was written: $(find . -name '*EVIL*')"
  refused "test flags a refused name" "..\\x5CEVIL.TXT" test refused.eek

  skip_on windows "a symbolic link or a pipe named like an entry" \
    "Unix kinds of file: Wine shows a link as the file it names, and Windows has no FIFOs" || {
    # A symbolic link or a pipe named like an entry is never written through.
    mkdir sl outside
    printf secret >outside/target
    ln -s ../outside/target sl/GOOD.TXT
    mkfifo sl/AFTER.TXT
    { entry 'good.txt' replaced; entry 'after.txt' x; entry 'other.txt' other; } >links.eek
    run extract links.eek -C sl
    [ "$status" -ne 0 ] || fail "symlink in the folder: exit status 0"
    [ "$(cat outside/target)" = secret ] || fail "extraction wrote through a symbolic link"
    [ -L sl/GOOD.TXT ] && [ -p sl/AFTER.TXT ] || fail "the link or pipe was replaced"
    grep -qF 'GOOD.TXT' err.txt && grep -qF 'AFTER.TXT' err.txt || fail "link and pipe not named: $err"
    [ "$(cat sl/OTHER.TXT)" = other ] || fail "entries after the link not extracted"
  }
fi

# --- Names in the target code page --------------------------------------------
if in_group code_page; then
  # UTF-8 host names are stored in code page 1252 unless --code-page names
  # another; names it cannot hold, or that meet once upper-cased there, are refused.
  mkdir -p cp/latin cp/dup cp/kanji
  printf 1 >cp/latin/café.txt
  printf 2 >cp/dup/café.txt
  printf 3 >cp/dup/CAFÉ.TXT
  printf 4 >cp/kanji/表.txt
  run pack latin.eek cp/latin
  [ "$status" -eq 0 ] && grep -qaF $'caf\xe9.txt' latin.eek || fail "café.txt not stored in code page 1252: $err"
  run list latin.eek
  grep -qF 'CAFÉ.TXT' out.txt || fail "list does not show CAFÉ.TXT: $(cat out.txt)"
  run extract latin.eek -C cpout
  [ "$(cat cpout/CAFÉ.TXT 2>/dev/null)" = 1 ] || fail "café.txt not extracted as CAFÉ.TXT: $(ls cpout) $err"
  refused "names equal in the code page" "cp/dup/" pack cpx.eek cp/dup
  refused "a name code page 1252 lacks" "表.txt" pack cpx.eek cp/kanji
  run --code-page 932 pack kanji.eek cp/kanji
  [ "$status" -eq 0 ] && grep -qaF $'\x95\x5c.txt' kanji.eek || fail "表.txt not stored in code page 932: $err"
  run extract kanji.eek -C kanji --code-page 932
  [ "$(cat kanji/表.TXT 2>/dev/null)" = 4 ] || fail "表.txt not extracted under code page 932: $err"
  refused "test of 表 read as code page 1252" "entry 1" test kanji.eek
  run list kanji.eek --code-page 1234
  [ "$status" -eq 2 ] || fail "unknown code page: status $status"
  [ -z "$(ls | grep -E '^cpx\.eek')" ] || fail "refused packs left files: $(ls)"
fi

# --- What the installer would skip: pack and test refuse it -------------------
if in_group installed_paths; then
  # C:\Ostrel Setup\Tarvine64\ takes 26 of the installer's 255 UTF-16 units.
  mkdir -p long/fits long/over
  fits=$(printf 'a%.0s' $(seq 225)).txt
  over=$(printf 'b%.0s' $(seq 226)).txt
  printf x >"long/fits/$fits"
  printf x >"long/over/$over"
  run pack longfits.eek long/fits
  [ "$status" -eq 0 ] || fail "a name of 229 units: $err"
  refused "an installed path of 256 units" "$over" pack cpx.eek long/over
  grep -qF '256 UTF-16 units' err.txt || fail "the path length is not given: $err"
  { entry 'same.txt' one; entry 'Other.txt' two; entry ' SAME.TXT' three; } >same.eek
  refused "test of two entries of one name" "entry 3 (SAME.TXT) at position 45: same name as entry 1" test same.eek
  { entry "$over" x; } >over.eek
  refused "test of an installed path over the limit" "255" test over.eek
fi

# --- Safe extraction -----------------------------------------------------------
if in_group safe_extraction; then
  # A hard link in the folder is replaced, not written through; the archive
  # itself, under any name, is never replaced; -k keeps what is there.
  mkdir hl self outside
  { entry 'good.txt' replaced; entry 'after.txt' x; entry 'other.txt' other; } >links.eek
  printf secret >outside/linked
  ln outside/linked hl/GOOD.TXT
  run extract links.eek -C hl -v
  [ "$status" -eq 0 ] && [ "$(cat hl/GOOD.TXT)" = replaced ] || fail "extract over a hard link: $err"
  [ "$(cat outside/linked)" = secret ] || fail "extraction wrote through a hard link"
  [ "$(tr '\\' / <out.txt)" = "hl/GOOD.TXT"$'\n'"hl/AFTER.TXT"$'\n'"hl/OTHER.TXT" ] || fail "extract -v: $(cat out.txt)"
  { entry 'x.txt' x; entry 'SELF.EEK' inner; entry 'LINK.EEK' inner; } >self/SELF.EEK
  ln self/SELF.EEK self/LINK.EEK
  cp self/SELF.EEK self-copy.eek
  run extract self/SELF.EEK -C self
  [ "$status" -ne 0 ] && [ "$(grep -c 'is the archive being extracted' err.txt)" -eq 2 ] ||
    fail "extract over its own archive: status $status, $err"
  cmp -s self/SELF.EEK self-copy.eek && [ "$(cat self/X.TXT)" = x ] || fail "the archive was replaced"
  printf mine >hl/OTHER.TXT
  run extract links.eek -C hl --keep-old-files
  [ "$status" -ne 0 ] && [ "$(cat hl/OTHER.TXT)" = mine ] && [ "$(grep -c 'kept' err.txt)" -eq 3 ] ||
    fail "extract -k: status $status, $err"
  # A write that fails halfway (a file size limit here, a full disk elsewhere)
  # leaves neither a partial file under the entry's name nor a temporary file.
  seq 1 400000 >big.txt
  run pack big.eek big.txt src/single.txt
  mkdir cut
  printf 'old' >cut/BIG.TXT
  (trap '' XFSZ; ulimit -f 1000; eek_command extract big.eek -C cut >/dev/null 2>err.txt)
  [ $? -ne 0 ] && grep -qF 'BIG.TXT: write failed' err.txt || fail "a failed write not reported: $(cat err.txt)"
  [ "$(cat cut/BIG.TXT)" = old ] && [ "$(ls cut | tr '\n' ' ')" = "BIG.TXT SINGLE.TXT " ] ||
    fail "a failed write left: $(ls -l cut)"
fi

# --- Damaged archives ----------------------------------------------------------
if in_group damaged; then
  size=$(stat -c %s archive.eek)
  second=$(( 10 + ${#mixed} - 9 + $(od -An -tu4 -j2 -N4 archive.eek) )) # 9: "src/docs/"
  for cut in 5 20 $((second + 4)) $((second + 30)) $((size / 2)) $((size - 1)); do
    head -c "$cut" archive.eek >cut.eek
    refused "test of an archive cut at $cut" "entry " test cut.eek
    grep -q 'truncated\|cut off\|past the end' err.txt || fail "cut at $cut not called truncated: $err"
    run extract cut.eek -C cutdir
    [ "$status" -ne 0 ] || fail "extract of an archive cut at $cut: exit status 0"
    run list archive.eek cut.eek
    [ "$status" -ne 0 ] && grep -q '^cut.eek:$' out.txt || fail "list of an archive cut at $cut: status $status"
  done
  # Entry 2 (EMPTY.BIN) gets a negative packed size: the walk must stop there.
  cp archive.eek negative.eek
  printf '\xf0\xff\xff\xff' | dd of=negative.eek bs=1 seek=$((second + 2)) conv=notrunc status=none
  refused "negative packed size" "entry 2 at position $second" test negative.eek
  { cat archive.eek; printf '\x02\x00'; } >trailing.eek
  refused "trailing bytes" "entry 6" test trailing.eek
  # Streams that decode without complaint but are not what a writer produces.
  { printf '\x02\x00'; le32 6; le32 7; printf 'A\x02xyz\x81\x04'; } >window.eek
  refused "copy outside the window" "entry 1 (A)" test window.eek
  grep -qF 'history window' err.txt || fail "copy outside the window not described: $err"
  { printf '\x02\x00'; le32 3; le32 2; printf 'B\x05xy'; } >literal.eek
  refused "literal run cut short" "entry 1 (B)" test literal.eek
  { printf '\x02\x00'; le32 4; le32 9; printf 'C\x02xyz'; } >sizes.eek
  refused "unpacked size mismatch" "entry 1 (C)" test sizes.eek
  # A damaged entry never takes its name (a file there stays as it was); the
  # sound entries after it are extracted.
  for damaged in sizes:C window:A literal:B; do
    archive=${damaged%:*}.eek name=${damaged#*:}
    { cat "$archive"; entry D after; } >then-sound.eek
    rm -rf damaged && mkdir damaged && printf old >damaged/$name
    run extract then-sound.eek -C damaged
    [ "$status" -eq 1 ] && grep -q "entry 1 ($name).*damaged entries are not extracted" err.txt ||
      fail "extract of $archive: status $status, $err"
    [ "$(cat damaged/$name)" = old ] && [ "$(cat damaged/D)" = after ] && [ "$(ls damaged | wc -l)" -eq 2 ] ||
      fail "extract of $archive: a damaged entry took its name, or the sound one did not: $(ls damaged)"
  done
fi

# --- Outputs that are not plain files, and outputs that are inputs ----------
if in_group outputs; then
  run pack plain.eek src/docs
  written_through "pack" plain.eek pack OUT src/docs
  # Standard output as the archive, a pipe or a file: the archive alone.
  skip_on windows "pack to /dev/stdout" "a Unix name of the standard output" || {
    "$eek" pack /dev/stdout src/docs 2>err.txt | cat >piped.eek && cmp -s piped.eek plain.eek || fail "pack to /dev/stdout, a pipe: $(cat err.txt)"
    "$eek" pack /dev/stdout src/docs >redirected.eek 2>err.txt && cmp -s redirected.eek plain.eek || fail "pack to /dev/stdout, a file: $(cat err.txt)"
  }
  run checksum plain.eek --record plain.check
  written_through "checksum --record" plain.check checksum plain.eek --record OUT
  refused "record over its archive" "is the archive being checksummed" checksum plain.eek --record plain.eek
  [ "$(cat plain.eek | wc -c)" -gt 16 ] || fail "checksum --record replaced its archive"
  ln -s src/docs/numbers.txt input-link.eek
  refused "pack into one of its inputs through a link" "is the archive being written" pack input-link.eek src/docs
  [ -L input-link.eek ] && cmp -s src/docs/numbers.txt <(seq 1 200000) || fail "pack replaced its input"
  # extract into a folder named by a symbolic link writes into the folder.
  mkdir real-dest && ln -s real-dest dest-link
  run extract archive.eek -C dest-link
  [ "$status" -eq 0 ] && [ -L dest-link ] && cmp -s src/docs/noise.bin real-dest/NOISE.BIN || fail "extract through a linked folder: $err"
  skip_on windows "a SIGKILL in the middle of a pack" "a Unix signal; Windows ends eek.exe otherwise" || {
    # A SIGKILL in the middle of a pack leaves nothing beside the archive.
    mkdir killed && head -c 3000000 /dev/urandom >killed/big.bin
    killed_in_phase archive killed pack killed/out.eek killed/big.bin
    [ "$(ls killed)" = big.bin ] || fail "a killed pack left: $(ls killed)"
  }
fi

# --- For scripts: list -q and --json, test -q ---------------------------------
if in_group scripts; then
  run list -q archive.eek
  [ "$status" -eq 0 ] && [ "$(tr '\n' /<out.txt)" = "MIXED CASE.TXT/EMPTY.BIN/NOISE.BIN/NUMBERS.TXT/SINGLE.TXT/" ] ||
    fail "list -q: $(cat out.txt) $err"
  head -c $(($(stat -c %s archive.eek) - 1)) archive.eek >cut.eek
  { printf '\x02\x00'; le32 4; le32 9; printf 'C\x02xyz'; } >sizes.eek
  run list --json archive.eek cut.eek
  [ "$status" -eq 1 ] && [ "$(wc -l <out.txt)" -eq 2 ] || fail "list --json: status $status, $(cat out.txt)"
  python3 - out.txt "$(stat -c %s src/docs/numbers.txt)" <<'PY' || fail "list --json: $(cat out.txt)"
import json, sys
first, second = [json.loads(line) for line in open(sys.argv[1])]
assert first["archive"] == "archive.eek" and first["installer"] is None and first["damage"] is None
names = {e["name"]: e for e in first["entries"]}
assert sorted(names) == ["EMPTY.BIN", "MIXED CASE.TXT", "NOISE.BIN", "NUMBERS.TXT", "SINGLE.TXT"]
assert names["NUMBERS.TXT"]["unpacked"] == int(sys.argv[2])
assert first["packed"] == sum(e["packed"] for e in first["entries"])
assert second["archive"] == "cut.eek" and "truncated" in second["damage"]
PY
  run test -q archive.eek
  [ "$status" -eq 0 ] && [ ! -s out.txt ] || fail "test -q of a sound archive: $(cat out.txt)"
  run test -q sizes.eek
  [ "$status" -eq 1 ] && [ -s err.txt ] || fail "test -q of a damaged archive: status $status"
fi

# --- Names and paths as Windows gives them -------------------------------------
# eek.exe reads its arguments as UTF-16 and opens files by wide names; the host
# eek runs the same cases with UTF-8 arguments where they apply.
if in_group windows_paths; then
  mkdir -p names/latin names/kanji
  printf 1 >names/latin/café.txt
  printf 2 >names/kanji/日本語.txt
  run pack café.eek names/latin/café.txt
  [ "$status" -eq 0 ] && grep -qaF $'caf\xe9.txt' café.eek || fail "café.txt as an argument: $err"
  run extract café.eek -C 出力
  [ "$(cat 出力/CAFÉ.TXT 2>/dev/null)" = 1 ] || fail "café.eek into 出力: $(ls 出力) $err"
  run --code-page 932 pack 日本語.eek names/kanji/日本語.txt
  [ "$status" -eq 0 ] || fail "日本語.txt under code page 932: $err"
  run --code-page 932 extract 日本語.eek -C 出力
  [ "$(cat 出力/日本語.TXT 2>/dev/null)" = 2 ] || fail "日本語.TXT not extracted: $(ls 出力) $err"
  refused "a name outside code page 1252" "names/kanji/日本語.txt: code page 1252 cannot represent the name \"日本語.txt\"" pack outside1252.eek names/kanji/日本語.txt
  [ ! -e outside1252.eek ] || fail "a refused name left an archive"

  # The output is an input by file index: a hard link, or on Windows the same
  # name in other case or as a drive path.
  cp src/single.txt single.before
  ln src/single.txt hard.eek
  refused "pack into a hard link of its input" "is the archive being written" pack hard.eek src/single.txt
  ln archive.eek hard-archive.eek
  refused "a record into a hard link of its archive" "is the archive being checksummed" checksum archive.eek --record hard-archive.eek
  skip_on host "the output named in other case" "names that differ in case are other files on Linux" || {
    refused "pack into its input named in other case" "is the archive being written" pack SRC/SINGLE.TXT src/single.txt
    refused "pack into its input named by drive" "is the archive being written" pack "$(shown_path "$PWD/src/single.txt")" src/single.txt
  }
  cmp -s src/single.txt single.before && [ "$(stat -c %h src/single.txt)" -eq 2 ] || fail "pack replaced its input"

  # An existing output is replaced whole (nothing of a longer old file stays)
  # or not at all (a refused command leaves it byte for byte).
  run pack fresh.eek src/docs
  head -c 3000000 /dev/zero >replaced.eek
  run pack replaced.eek src/docs
  [ "$status" -eq 0 ] && cmp -s replaced.eek fresh.eek || fail "an existing output not replaced whole: $err"
  cp archive.eek kept.eek
  refused "pack of a missing input over an existing output" "src/none" pack kept.eek src/docs src/none
  cmp -s kept.eek archive.eek || fail "a refused pack changed the existing output"
  # An output another program holds open without sharing cannot be replaced:
  # it stays whole, with the reason, and nothing is left beside it.
  skip_on host "an output held open by another program" "Linux replaces a file by name whoever holds it open" || {
    holder=${EEK_HOLD_FILE:?the holder program, hold_file.exe of tests/hardening}
    cp archive.eek held.eek
    "${eek_runner[@]}" "$holder" held.eek >/dev/null 2>&1 &
    holder_run=$!
    for _ in $(seq 100); do [ -e held.eek.held ] && break; sleep 0.1; done
    [ -e held.eek.held ] || fail "held.eek could not be held open"
    refused "pack over an output held open" "held.eek: cannot replace the existing file" pack held.eek src/docs
    touch held.eek.release
    wait "$holder_run"
    cmp -s held.eek archive.eek || fail "an output held open was changed"
    rm -f held.eek.held held.eek.release
  }
  # A read-only output is left as it is, with the reason.
  cp archive.eek readonly.eek && chmod a-w readonly.eek
  refused "pack over a read-only output" "readonly.eek: cannot create the archive: is read-only" pack readonly.eek src/docs
  run extract archive.eek -C .
  [ "$status" -eq 0 ] && chmod a-w SINGLE.TXT && run extract archive.eek -C .
  [ "$status" -eq 1 ] && [ "$(grep -c . err.txt)" -eq 1 ] && err_holds "SINGLE.TXT: is read-only; skipped" ||
    fail "extract over a read-only file: status $status, $err"
  cmp -s readonly.eek archive.eek || fail "a read-only output was replaced"
  [ -z "$(ls | grep -E '^(kept|readonly|replaced|held)\.eek.')" ] || fail "temporary files left: $(ls)"

  # A path longer than 260 characters (Windows' MAX_PATH), for the archive, its
  # input and the folder extracted into.
  deep=$PWD/$(printf 'a%.0s' {1..90})/$(printf 'b%.0s' {1..90})/$(printf 'c%.0s' {1..90})
  mkdir -p "$deep" && cp src/docs/numbers.txt "$deep/numbers.txt"
  [ "${#deep}" -gt 270 ] || fail "the deep folder is only ${#deep} characters"
  run pack "$deep/deep.eek" "$deep/numbers.txt"
  [ "$status" -eq 0 ] || fail "pack in a path of ${#deep} characters: $err"
  run extract "$deep/deep.eek" -C "$deep/out"
  [ "$status" -eq 0 ] && cmp -s "$deep/out/NUMBERS.TXT" src/docs/numbers.txt || fail "extract into a long path: $err"
  run test "$deep/deep.eek"
  [ "$status" -eq 0 ] || fail "test of an archive in a long path: $err"
fi

finish eek_cli_test
