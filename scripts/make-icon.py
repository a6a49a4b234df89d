#!/usr/bin/env python3
"""Draws the application icon: one 32x32 image, 32-bit colour with alpha.

A blue rounded square with a white arrow pointing down into a tray, written
as an .ico holding a single BMP image. Run from the repository's root:
    python3 scripts/make-icon.py src/resources/Update.ico
"""
import struct
import sys

SIZE = 32


def coverage(x, y):
    """How much of the pixel (x, y) each shape covers, 4x4 supersampled."""
    body = arrow = 0
    for sy in range(4):
        for sx in range(4):
            px, py = x + (sx + 0.5) / 4, y + (sy + 0.5) / 4
            if in_rounded_square(px, py):
                body += 1
                if in_arrow(px, py) or in_tray(px, py):
                    arrow += 1
    return body / 16, arrow / 16


def in_rounded_square(px, py, lo=1.0, hi=31.0, r=6.0):
    cx = min(max(px, lo + r), hi - r)
    cy = min(max(py, lo + r), hi - r)
    return (px - cx) ** 2 + (py - cy) ** 2 <= r * r


def in_arrow(px, py):
    shaft = 13.5 <= px <= 18.5 and 6 <= py <= 16
    head = 16 <= py <= 22 and abs(px - 16) <= (22 - py) * 1.2
    return shaft or head


def in_tray(px, py):
    floor = 7 <= px <= 25 and 23 <= py <= 26
    walls = 19 <= py <= 26 and (7 <= px <= 10 or 22 <= px <= 25)
    return floor or walls


def pixel(x, y):
    body, arrow = coverage(x, y)
    if body == 0:
        return (0, 0, 0, 0)
    # Top-to-bottom gradient of the blue, white where the arrow is.
    t = y / (SIZE - 1)
    blue = (round(60 - 30 * t), round(130 - 50 * t), round(220 - 60 * t))
    mix = arrow / body
    r, g, b = (round(c + (255 - c) * mix) for c in blue)
    return (b, g, r, round(255 * body))


def icon_bytes():
    rows = [b"".join(bytes(pixel(x, y)) for x in range(SIZE)) for y in reversed(range(SIZE))]
    and_mask = bytes(SIZE * SIZE // 8)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    image = header + b"".join(rows) + and_mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(icon_bytes())
