#!/usr/bin/env python3
"""Writes the files of a folder (in name order) as an archive in the tagged
layout whose entries are stored: literal runs of 128 bytes, no copy tokens.
The benchmarks compare with it what decoding costs beyond reading and writing.

usage: make-stored-archive.py FOLDER OUT.eek
"""
import os
import sys


def main():
    folder, out = sys.argv[1], sys.argv[2]
    with open(out, "wb") as archive:
        for name in sorted(os.listdir(folder)):
            with open(os.path.join(folder, name), "rb") as f:
                data = f.read()
            tokens = bytearray()
            for start in range(0, len(data), 128):
                run = data[start:start + 128]
                tokens.append(len(run) - 1)
                tokens += run
            stored_name = name.upper().encode()
            archive.write(bytes([0x02, len(stored_name) - 1]) + len(tokens).to_bytes(4, "little") +
                          len(data).to_bytes(4, "little") + stored_name + tokens)


if __name__ == "__main__":
    main()
