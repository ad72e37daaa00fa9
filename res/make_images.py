#!/usr/bin/env python3
"""Draws KORVEL's application icon (several sizes) and the window's logo.

Standard library only: the pictures are computed pixel by pixel and written
as PNG files beside this script. Run it again after changing the drawing:
    python3 res/make_images.py
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(path, width, height, rows, alpha):
    """rows: list of lists of (r, g, b[, a]) tuples."""
    channels = 4 if alpha else 3
    raw = bytearray()
    for row in rows:
        raw.append(0)  # no filter
        for pixel in row:
            raw.extend(bytes(pixel[:channels]))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", header))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(chunk(b"IEND", b""))


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def icon_pixel(x, y, size):
    """A Smith-chart disc: dark face, green grid circles, a red marker."""
    s = 4  # 4 x 4 supersampling for smooth edges
    acc = [0.0, 0.0, 0.0, 0.0]
    for sy in range(s):
        for sx in range(s):
            u = ((x + (sx + 0.5) / s) / size) * 2.0 - 1.0
            v = ((y + (sy + 0.5) / s) / size) * 2.0 - 1.0
            r = math.hypot(u, v)
            line = max(0.035, 1.5 / size)
            if r > 0.96:
                continue
            colour = (16, 40, 24)
            if r > 0.96 - 2 * line:
                colour = (120, 220, 140)  # outer rim
            elif abs(math.hypot(u - 0.48, v) - 0.48) < line:
                colour = (90, 190, 110)  # resistance circle r = 1
            elif abs(v) < line * 0.8:
                colour = (90, 190, 110)  # real axis
            elif abs(math.hypot(u - 0.96, v - 0.96) - 0.96) < line and r < 0.94:
                colour = (70, 150, 90)  # reactance arc +1
            elif abs(math.hypot(u - 0.96, v + 0.96) - 0.96) < line and r < 0.94:
                colour = (70, 150, 90)  # reactance arc -1
            # Red marker triangle, apex at the measured point.
            px, py = 0.35, -0.05
            if py - 0.42 < v < py and abs(u - px) < (py - v) * 0.75:
                colour = (235, 40, 40)
            for i in range(3):
                acc[i] += colour[i]
            acc[3] += 255
    n = s * s
    if acc[3] == 0:
        return (0, 0, 0, 0)
    alpha = acc[3] / n
    return tuple(int(round(c / (acc[3] / 255))) for c in acc[:3]) + (int(round(alpha)),)


FONT = {  # 5 x 7 capitals
    "K": ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
    "O": [".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    "R": ["XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"],
    "V": ["X...X", "X...X", "X...X", "X...X", ".X.X.", ".X.X.", "..X.."],
    "E": ["XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"],
    "L": ["X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"],
}


def logo_rows(width=117, height=25):
    top, bottom = (20, 60, 120), (5, 20, 50)
    rows = [[mix(top, bottom, y / (height - 1)) for _ in range(width)] for y in range(height)]
    # A trace of a sweep: a VSWR dip in yellow along the right part.
    for x in range(70, width - 3):
        t = (x - 70) / (width - 74)
        y = 6 + int(round(13 * math.exp(-((t - 0.5) ** 2) / 0.02)))
        for dy in (0, 1):
            if 0 <= y + dy < height:
                rows[y + dy][x] = (250, 220, 40)
    # "KORVEL" in white, letters 2x scaled (10 x 14 each), 2 px apart.
    x0, y0 = 4, 5
    for i, letter in enumerate("KORVEL"):
        glyph = FONT[letter]
        for gy, line in enumerate(glyph):
            for gx, cell in enumerate(line):
                if cell != "X":
                    continue
                for dy in range(2):
                    for dx in range(2):
                        x = x0 + i * 11 + gx * 2 + dx
                        y = y0 + gy * 2 + dy
                        if x < 68:
                            rows[y][x] = (255, 255, 255)
    return rows


def main():
    for size in (16, 24, 32, 48, 64, 128, 256):
        rows = [[icon_pixel(x, y, size) for x in range(size)] for y in range(size)]
        write_png(os.path.join(HERE, "icon_%d.png" % size), size, size, rows, alpha=True)
    write_png(os.path.join(HERE, "logo.png"), 117, 25, logo_rows(), alpha=False)


if __name__ == "__main__":
    main()
