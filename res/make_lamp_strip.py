#!/usr/bin/env python3
"""Writes lamp_strip.bmp, the indicator lamp's image strip.

48 x 128 pixels, 4 bits per pixel with the standard 16-colour palette. Cells
are 16 x 16: columns lit, unlit, disabled; rows round red, green, yellow,
blue, then square red, green, yellow, blue. Everything outside a lamp is
magenta, the colour the lamp treats as transparent.

Usage: make_lamp_strip.py [output path]   (default: lamp_strip.bmp beside it)
"""

import os
import struct
import sys

# The standard 16-colour palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
INDEX = {rgb: i for i, rgb in enumerate(PALETTE)}

MAGENTA = (255, 0, 255)
SILVER = (192, 192, 192)
GREY = (128, 128, 128)
WHITE = (255, 255, 255)

CELL = 16
COLUMNS = 3
ROWS = 8
WIDTH = CELL * COLUMNS
HEIGHT = CELL * ROWS

# Lamp colour per (colour row, column): lit, unlit, disabled.
LIT = [(255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255)]
UNLIT = [(128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128)]


def lamp_colour(colour_row, column):
    if column == 0:
        return LIT[colour_row]
    if column == 1:
        return UNLIT[colour_row]
    return GREY


def round_cell(colour, diameter):
    """A disc of `diameter` pixels (silver rim included), centred in the cell."""
    cell = [[MAGENTA] * CELL for _ in range(CELL)]
    centre = (CELL - 1) / 2.0
    outer = diameter / 2.0
    inner = outer - 1.0
    for y in range(CELL):
        for x in range(CELL):
            d2 = (x - centre) ** 2 + (y - centre) ** 2
            if d2 <= outer * outer:
                cell[y][x] = SILVER if d2 > inner * inner else colour
    # Highlight: a small white spot up and left of the centre.
    spot = int(centre - diameter / 5.0)
    for y, x in ((spot, spot), (spot, spot + 1), (spot + 1, spot)):
        cell[y][x] = WHITE
    return cell


def square_cell(colour):
    """An 11 x 11 square inside a one-pixel bevelled frame."""
    cell = [[MAGENTA] * CELL for _ in range(CELL)]
    first, last = 2, 14  # frame; the square is 3 .. 13
    for y in range(first, last + 1):
        for x in range(first, last + 1):
            if y == first or x == first:
                cell[y][x] = WHITE
            elif y == last or x == last:
                cell[y][x] = GREY
            else:
                cell[y][x] = colour
    return cell


def strip():
    pixels = [[MAGENTA] * WIDTH for _ in range(HEIGHT)]
    for row in range(ROWS):
        colour_row = row % 4
        square = row >= 4
        for column in range(COLUMNS):
            colour = lamp_colour(colour_row, column)
            if square:
                cell = square_cell(colour)
            else:
                cell = round_cell(colour, 16 if colour_row == 0 else 13)
            for y in range(CELL):
                for x in range(CELL):
                    pixels[row * CELL + y][column * CELL + x] = cell[y][x]
    return pixels


def bmp_bytes(pixels):
    row_bytes = (WIDTH * 4 + 31) // 32 * 4
    image = bytearray()
    for y in reversed(range(HEIGHT)):  # bottom-up rows
        row = bytearray()
        for x in range(0, WIDTH, 2):
            high = INDEX[pixels[y][x]]
            low = INDEX[pixels[y][x + 1]]
            row.append(high << 4 | low)
        row.extend(b"\0" * (row_bytes - len(row)))
        image += row
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(image),
                       2835, 2835, 16, 16)
    return header + info + palette + bytes(image)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "lamp_strip.bmp")
    with open(path, "wb") as out:
        out.write(bmp_bytes(strip()))


if __name__ == "__main__":
    main()
