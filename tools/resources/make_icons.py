#!/usr/bin/env python3
"""Draws Tolvane's icons and writes them as BMP resources, PNG files and an SVG.

    tools/resources/make_icons.py [repository root]

Writes resources/icons/<name>-<px>.bmp (compiled into the program): tolvane at 16, 24,
32, 48, 64 and 96 pixels, tray-armed and tray-off at 16, 24, 32, 48 and 64; and
resources/desktop/icons/hicolor/<px>x<px>/apps/tolvane.png at 16, 32, 48, 64, 128 and
256 pixels with hicolor/scalable/apps/tolvane.svg (installed for the desktop).

Up to 32 pixels each icon is drawn pixel by pixel in the 16 colours of the classic
palette. From 48 pixels on it is one drawing in shapes, the same one the SVG holds,
filled at each size with smoothed edges. Standard library only; the output is the same
on every run.
"""
import math
import os
import struct
import sys
import zlib

from bmp4 import bmp4

# The sixteen colours of a classic 4-bit palette, by index.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)

# Digits of the small display, 3 x 5 ("1" is one column wide).
SMALL_DIGITS = {
    "1": ["#", "#", "#", "#", "#"],
    "2": ["###", "..#", "###", "#..", "###"],
    "0": ["###", "#.#", "#.#", "#.#", "###"],
    ":": [".", "#", ".", "#", "."],
}
# Digits of the large display, 4 x 7 ("1" is three columns wide).
LARGE_DIGITS = {
    "1": [".#.", "##.", ".#.", ".#.", ".#.", ".#.", "###"],
    "2": [".##.", "#..#", "...#", "..#.", ".#..", "#...", "####"],
    "0": [".##.", "#..#", "#..#", "#..#", "#..#", "#..#", ".##."],
    ":": ["..", "##", "##", "..", "##", "##", ".."],
}


class Picture:
    def __init__(self, size, fill):
        self.size = size
        self.pixels = [[fill] * size for _ in range(size)]

    def set(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def rect(self, x, y, w, h, colour):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.set(xx, yy, colour)

    def text(self, x, y, text, font, colour, gap=1):
        for ch in text:
            glyph = font[ch]
            for row, line in enumerate(glyph):
                for col, cell in enumerate(line):
                    if cell == "#":
                        self.set(x + col, y + row, colour)
            x += len(glyph[0]) + gap


def icon16(digits):
    p = Picture(16, PURPLE)
    p.rect(0, 5, 16, 7, BLACK)
    p.text(1, 6, "12:00", SMALL_DIGITS, digits)
    for x, y, colour in [(1, 1, YELLOW), (5, 0, AQUA), (9, 2, RED), (13, 1, WHITE), (3, 3, LIME),
                         (11, 4, YELLOW), (2, 13, RED), (6, 14, WHITE), (10, 13, AQUA), (14, 14, YELLOW),
                         (12, 12, LIME), (0, 15, AQUA)]:
        p.set(x, y, colour)
    for x, y, colour in [(7, 2, FUCHSIA), (14, 3, AQUA), (4, 12, YELLOW)]:
        p.rect(x, y, 2, 2, colour)
    return p


def note(p, x, y, colour):
    """An eighth note: a 3 x 2 head at (x, y) with its stem and flag above it."""
    p.rect(x, y, 3, 2, colour)
    p.rect(x + 2, y - 6, 1, 6, colour)
    p.set(x + 3, y - 5, colour)
    p.set(x + 4, y - 4, colour)


def icon32(digits):
    p = Picture(32, PURPLE)
    p.rect(3, 11, 26, 11, WHITE)
    p.rect(4, 12, 24, 9, BLACK)
    p.text(6, 13, "12:00", LARGE_DIGITS, digits)
    note(p, 3, 7, YELLOW)
    note(p, 24, 6, BLUE)
    note(p, 5, 30, BLUE)
    note(p, 23, 29, YELLOW)
    for x, y, colour in [(10, 2, RED), (15, 5, AQUA), (19, 1, LIME), (13, 8, WHITE), (29, 2, FUCHSIA),
                         (1, 1, AQUA), (17, 9, YELLOW), (11, 26, RED), (15, 29, LIME), (19, 25, AQUA),
                         (30, 26, WHITE), (1, 24, FUCHSIA), (28, 9, RED), (13, 24, WHITE)]:
        p.rect(x, y, 2, 2, colour)
    for x, y, colour in [(7, 1, WHITE), (22, 3, YELLOW), (31, 14, AQUA), (0, 16, YELLOW), (17, 31, RED),
                         (10, 30, YELLOW), (27, 23, LIME), (2, 28, WHITE)]:
        p.set(x, y, colour)
    return p


def icon24(digits):
    p = Picture(24, PURPLE)
    p.rect(1, 7, 22, 10, WHITE)
    p.rect(2, 8, 20, 8, BLACK)
    p.text(5, 9, "12:00", SMALL_DIGITS, digits)
    for x, y, colour, stem in [(2, 5, YELLOW, 4), (18, 4, BLUE, 4), (4, 22, BLUE, 4), (17, 22, YELLOW, 4)]:
        p.rect(x, y, 2, 2, colour)  # a small note: head, stem, flag
        p.rect(x + 1, y - stem, 1, stem, colour)
        p.set(x + 2, y - stem + 1, colour)
    for x, y, colour in [(8, 1, RED), (12, 3, AQUA), (0, 0, AQUA), (22, 1, FUCHSIA), (9, 19, RED),
                         (13, 21, LIME), (22, 19, WHITE), (0, 18, FUCHSIA)]:
        p.rect(x, y, 2, 2, colour)
    for x, y, colour in [(5, 1, WHITE), (15, 1, LIME), (11, 6, YELLOW), (20, 6, RED), (7, 23, YELLOW),
                         (11, 18, WHITE), (20, 17, LIME)]:
        p.set(x, y, colour)
    return p


# ---- The drawing in shapes, on a 256-unit square ---------------------------------------

class Rect:
    def __init__(self, x, y, w, h, colour, radius=0.0):
        self.x, self.y, self.w, self.h, self.colour, self.r = x, y, w, h, colour, radius

    def bounds(self):
        return self.x, self.y, self.x + self.w, self.y + self.h

    def contains(self, px, py):
        if not (self.x <= px < self.x + self.w and self.y <= py < self.y + self.h):
            return False
        # Outside the rounded corners: further than r from the nearest corner's centre.
        cx = min(max(px, self.x + self.r), self.x + self.w - self.r)
        cy = min(max(py, self.y + self.r), self.y + self.h - self.r)
        return (px - cx) ** 2 + (py - cy) ** 2 <= self.r ** 2

    def svg(self):
        corner = f' rx="{fmt(self.r)}"' if self.r else ""
        return (f'<rect x="{fmt(self.x)}" y="{fmt(self.y)}" width="{fmt(self.w)}" height="{fmt(self.h)}"'
                f'{corner} fill="{hexcolour(self.colour)}"/>')


class Ellipse:
    def __init__(self, cx, cy, rx, ry, degrees, colour):
        self.cx, self.cy, self.rx, self.ry, self.colour = cx, cy, rx, ry, colour
        self.degrees = degrees
        self.cos, self.sin = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))

    def bounds(self):
        r = max(self.rx, self.ry)
        return self.cx - r, self.cy - r, self.cx + r, self.cy + r

    def contains(self, px, py):
        dx, dy = px - self.cx, py - self.cy
        u = dx * self.cos + dy * self.sin
        v = -dx * self.sin + dy * self.cos
        return (u / self.rx) ** 2 + (v / self.ry) ** 2 <= 1

    def svg(self):
        return (f'<ellipse cx="{fmt(self.cx)}" cy="{fmt(self.cy)}" rx="{fmt(self.rx)}" ry="{fmt(self.ry)}" '
                f'transform="rotate({fmt(self.degrees)} {fmt(self.cx)} {fmt(self.cy)})" '
                f'fill="{hexcolour(self.colour)}"/>')


class Polygon:
    def __init__(self, points, colour):
        self.points, self.colour = points, colour

    def bounds(self):
        xs = [x for x, _ in self.points]
        ys = [y for _, y in self.points]
        return min(xs), min(ys), max(xs), max(ys)

    def contains(self, px, py):
        inside = False
        n = len(self.points)
        for i in range(n):
            (x1, y1), (x2, y2) = self.points[i], self.points[(i + 1) % n]
            if (y1 > py) != (y2 > py) and px < x1 + (py - y1) * (x2 - x1) / (y2 - y1):
                inside = not inside
        return inside

    def svg(self):
        points = " ".join(f"{fmt(x)},{fmt(y)}" for x, y in self.points)
        return f'<polygon points="{points}" fill="{hexcolour(self.colour)}"/>'


def fmt(value):
    return f"{value:.2f}".rstrip("0").rstrip(".")


def hexcolour(index):
    return "#%02x%02x%02x" % PALETTE[index]


# Which of the seven segments (top, upper right, lower right, bottom, lower left, upper
# left, middle) each digit lights.
SEGMENTS = {"0": "abcdef", "1": "bc", "2": "abged"}


def segment_digit(x, y, w, h, t, digit, colour):
    """A seven-segment digit in the box (x, y, w, h), segments t thick with pointed ends."""
    gap = t * 0.15
    left, right = x + t / 2, x + w - t / 2
    top, middle, bottom = y + t / 2, y + h / 2, y + h - t / 2

    def across(x0, x1, yc):
        x0, x1 = x0 + gap, x1 - gap
        return [(x0, yc), (x0 + t / 2, yc - t / 2), (x1 - t / 2, yc - t / 2), (x1, yc), (x1 - t / 2, yc + t / 2),
                (x0 + t / 2, yc + t / 2)]

    def down(xc, y0, y1):
        return [(yx, xy) for xy, yx in across(y0, y1, xc)]

    shapes = {"a": across(left, right, top), "g": across(left, right, middle), "d": across(left, right, bottom),
              "f": down(left, top, middle), "b": down(right, top, middle), "e": down(left, middle, bottom),
              "c": down(right, middle, bottom)}
    return [Polygon(shapes[s], colour) for s in SEGMENTS[digit]]


def vector_note(hx, hy, colour):
    """An eighth note whose head is centred on (hx, hy)."""
    stem = hx + 6
    return [Ellipse(hx, hy, 11, 8, -25, colour), Rect(stem, hy - 46, 5, 44, colour),
            Polygon([(stem, hy - 46), (stem + 5, hy - 46), (stem + 19, hy - 31), (stem + 17, hy - 20),
                     (stem + 12, hy - 28), (stem, hy - 34)], colour)]


def sparkle(cx, cy, r, colour):
    points = []
    for i in range(8):
        angle = math.pi / 4 * i
        radius = r if i % 2 == 0 else r * 0.32
        points.append((cx + radius * math.sin(angle), cy - radius * math.cos(angle)))
    return Polygon(points, colour)


def scene(digits, rounded):
    """The icon in shapes; `rounded` gives the tile round corners (outside them it is
    transparent)."""
    shapes = [Rect(0, 0, 256, 256, PURPLE, 28 if rounded else 0),
              Rect(22, 86, 212, 92, WHITE, 8), Rect(30, 94, 196, 76, BLACK, 4)]
    x = 43
    for ch in "12:00":
        if ch == ":":
            shapes += [Rect(x, 114, 9, 9, digits), Rect(x, 138, 9, 9, digits)]
            x += 9 + 10
        else:
            shapes += segment_digit(x, 104, 30, 56, 8, ch, digits)
            x += 30 + 10
    for hx, hy, colour in [(40, 66, YELLOW), (200, 60, BLUE), (50, 238, BLUE), (190, 232, YELLOW)]:
        shapes += vector_note(hx, hy, colour)
    for cx, cy, r, colour in [(20, 18, 10, AQUA), (86, 22, 10, RED), (124, 46, 12, AQUA), (158, 16, 10, LIME),
                              (110, 70, 8, WHITE), (146, 70, 9, YELLOW), (238, 22, 11, FUCHSIA),
                              (236, 70, 8, RED), (96, 212, 10, RED), (126, 240, 11, LIME), (156, 206, 10, AQUA),
                              (240, 214, 9, WHITE), (16, 200, 10, FUCHSIA), (104, 194, 7, WHITE)]:
        shapes.append(sparkle(cx, cy, r, colour))
    return shapes


def render(shapes, size, samples=4):
    """The shapes filled at `size` pixels: rows of (r, g, b, a), edges smoothed by
    `samples` x `samples` points a pixel."""
    scale = 256 / size
    rgba = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]
    offsets = [(i + 0.5) / samples for i in range(samples)]
    for shape in shapes:
        colour = PALETTE[shape.colour]
        x0, y0, x1, y1 = shape.bounds()
        for py in range(max(0, int(y0 / scale)), min(size, int(math.ceil(y1 / scale)))):
            for px in range(max(0, int(x0 / scale)), min(size, int(math.ceil(x1 / scale)))):
                hits = sum(shape.contains((px + ox) * scale, (py + oy) * scale) for oy in offsets for ox in offsets)
                if not hits:
                    continue
                cover = hits / (samples * samples)
                pixel = rgba[py][px]
                alpha = cover + pixel[3] * (1 - cover)
                for c in range(3):
                    pixel[c] = (colour[c] * cover + pixel[c] * pixel[3] * (1 - cover)) / alpha
                pixel[3] = alpha
    return [[tuple(round(v) for v in p[:3]) + (round(p[3] * 255),) for p in row] for row in rgba]


def svg(shapes):
    body = "\n".join("  " + shape.svg() for shape in shapes)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">\n'
            f"{body}\n</svg>\n").encode()


def bmp24(rows):
    """A 24-bit BMP of opaque rows of (r, g, b, a)."""
    height, width = len(rows), len(rows[0])
    stride = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):  # stored bottom-up
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        pixels += line + b"\0" * (stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    return header + info + bytes(pixels)


def png(picture):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    """A PNG of a Picture (opaque) or of rows of (r, g, b, a)."""
    if isinstance(picture, Picture):
        picture = [[PALETTE[index] + (255,) for index in line] for line in picture.pixels]
    raw = bytearray()
    for line in picture:
        raw.append(0)
        for pixel in line:
            raw.extend(pixel)
    ihdr = struct.pack(">IIBBBBB", len(picture[0]), len(picture), 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print(path)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
    icons = os.path.join(root, "resources", "icons")
    desktop = os.path.join(root, "resources", "desktop", "icons", "hicolor")
    pixel_art = {16: icon16, 24: icon24, 32: icon32}
    # The tray shows the program's icon while armed, its display dark while off.
    variants = {"tolvane": (LIME, [16, 24, 32, 48, 64, 96]), "tray-armed": (LIME, [16, 24, 32, 48, 64]),
                "tray-off": (GREY, [16, 24, 32, 48, 64])}
    for name, (digits, sizes) in variants.items():
        for size in sizes:
            if size in pixel_art:
                data = bmp4(pixel_art[size](digits).pixels, PALETTE)
            else:
                data = bmp24(render(scene(digits, rounded=False), size))
            write(os.path.join(icons, f"{name}-{size}.bmp"), data)
    for size in [16, 32, 48, 64, 128, 256]:
        picture = pixel_art[size](LIME) if size in pixel_art else render(scene(LIME, rounded=True), size)
        write(os.path.join(desktop, f"{size}x{size}", "apps", "tolvane.png"), png(picture))
    write(os.path.join(desktop, "scalable", "apps", "tolvane.svg"), svg(scene(LIME, rounded=True)))


if __name__ == "__main__":
    main()
