#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into fuzz/corpus/<target>/.

Hand-made archives (worked entries in both layouts, token streams that clip,
cut and malformed headers) and a few small archives packed with eek, which
must have been built (build/host/eek, or the path in $EEK). Run it again after
changing a sample; the corpus files are kept in the repository.
"""
import os
import pathlib
import shutil
import struct
import subprocess
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
WALK = HERE / "corpus" / "archive_walk"
NAMES = HERE / "corpus" / "entry_name"


def decoded_length(stream):
    """The number of bytes a token stream produces."""
    produced, i = 0, 0
    while i < len(stream):
        control = stream[i]
        if control < 0x80:
            produced += min(control + 1, len(stream) - i - 1)
            i += control + 2
        elif i + 1 < len(stream):
            window, position = min(produced, 256), stream[i + 1]
            if 1 <= position <= window:
                produced += min(control - 124, window - position + 1)
            i += 2
        else:
            break
    return produced


def tagged(name, data, unpacked=None):
    """A tagged-layout entry: tag, name length - 1, packed and unpacked size."""
    if unpacked is None:
        unpacked = decoded_length(data)
    return bytes([0x02, len(name) - 1]) + struct.pack("<ii", len(data), unpacked) + name + data


def fixed(name, end_field, data):
    """A fixed-layout entry: 12-byte padded name, 8-byte end position text."""
    return name.ljust(12, b" ")[:12] + end_field.rjust(8, b" ")[:8] + data


def literals(data):
    """Literal runs of at most 128 bytes that produce data."""
    out = b""
    for i in range(0, len(data), 128):
        run = data[i : i + 128]
        out += bytes([len(run) - 1]) + run
    return out


def numbered(count):
    return bytes((i % 251) + 1 for i in range(count))


# 28 packed bytes that make a 48-byte text: a literal run, then two copies.
README_TEXT = b"Ostrel Tarvine64 setup\r\n"[:23]
README_DATA = literals(README_TEXT) + bytes([0x80 + 21 - 4, 1, 0x80, 1])
ABCD = bytes.fromhex("03 41 42 43 44 80 01 84 01 00 21")
CLIPPED = bytes.fromhex("03 41 42 43 44 80 03 80 00")
WINDOW_300 = literals(numbered(300)) + bytes.fromhex("80 FD")
# A copy control byte as the very last data byte.
TRAILING_COPY = bytes.fromhex("03 41 42 43 44 FF")
# 0x7F with 128 literal bytes, 0xFF copying 131 bytes, 0x80 copying 4.
LARGEST_TOKENS = literals(numbered(256)) + bytes.fromhex("FF 01 80 80")
# Enough copies for several output writes of about 2 KB.
MANY_WRITES = literals(numbered(256)) + bytes.fromhex("FF 01") * 60


def hand_made():
    readme = tagged(b"README.TXT", README_DATA, 48)
    assert readme[:20] == bytes.fromhex("02 09 1C 00 00 00 30 00 00 00 52 45 41 44 4D 45 2E 54 58 54")
    readme_fixed = fixed(b"README.TXT", b"48", README_DATA)
    samples = {
        "readme_tagged": readme,
        "readme_fixed": readme_fixed,
        "abcd_stream": tagged(b"abcd.txt", ABCD),
        "clipped_copies": tagged(b"CLIP", CLIPPED),
        "window_300": tagged(b"window.bin", WINDOW_300),
        "trailing_copy_byte": tagged(b"T", TRAILING_COPY),
        "largest_tokens": tagged(b"big", LARGEST_TOKENS),
        "many_writes": tagged(b"copies.bin", MANY_WRITES),
        "two_entries_fixed": fixed(b"A.TXT", b"33", ABCD + b"\x00!")
        + fixed(b"  b.txt", b"64", ABCD),
        "empty_then_entry": tagged(b"EMPTY", b"") + tagged(b" Setup.exe ", ABCD),
        "longest_name": tagged(b"N" * 252 + b".TXT", ABCD),
        "one_byte_name": tagged(b"x", ABCD),
        "fixed_end_fraction": fixed(b"HALF", b"  36.5", ABCD + b"\x00!\x00?"),
        # 35.5 rounds to 36, where the second entry starts.
        "fixed_end_odd_half": fixed(b"ODD", b"35.5", ABCD + b"\x00!\x01?!")
        + fixed(b"NEXT", b"69", ABCD + b"\x00!"),
        "fixed_end_blanks_sign": fixed(b"SIGN", b"\t\r\n+31", ABCD),
        "fixed_first_byte_02": fixed(b"\x02README", b"31", ABCD),
        "unsafe_names": tagged(b"..\\EVIL.TXT", ABCD)
        + tagged(b"CON.TXT", ABCD)
        + tagged(b"NUL .LOG", ABCD)
        + tagged(b"A:B", ABCD)
        + tagged(b"SETUP.EXE.", ABCD)
        + tagged(b"ok.txt", ABCD),
        "same_name_twice": tagged(b"twice", ABCD) + tagged(b"TWICE", CLIPPED),
        # Cut and malformed archives.
        "cut_in_header": readme[:6],
        "cut_in_name": readme[:14],
        "cut_in_data": readme + tagged(b"NEXT", ABCD)[:-3],
        "cut_fixed_header": readme_fixed[:16],
        "negative_packed_size": tagged(b"NEG", ABCD)[:2] + struct.pack("<ii", -16, 17) + b"NEG" + ABCD,
        "packed_past_2gib": tagged(b"FAR", ABCD)[:2] + struct.pack("<ii", 0x7FFFFFF0, 17) + b"FAR" + ABCD,
        "fixed_end_backwards": fixed(b"A", b"31", ABCD) + fixed(b"B", b"12", ABCD),
        "fixed_end_before_data": fixed(b"A", b"19", ABCD),
        "fixed_end_past_2gib": fixed(b"A", b"99999999", ABCD),
        "fixed_end_negative": fixed(b"A", b"-1", ABCD),
        "only_tag": b"\x02",
    }
    return samples


def packed(eek):
    """Small archives packed with eek from a few made-up files."""
    samples = {}
    work = pathlib.Path(tempfile.mkdtemp())
    try:
        files = work / "files"
        files.mkdir()
        (files / "readme.txt").write_bytes(b"Tarvine64 setup files.\r\n" * 12)
        (files / "empty.dat").write_bytes(b"")
        (files / "pattern.bin").write_bytes(bytes(range(256)) * 20)
        (files / "Setup.exe").write_bytes(b"MZ" + bytes(60) + numbered(200))
        (files / "table.csv").write_bytes(b"".join(b"%d,%d\n" % (i, i * i) for i in range(300)))
        nested = work / "inner.eek"
        subprocess.run([eek, "pack", str(nested), str(files / "readme.txt")], check=True)
        for name in ["readme.txt", "pattern.bin", "table.csv"]:
            out = work / (name + ".eek")
            subprocess.run([eek, "pack", str(out), str(files / name)], check=True)
            samples["eek_" + name.replace(".", "_")] = out.read_bytes()
        out = work / "several.eek"
        subprocess.run([eek, "pack", str(out), str(files / "empty.dat"), str(files / "Setup.exe"),
                        str(nested)], check=True)
        samples["eek_several"] = out.read_bytes()
    finally:
        shutil.rmtree(work)
    return samples


NAME_SAMPLES = {
    "readme": b"README.TXT",
    "padded_tagged": b" Setup.exe ",
    "padded_fixed": b"  Setup.exe ",
    "con": b"CON",
    "con_extension": b"con.txt",
    "nul_space_dot": b"NUL .TXT",
    "conin": b"CONIN$.log",
    "com_superscript": b"COM\xb9",
    "lpt_digit": b"lpt9.prn",
    "dot": b".",
    "dotdot": b"..",
    "backslash": b"..\\x",
    "slash": b"a/b",
    "drive": b"C:x",
    "trailing_dot": b"x.",
    "trailing_space": b"x ",
    "control": b"\x01x",
    "delete": b"x\x7f",
    "wildcards": b"<a>|?*\"",
    "latin1": b"\xe9t\xe9.txt",
    "ydiaeresis": b"\xff\x9a\x9c\x9e\xb5\xdf",
    "longest": b"n" * 256,
}


def main():
    eek = os.environ.get("EEK", str(HERE.parent / "build" / "host" / "eek"))
    for folder in (WALK, NAMES):
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
    walk = hand_made()
    walk.update(packed(eek))
    for name, data in walk.items():
        (WALK / name).write_bytes(data)
    (WALK / "empty").write_bytes(b"")
    for name, data in NAME_SAMPLES.items():
        (NAMES / name).write_bytes(data)


if __name__ == "__main__":
    main()
