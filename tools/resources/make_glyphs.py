#!/usr/bin/env python3
"""Draws the 27 transport button glyphs as 16-colour BMP files, for ordinary screens
and, as "<name>@2x.bmp" and "<name>@3x.bmp", for screens with two and three times
the pixels.

Every glyph is a simple shape on a transparent olive (128, 128, 0) background. The
shape's outline is grey where it faces up or left and white where it faces down or
right; its inside is black (enabled), left empty (disabled) or coloured (coloured).
The shapes are outlines in the glyph's own pixel units, so a denser glyph is the same
shape with smoother slopes and an outline as many pixels thick as the scale.

    python3 tools/resources/make_glyphs.py [output-directory]

The default output directory is resources/glyphs in the repository that holds this tool.
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


# Shapes: each is a test of a point (x, y) in glyph pixel units; a pixel belongs to
# the shape when its centre does.

def bar(x0, x1, y0, y1):
    """Pixel columns x0 to x1 and rows y0 to y1, both ends included."""
    return lambda x, y: x0 <= x < x1 + 1 and y0 <= y < y1 + 1


def triangle_right(base_x, top, rows):
    """A triangle whose upright side is column base_x and whose tip points right."""
    middle, reach = top + rows / 2, rows // 2 + 1
    return lambda x, y: (top <= y < top + rows and
                         base_x <= x < base_x + reach * (1 - abs(y - middle) / (rows / 2)))


def triangle_left(base_x, top, rows):
    """A triangle whose upright side is column base_x and whose tip points left."""
    middle, reach = top + rows / 2, rows // 2 + 1
    return lambda x, y: (top <= y < top + rows and
                         base_x + 1 - reach * (1 - abs(y - middle) / (rows / 2)) < x <= base_x + 1)


def triangle_up(apex_x, top, rows):
    """A triangle with its tip on column apex_x, one pixel wider on each side a row."""
    return lambda x, y: top <= y < top + rows and abs(x - (apex_x + 0.5)) < y - top


def disc(cx, cy, radius):
    """The pixels whose offsets from pixel (cx, cy) lie within radius."""
    return lambda x, y: (x - cx - 0.5) ** 2 + (y - cy - 0.5) ** 2 <= radius * radius


def union(*shapes):
    return lambda x, y: any(shape(x, y) for shape in shapes)


# name: (size, shape, colour)
GLYPHS = {
    "MPPLAY": ((17, 16), triangle_right(5, 0, 15), GREEN),
    "MPPAUSE": ((13, 16), union(bar(1, 4, 1, 14), bar(8, 11, 1, 14)), YELLOW),
    "MPSTOP": ((17, 16), bar(4, 12, 3, 11), RED),
    "MPNEXT": ((21, 16), union(triangle_right(5, 0, 15), bar(14, 16, 0, 14)), BLUE),
    "MPPREV": ((20, 16), union(bar(4, 6, 0, 14), triangle_left(15, 0, 15)), BLUE),
    "MPSTEP": ((21, 16), union(bar(5, 7, 0, 14), triangle_right(9, 0, 15)), BLUE),
    "MPBACK": ((21, 16), union(triangle_left(12, 0, 15), bar(14, 16, 0, 14)), BLUE),
    "MPRECORD": ((13, 13), disc(6, 6, 5.5), RED),
    "MPEJECT": ((19, 16), union(triangle_up(9, 1, 8), bar(2, 16, 11, 13)), BLUE),
}
# The disabled pause glyph is one column narrower.
DISABLED_SIZE = {"MPPAUSE": (12, 16)}
ORDER = ["MPPLAY", "MPPAUSE", "MPSTOP", "MPNEXT", "MPPREV", "MPSTEP", "MPBACK",
         "MPRECORD", "MPEJECT"]


SCALES = {1: "", 2: "@2x", 3: "@3x"}


def render(size, shape, fill, scale):
    """Pixel rows (top first) of palette indexes at `scale` pixels to a glyph pixel.
    fill None leaves the inside clear."""
    width, height = size[0] * scale, size[1] * scale
    body = {(x, y) for x in range(width) for y in range(height)
            if shape((x + 0.5) / scale, (y + 0.5) / scale)}
    # The outline is one glyph pixel thick: `scale` pixels of the picture.
    near = range(1, scale + 1)
    rows = [[TRANSPARENT] * width for _ in range(height)]
    for (x, y) in body:
        if any((x, y - d) not in body or (x - d, y) not in body for d in near):
            rows[y][x] = GREY
        elif any((x, y + d) not in body or (x + d, y) not in body for d in near):
            rows[y][x] = WHITE
        elif fill is not None:
            rows[y][x] = fill
    return rows


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "resources", "glyphs")
    os.makedirs(out, exist_ok=True)
    for name in ORDER:
        size, shape, colour = GLYPHS[name]
        variants = {
            "EN": (size, BLACK),
            "DI": (DISABLED_SIZE.get(name, size), None),
            "CL": (size, colour),
        }
        for prefix, (vsize, fill) in variants.items():
            for scale, suffix in SCALES.items():
                data = bmp4(render(vsize, shape, fill, scale), PALETTE)
                with open(os.path.join(out, "%s_%s%s.bmp" % (prefix, name, suffix)), "wb") as f:
                    f.write(data)


if __name__ == "__main__":
    main()
