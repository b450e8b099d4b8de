#!/usr/bin/env python3
"""The program's icon, a globe in a window frame, drawn here and nowhere else.
The build runs this to write, into one folder:

    poremisu.ico          16, 32 and 48 pixel images, 32 bits with alpha (Windows)
    poremisu-N.png        the same images one by one (Linux: the hicolor theme)
    ProgramIconImages.inc the PNG images as C++ table rows (Linux: the window icon)

    resources/poremisu-icon.py OUTPUT_DIR
"""
import math
import os
import struct
import sys
import zlib

SIZES = (16, 32, 48)

SUPERSAMPLE = 4

BACKGROUND = (0x1F, 0x5F, 0x8F)   # frame
TITLE_BAR = (0x14, 0x3C, 0x5C)
PAGE = (0xF4, 0xF7, 0xFA)
GLOBE = (0x2E, 0x9C, 0x6A)
LINE = (0xF4, 0xF7, 0xFA)
DOT = (0xF2, 0x8C, 0x28)


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def shade(u, v):
    """Colour and coverage of one sample; u and v run from 0 to 1."""
    if not inside_rounded_rect(u, v, 0.03, 0.03, 0.97, 0.97, 0.16):
        return None
    if v < 0.22:
        if 0.74 < u < 0.86 and 0.09 < v < 0.16:
            return DOT
        return TITLE_BAR
    if not inside_rounded_rect(u, v, 0.10, 0.26, 0.90, 0.90, 0.06):
        return BACKGROUND
    # The globe: a disc with its equator, two parallels and a meridian ellipse.
    gx, gy, r = 0.50, 0.58, 0.27
    dx, dy = u - gx, v - gy
    d = math.hypot(dx, dy)
    if d > r:
        return PAGE
    w = 0.028
    if d > r - w:
        return LINE
    if abs(dy) < w / 2 or abs(dx) < w / 2:
        return LINE
    for parallel in (-0.13, 0.13):
        if abs(dy - parallel) < w / 2:
            return LINE
    ex = r * 0.5
    if abs((dx / ex) ** 2 + (dy / r) ** 2 - 1) < 0.14:
        return LINE
    return GLOBE


def render(size):
    pixels = []
    n = SUPERSAMPLE
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(n):
                for sx in range(n):
                    c = shade((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if hits:
                row.append(tuple(round(a / hits) for a in acc) + (round(255 * hits / (n * n)),))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def bitmap(pixels):
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(pixels):  # bottom-up
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(colour) + bytes(mask)


def ico(images):
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    bitmaps = [bitmap(pixels) for pixels in images]
    for pixels, img in zip(images, bitmaps):
        s = len(pixels)
        data += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return data + b"".join(bitmaps)


def png(pixels):
    size = len(pixels)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    rows = b"".join(b"\0" + bytes(v for p in row for v in p) for row in pixels)  # filter 0: none
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def cpp_rows(pngs):
    lines = ["// Written by resources/poremisu-icon.py; rows of {size, PNG bytes}."]
    for size, data in pngs:
        text = "".join("\\x%02x" % b for b in data)
        lines.append('{%d, std::string_view("%s", %d)},' % (size, text, len(data)))
    return "\n".join(lines) + "\n"


def write(path, data):
    # Written beside and renamed, so that an interrupted run leaves no half file.
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: poremisu-icon.py OUTPUT_DIR")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    images = [render(s) for s in SIZES]
    pngs = [(s, png(pixels)) for s, pixels in zip(SIZES, images)]
    for s, data in pngs:
        write(os.path.join(out, "poremisu-%d.png" % s), data)
    write(os.path.join(out, "poremisu.ico"), ico(images))
    write(os.path.join(out, "ProgramIconImages.inc"), cpp_rows(pngs).encode("ascii"))


if __name__ == "__main__":
    main()
