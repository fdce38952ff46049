#!/usr/bin/env python3
"""Makes the setup program's artwork and licence resource, the same bytes on
every run:

  banner.bmp          500 x 200, 24 bits: the banner at the top of the window
  banner-2x.bmp       1000 x 400, 24 bits: the same banner for screens scaled
                      above 150 %
  tarmesh.ico         16, 32, 48, 64, 128 and 256 pixels, 32 bits: class icon
  tarmesh-small.ico   16 x 16, 32 bits: small class icon
  licence-utf16.txt   the licence text as UTF-16LE with FF FE, CR LF lines

usage: make-artwork.py LICENCE_SOURCE OUTPUT_FOLDER
"""

import math
import os
import struct
import sys

# A 5 x 7 pixel font for the few letters the banner needs.
FONT = {
    "t": ["00100", "00100", "11111", "00100", "00100", "00101", "00010"],
    "a": ["00000", "00000", "01110", "00001", "01111", "10001", "01111"],
    "r": ["00000", "00000", "10110", "11001", "10000", "10000", "10000"],
    "m": ["00000", "00000", "11010", "10101", "10101", "10101", "10101"],
    "e": ["00000", "00000", "01110", "10001", "11111", "10000", "01110"],
    "s": ["00000", "00000", "01111", "10000", "01110", "00001", "11110"],
    "h": ["10000", "10000", "10110", "11001", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "l": ["01100", "00100", "00100", "00100", "00100", "00100", "01110"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "u": ["00000", "00000", "10001", "10001", "10001", "10011", "01101"],
    "p": ["00000", "00000", "11110", "10001", "11110", "10000", "10000"],
    " ": ["00000"] * 7,
}

DEEP = (24, 52, 74)
TEAL = (36, 150, 140)
LIGHT = (236, 242, 240)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def mesh_shade(x, y, width, height):
    """A gradient crossed by a triangular mesh, the add-in's motif."""
    base = mix(DEEP, TEAL, (x / width) * 0.8 + (y / height) * 0.2)
    cell = max(8.0, height / 5.0)
    u = x / cell
    v = y / cell
    near_line = min(abs(u - round(u)), abs(v - round(v)), abs((u + v) - round(u + v)))
    if near_line < 0.035 * (40.0 / cell) + 0.02:
        return mix(base, LIGHT, 0.35)
    return base


def draw_text(pixels, width, text, left, top, scale, colour):
    x = left
    for char in text:
        glyph = FONT[char]
        for row, bits in enumerate(glyph):
            for col, bit in enumerate(bits):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            pixels[(top + row * scale + dy) * width + x + col * scale + dx] = colour
        x += 6 * scale


def banner_pixels(scale):
    """The banner drawn at `scale` times its 500 x 200 size: the mesh is
    sampled finer and the letters' blocks grow, so a larger copy is sharper
    rather than merely bigger."""
    width, height = 500 * scale, 200 * scale
    pixels = [mesh_shade(x / scale, y / scale, 500, 200) for y in range(height) for x in range(width)]
    draw_text(pixels, width, "tarmesh", 40 * scale, 50 * scale, 10 * scale, LIGHT)
    draw_text(pixels, width, "Ostrel Setup", 44 * scale, 140 * scale, 3 * scale, mix(LIGHT, TEAL, 0.25))
    return width, height, pixels


def banner_bmp(scale):
    width, height, pixels = banner_pixels(scale)
    row_size = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):  # bottom-up rows
        row = bytearray()
        for x in range(width):
            r, g, b = pixels[y * width + x]
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        rows.append(bytes(row))
    image = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(image), 0, 0, 14 + len(info))
    return header + info + image


def icon_pixels(size):
    """A rounded teal tile with a white mesh triangle, as BGRA rows, top first."""
    rows = []
    radius = size * 0.2
    for y in range(size):
        row = []
        for x in range(size):
            cx = min(max(x + 0.5, radius), size - radius)
            cy = min(max(y + 0.5, radius), size - radius)
            inside = math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= radius
            if not inside:
                row.append((0, 0, 0, 0))
                continue
            colour = mix(DEEP, TEAL, (x + y) / (2.0 * size))
            # The triangle (size*0.2, size*0.78) - (size*0.5, size*0.22) - (size*0.8, size*0.78).
            px, py = (x + 0.5) / size, (y + 0.5) / size
            inside_triangle = py <= 0.78 and py >= 0.22 and abs(px - 0.5) <= (py - 0.22) * (0.3 / 0.56)
            if inside_triangle:
                colour = mix(colour, LIGHT, 0.9)
            r, g, b = colour
            row.append((b, g, r, 255))
        rows.append(row)
    return rows


def icon_image(size):
    rows = icon_pixels(size)
    xor = b"".join(bytes(c for pixel in row for c in pixel) for row in reversed(rows))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + bytes(mask)


def ico(sizes):
    images = [icon_image(size) for size in sizes]
    header = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    entries = b""
    for size, image in zip(sizes, images):
        dimension = 0 if size == 256 else size
        entries += struct.pack("<BBBBHHII", dimension, dimension, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return header + entries + b"".join(images)


def licence(source_path):
    with open(source_path, encoding="utf-8") as source:
        text = source.read()
    lines = text.replace("\r\n", "\n").rstrip("\n").split("\n")
    return b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le")


def write_if_changed(path, data):
    if os.path.exists(path):
        with open(path, "rb") as existing:
            if existing.read() == data:
                return
    with open(path, "wb") as out:
        out.write(data)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    write_if_changed(os.path.join(folder, "banner.bmp"), banner_bmp(1))
    write_if_changed(os.path.join(folder, "banner-2x.bmp"), banner_bmp(2))
    write_if_changed(os.path.join(folder, "tarmesh.ico"), ico([16, 32, 48, 64, 128, 256]))
    write_if_changed(os.path.join(folder, "tarmesh-small.ico"), ico([16]))
    write_if_changed(os.path.join(folder, "licence-utf16.txt"), licence(source))


if __name__ == "__main__":
    main()
