"""Writes 16-colour (4-bit) uncompressed BMP files, shared by the resource generators."""

import struct


def bmp4(rows, palette):
    """The file image of `rows` (top to bottom, each a list of palette indexes)."""
    height = len(rows)
    width = len(rows[0])
    stride = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):  # stored bottom-up
        line = bytearray()
        for i in range(0, width, 2):
            high = row[i]
            low = row[i + 1] if i + 1 < width else 0
            line.append((high << 4) | low)
        line.extend(b"\0" * (stride - len(line)))
        pixels.extend(line)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 3780, 3780, 16, 16)
    return header + info + colours + bytes(pixels)
