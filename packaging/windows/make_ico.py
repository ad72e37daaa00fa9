#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a multi-size Windows icon (.ico) from square PNG files.

Usage: make_ico.py OUT.ico IMAGE.png...

Images below 256 pixels are stored as 32-bit bitmaps with their mask, which
every Windows version reads; the 256-pixel image stays PNG, as Windows expects
for that size. Only 8-bit RGB or RGBA, non-interlaced PNG files are taken.
"""
import struct
import sys
import zlib


class IconError(Exception):
    pass


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise IconError(f"{path}: not a PNG file")
    pos, header, idat = 8, None, b""
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + length]
        if len(chunk) != length:
            raise IconError(f"{path}: cut short")
        if kind == b"IHDR":
            if length != 13:
                raise IconError(f"{path}: damaged image header")
            header = struct.unpack(">IIBBBBB", chunk)
        elif kind == b"IDAT":
            idat += chunk
        elif kind == b"IEND":
            break
        pos += 12 + length
    if header is None:
        raise IconError(f"{path}: no image header")
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise IconError(f"{path}: only 8-bit RGB/RGBA non-interlaced images are supported")
    if width != height or not 1 <= width <= 256:
        raise IconError(f"{path}: the image must be square, 1 to 256 pixels")
    return data, width, colour, idat


def unfilter(raw, width, height, channels):
    """The image's rows with the PNG filters undone."""
    stride = width * channels
    if len(raw) != height * (stride + 1):
        raise IconError("image data has the wrong size")
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 0xFF
            elif kind != 0:
                raise IconError(f"unknown row filter {kind}")
        rows.append(line)
        previous = line
    return rows


def bitmap_entry(path, width, colour, idat):
    channels = 4 if colour == 6 else 3
    try:
        raw = zlib.decompress(idat)
    except zlib.error as e:
        raise IconError(f"{path}: damaged image data ({e})") from None
    rows = unfilter(raw, width, width, channels)
    pixels, mask = bytearray(), bytearray()
    mask_stride = ((width + 31) // 32) * 4
    for line in reversed(rows):  # bottom-up
        bits = bytearray(mask_stride)
        for x in range(width):
            r, g, b = line[x * channels:x * channels + 3]
            a = line[x * channels + 3] if channels == 4 else 255
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    # BITMAPINFOHEADER: the height counts the colour image and the mask.
    info = struct.pack("<IiiHHIIiiII", 40, width, width * 2, 1, 32, 0,
                       len(pixels) + len(mask), 0, 0, 0, 0)
    return info + pixels + mask


def make_icon(pngs):
    entries = []
    for path in pngs:
        data, width, colour, idat = read_png(path)
        # Decoded at every size, so that a damaged file is refused.
        bitmap = bitmap_entry(path, width, colour, idat)
        image = data if width == 256 else bitmap
        entries.append((width, image))
    entries.sort(key=lambda e: e[0])
    sizes = [w for w, _ in entries]
    if len(set(sizes)) != len(sizes):
        raise IconError("two images have the same size")
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for width, image in entries:
        side = width % 256  # 0 stands for 256
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(image for _, image in entries)


def main(argv):
    if len(argv) < 3:
        print("usage: make_ico.py OUT.ico IMAGE.png...", file=sys.stderr)
        return 64
    try:
        icon = make_icon(argv[2:])
    except (IconError, OSError) as e:
        print(f"make_ico.py: {e}", file=sys.stderr)
        return 1
    with open(argv[1], "wb") as f:
        f.write(icon)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
