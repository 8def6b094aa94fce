#!/usr/bin/env python3
"""Writes the demo product's data files into a folder, the same bytes on every
run and every machine (a fixed-seed generator of its own, no library random):

  MANUAL.TXT   about 1.5 MB of chaptered text (compresses somewhat)
  TABLES.DAT   about 2.5 MB of fixed-size records with noise (compresses somewhat)
  ASSETS.PAK   1 MB of pseudo-random bytes (does not compress)

Together with setup.exe they make a payload of several megabytes, large enough
for the installer's progress window to be seen.

usage: make_demo_files.py FOLDER
"""
import os
import struct
import sys

MASK64 = (1 << 64) - 1


class Generator:
    """xorshift64*: small, fast, and the same everywhere."""

    def __init__(self, seed):
        self.state = seed & MASK64 or 1

    def next64(self):
        x = self.state
        x ^= x >> 12
        x ^= (x << 25) & MASK64
        x ^= x >> 27
        self.state = x
        return (x * 0x2545F4914F6CDD1D) & MASK64

    def below(self, bound):
        return self.next64() % bound


SYLLABLES = ["os", "trel", "tar", "vine", "ka", "lo", "mir", "den", "sa", "qu", "ist",
             "ra", "pe", "lum", "cor", "na", "vel", "tis", "or", "an", "ex", "ul"]
TOPICS = ["Installing", "Starting", "Configuring", "Updating", "Removing", "Backing up",
          "Restoring", "Licensing", "Troubleshooting", "Networking"]


def make_manual(generator, size):
    words = ["".join(SYLLABLES[generator.below(len(SYLLABLES))]
                     for _ in range(1 + generator.below(3))) for _ in range(600)]
    lines = ["Ostrel Tarvine64 - User Manual", "=" * 30, ""]
    length = sum(len(line) + 2 for line in lines)
    chapter = 0
    while length < size:
        chapter += 1
        block = ["", "Chapter %d: %s Ostrel Tarvine64" % (chapter, TOPICS[chapter % len(TOPICS)]),
                 ""]
        for _ in range(4 + generator.below(6)):
            sentence_words = [words[generator.below(len(words))] for _ in range(60)]
            text = " ".join(sentence_words).capitalize() + "."
            while len(text) > 72:
                cut = text.rfind(" ", 0, 72)
                block.append(text[:cut])
                text = text[cut + 1:]
            block.append(text)
            block.append("")
        lines += block
        length += sum(len(line) + 2 for line in block)
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


def make_tables(generator, count):
    records = []
    for index in range(count):
        kind = generator.below(8)
        value = generator.below(1 << 20)
        name = ("ITEM-%06d-%s" % (index, SYLLABLES[kind].upper())).encode("ascii").ljust(24, b" ")
        records.append(struct.pack("<IIHH24sQ", index, value, kind, 0x4F54, name,
                                   generator.next64() if kind == 0 else 0))
    return b"".join(records)


def make_assets(generator, size):
    return b"".join(struct.pack("<Q", generator.next64()) for _ in range(size // 8))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    files = {
        "MANUAL.TXT": make_manual(Generator(0x0573E1), 1_500_000),
        "TABLES.DAT": make_tables(Generator(0x7A2B64), 2_500_000 // 48),
        "ASSETS.PAK": make_assets(Generator(0x5E7A9C), 1 << 20),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
