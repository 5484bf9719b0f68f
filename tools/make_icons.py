#!/usr/bin/env python3
"""Draws Tolvane's icons and writes them as 16-colour BMP resources and PNG files.

    tools/make_icons.py [repository root]

Writes resources/icons/{tolvane,tray-armed,tray-off}-{16,32}.bmp (compiled into the
program) and resources/desktop/icons/hicolor/{16x16,32x32}/apps/tolvane.png (installed
for the desktop). Standard library only; the output is the same on every run.
"""
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


def png(picture):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    for line in picture.pixels:
        raw.append(0)
        for index in line:
            raw.extend(PALETTE[index])
    ihdr = struct.pack(">IIBBBBB", picture.size, picture.size, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print(path)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    icons = os.path.join(root, "resources", "icons")
    desktop = os.path.join(root, "resources", "desktop", "icons", "hicolor")
    pictures = {
        "tolvane-16": icon16(LIME),
        "tolvane-32": icon32(LIME),
        # The tray shows the program's icon while armed, its display dark while off.
        "tray-armed-16": icon16(LIME),
        "tray-armed-32": icon32(LIME),
        "tray-off-16": icon16(GREY),
        "tray-off-32": icon32(GREY),
    }
    for name, picture in pictures.items():
        write(os.path.join(icons, name + ".bmp"), bmp4(picture.pixels, PALETTE))
    write(os.path.join(desktop, "16x16", "apps", "tolvane.png"), png(pictures["tolvane-16"]))
    write(os.path.join(desktop, "32x32", "apps", "tolvane.png"), png(pictures["tolvane-32"]))


if __name__ == "__main__":
    main()
