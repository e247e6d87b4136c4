"""Packs one or two JPEG planes into the launcher's AJPG skin container.

Layout (little-endian): "AJPG", u16 width, u16 height, u32 flags, then the
alpha record (u32 length + JPEG) when stored, then the colour record.
"""
import struct

HAS_ALPHA = 0x01
HAS_COLOUR = 0x02
ALPHA_ZERO = 0x04
COLOUR_ZERO = 0x08
ALPHA_FULL = 0x10
COLOUR_FULL = 0x20


def alpha_stored(flags):
    return bool(flags & HAS_ALPHA) and not flags & (ALPHA_ZERO | ALPHA_FULL)


def colour_stored(flags):
    return bool(flags & HAS_COLOUR) and not flags & (COLOUR_ZERO | COLOUR_FULL)


def pack(width, height, flags, alpha_jpeg, colour_jpeg):
    if not (0 <= width <= 0xFFFF and 0 <= height <= 0xFFFF):
        raise ValueError("picture too large for the container")
    out = bytearray(b"AJPG")
    out += struct.pack("<HHI", width, height, flags)
    for stored, plane in ((alpha_stored(flags), alpha_jpeg), (colour_stored(flags), colour_jpeg)):
        if not stored:
            continue
        if not plane:
            raise ValueError("flags store a plane that was not given")
        out += struct.pack("<I", len(plane))
        out += plane
    return bytes(out)
