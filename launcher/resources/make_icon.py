#!/usr/bin/env python3
"""Draws the launcher's icon (a ring with a V on a dark disc) and writes it
as a Windows .ico with 16, 32 and 48 pixel 32-bit images.

usage: make_icon.py <output.ico>
"""
import math
import struct
import sys


def pixel(x, y, size):
    c = (size - 1) / 2.0
    dx, dy = (x - c) / (size / 2.0), (y - c) / (size / 2.0)
    r = math.hypot(dx, dy)
    if r > 0.98:
        return (0, 0, 0, 0)
    # The V: two strokes meeting at the bottom centre.
    v = abs(abs(dx) - (0.55 - (dy + 0.55) * 0.5)) < 0.14 and -0.55 <= dy <= 0.55
    if v:
        return (240, 200, 60, 255)
    if r > 0.84:
        return (60, 170, 230, 255)
    return (40, 30, 70, 255)


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up rows
        for x in range(size):
            r, g, b, a = pixel(x, y, size)
            rows.append(struct.pack("<BBBB", b, g, r, a))
    colour = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    return header + colour + mask


def main():
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    open(sys.argv[1], "wb").write(out)


if __name__ == "__main__":
    main()
