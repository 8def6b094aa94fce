#!/usr/bin/env python3
"""Writes the installer's icon: one 32x32 image in 16 colours (4 bits per
pixel), as an .ico file: a teal disc with a navy rim and a yellow arrow
pointing down into a white tray, transparent outside the disc.

usage: make_ostrel_icon.py OUTPUT.ico
"""
import struct
import sys

SIZE = 32
# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
NAVY, TEAL, YELLOW, WHITE = 4, 6, 11, 15


def pixel(x, y):
    """Palette index of pixel (x, y), y counted from the top; None is transparent."""
    dx, dy = x - 15.5, y - 15.5
    radius_squared = dx * dx + dy * dy
    if radius_squared > 15.8 * 15.8:
        return None
    if radius_squared > 13.5 * 13.5:
        return NAVY
    if 13 <= x <= 18 and 5 <= y <= 15:  # arrow shaft
        return YELLOW
    if 15 <= y <= 21 and abs(dx) <= 21.5 - y:  # arrow head
        return YELLOW
    if 23 <= y <= 24 and 7 <= x <= 24:  # tray bottom
        return WHITE
    if 19 <= y <= 22 and (7 <= x <= 8 or 23 <= x <= 24):  # tray sides
        return WHITE
    return TEAL


def image_bytes():
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    colours, mask = bytearray(), bytearray()
    for y in reversed(range(SIZE)):  # bitmaps are stored bottom-up
        row = [pixel(x, y) for x in range(SIZE)]
        indexes = [0 if p is None else p for p in row]
        colours += bytes((indexes[x] << 4) | indexes[x + 1] for x in range(0, SIZE, 2))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is None else 0)
        mask += bits.to_bytes(SIZE // 8, "big")
    return header + palette + bytes(colours) + bytes(mask)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    image = image_bytes()
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    with open(sys.argv[1], "wb") as out:
        out.write(directory + entry + image)


if __name__ == "__main__":
    main()
