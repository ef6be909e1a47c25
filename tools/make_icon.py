#!/usr/bin/env python3
"""Writes resources/kgftool.ico: a mip chain of shrinking tiles (32 and 16 px).

Run from anywhere: python3 tools/make_icon.py
"""
import os
import struct

# Tile colours, largest level first (R, G, B).
LEVEL_COLOURS = [(40, 96, 176), (56, 150, 88), (224, 160, 40), (200, 60, 50)]


def draw(size):
    """Returns size*size RGBA pixels, top row first."""
    pixels = [(0, 0, 0, 0)] * (size * size)
    # The classic mip layout: the full level on the left, the smaller levels
    # stacked upwards in a column to its right.
    edge = (size - 1) * 2 // 3
    left = (size - 1 - edge - edge // 2) // 2
    bottom = (size + edge) // 2  # one past the last row
    tiles = [(left, bottom - edge, edge)]
    x = left + edge + 1
    y = bottom
    level = edge // 2
    while level >= 2 and len(tiles) < len(LEVEL_COLOURS):
        y -= level
        tiles.append((x, y, level))
        y -= 1
        level //= 2
    for (x, y, edge), colour in zip(tiles, LEVEL_COLOURS):
        for row in range(y, y + edge):
            for column in range(x, x + edge):
                border = row in (y, y + edge - 1) or column in (x, x + edge - 1)
                shade = 0.6 if border else 1.0
                # A light diagonal stripe gives each tile a texture look.
                if not border and edge > 4 and (row - y + column - x) % (edge // 3) == 0:
                    shade = 1.3
                r, g, b = (min(255, int(c * shade)) for c in colour)
                pixels[row * size + column] = (r, g, b, 255)
    return pixels


def icon_image(size):
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(range(size)):  # bottom row first
        for r, g, b, a in pixels[row * size:(row + 1) * size]:
            colour += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(range(size)):
        bits = bytearray(mask_stride)
        for column in range(size):
            if pixels[row * size + column][3] == 0:
                bits[column // 8] |= 0x80 >> (column % 8)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def main():
    sizes = [32, 16]
    images = [icon_image(size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    here = os.path.dirname(os.path.abspath(__file__))
    path = os.path.join(here, "..", "resources", "kgftool.ico")
    with open(path, "wb") as file:
        file.write(out)


if __name__ == "__main__":
    main()
