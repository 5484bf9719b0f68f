#!/usr/bin/env python3
"""Draws the 27 transport button glyphs as 16-colour BMP files.

Every glyph is a simple shape on a transparent olive (128, 128, 0) background. The
shape's outline is grey where it faces up or left and white where it faces down or
right; its inside is black (enabled), left empty (disabled) or coloured (coloured).

    python3 tools/make_glyphs.py [output-directory]

The default output directory is resources/glyphs next to this tool.
"""

import os
import sys

from bmp4 import bmp4

# The 16-colour palette, index -> (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, OLIVE, GREY, WHITE = 0, 3, 8, 15
RED, GREEN, YELLOW, BLUE = 9, 10, 11, 12
TRANSPARENT = OLIVE


# Shapes: each returns the set of (x, y) pixels the body covers.

def bar(x0, x1, y0, y1):
    return {(x, y) for x in range(x0, x1 + 1) for y in range(y0, y1 + 1)}


def triangle_right(base_x, top, rows):
    """A triangle whose upright side is at base_x and whose tip points right."""
    half = rows // 2
    pixels = set()
    for i in range(rows):
        reach = half - abs(i - half)
        pixels |= {(x, top + i) for x in range(base_x, base_x + reach + 1)}
    return pixels


def triangle_left(base_x, top, rows):
    """A triangle whose upright side is at base_x and whose tip points left."""
    half = rows // 2
    pixels = set()
    for i in range(rows):
        reach = half - abs(i - half)
        pixels |= {(x, top + i) for x in range(base_x - reach, base_x + 1)}
    return pixels


def triangle_up(apex_x, top, rows):
    pixels = set()
    for i in range(rows):
        pixels |= {(x, top + i) for x in range(apex_x - i, apex_x + i + 1)}
    return pixels


def disc(cx, cy, radius):
    r2 = radius * radius
    return {(x, y)
            for x in range(int(cx - radius) - 1, int(cx + radius) + 2)
            for y in range(int(cy - radius) - 1, int(cy + radius) + 2)
            if (x - cx) ** 2 + (y - cy) ** 2 <= r2}


# name: (size, shape, colour, disabled size or None)
GLYPHS = {
    "MPPLAY": ((17, 16), triangle_right(5, 0, 15), GREEN),
    "MPPAUSE": ((13, 16), bar(1, 4, 1, 14) | bar(8, 11, 1, 14), YELLOW),
    "MPSTOP": ((17, 16), bar(4, 12, 3, 11), RED),
    "MPNEXT": ((21, 16), triangle_right(5, 0, 15) | bar(14, 16, 0, 14), BLUE),
    "MPPREV": ((20, 16), bar(4, 6, 0, 14) | triangle_left(15, 0, 15), BLUE),
    "MPSTEP": ((21, 16), bar(5, 7, 0, 14) | triangle_right(9, 0, 15), BLUE),
    "MPBACK": ((21, 16), triangle_left(12, 0, 15) | bar(14, 16, 0, 14), BLUE),
    "MPRECORD": ((13, 13), disc(6, 6, 5.5), RED),
    "MPEJECT": ((19, 16), triangle_up(9, 1, 8) | bar(2, 16, 11, 13), BLUE),
}
# The disabled pause glyph is one column narrower.
DISABLED_SIZE = {"MPPAUSE": (12, 16)}
ORDER = ["MPPLAY", "MPPAUSE", "MPSTOP", "MPNEXT", "MPPREV", "MPSTEP", "MPBACK",
         "MPRECORD", "MPEJECT"]


def render(size, body, fill):
    """Pixel rows (top first) of palette indexes. fill None leaves the inside clear."""
    width, height = size
    rows = [[TRANSPARENT] * width for _ in range(height)]
    for (x, y) in body:
        if not (0 <= x < width and 0 <= y < height):
            raise ValueError("shape pixel (%d, %d) outside %dx%d" % (x, y, width, height))
        up_or_left = (x, y - 1) not in body or (x - 1, y) not in body
        down_or_right = (x, y + 1) not in body or (x + 1, y) not in body
        if up_or_left:
            rows[y][x] = GREY
        elif down_or_right:
            rows[y][x] = WHITE
        elif fill is not None:
            rows[y][x] = fill
    return rows


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "glyphs")
    os.makedirs(out, exist_ok=True)
    for name in ORDER:
        size, body, colour = GLYPHS[name]
        variants = {
            "EN": (size, BLACK),
            "DI": (DISABLED_SIZE.get(name, size), None),
            "CL": (size, colour),
        }
        for prefix, (vsize, fill) in variants.items():
            data = bmp4(render(vsize, body, fill), PALETTE)
            with open(os.path.join(out, "%s_%s.bmp" % (prefix, name)), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
