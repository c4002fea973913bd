#!/usr/bin/env python3
"""Writes the launcher's application icon.

    python3 resources/make_icon.py <out.ico>

One .ico with 18 DIB images: 9 sizes, each at 32 bpp (straight alpha) and at 8 bpp (a fixed
256-colour palette), every image with its AND mask. The artwork is drawn here: a rounded
square in a calm blue gradient with a white arrow pointing down into a tray. Shapes are signed
distance fields, so edges are anti-aliased without supersampling; the straight edges and
stroke widths are snapped to whole pixels per size so the small sizes stay crisp.
Standard library only; the output is byte-identical on every run.
"""

import math
import struct
import sys

SIZES = (16, 20, 24, 32, 40, 48, 64, 96, 256)
SMALL = 24  # up to this size the arrowhead is drawn pixel by pixel

TOP_BLUE = (92, 158, 226)
BOTTOM_BLUE = (38, 100, 176)
WHITE = (255, 255, 255)

# 8-bpp palette: index 0 black (the colour under transparent pixels), index 1 white, then
# GRADIENT_STEPS rows of the background gradient, each with WHITE_STEPS mixes towards white
# (the anti-aliased glyph edges). Unused entries stay black.
GRADIENT_STEPS = 27
WHITE_STEPS = 9  # mixes 0/9 .. 8/9; 9/9 is index 1
PALETTE_SIZE = 256


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def background_colour(g):
    return lerp(TOP_BLUE, BOTTOM_BLUE, g)


def palette():
    colours = [(0, 0, 0), WHITE]
    for gi in range(GRADIENT_STEPS):
        base = background_colour(gi / (GRADIENT_STEPS - 1))
        for wi in range(WHITE_STEPS):
            colours.append(tuple(int(round(c)) for c in lerp(base, WHITE, wi / WHITE_STEPS)))
    assert len(colours) <= PALETTE_SIZE
    return colours + [(0, 0, 0)] * (PALETTE_SIZE - len(colours))


def palette_index(g, w):
    wi = int(round(w * WHITE_STEPS))
    if wi >= WHITE_STEPS:
        return 1
    gi = int(round(g * (GRADIENT_STEPS - 1)))
    return 2 + gi * WHITE_STEPS + wi


def sd_rounded_box(px, py, x0, y0, x1, y1, r):
    """Signed distance from (px, py) to the box [x0,x1]x[y0,y1] with corner radius r."""
    qx = abs(px - (x0 + x1) / 2) - ((x1 - x0) / 2 - r)
    qy = abs(py - (y0 + y1) / 2) - ((y1 - y0) / 2 - r)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def sd_polygon(px, py, points):
    """Signed distance from (px, py) to a simple polygon (negative inside)."""
    best = float("inf")
    sign = 1.0
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        ex, ey = xj - xi, yj - yi
        wx, wy = px - xi, py - yi
        t = min(max((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0), 1.0)
        bx, by = wx - ex * t, wy - ey * t
        best = min(best, bx * bx + by * by)
        above, below, left = py >= yi, py < yj, ex * wy > ey * wx
        if (above and below and left) or (not above and not below and not left):
            sign = -sign
        j = i
    return sign * math.sqrt(best)


def coverage(distance):
    return min(max(0.5 - distance, 0.0), 1.0)


def layout(size):
    """The artwork's geometry for one size, in pixels, y downwards."""
    s = size
    margin = s // 16
    box = (margin, margin, s - margin, s - margin)
    radius = 0.2 * (s - 2 * margin)

    stroke = max(1, round(0.075 * s))
    left = round(0.22 * s)
    right = s - left
    bottom = round(0.80 * s)
    rim = round(0.56 * s)

    centre = s / 2  # every size is even: a pixel boundary
    shaft = max(1, round(0.065 * s))  # half width
    head = max(3, round(0.2 * s))  # half width
    shaft_top = round(0.19 * s)
    head_base = round(0.43 * s)
    if s <= SMALL:
        # A pixel staircase, one pixel narrower each row down to two pixels: crisper than
        # an anti-aliased diagonal at these sizes. Its tip keeps two pixels above the tray.
        head_base = min(head_base, bottom - stroke - 2 - head)
        half = [(centre + shaft, shaft_top), (centre + shaft, head_base)]
        for k in range(head):
            half += [(centre + head - k, head_base + k), (centre + head - k, head_base + k + 1)]
        arrow = half + [(2 * centre - x, y) for x, y in reversed(half)]
    else:
        tip = round(0.64 * s)
        arrow = [(centre - shaft, shaft_top), (centre + shaft, shaft_top),
                 (centre + shaft, head_base), (centre + head, head_base), (centre, tip),
                 (centre - head, head_base), (centre - shaft, head_base)]

    tray = [(left, rim), (left + stroke, rim), (left + stroke, bottom - stroke),
            (right - stroke, bottom - stroke), (right - stroke, rim), (right, rim),
            (right, bottom), (left, bottom)]
    return box, radius, (arrow, tray)


def render(size):
    """Rows top-down of (alpha, gradient position, white mix), all in [0, 1]."""
    box, radius, glyphs = layout(size)
    x0, y0, x1, y1 = box
    bounds = [(min(p[0] for p in g) - 1, min(p[1] for p in g) - 1,
               max(p[0] for p in g) + 1, max(p[1] for p in g) + 1) for g in glyphs]
    rows = []
    for y in range(size):
        py = y + 0.5
        g = min(max((py - y0) / (y1 - y0), 0.0), 1.0)
        row = []
        for x in range(size):
            px = x + 0.5
            alpha = coverage(sd_rounded_box(px, py, x0, y0, x1, y1, radius))
            white = 0.0
            for glyph, (bx0, by0, bx1, by1) in zip(glyphs, bounds):
                if bx0 <= px <= bx1 and by0 <= py <= by1:
                    white = max(white, coverage(sd_polygon(px, py, glyph)))
            row.append((alpha, g, white))
        rows.append(row)
    return rows


def mask_rows(rows, transparent):
    """The AND mask, bottom-up, 1 bit a pixel (1 = transparent), rows padded to 4 bytes."""
    out = bytearray()
    stride = ((len(rows[0]) + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, pixel in enumerate(row):
            if transparent(pixel):
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def bitmap_header(size, bits, image_bytes):
    # BITMAPINFOHEADER: the height counts the colour rows and the mask rows.
    return struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, image_bytes, 0, 0, 0, 0)


def dib_32(rows):
    size = len(rows)
    pixels = bytearray()
    for row in reversed(rows):
        for alpha, g, w in row:
            a = int(round(alpha * 255))
            if a == 0:
                pixels += b"\0\0\0\0"
                continue
            r, gr, b = (int(round(c)) for c in lerp(background_colour(g), WHITE, w))
            pixels += bytes((b, gr, r, a))
    mask = mask_rows(rows, lambda p: int(round(p[0] * 255)) == 0)
    return bitmap_header(size, 32, len(pixels) + len(mask)) + bytes(pixels) + mask


def dib_8(rows, colours):
    size = len(rows)
    opaque = lambda p: p[0] >= 0.5
    stride = (size + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, p in enumerate(row):
            line[x] = palette_index(p[1], p[2]) if opaque(p) else 0
        pixels += line
    mask = mask_rows(rows, lambda p: not opaque(p))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    return bitmap_header(size, 8, len(pixels) + len(mask)) + table + bytes(pixels) + mask


def build_icon():
    colours = palette()
    images = []  # (size, bits, dib)
    for size in SIZES:
        rows = render(size)
        images.append((size, 32, dib_32(rows)))
        images.append((size, 8, dib_8(rows, colours)))

    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for size, bits, dib in images:
        side = size if size < 256 else 0  # 0 stands for 256
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, bits, len(dib), offset)
        offset += len(dib)
        data += dib
    return header + entries + data


def main(argv):
    if len(argv) != 2:
        print(f"usage: {argv[0]} <out.ico>", file=sys.stderr)
        return 2
    icon = build_icon()
    with open(argv[1], "wb") as f:
        f.write(icon)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
