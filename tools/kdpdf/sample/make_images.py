#!/usr/bin/python3
"""Makes the small pictures of kdpdf's built-in sample report.

Each picture is upright-obvious (a light band at the top, a dark one at the
bottom) so a rendered page shows at a glance whether rows were flipped or
colours swapped.

  lantern.png  96 x 72 RGBA: an orange disc with a soft edge and a hole, on a
               fully transparent ground (the page must show through)
  harbour.jpg  120 x 80 JPEG: sky over sea, a yellow sun top left
  palette.bmp  64 x 48, 8-bit palette: six colour bands, red at the top
  rle.bmp      64 x 48, RLE8, written byte by byte: runs and literal pieces
  deep16.png   64 x 48 RGB, 16 bits per sample, written by hand (Pillow
               cannot): a red-to-blue ramp, white band at the top

usage: make_images.py OUTDIR
"""
import math
import os
import struct
import sys
import zlib

from PIL import Image, ImageDraw

out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))


def lantern():
    img = Image.new("RGBA", (96, 72), (0, 0, 0, 0))
    px = img.load()
    for y in range(72):
        for x in range(96):
            d = math.hypot(x - 48, y - 36)
            if d < 30:
                a = 255 if d < 24 else int(255 * (30 - d) / 6)
                if math.hypot(x - 56, y - 28) < 7:
                    a = 0  # the hole
                px[x, y] = (250, 140 - int(d * 2), 20, a)
    # a semi-transparent blue bar across the top
    for y in range(4, 12):
        for x in range(10, 86):
            px[x, y] = (30, 60, 220, 160)
    img.save(os.path.join(out, "lantern.png"), optimize=True)


def harbour():
    img = Image.new("RGB", (120, 80))
    d = ImageDraw.Draw(img)
    for y in range(80):
        if y < 48:
            c = (120 + y, 170 + y, 250)
        else:
            c = (10, 60 + (y - 48), 120 + (y - 48))
        d.line([(0, y), (119, y)], fill=c)
    d.ellipse([10, 8, 34, 32], fill=(255, 220, 0))
    d.polygon([(70, 47), (100, 47), (92, 56), (76, 56)], fill=(120, 60, 20))
    img.save(os.path.join(out, "harbour.jpg"), quality=85)


BANDS = [(220, 30, 30), (240, 140, 20), (240, 220, 30), (40, 170, 60), (40, 90, 220), (140, 50, 180)]


def palette_bmp():
    img = Image.new("P", (64, 48))
    pal = []
    for c in BANDS:
        pal += list(c)
    pal += [255, 255, 255, 0, 0, 0]
    img.putpalette(pal + [0] * (768 - len(pal)))
    px = img.load()
    for y in range(48):
        for x in range(64):
            px[x, y] = 6 if x == y + 8 else (7 if x < 4 else y // 8)
    img.save(os.path.join(out, "palette.bmp"))


def rle_bmp():
    """RLE8 by hand: 64 x 48; the top 24 rows teal with a white square, the
    bottom 24 magenta, each row ending with an end-of-line mark."""
    w, h = 64, 48
    palette = [(0, 0, 0), (0, 150, 150), (255, 255, 255), (200, 0, 160), (255, 200, 0)]
    rows = []
    for y in range(h):  # top row first; stored bottom-up below
        if y < 24:
            row = [1] * w
            if 6 <= y < 18:
                row[20:44] = [2] * 24
        else:
            row = [3] * w
        if y in (30, 31):
            row[8:14] = [4, 2, 4, 2, 4, 2]  # a literal (absolute mode) piece
        rows.append(row)
    data = bytearray()
    for row in reversed(rows):
        x = 0
        while x < w:
            if row[x:x + 6] == [4, 2, 4, 2, 4, 2]:
                data += bytes([0, 6]) + bytes(row[x:x + 6])  # absolute run, even length
                x += 6
                continue
            n = 1
            while x + n < w and row[x + n] == row[x] and n < 255 and row[x + n:x + n + 6] != [4, 2, 4, 2, 4, 2]:
                n += 1
            data += bytes([n, row[x]])
            x += n
        data += b"\x00\x00"  # end of line
    data += b"\x00\x01"  # end of bitmap
    colours = len(palette)
    offset = 14 + 40 + 4 * colours
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 1, len(data), 2835, 2835, colours, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    with open(os.path.join(out, "rle.bmp"), "wb") as f:
        f.write(header + info + pal + bytes(data))


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def deep16():
    w, h = 64, 48
    raw = bytearray()
    for y in range(h):
        raw.append(0)
        for x in range(w):
            if y < 6:
                r = g = b = 65535
            else:
                r = (63 - x) * 1040
                g = 12000 + y * 300
                b = x * 1040
            raw += struct.pack(">HHH", r, g, b)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 16, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    with open(os.path.join(out, "deep16.png"), "wb") as f:
        f.write(png)


lantern()
harbour()
palette_bmp()
rle_bmp()
deep16()
