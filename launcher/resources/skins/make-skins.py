#!/usr/bin/env python3
"""Draws the launcher's skin pictures, compresses each plane with cjpeg and
packs them into AJPG containers, one file per resource ID, plus skins.rc.

    make-skins.py --list
    make-skins.py --cjpeg /usr/bin/cjpeg --out DIR [--quality 92]
"""
import argparse
import math
import os
import subprocess
import sys

# The build runs this from the source tree: leave no bytecode behind there.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import ajpg_pack  # noqa: E402
import pixelfont  # noqa: E402
from canvas import Canvas, clamp01, horizontal, mix, rounded_coverage, vertical  # noqa: E402

# Palette of the dark skin.
BAND = (30, 36, 49)
CONTENT_TOP = (24, 29, 39)
CONTENT_BOTTOM = (12, 14, 20)
EDGE = (72, 82, 104)
GOLD = (222, 178, 92)
GOLD_DARK = (150, 108, 46)
TEAL = (70, 182, 204)
FRAME = (9, 11, 15)
TEXT = (206, 210, 220)

MAIN_W, MAIN_H = 1069, 612
SMALL_W, SMALL_H = 352, 245
MAIN_BAND_BOTTOM = 92
SMALL_BAND_BOTTOM = 46


def emblem(canvas, cx, cy, radius):
    canvas.circle(cx, cy, radius, (18, 22, 30))
    canvas.ring(cx, cy, radius - 2, 3, GOLD)
    r = radius * 0.55
    canvas.line(cx, cy - r, cx + r, cy, 2.5, GOLD)
    canvas.line(cx + r, cy, cx, cy + r, 2.5, GOLD)
    canvas.line(cx, cy + r, cx - r, cy, 2.5, GOLD)
    canvas.line(cx - r, cy, cx, cy - r, 2.5, GOLD)
    canvas.circle(cx, cy, radius * 0.18, TEAL)


def title(canvas, x, y, scale):
    shadow = (8, 9, 12)
    canvas.text(x + 2, y + 2, "VELMOR", scale, shadow, pixelfont.glyph_cells)
    canvas.text(x, y, "VELMOR", scale, vertical(GOLD, GOLD_DARK, y, y + 7 * scale),
                pixelfont.glyph_cells)


def landscape(canvas, x0, y0, x1, y1, radius):
    """Night sky over mountain ridges: the art panel of the skin."""
    sky = vertical((36, 44, 82), (88, 70, 96), y0, y1)
    canvas.rounded_rect(x0, y0, x1, y1, radius, sky)
    clip = rounded_coverage(x0, y0, x1, y1, radius)
    moon_x, moon_y = x0 + (x1 - x0) * 0.72, y0 + (y1 - y0) * 0.22
    moon_r = max(4.0, (y1 - y0) * 0.09)
    canvas.shape((x0, y0, x1, y1),
                 lambda px, py: min(clip(px, py), clamp01(moon_r - math.hypot(px - moon_x,
                                                                              py - moon_y) + 0.5)),
                 lambda x, y: (236, 226, 196))
    layers = (((44, 40, 66), 0.45, 0.9, 1.0), ((26, 26, 42), 0.62, 1.7, 2.3),
              ((14, 15, 22), 0.80, 2.9, 0.6))
    height = float(y1 - y0)
    width = float(x1 - x0)
    for colour, level, frequency, phase in layers:
        def ridge(px, frequency=frequency, phase=phase, level=level):
            u = (px - x0) / width
            wave = (math.sin(u * frequency * 6.283 + phase) * 0.08 +
                    math.sin(u * frequency * 17.0 + phase * 3) * 0.025)
            return y0 + height * (level + wave)

        canvas.shape((x0, y0, x1, y1),
                     lambda px, py, ridge=ridge: min(clip(px, py), clamp01(py - ridge(px) + 0.5)),
                     lambda x, y, colour=colour: colour)


def skin_background(width, height, band_bottom, radius):
    canvas = Canvas(width, height, (0, 0, 0), 0)
    outer = rounded_coverage(3, 3, width - 3, height - 3, radius)
    canvas.rounded_rect(3, 3, width - 3, height - 3, radius, EDGE)
    content = vertical(CONTENT_TOP, CONTENT_BOTTOM, band_bottom, height)

    def inner_paint(x, y):
        return BAND if y < band_bottom else content(x, y)

    canvas.rounded_rect(4, 4, width - 4, height - 4, radius - 1, inner_paint)
    canvas.rect(16, band_bottom, width - 16, band_bottom + 2, horizontal(GOLD_DARK, GOLD, 16,
                                                                         width // 2))
    canvas.set_alpha_shape(outer)
    return canvas


def groove(canvas, x0, y0, x1, y1):
    canvas.rect(x0 - 1, y0 - 1, x1 + 1, y1 + 1, (52, 60, 76))
    canvas.rect(x0, y0, x1, y1, (6, 7, 10))


def main_background():
    canvas = skin_background(MAIN_W, MAIN_H, MAIN_BAND_BOTTOM, 20)
    emblem(canvas, 56, 48, 28)
    title(canvas, 98, 34, 4)
    landscape(canvas, 20, 110, 346, 492, 12)
    # Frame of the login page (the page covers 364,121 - 924,499).
    canvas.rounded_rect(356, 113, 932, 501, 6, EDGE)
    canvas.rect(360, 117, 928, 499, FRAME)
    groove(canvas, 270, 503, 837, 512)
    groove(canvas, 270, 516, 837, 525)
    for i in range(5):
        canvas.circle(960 + i * 14, 580, 2.5, mix(EDGE, GOLD, i / 4.0))
    return canvas


def small_background():
    canvas = skin_background(SMALL_W, SMALL_H, SMALL_BAND_BOTTOM, 16)
    emblem(canvas, 30, 24, 15)
    title(canvas, 54, 14, 3)
    landscape(canvas, 16, 56, SMALL_W - 16, 118, 8)
    groove(canvas, 76, 147, 277, 150)
    return canvas


def bar(width, height, left, right):
    canvas = Canvas(width, height)
    canvas.rect(0, 0, width, height, horizontal(left, right, 0, width))
    if height > 4:
        canvas.rect(0, 1, width, 2, lambda x, y: mix(horizontal(left, right, 0, width)(x, y),
                                                     (255, 255, 255), 0.35))
        canvas.rect(0, height - 1, width, height, lambda x, y: mix(
            horizontal(left, right, 0, width)(x, y), (0, 0, 0), 0.4))
    return canvas


def round_button(size, fill, glyph, glyph_colour, press):
    """Close and minimise: a disc with a glyph, on the band colour."""
    width, height = size
    canvas = Canvas(width, height, BAND)
    cx, cy = width / 2.0 + press, height / 2.0 + press
    radius = min(width, height) / 2.0 - 2
    canvas.circle(cx, cy, radius + 1, mix(fill, (255, 255, 255), 0.25))
    canvas.circle(cx, cy, radius, fill)
    arm = radius * 0.42
    if glyph == "close":
        canvas.line(cx - arm, cy - arm, cx + arm, cy + arm, 2.4, glyph_colour)
        canvas.line(cx - arm, cy + arm, cx + arm, cy - arm, 2.4, glyph_colour)
    else:
        canvas.line(cx - arm, cy + arm * 0.6, cx + arm, cy + arm * 0.6, 2.6, glyph_colour)
    return canvas


CLOSE_STATES = {
    "normal": ((128, 42, 40), (236, 226, 220), 0),
    "over": ((196, 64, 56), (255, 255, 255), 0),
    "down": ((84, 26, 24), (210, 190, 180), 1),
    "disabled": ((64, 68, 76), (118, 122, 130), 0),
}
MINIMIZE_STATES = {
    "normal": ((50, 60, 80), (220, 224, 232), 0),
    "over": ((82, 100, 132), (255, 255, 255), 0),
    "down": ((34, 40, 54), (190, 196, 206), 1),
}


def close_button(size, state):
    fill, colour, press = CLOSE_STATES[state]
    return round_button(size, fill, "close", colour, press)


def minimize_button(state):
    fill, colour, press = MINIMIZE_STATES[state]
    return round_button((30, 30), fill, "minimize", colour, press)


LINK_STATES = {
    "normal": ((54, 64, 86), (38, 45, 60), (84, 96, 120), TEXT, 0),
    "over": ((76, 92, 124), (52, 62, 84), GOLD, (255, 255, 255), 0),
    "down": ((30, 36, 48), (40, 48, 64), GOLD_DARK, GOLD, 1),
}


def link_button(label, state):
    top, bottom, border, text, press = LINK_STATES[state]
    canvas = Canvas(97, 50, BAND)
    canvas.rounded_rect(2, 4, 95, 46, 9, border)
    canvas.rounded_rect(3, 5, 94, 45, 8, vertical(top, bottom, 5, 45))
    width = pixelfont.text_width(label, 2)
    canvas.text((97 - width) // 2 + press, 18 + press, label, 2, text, pixelfont.glyph_cells)
    return canvas


def placeholder():
    canvas = Canvas(130, 49, FRAME)
    label = "LOADING..."
    width = pixelfont.text_width(label, 2)
    canvas.text((130 - width) // 2, 8, label, 2, TEXT, pixelfont.glyph_cells)
    for i in range(5):
        canvas.circle(41 + i * 12, 38, 3, mix(GOLD_DARK, TEAL, i / 4.0))
    return canvas


def banner():
    canvas = Canvas(408, 80, BAND)
    canvas.rect(0, 0, 408, 80, vertical((40, 48, 66), BAND, 0, 80))
    emblem(canvas, 44, 38, 26)
    title(canvas, 86, 21, 5)
    canvas.rect(0, 76, 408, 80, horizontal(GOLD_DARK, GOLD, 0, 408))
    return canvas


BOTH = ajpg_pack.HAS_ALPHA | ajpg_pack.HAS_COLOUR
COLOUR_ONLY = ajpg_pack.HAS_COLOUR
OPAQUE_COLOUR = ajpg_pack.HAS_COLOUR | ajpg_pack.HAS_ALPHA | ajpg_pack.ALPHA_FULL

LINKS = (("HOME", 176), ("FORUM", 167), ("SHOP", 170), ("HELP", 173))


def pictures():
    """(resource ID, flags, premultiply, draw) for every picture shipped."""
    items = [
        (132, BOTH, True, main_background),
        (160, BOTH, True, small_background),
        (161, COLOUR_ONLY, False, lambda: bar(201, 3, GOLD_DARK, GOLD)),
        (144, COLOUR_ONLY, False, lambda: bar(567, 9, (30, 110, 130), TEAL)),
        (135, COLOUR_ONLY, False, lambda: bar(567, 9, GOLD_DARK, GOLD)),
        (179, OPAQUE_COLOUR, False, placeholder),
        (151, COLOUR_ONLY, False, banner),
    ]
    for ids, size in (((180, 183, 182, 181), (26, 26)), ((137, 139, 138, None), (30, 30))):
        for picture_id, state in zip(ids, ("normal", "over", "down", "disabled")):
            if picture_id is not None:
                items.append((picture_id, OPAQUE_COLOUR, False,
                              lambda size=size, state=state: close_button(size, state)))
    items.append((152, OPAQUE_COLOUR, False, lambda: close_button((29, 30), "disabled")))
    for picture_id, state in zip((140, 142, 141), ("normal", "over", "down")):
        items.append((picture_id, OPAQUE_COLOUR, False, lambda state=state: minimize_button(state)))
    for label, first in LINKS:
        for picture_id, state in zip((first, first + 2, first + 1), ("normal", "over", "down")):
            items.append((picture_id, COLOUR_ONLY, False,
                          lambda label=label, state=state: link_button(label, state)))
    return sorted(items)


def write_netpbm(path, magic, width, height, pixels):
    with open(path, "wb") as f:
        f.write(b"%s\n%d %d\n255\n" % (magic, width, height))
        f.write(pixels)


def compress(cjpeg, quality, source, target):
    subprocess.run([cjpeg, "-quality", str(quality), "-optimize", "-outfile", target, source],
                   check=True)
    with open(target, "rb") as f:
        return f.read()


def build(picture_id, flags, premultiply, draw, cjpeg, quality, out):
    canvas = draw()
    planes = os.path.join(out, "planes")
    alpha = colour = None
    if ajpg_pack.alpha_stored(flags):
        pgm = os.path.join(planes, "%d_alpha.pgm" % picture_id)
        write_netpbm(pgm, b"P5", canvas.width, canvas.height, canvas.alpha_bytes())
        alpha = compress(cjpeg, quality, pgm, pgm[:-4] + ".jpg")
    if ajpg_pack.colour_stored(flags):
        ppm = os.path.join(planes, "%d_colour.ppm" % picture_id)
        write_netpbm(ppm, b"P6", canvas.width, canvas.height, canvas.colour_bytes(premultiply))
        colour = compress(cjpeg, quality, ppm, ppm[:-4] + ".jpg")
    container = ajpg_pack.pack(canvas.width, canvas.height, flags, alpha, colour)
    with open(os.path.join(out, "%d.ajpg" % picture_id), "wb") as f:
        f.write(container)


def write_rc(out, ids):
    lines = ["// Generated by make-skins.py: the skin pictures as \"AJPEG\" resources.\n"]
    lines += ['%d AJPEG "skins/%d.ajpg"\n' % (i, i) for i in ids]
    path = os.path.join(out, "skins.rc")
    text = "".join(lines)
    if not os.path.exists(path) or open(path).read() != text:
        with open(path, "w") as f:
            f.write(text)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--cjpeg")
    parser.add_argument("--out")
    parser.add_argument("--quality", type=int, default=92)
    args = parser.parse_args()
    items = pictures()
    if args.list:
        print(";".join(str(item[0]) for item in items))
        return 0
    os.makedirs(os.path.join(args.out, "planes"), exist_ok=True)
    for picture_id, flags, premultiply, draw in items:
        build(picture_id, flags, premultiply, draw, args.cjpeg, args.quality, args.out)
    write_rc(os.path.dirname(os.path.abspath(args.out)), [item[0] for item in items])
    return 0


if __name__ == "__main__":
    sys.exit(main())
