#!/usr/bin/env python3
"""Writes the control's toolbox image: a 16 x 15 pixel, 4 bits per pixel
Windows bitmap (a small joystick-like glyph on the grey toolbox background),
so that no binary image lives in the source tree."""
import struct
import sys

WIDTH, HEIGHT = 16, 15
# The 16 colours of the standard VGA palette, as red, green, blue.
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128),
    (128, 0, 0), (128, 0, 128), (128, 128, 0), (192, 192, 192),
    (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255),
    (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
# Rows from the top; '.' is the background (7), digits are palette indexes.
ROWS = [
    "................",
    "......9999......",
    ".....999999.....",
    ".....999999.....",
    "......9999......",
    ".......00.......",
    ".......00.......",
    ".......00.......",
    "...0000000000...",
    "..088888888880..",
    "..08cc8888aa80..",
    "..088888888880..",
    "..088888888880..",
    "...0000000000...",
    "................",
]


def pixel_rows():
    assert len(ROWS) == HEIGHT and all(len(r) == WIDTH for r in ROWS)
    for row in reversed(ROWS):  # bottom-up, as a BMP stores them
        values = [7 if c == "." else int(c, 16) for c in row]
        packed = bytes((values[i] << 4) | values[i + 1] for i in range(0, WIDTH, 2))
        yield packed + b"\0" * ((4 - len(packed) % 4) % 4)


def main(path):
    pixels = b"".join(pixel_rows())
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    with open(path, "wb") as out:
        out.write(header + info + palette + pixels)


if __name__ == "__main__":
    main(sys.argv[1])
