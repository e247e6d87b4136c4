"""A small RGB + alpha canvas with anti-aliased shapes, in plain Python."""
import math


def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


class Canvas:
    def __init__(self, width, height, colour=(0, 0, 0), alpha=255):
        self.width = width
        self.height = height
        self.rgb = [list(colour) * width for _ in range(height)]
        self.alpha = [[alpha] * width for _ in range(height)]

    def _blend(self, x, y, colour, cover):
        row = self.rgb[y]
        i = x * 3
        for c in range(3):
            row[i + c] += (colour[c] - row[i + c]) * cover

    def shape(self, box, coverage, paint):
        """Paints paint(x, y) wherever coverage(px, py) > 0 inside box."""
        x0, y0, x1, y1 = box
        for y in range(max(0, int(y0)), min(self.height, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.width, int(math.ceil(x1)))):
                cover = coverage(x + 0.5, y + 0.5)
                if cover > 0.0:
                    self._blend(x, y, paint(x, y), cover)

    def rounded_rect(self, x0, y0, x1, y1, radius, paint):
        self.shape((x0, y0, x1, y1), rounded_coverage(x0, y0, x1, y1, radius), as_paint(paint))

    def rect(self, x0, y0, x1, y1, paint):
        paint = as_paint(paint)
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self._blend(x, y, paint(x, y), 1.0)

    def circle(self, cx, cy, radius, paint):
        def coverage(px, py):
            return clamp01(radius - math.hypot(px - cx, py - cy) + 0.5)
        self.shape((cx - radius - 1, cy - radius - 1, cx + radius + 1, cy + radius + 1), coverage,
                   as_paint(paint))

    def ring(self, cx, cy, radius, thickness, paint):
        def coverage(px, py):
            d = abs(math.hypot(px - cx, py - cy) - radius)
            return clamp01(thickness / 2.0 - d + 0.5)
        r = radius + thickness
        self.shape((cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1), coverage, as_paint(paint))

    def line(self, ax, ay, bx, by, thickness, paint):
        def coverage(px, py):
            dx, dy = bx - ax, by - ay
            t = clamp01(((px - ax) * dx + (py - ay) * dy) / float(dx * dx + dy * dy))
            d = math.hypot(px - (ax + t * dx), py - (ay + t * dy))
            return clamp01(thickness / 2.0 - d + 0.5)
        pad = thickness + 1
        box = (min(ax, bx) - pad, min(ay, by) - pad, max(ax, bx) + pad, max(ay, by) + pad)
        self.shape(box, coverage, as_paint(paint))

    def text(self, x, y, text, scale, paint, glyph_cells):
        for cx, cy, size in glyph_cells(text, scale):
            self.rect(x + cx, y + cy, x + cx + size, y + cy + size, paint)

    def set_alpha_shape(self, coverage):
        for y in range(self.height):
            row = self.alpha[y]
            for x in range(self.width):
                row[x] = int(round(255 * clamp01(coverage(x + 0.5, y + 0.5))))

    def colour_bytes(self, premultiply):
        """RGB rows from the bottom row up, as the container stores them."""
        out = bytearray()
        for y in range(self.height - 1, -1, -1):
            row = self.rgb[y]
            arow = self.alpha[y]
            for x in range(self.width):
                scale = arow[x] / 255.0 if premultiply else 1.0
                for c in range(3):
                    out.append(max(0, min(255, int(round(row[x * 3 + c] * scale)))))
        return bytes(out)

    def alpha_bytes(self):
        out = bytearray()
        for y in range(self.height - 1, -1, -1):
            out += bytes(self.alpha[y])
        return bytes(out)


def as_paint(paint):
    if callable(paint):
        return paint
    return lambda x, y: paint


def rounded_coverage(x0, y0, x1, y1, radius):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - radius, (y1 - y0) / 2.0 - radius

    def coverage(px, py):
        qx = abs(px - cx) - hx
        qy = abs(py - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        inside = min(max(qx, qy), 0.0)
        return clamp01(0.5 - (outside + inside - radius))
    return coverage


def vertical(top, bottom, y0, y1):
    def paint(x, y):
        return mix(top, bottom, clamp01((y - y0) / float(max(1, y1 - y0))))
    return paint


def horizontal(left, right, x0, x1):
    def paint(x, y):
        return mix(left, right, clamp01((x - x0) / float(max(1, x1 - x0))))
    return paint
