#!/usr/bin/env python3
"""Payload archives for the hardening runs, in the tagged layout the installer
carries, written here rather than by eek so that any name can be stored.

usage: make_payload.py hostile OUT.eek EXPECTED_DIR EEK
       make_payload.py cut OUT_PREFIX EXPECTED_DIR
       make_payload.py files OUT.eek NAME=PATH...

hostile: an archive whose entries alternate between names that must never be
  written (parent parts, separators, drives, UNC and device paths, streams,
  reserved device names, trailing dots, control and wildcard characters; last,
  two names too long for the path, which the installer reports) and good
  entries; the good entries' files go to EXPECTED_DIR under the names the
  installer writes them, the refused names, one per line with \\xNN escapes,
  to EXPECTED_DIR/../refused-names.txt.
  Every refused entry's data holds the text HOSTILE-<n>, so that a file
  written from it is found wherever it lands. The installation folder and the
  path limit come from EEK installer --facts.
cut: three archives OUT_PREFIX-header.eek, -name.eek and -data.eek, the same
  entries cut inside the third entry's header, name and data; EXPECTED_DIR
  gets the two entries that come whole before the cut, EXPECTED_DIR/../
  cut-third.dat the whole data of the third.
files: the files given, under the given entry names.

Entry data is a token stream of literal runs with copies wherever the data
repeats the 64 bytes before it, so the walk meets both kinds of token.
"""
import os
import random
import subprocess
import sys


def pack(data):
    """Compresses data into the entry token stream."""
    out = bytearray()
    produced = 0
    i = 0
    literal = bytearray()

    def flush():
        while literal:
            run = literal[:128]
            out.append(len(run) - 1)
            out.extend(run)
            del literal[:128]

    while i < len(data):
        # A copy of the 64 bytes just produced, when the data repeats them.
        if produced >= 64 and data[i:i + 64] == data[i - 64:i]:
            flush()
            window = min(produced, 256)
            out.extend((0x80 + 64 - 4, window - 64 + 1))
            i += 64
            produced += 64
            continue
        literal.append(data[i])
        i += 1
        produced += 1
    flush()
    return bytes(out)


def entry(name, data):
    """One tagged-layout entry: tag, name length less one, sizes, name, data."""
    packed = pack(data)
    assert 1 <= len(name) <= 256
    header = bytes([0x02, len(name) - 1])
    header += len(packed).to_bytes(4, "little") + len(data).to_bytes(4, "little")
    return header + name + packed


def good_data(rng, index):
    """Data of a good entry: random bytes with repeated stretches, sizes that
    cross the 2048-byte read chunks."""
    size = rng.choice([0, 1, 700, 2048, 2049, 5000, 9000])
    block = bytearray()
    while len(block) < size:
        piece = bytes(rng.getrandbits(8) for _ in range(64))
        block += piece * rng.choice([1, 1, 3])
    return bytes(block[:size]) + b"GOOD-%d" % index if size else b""


HOSTILE_NAMES = [
    b"..\\ESCAPE1.TXT", b"../ESCAPE2.TXT", b"..", b".", b"...", b"SUB\\FILE.TXT",
    b"SUB/FILE.TXT", b"\\ESCAPE3.TXT", b"/ESCAPE4.TXT", b"C:\\ESCAPE5.TXT", b"C:ESCAPE6.TXT",
    b"Z:\\tmp\\ESCAPE7.TXT", b"\\\\?\\C:\\ESCAPE8.TXT", b"\\\\.\\C:\\ESCAPE9.TXT",
    b"\\\\localhost\\C$\\ESCAPE10.TXT", b"\\??\\C:\\ESCAPE11.TXT", b"SETUP.EXE:X",
    b"SETUP.EXE::$DATA", b"GOOD0.TXT:ALT", b"CON", b"con", b"NUL", b"PRN", b"AUX", b"COM1",
    b"LPT9", b"COM\xb9", b"CONIN$", b"CONOUT$", b"NUL.TXT", b"Aux.Log", b"COM2.TAR.GZ",
    b"PRN .TXT", b"SETUP.EXE.", b"SETUP.EXE. .", b"README. ", b"A\x07B.TXT", b"TAB\tX",
    b"NEW\nLINE", b"DEL\x7f", b"\x01", b"A<B", b"A>B", b"A\"B", b"A|B", b"A?B", b"*.*",
    b"A*", b"Y" * 256,
]


def escaped(name):
    return "".join(chr(b) if 0x20 < b < 0x7F and b != 0x5C else "\\x%02x" % b for b in name)


def installer_facts(eek):
    """What the installer and eek agree on, by name."""
    lines = subprocess.run([eek, "installer", "--facts"], check=True, capture_output=True,
                           text=True).stdout.splitlines()
    return dict(line.split("=", 1) for line in lines)


def write_hostile(out_path, expected_dir, eek):
    facts = installer_facts(eek)
    # UTF-16 units left for a name after the installation folder and its "\".
    room = int(facts["path_limit"]) - len(facts["install_folder"]) - 1
    hostile_names = HOSTILE_NAMES[:-1] + [b"X" * (room + 1)] + HOSTILE_NAMES[-1:]
    rng = random.Random(20240611)
    os.makedirs(expected_dir, exist_ok=True)
    archive = bytearray()
    # The longest name that still fits the path limit is a good entry too.
    goods = [b"GOOD%d.TXT" % i for i in range(len(hostile_names))]
    goods[len(goods) // 2] = b"L" * room
    for index, bad in enumerate(hostile_names):
        archive += entry(bad, b"HOSTILE-%d " % index + bytes(rng.getrandbits(8) for _ in range(40)))
        data = good_data(rng, index)
        archive += entry(goods[index], data)
        with open(os.path.join(expected_dir, goods[index].decode()), "wb") as f:
            f.write(data)
    # Spaces around a name are trimmed, so this one is the good SPACED.TXT.
    archive += entry(b"  spaced.txt  ", b"spaced")
    with open(os.path.join(expected_dir, "SPACED.TXT"), "wb") as f:
        f.write(b"spaced")
    with open(out_path, "wb") as f:
        f.write(archive)
    with open(os.path.join(os.path.dirname(os.path.abspath(expected_dir)),
                           "refused-names.txt"), "w") as f:
        f.write("".join(escaped(name) + "\n" for name in hostile_names))


def write_cut(prefix, expected_dir):
    rng = random.Random(7)
    os.makedirs(expected_dir, exist_ok=True)
    whole = bytearray()
    for index, name in enumerate([b"FIRST.DAT", b"SECOND.DAT"]):
        data = good_data(rng, index) or b"x"
        whole += entry(name, data)
        with open(os.path.join(expected_dir, name.decode()), "wb") as f:
            f.write(data)
    third_data = bytes(rng.getrandbits(8) for _ in range(6000))
    third = entry(b"THIRD.DAT", third_data)
    with open(os.path.join(os.path.dirname(os.path.abspath(expected_dir)), "cut-third.dat"),
              "wb") as f:
        f.write(third_data)
    cuts = {"header": 6, "name": 10 + 4, "data": 10 + 9 + 3000}
    for where, keep in cuts.items():
        with open("%s-%s.eek" % (prefix, where), "wb") as f:
            f.write(whole + third[:keep])


def write_files(out_path, pairs):
    archive = bytearray()
    for pair in pairs:
        name, path = pair.split("=", 1)
        with open(path, "rb") as f:
            archive += entry(name.encode(), f.read())
    with open(out_path, "wb") as f:
        f.write(archive)


def main():
    kind = sys.argv[1]
    if kind == "hostile":
        write_hostile(sys.argv[2], sys.argv[3], sys.argv[4])
    elif kind == "cut":
        write_cut(sys.argv[2], sys.argv[3])
    elif kind == "files":
        write_files(sys.argv[2], sys.argv[3:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
