#!/usr/bin/env python3
"""Draws the program icon and writes it as a Windows .ico file.

Usage: tools/make-icon.py [OUTPUT]   (default: resources/tarvelline.ico beside this folder)

The drawing is the source: a red rounded square with a white "T" and its shadow, rendered with
supersampling at 16, 20, 24, 32, 48, 64 and 256 pixels, so that Windows finds an image drawn for
each common scale (100% to 200% for the small and the large icon) instead of stretching one.
Every image has 8-bit alpha, which smooths the rounded corners: 32-bit BGRA bitmaps up to 64
pixels, and a PNG image at 256, as Windows takes it. The output is the same on every run.
"""

import os
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 48, 64, 256)
# Larger images are kept as PNG inside the icon file.
PNG_FROM = 256

# Colours as (red, green, blue).
TOP = (196, 40, 32)
BOTTOM = (112, 18, 14)
RIM = (72, 10, 8)
LETTER = (255, 255, 255)
SHADOW = (40, 4, 4)
SHADOW_OPACITY = 0.45

# Shapes in a unit square, y downwards.
MARGIN = 0.03
RADIUS = 0.2
RIM_WIDTH = 0.035
BAR = (0.22, 0.2, 0.78, 0.36)  # left, top, right, bottom
STEM = (0.41, 0.2, 0.59, 0.82)
SHADOW_OFFSET = (0.025, 0.035)


def in_rounded_square(x, y, inset):
    low, high = MARGIN + inset, 1.0 - MARGIN - inset
    radius = max(RADIUS - inset, 0.0)
    if x < low or x > high or y < low or y > high:
        return False
    cx = min(max(x, low + radius), high - radius)
    cy = min(max(y, low + radius), high - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_box(x, y, box):
    return box[0] <= x <= box[2] and box[1] <= y <= box[3]


def in_letter(x, y):
    return in_box(x, y, BAR) or in_box(x, y, STEM)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def sample(x, y):
    """Colour at one point, or None outside the icon."""
    if not in_rounded_square(x, y, 0.0):
        return None
    if not in_rounded_square(x, y, RIM_WIDTH):
        return RIM
    colour = mix(TOP, BOTTOM, y)
    if in_letter(x, y):
        return LETTER
    if in_letter(x - SHADOW_OFFSET[0], y - SHADOW_OFFSET[1]):
        return mix(colour, SHADOW, SHADOW_OPACITY)
    return colour


def render(size):
    """Rows of (red, green, blue, alpha) per pixel, top row first. Alpha is the share of the
    pixel the icon covers; the colour is the average over the covered part."""
    grid = 4 if size >= 64 else 8
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(grid):
                for sx in range(grid):
                    colour = sample((px + (sx + 0.5) / grid) / size, (py + (sy + 0.5) / grid) / size)
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                rgb = tuple(int(round(c / covered)) for c in total)
                row.append(rgb + (int(round(255 * covered / (grid * grid))),))
        rows.append(row)
    return rows


def bitmap_image(rows):
    """BITMAPINFOHEADER, the 32-bit BGRA rows and the AND mask, both bottom-up. The mask marks
    the fully transparent pixels, for programs that draw icons without alpha."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (red, green, blue, alpha) in enumerate(row):
            colour += bytes((blue, green, red, alpha))
            if alpha == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    return header + colour + mask


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png_image(rows):
    """An 8-bit RGBA PNG: signature, header, the rows unfiltered and deflated, end."""
    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter type None
        for pixel in row:
            raw += bytes(pixel)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def icon_image(size):
    rows = render(size)
    return png_image(rows) if size >= PNG_FROM else bitmap_image(rows)


def icon_file(sizes):
    images = [icon_image(size) for size in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        side = 0 if size >= 256 else size  # 0 means 256 in a directory entry
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources",
                                                                "tarvelline.ico")
    with open(output, "wb") as f:
        f.write(icon_file(SIZES))


if __name__ == "__main__":
    main()
