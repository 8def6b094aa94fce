#!/usr/bin/env bash
# eek installer: installers made from the shipped stubs, from small stubs
# built here with the MinGW tools and from the win32 build's own when present,
# read back with binutils' objdump and windres; the default stub beside eek;
# refused stubs and payloads, and installers too large to start, leave no file
# behind; in groups that run alone.
# Usage: eek_installer_test.sh GROUP|all EEK_COMMAND...
#   EEK_COMMAND: the host's eek, or a runner and eek.exe (eek_script_support.sh)
set -u
source_dir=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../..")
win32_build=$source_dir/build/win32
eek_time_limit=60
source "$(dirname "${BASH_SOURCE[0]}")/eek_script_support.sh" "$@"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# refused DESCRIPTION TEXT CMD...: fails with one line naming TEXT, and no
# installer or temporary file appears.
refused() {
  local what=$1 text=$2
  shift 2
  rm -f made.exe
  run "$@"
  [ "$status" -ne 0 ] || fail "$what: exit status 0"
  [ "$(wc -l <err.txt)" -eq 1 ] || fail "$what: expected one line on stderr, got: $err"
  err_holds "$text" || fail "$what: stderr does not name '$text': $err"
  [ ! -e made.exe ] || fail "$what: made.exe was written"
  ! ls made.exe.* eek-payload.eek.* >/dev/null 2>&1 ||
    fail "$what: a temporary file was left: $(ls made.exe.* eek-payload.eek.*)"
}

objdump_for() { # the objdump that reads EXE's format
  if [ "$(od -An -tx1 -j $(($(od -An -tu4 -j60 -N4 "$1") + 24)) -N2 "$1" | tr -d ' ')" = 0b02 ]; then
    echo x86_64-w64-mingw32-objdump
  else
    echo i686-w64-mingw32-objdump
  fi
}

# resource_bytes EXE TYPE_ID OUT [NAME]: the data of every resource of the
# type (a hex id as objdump shows it, "0x00000a") concatenated into OUT, or of
# those of the name only (as objdump shows it: "ID: 0x00000a," or
# ": PAYLOADCHECK,"), found through objdump's listing of the resource
# directory; prints the count.
resource_bytes() {
  local exe=$1 type=$2 out=$3 name=${4:-} tool base section_vma section_offset
  tool=$(objdump_for "$exe")
  base=$($tool -p "$exe" | awk '$1 == "ImageBase" {print $2}')
  read -r section_vma section_offset < <($tool -h "$exe" |
    awk '$2 == ".rsrc" {print $4, $6}')
  : >"$out"
  $tool -p "$exe" | awk -v type="ID: $type," -v name="$name" '
    /^[0-9a-f]+   Entry:/ { inside = index($0, type) > 0 }
    /^[0-9a-f]+     Entry:/ { named = name == "" || index($0, name) > 0 }
    inside && named && /Leaf: Addr:/ { gsub(",", ""); print $4, $6 }' >leaves.txt
  while read -r rva size; do
    local offset=$((rva + 0x$base - 0x$section_vma + 0x$section_offset))
    tail -c +$((offset + 1)) "$exe" | head -c $((size)) >>"$out"
  done <leaves.txt
  wc -l <leaves.txt
}

# pefile as Debian installs it (python3-pefile), whichever python3 comes first.
pefile_python=
for python in python3 /usr/bin/python3; do
  if command -v "$python" >/dev/null && "$python" -c 'import pefile' 2>/dev/null; then
    pefile_python=$python
    break
  fi
done
[ -n "$pefile_python" ] && command -v 7z >/dev/null && command -v wrestool >/dev/null ||
  fail "pefile, 7z or wrestool missing; run scripts/setup.sh"

# --- Stubs ------------------------------------------------------------------
stubs=()
# Built with the MinGW tools for the groups that read them.
if { in_group stubs || in_group refusals || in_group ceiling; } && command -v i686-w64-mingw32-gcc >/dev/null &&
  command -v x86_64-w64-mingw32-windres >/dev/null && command -v i686-w64-mingw32-objdump >/dev/null; then
  python3 "$source_dir/installer/make_ostrel_icon.py" ostrel.ico
  printf '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"/>\n' >app.manifest
  cat >stub.rc <<'RC'
OSTREL ICON "ostrel.ico"
1 24 "app.manifest"
1 VERSIONINFO
FILEVERSION 1,2,3,4
BEGIN
END
RC
  printf '#include <windows.h>\nint WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) {\n  (void)a; (void)b; (void)c; (void)d;\n  return 1;\n}\n' >stub.c
  for arch in i686 x86_64; do
    $arch-w64-mingw32-windres -O coff -i stub.rc -o stub-$arch.o &&
      $arch-w64-mingw32-gcc -mwindows stub.c stub-$arch.o -o stub-$arch.exe ||
      fail "building the $arch stub"
    stubs+=("$work/stub-$arch.exe")
  done
  i686-w64-mingw32-gcc -mwindows stub.c -o plain.exe || fail "building a stub without resources"
  i686-w64-mingw32-gcc -mconsole stub.c stub-i686.o -o console.exe || fail "building a console stub"
fi
shipped=("$source_dir"/stubs/win32/OstrelTarvine64SetupStub.exe "$source_dir"/stubs/win64/OstrelTarvine64SetupStub.exe)
for file in "${shipped[@]}" "$win32_build/installer/OstrelTarvine64SetupStub.exe" \
  "$win32_build/OstrelTarvine64Setup.exe"; do
  [ -f "$file" ] && stubs+=("$file")
done
# The stub of the refusals and of the groups after them.
stub=${stubs[0]}

mkdir src
printf 'setup program\n' >src/setup.exe
seq 1 30000 >src/data.txt
run pack reference.eek src
[ "$status" -eq 0 ] || fail "pack: $err"
head -c 5000 /dev/urandom >raw.bin
run checksum reference.eek --record reference.check
[ "$status" -eq 0 ] || fail "checksum: $err"
# The CRC-32 that zlib (as zip and gzip) computes, and the record's layout.
crc=$(python3 -c 'import sys, zlib; print("%08x" % zlib.crc32(open(sys.argv[1], "rb").read()))' reference.eek)
[ "$(cat out.txt)" = "reference.eek: $(stat -c %s reference.eek) bytes, CRC-32 $crc" ] ||
  fail "checksum output: $(cat out.txt), zlib's CRC-32: $crc"
python3 -c 'import struct, sys; sys.stdout.buffer.write(b"EEKC" + struct.pack("<IIII", 2, int(sys.argv[1]), int(sys.argv[2], 16), 1252))' \
  "$(stat -c %s reference.eek)" "$crc" >expected.check
cmp -s reference.check expected.check || fail "the check record: $(od -An -tx1 reference.check)"
mkdir src2
printf 'other setup\n' >src2/SETUP.EXE
run pack other.eek src2
run checksum other.eek --record other.check
payload_id="ID: 0x00000a,"
record_id=": PAYLOADCHECK,"


# --- Installers from every stub ---------------------------------------------
if in_group stubs; then
  for stub in "${stubs[@]}"; do
    name=$(basename "$stub")
    rm -f made.exe again.exe
    run installer --stub "$stub" -o made.exe src
    [ "$status" -eq 0 ] || { fail "$name: installer: $err"; continue; }
    ! ls made.exe.* eek-payload.eek.* >/dev/null 2>&1 || fail "$name: a temporary file was left"
    [ "$(resource_bytes made.exe 0x00000a payload.bin "$payload_id")" -eq 1 ] || fail "$name: not one payload"
    cmp -s payload.bin reference.eek || fail "$name: the payload differs from eek pack's archive"
    [ "$(resource_bytes made.exe 0x00000a record.bin "$record_id")" -eq 1 ] || fail "$name: not one check record"
    cmp -s record.bin reference.check || fail "$name: the check record differs from eek checksum's"
    resource_bytes "$stub" 0x00000e stub-group.bin >/dev/null
    resource_bytes made.exe 0x00000e made-group.bin >/dev/null
    [ -s made-group.bin ] && cmp -s stub-group.bin made-group.bin || fail "$name: icon group changed"
    resource_bytes "$stub" 0x000003 stub-icons.bin >/dev/null
    resource_bytes made.exe 0x000003 made-icons.bin >/dev/null
    cmp -s stub-icons.bin made-icons.bin || fail "$name: icons changed"
    x86_64-w64-mingw32-windres -i made.exe -O rc >made.rc 2>windres.txt || fail "$name: windres: $(cat windres.txt)"
    grep -q '^"OSTREL" 14' made.rc || fail "$name: windres does not see the icon group"
    [ "$(grep -c '^10 RCDATA' made.rc)" -eq 1 ] || fail "$name: windres does not see one payload"
    [ "$(grep -c '^"PAYLOADCHECK" RCDATA' made.rc)" -eq 1 ] || fail "$name: windres does not see one check record"
    # Long section names live in the COFF string table after the sections.
    if $(objdump_for "$stub") -h "$stub" | grep -q '\.eh_frame'; then
      $(objdump_for made.exe) -h made.exe | grep -q '\.eh_frame' || fail "$name: section names lost"
    fi
    # Three readers see the stub's sections, in the stub's order, and nothing
    # else: objdump, pefile (with the header checksum and the base relocations
    # moved behind the resources) and 7-Zip.
    sections() { $(objdump_for "$1") -h "$1" | awk '$1 ~ /^[0-9]+$/ {print $2}' | tr '\n' ' '; }
    [ "$(sections made.exe)" = "$(sections "$stub")" ] ||
      fail "$name: objdump sees sections $(sections made.exe), the stub $(sections "$stub")"
    $(objdump_for made.exe) -p made.exe >objdump-p.txt 2>&1 && grep -q 'PAYLOADCHECK' objdump-p.txt ||
      fail "$name: objdump -p: $(tail -n 3 objdump-p.txt)"
    "$pefile_python" - "$stub" made.exe reference.eek >pefile.txt 2>&1 <<'PY' || fail "$name: pefile: $(cat pefile.txt)"
import sys, pefile
stub, made = pefile.PE(sys.argv[1]), pefile.PE(sys.argv[2])
names = lambda pe: [s.Name.rstrip(b"\0").decode() for s in pe.sections]
assert names(made) == names(stub), (names(made), names(stub))
assert made.OPTIONAL_HEADER.CheckSum == made.generate_checksum(), "header checksum"
last = made.sections[-1]
assert made.OPTIONAL_HEADER.SizeOfImage == (last.VirtualAddress + last.Misc_VirtualSize + 0xFFF) & ~0xFFF
payload = [e for t in made.DIRECTORY_ENTRY_RESOURCE.entries if t.id == 10
           for e in t.directory.entries if e.id == 10][0].directory.entries[0].data.struct
data = made.get_data(payload.OffsetToData, payload.Size)
assert data == open(sys.argv[3], "rb").read(), "payload"
# The relocations, moved, still fix the same places as the stub's.
blocks = lambda pe: [(b.struct.VirtualAddress, [(e.rva, e.type) for e in b.entries])
                     for b in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", [])]
assert blocks(made) == blocks(stub), "base relocations"
PY
    7z l made.exe >7z.txt 2>&1 && grep -q '\.rsrc/RCDATA/10' 7z.txt && ! grep -q 'oldrsrc' 7z.txt ||
      fail "$name: 7z l: $(tail -n 5 7z.txt)"
    run installer --check made.exe
    [ "$status" -eq 0 ] || fail "$name: check: $err"
    grep -q 'icon group "OSTREL": present' out.txt || fail "$name: check does not see the icon"
    grep -q 'SETUP.EXE' out.txt && grep -q '(payload): OK, 2 entries' out.txt &&
      grep -qF "payload check: RCDATA \"PAYLOADCHECK\", $(stat -c %s reference.eek) bytes, CRC-32 $crc, names in code page 1252: matches" out.txt ||
      fail "$name: check output: $(cat out.txt)"
      grep -q '^Authenticode signature: absent$' out.txt || fail "$name: check output: $(cat out.txt)"
    # The installer read as an archive.
    run list made.exe reference.eek
    [ "$status" -eq 0 ] && [ "$(grep -c 'SETUP.EXE' out.txt)" -eq 2 ] || fail "$name: list: $err"
    run test made.exe
    [ "$status" -eq 0 ] && grep -q 'made.exe (payload): OK, 2 entries' out.txt || fail "$name: test: $err"
    rm -rf unpacked && run extract made.exe -C unpacked
    [ "$status" -eq 0 ] && cmp -s src/data.txt unpacked/DATA.TXT || fail "$name: extract: $err"
    # The checksum of an installer is its payload's, as zlib computes it.
    run checksum made.exe
    [ "$status" -eq 0 ] && [ "$(cat out.txt)" = "made.exe (payload): $(stat -c %s reference.eek) bytes, CRC-32 $crc" ] ||
      fail "$name: checksum of the installer: $(cat out.txt) $err"
    # The payload is read where the listing says it lies.
    run list --json made.exe
    python3 - out.txt made.exe reference.eek <<'PY' || fail "$name: list --json of the installer: $(cat out.txt)"
import json, sys, zlib
listing = json.loads(open(sys.argv[1]).read())
installer = listing["installer"]
data = open(sys.argv[2], "rb").read()
payload = data[installer["payloadOffset"]:installer["payloadOffset"] + installer["payloadSize"]]
assert payload == open(sys.argv[3], "rb").read()
assert installer["payloadCrc32"] == "%08x" % zlib.crc32(payload)
assert installer["checkRecord"] and installer["checkMatches"] and listing["damage"] is None
assert sorted(e["name"] for e in listing["entries"]) == ["DATA.TXT", "SETUP.EXE"]
PY
    # The installer as a stub: its payload is replaced, by an archive taken as it is.
    run installer --archive other.eek --stub made.exe -o again.exe
    [ "$status" -eq 0 ] || fail "$name: installer of an installer: $err"
    [ "$(resource_bytes again.exe 0x00000a payload.bin "$payload_id")" -eq 1 ] || fail "$name: payload duplicated"
    cmp -s payload.bin other.eek || fail "$name: --archive did not carry the file as it is"
    [ "$(resource_bytes again.exe 0x00000a record.bin "$record_id")" -eq 1 ] || fail "$name: record duplicated"
    cmp -s record.bin other.check || fail "$name: the record is not the new payload's"
  done
fi

# --- The shipped stubs and the default stub ---------------------------------
if in_group default_stub; then
  for stub in "${shipped[@]}"; do
    case "$stub" in
    */win32/*) format="PE32 i386" ;;
    *) format="PE32+ x86-64" ;;
    esac
    run installer --check "$stub"
    [ "$status" -eq 1 ] && grep -q 'carries no payload' err.txt || fail "$stub: check: $err"
    [ "$(head -n2 out.txt)" = "$stub: $format, Windows GUI subsystem"$'\n''icon group "OSTREL": present' ] ||
      fail "$stub: check output: $(cat out.txt)"
  done
  # Without --stub, eek takes the shipped 32-bit stub in its own folder;
  # --stub win32 and win64 name the shipped stubs there.
  rm -f made.exe
  run installer --stub "${shipped[0]}" -o named.exe src
  run installer --stub "${shipped[1]}" -o named64.exe src
  run installer -o made.exe src
  [ "$status" -eq 0 ] && grep -qF "(stub $(shown_path "$(dirname "$eek")/OstrelTarvine64SetupStub.exe"))" out.txt ||
    fail "installer with the default stub: $err $(cat out.txt)"
  cmp -s made.exe named.exe || fail "the default stub is not the shipped 32-bit stub"
  for arch in win32 win64; do
    rm -f made.exe && run installer --stub $arch -o made.exe src
    [ "$status" -eq 0 ] && cmp -s made.exe "$([ $arch = win32 ] && echo named.exe || echo named64.exe)" ||
      fail "--stub $arch: $err"
  done
  # Installed by cmake --install: eek in bin, the stubs in share/eek.
  mkdir -p prefix/bin prefix/share/eek/win64 && cp "$eek" prefix/bin/ && cp "${shipped[0]}" prefix/share/eek/
  cp "${shipped[1]}" prefix/share/eek/win64/
  run_installed() { eek=$work/prefix/bin/$(basename "$eek") run "$@"; }
  rm -f made.exe && run_installed installer -o made.exe src
  [ "$status" -eq 0 ] && cmp -s made.exe named.exe || fail "installed eek without its stub: $err"
  rm -f made.exe && run_installed installer --stub win64 -o made.exe src
  [ "$status" -eq 0 ] && cmp -s made.exe named64.exe || fail "installed eek, --stub win64: $err"
fi

# --- The version resource -----------------------------------------------------
if in_group version; then
  # Read back by pefile (the texts and the fixed numbers) and by wrestool; none
  # without the options, as the shipped stubs carry none.
  for stub in "${shipped[@]}"; do
    rm -f made.exe
    run installer --stub "$stub" -o made.exe --product-name "Tarvine64" --company "Ostrel Ünïcödé GmbH" \
      --file-version 1.2.3.4 --product-version 5.6 --description "Tarvine64 Setup" --copyright "© 2026 Ostrel" src
    [ "$status" -eq 0 ] || fail "$stub: version options: $err"
    "$pefile_python" - made.exe >version.txt 2>&1 <<'PY' || fail "$stub: version read by pefile: $(cat version.txt)"
import sys, pefile
pe = pefile.PE(sys.argv[1])
fixed = pe.VS_FIXEDFILEINFO[0]
assert (fixed.FileVersionMS, fixed.FileVersionLS) == (0x10002, 0x30004), "file version"
assert (fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x50006, 0), "product version"
tables = [t for info in pe.FileInfo[0] if info.Key == b"StringFileInfo" for t in info.StringTable]
assert [t.LangID for t in tables] == [b"040904B0"], tables
texts = {k.decode(): v.decode("utf-8") for k, v in tables[0].entries.items()}
assert texts == {"ProductName": "Tarvine64", "CompanyName": "Ostrel Ünïcödé GmbH",
                 "FileVersion": "1.2.3.4", "ProductVersion": "5.6",
                 "FileDescription": "Tarvine64 Setup", "LegalCopyright": "© 2026 Ostrel"}, texts
var = [v for info in pe.FileInfo[0] if info.Key == b"VarFileInfo" for v in info.Var]
assert var[0].entry == {b"Translation": "0x0409 0x04b0"}, var[0].entry
PY
    wrestool -l made.exe >wrestool.txt 2>&1 && grep -q -- '--type=16 --name=1 --language=1033' wrestool.txt ||
      fail "$stub: wrestool does not list the version resource: $(cat wrestool.txt)"
    rm -f made.exe && run installer --stub "$stub" -o made.exe src
    wrestool -l made.exe >wrestool.txt 2>&1 && ! grep -q -- '--type=16' wrestool.txt ||
      fail "$stub: a version resource without the options: $(cat wrestool.txt)"
  done
  run installer --stub "${shipped[0]}" -o made.exe --file-version 1.2.3.4.5 src
  [ "$status" -eq 2 ] && grep -q 'not a version' err.txt || fail "a five-part version: $status $err"
  skip_on windows "a text not in UTF-8" "eek.exe reads its arguments as UTF-16, which a byte cannot break" ||
    refused "a text not in UTF-8" "not UTF-8" installer --stub "${shipped[0]}" -o made.exe --company $'Ostrel \xe9' src
  mkdir alone && cp "$eek" alone/
  eek=$work/alone/$(basename "$eek") refused "no stub beside eek" "none found beside eek" installer -o made.exe src
fi

# --- Refusals ---------------------------------------------------------------
if in_group refusals; then
  refused "text as stub" "not a PE executable" installer --stub src/data.txt -o made.exe src
  head -c 1500 "$stub" >cut.exe
  refused "truncated stub" "cut.exe:" installer --stub cut.exe -o made.exe src
  if [ -f plain.exe ]; then
    refused "stub without icon" 'no icon group "OSTREL"' installer --stub plain.exe -o made.exe src
    refused "console stub" "not a Windows GUI program" installer --stub console.exe -o made.exe src
  fi
  python3 - "$stub" signed.exe <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
pe = struct.unpack_from("<I", data, 60)[0]
directories = pe + 24 + (96 if struct.unpack_from("<H", data, pe + 24)[0] == 0x10B else 112)
struct.pack_into("<II", data, directories + 4 * 8, len(data), 8)
open(sys.argv[2], "wb").write(data + bytes(8))
PY
  refused "signed stub" "signed" installer --stub signed.exe -o made.exe src
  truncate -s 2G huge.eek
  refused "2 GiB payload" "2 GiB or larger" installer --archive huge.eek --stub "$stub" -o made.exe
  rm -f huge.eek
  refused "missing input" "nothing.txt" installer --stub "$stub" -o made.exe src/nothing.txt
  mkdir folder.exe
  refused "folder as output" "is a folder" installer --stub "$stub" -o folder.exe src
  printf 'old' >made.exe
  run installer --stub src/data.txt -o made.exe src
  [ "$(cat made.exe)" = old ] || fail "a refused installer replaced the existing file"
  mkdir empty nosetup
  printf x >nosetup/readme.txt
  refused "empty payload folder" "no file" installer --stub "$stub" -o made.exe empty
  : >empty.eek
  refused "empty payload archive" "empty.eek" installer --stub "$stub" -o made.exe --archive empty.eek
  # A payload without SETUP.EXE only when the publisher says so, packed or carried.
  refused "payload without SETUP.EXE" "has no SETUP.EXE" installer --stub "$stub" -o nosetup.exe nosetup
  [ ! -e nosetup.exe ] || fail "an installer without SETUP.EXE was written"
  run pack nosetup.eek nosetup
  refused "archive without SETUP.EXE" "nosetup.eek: the payload has no SETUP.EXE" installer --stub "$stub" -o nosetup.exe --archive nosetup.eek
  for form in nosetup "--archive nosetup.eek"; do
    rm -f nosetup.exe
    run installer --no-setup --stub "$stub" -o nosetup.exe $form
    [ "$status" -eq 0 ] && [ -z "$err" ] && [ -s nosetup.exe ] || fail "--no-setup $form: status $status, $err"
  done
  # A carried archive must decode soundly; nothing is written otherwise.
  for damaged in raw.bin src/data.txt cut.eek; do
    [ "$damaged" = cut.eek ] && head -c $(($(stat -c %s reference.eek) - 3)) reference.eek >cut.eek
    rm -f made.exe
    run installer --stub "$stub" -o made.exe --archive "$damaged"
    [ "$status" -eq 1 ] && grep -q "$damaged: not a sound archive" err.txt && [ ! -e made.exe ] ||
      fail "damaged --archive $damaged: status $status, $err"
  done
  # No output may be one of the command's inputs, also through a link; the
  # input stays as it was.
  cp "$stub" stub-copy.exe && cp src/setup.exe setup-before && cp reference.eek reference-before
  ln -s src/setup.exe setup-link.exe
  refused "output is a packed file" "is a file being packed" installer --stub "$stub" -o src/setup.exe src
  refused "output links to a packed file" "is a file being packed" installer --stub "$stub" -o setup-link.exe src
  refused "output is the stub" "is the stub" installer --stub stub-copy.exe -o stub-copy.exe src
  refused "output is the archive" "is the archive being carried" installer --stub "$stub" --archive reference.eek -o reference.eek
  cmp -s src/setup.exe setup-before && cmp -s stub-copy.exe "$stub" && cmp -s reference.eek reference-before &&
    [ -L setup-link.exe ] || fail "a refused installer changed its input"
  # An output that is not a plain file is written through.
  run installer --stub "$stub" -o plain.exe src
  written_through "installer" plain.exe installer --stub "$stub" -o OUT src
  skip_on windows "a SIGKILL while the payload is packed or the installer written" "a Unix signal; Windows ends eek.exe otherwise" || {
    # A SIGKILL while the payload is being packed beside the output, or while
    # the installer itself is written there, leaves nothing there: neither
    # the packed archive nor the installer.
    mkdir -p killed/in && head -c 3000000 /dev/urandom >killed/in/big.bin && cp src/setup.exe killed/in/
    for phase in archive program; do
      killed_in_phase $phase killed installer --stub "$stub" -o killed/out.exe killed/in
      [ "$(ls killed)" = in ] || fail "an installer killed while writing $phase left: $(ls killed)"
    done
  }
  # A damaged installer extracted: the damaged entry never takes its name.
  run list --json plain.exe
  offset=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["installer"]["payloadOffset"])' out.txt)
  cp plain.exe damaged.exe
  python3 - damaged.exe "$offset" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
at = int(sys.argv[2]) + 6  # the first entry's unpacked size
struct.pack_into("<I", data, at, struct.unpack_from("<I", data, at)[0] + 5)
open(sys.argv[1], "wb").write(data)
PY
  rm -rf damaged && run extract damaged.exe -C damaged
  [ "$status" -eq 1 ] && [ ! -e damaged/DATA.TXT ] && cmp -s src/setup.exe damaged/SETUP.EXE &&
    grep -q 'damaged.exe (payload): entry 1 (DATA.TXT).*header says' err.txt || fail "extract of a damaged installer: status $status, $err $(ls damaged)"
  # An installer extracted into its own folder, named like its SETUP.EXE entry,
  # is read, not replaced.
  mkdir selfinst
  run installer --stub "$stub" -o selfinst/SETUP.EXE src
  cp selfinst/SETUP.EXE setup-copy.exe
  run extract selfinst/SETUP.EXE -C selfinst
  [ "$status" -ne 0 ] && grep -q 'SETUP.EXE: is the archive being extracted' err.txt ||
    fail "extract over its installer: $err"
  cmp -s selfinst/SETUP.EXE setup-copy.exe && cmp -s src/data.txt selfinst/DATA.TXT ||
    fail "the installer was replaced by its entry, or DATA.TXT not extracted"
  # A signed installer: osslsigncode accepts its signature, --check sees it and
  # the payload still reads.
  if command -v osslsigncode >/dev/null && command -v openssl >/dev/null; then
    run installer --stub "$stub" -o tosign.exe src
    openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=eek-test -days 2 -keyout key.pem \
      -out cert.pem >/dev/null 2>&1 || fail "making a throwaway certificate"
    osslsigncode sign -certs cert.pem -key key.pem -in tosign.exe -out signed-made.exe >/dev/null ||
      fail "osslsigncode sign"
    osslsigncode verify -CAfile cert.pem -in signed-made.exe >verify.txt 2>&1 ||
      fail "osslsigncode verify: $(tail -n 3 verify.txt)"
    run installer --check signed-made.exe
    [ "$status" -eq 0 ] && grep -q '^Authenticode signature: present' out.txt &&
      grep -q '(payload): OK, 2 entries' out.txt || fail "check of a signed installer: $err $(cat out.txt)"
  else
    fail "osslsigncode or openssl missing; run scripts/setup.sh"
  fi
  run installer -o made2.exe --check made.exe
  [ "$status" -eq 2 ] || fail "--check with -o: exit status $status"

  run installer --check "$stub"
  case "$stub" in
  */OstrelTarvine64Setup.exe) ;; # carries the demo payload
  *) [ "$status" -eq 1 ] && grep -q 'carries no payload' err.txt || fail "check of a bare stub: $err" ;;
  esac
  run installer --check damaged.exe
  [ "$status" -eq 1 ] && grep -q 'damaged.exe (payload)' err.txt || fail "check of a damaged payload: $err"
fi

# --- Installers too large in memory to start ---------------------------------
# The ceilings are facts the scripts can read; an installer whose image is past
# its format's measured ceiling is refused, folder or --archive, before
# anything is written, naming the sizes and what would fit; --past-tested-ceiling
# makes it with a warning, and --check then says that it may not start.
if in_group ceiling; then
  run installer --facts
  fact() { sed -n "s/^$1=//p" out.txt; }
  pe32_ceiling=$(fact pe32_image_ceiling) pe32plus_ceiling=$(fact pe32plus_image_ceiling)
  address_limit=$(fact pe32_address_space_limit)
  [[ "$pe32_ceiling" =~ ^[0-9]+$ && "$pe32plus_ceiling" =~ ^[0-9]+$ && "$address_limit" =~ ^[0-9]+$ ]] &&
    [ "$pe32_ceiling" -lt "$address_limit" ] && [ "$pe32_ceiling" -le "$pe32plus_ceiling" ] ||
    fail "--facts ceilings: $(cat out.txt)"
  grouped() { sed ':a;s/\B[0-9]\{3\}\>/,&/;ta' <<<"$1"; }
  # An archive past the PE32 ceiling with the shipped 32-bit stub is refused by
  # its size alone, before it is read (a sparse file does); the 64-bit stub
  # takes the same size and goes on to test the archive.
  truncate -s $((pe32_ceiling + 1)) past.eek
  refused "--archive past the PE32 ceiling" "--stub win64" installer --archive past.eek --stub win32 -o made.exe
  grepped=$(grouped "$pe32_ceiling")
  grep -qF "past the $grepped bytes" err.txt && grep -q "PE32 installer of .* (SizeOfImage)" err.txt ||
    fail "the refusal names neither the image nor the ceiling: $err"
  run installer --archive past.eek --stub win64 -o made.exe
  [ "$status" -eq 1 ] && grep -q "past.eek: not a sound archive" err.txt && ! grep -q SizeOfImage err.txt ||
    fail "--archive past the PE32 ceiling, 64-bit stub: status $status, $err"
  rm -f past.eek
  if [ -f stub-i686.exe ]; then
    # A stub that takes nearly the whole ceiling in memory (zero-filled data):
    # a payload of 2 MiB carries it past.
    printf '#include <windows.h>\nchar reserve[%d];\nint WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) {\n  (void)a; (void)b; (void)c;\n  return reserve[d];\n}\n' \
      $((pe32_ceiling - (1 << 20))) >large.c
    i686-w64-mingw32-gcc -mwindows large.c stub-i686.o -o large.exe || fail "building a large stub"
    mkdir large && cp src/setup.exe large/ && head -c $((2 << 20)) /dev/urandom >large/data.bin
    run pack large.eek large
    for form in large "--archive large.eek"; do
      refused "past the PE32 ceiling: $form" "--past-tested-ceiling makes it anyway" installer --stub large.exe -o made.exe $form
      grep -q "a payload of at most [0-9,]* bytes" err.txt || fail "$form: what would fit is not named: $err"
      rm -f made.exe && run installer --past-tested-ceiling --stub large.exe -o made.exe $form
      [ "$status" -eq 0 ] && [ -s made.exe ] && [ "$(wc -l <err.txt)" -eq 1 ] &&
        grep -qF "past the $grepped bytes (" err.txt && grep -q "^eek: warning: made.exe: .*PE32 installers were measured to start with" err.txt ||
        fail "--past-tested-ceiling $form: status $status, $err"
    done
    run installer --check made.exe
    [ "$status" -eq 1 ] && grep -q "^in memory: .* past the $grepped bytes (" out.txt &&
      grep -q '(payload): OK' out.txt && grep -q 'made.exe: larger in memory .* it may not start' err.txt ||
      fail "check of an installer past its ceiling: status $status, $err $(cat out.txt)"
    run installer --stub win32 -o within.exe src
    run installer --check within.exe
    [ "$status" -eq 0 ] && grep -q "^in memory: .* within the $grepped bytes (.*) that PE32" out.txt ||
      fail "check of an installer within its ceiling: status $status, $err $(cat out.txt)"
  fi
fi

# --- The payload check record of damaged installers ---------------------------
if in_group check_record; then
  run installer --stub "$stub" -o made.exe src
  alter="$source_dir/tests/e2e/alter_installer.py"
  python3 "$alter" literal made.exe literal.exe && run installer --check literal.exe
  [ "$status" -eq 1 ] && grep -q 'payload check: .*: does NOT match the payload' out.txt &&
    grep -q '(payload): OK' out.txt && grep -q 'does not match its check record' err.txt ||
    fail "check of a payload changed in a literal: $err $(cat out.txt)"
  # list and test read the changed payload and tell that the installer refuses it.
  for command in list test; do
    run $command literal.exe
    [ "$status" -eq 1 ] && grep -q 'literal.exe: the payload does not match its check record' err.txt ||
      fail "$command of a payload changed in a literal: $err $(cat out.txt)"
  done
  python3 "$alter" version made.exe version.exe && run installer --check version.exe
  [ "$status" -eq 1 ] && grep -q 'payload check: .* malformed' out.txt &&
    grep -q 'check record is malformed' err.txt || fail "check of a malformed record: $err $(cat out.txt)"
  python3 "$alter" unnamed made.exe unnamed.exe && run installer --check unnamed.exe
  [ "$status" -eq 0 ] && grep -q 'payload check: absent' out.txt || fail "check without a record: $err $(cat out.txt)"
  # A record of version 1, as installers made before the code page carry: read
  # and checked as before, naming no code page.
  python3 "$alter" version1 made.exe version1.exe && run installer --check version1.exe
  [ "$status" -eq 0 ] && grep -qE 'payload check: RCDATA "PAYLOADCHECK", [0-9]+ bytes, CRC-32 [0-9a-f]{8}: matches' out.txt ||
    fail "check of a version 1 record: $err $(cat out.txt)"
fi

# --- Names in the code page the record names ----------------------------------
if in_group code_page; then
  # An installer made with --code-page 932 is read in code page 932 by --check,
  # list, test and extract without --code-page; so is one with the default code
  # page under --code-page 932.
  mkdir kanji && cp src/setup.exe kanji/ && printf 4 >kanji/表.txt && printf 5 >kanji/ヂ.txt
  run --code-page 932 installer --stub "$stub" -o kanji.exe kanji
  [ "$status" -eq 0 ] || fail "installer --code-page 932: $err"
  run installer --check kanji.exe
  [ "$status" -eq 0 ] && grep -q 'names in code page 932: matches' out.txt &&
    grep -q '表.TXT' out.txt && grep -q 'ヂ.TXT' out.txt ||
    fail "check of a code page 932 installer: $err $(cat out.txt)"
  run list kanji.exe
  [ "$status" -eq 0 ] && grep -q '表.TXT' out.txt || fail "list of a code page 932 installer: $err"
  rm -rf kanji-out && run extract kanji.exe -C kanji-out
  [ "$status" -eq 0 ] && [ "$(cat kanji-out/表.TXT 2>/dev/null)$(cat kanji-out/ヂ.TXT 2>/dev/null)" = 45 ] ||
    fail "extract of a code page 932 installer: $err $(ls kanji-out)"
  mkdir latin && cp src/setup.exe latin/ && printf 6 >latin/café.txt
  run installer --stub "$stub" -o latin.exe latin
  rm -rf latin-out && run --code-page 932 extract latin.exe -C latin-out
  [ "$status" -eq 0 ] && [ "$(cat latin-out/CAFÉ.TXT 2>/dev/null)" = 6 ] ||
    fail "extract of a code page 1252 installer under --code-page 932: $err $(ls latin-out)"
  # An installer's code page is its own: an archive listed after it is read in
  # the run's.
  run pack latin.eek latin
  run list -q kanji.exe latin.eek
  [ "$status" -eq 0 ] && grep -qx 'CAFÉ.TXT' out.txt || fail "an archive listed after a code page 932 installer: $(cat out.txt)"
fi

finish eek_installer_test
