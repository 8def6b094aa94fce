#!/usr/bin/env python3
"""Copies an installer with one change, for the runs and checks of damaged
installers:

  literal IN OUT  one byte of the payload (RCDATA 10) changed inside a literal
                  run of its first entry: the entry walk and the decoder see
                  nothing wrong, only the payload check record can tell;
  unnamed IN OUT  the payload check record (RCDATA "PAYLOADCHECK") renamed, so
                  that the installer finds none, as in installers made before
                  the record;
  version IN OUT  the record's version changed: a malformed record;
  code_page IN OUT  the code page in the (version 2) record changed to 59999,
                  which no system has;
  code_page_1252 IN OUT  the code page in the record changed to 1252, as a
                  publisher's tool that mislabels names of another code page
                  writes it;
  version1 IN OUT  the record made one of version 1, as installers made before
                  the code page carry: its first 16 bytes, version 1.
"""
import struct
import sys


def resource_leaves(data):
    """{(type, name): (data offset, size, name string offset or None, data entry offset)}."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    directories = pe + 24 + (96 if magic == 0x10B else 112)
    sections = pe + 24 + optional_size

    def file_offset(rva):
        for i in range(sections_count):
            size, address, raw_size, raw_pointer = struct.unpack_from("<IIII", data, sections + 40 * i + 8)
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw_pointer
        raise SystemExit(f"address {rva:#x} is in no section")

    base = file_offset(struct.unpack_from("<I", data, directories + 2 * 8)[0])

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + numbered):
            name, value = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", data, at)[0]
                yield data[at + 2:at + 2 + 2 * length].decode("utf-16-le"), value, at + 2
            else:
                yield name, value, None

    leaves = {}
    for type_id, type_value, _ in entries(0):
        for name, name_value, name_at in entries(type_value & 0x7FFFFFFF):
            for _, leaf, _ in entries(name_value & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                leaves.setdefault((type_id, name), (file_offset(rva), size, name_at, base + leaf))
    return leaves


def literal_byte(payload):
    """The offset of a byte in the middle of a literal run of the first entry."""
    if payload[0] != 0x02:
        raise SystemExit("the payload is not in the tagged layout")
    at = 10 + payload[1] + 1
    end = at + struct.unpack_from("<i", payload, 2)[0]
    while at < end:
        token = payload[at]
        if token < 0x80:
            if token >= 2:
                return at + 1 + (token + 1) // 2
            at += token + 2
        else:
            at += 2
    raise SystemExit("the first entry has no literal run of three bytes or more")


def main():
    mode, source, target = sys.argv[1:4]
    data = bytearray(open(source, "rb").read())
    leaves = resource_leaves(data)
    payload_at, payload_size, _, _ = leaves[(10, 10)]
    record_at, _, record_name_at, record_entry = leaves[(10, "PAYLOADCHECK")]
    if mode == "literal":
        data[payload_at + literal_byte(data[payload_at:payload_at + payload_size])] ^= 0x01
    elif mode == "unnamed":
        data[record_name_at:record_name_at + 24] = "PAYLOADCHECX".encode("utf-16-le")
    elif mode == "version":
        data[record_at + 4] ^= 0x02
    elif mode == "code_page":
        struct.pack_into("<I", data, record_at + 16, 59999)
    elif mode == "code_page_1252":
        struct.pack_into("<I", data, record_at + 16, 1252)
    elif mode == "version1":
        struct.pack_into("<I", data, record_at + 4, 1)
        struct.pack_into("<I", data, record_entry + 4, 16)
    else:
        raise SystemExit(f"unknown mode {mode}")
    open(target, "wb").write(data)


main()
