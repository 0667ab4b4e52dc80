#!/usr/bin/python3
"""Pillow oracle for the image tests.

  gen MODE W H OUT [key=value ...]   pattern image saved by Pillow
        (format from OUT's extension; keys: bits=16 ct=C for a PNG written by
         hand, chunks=N split the image data, colors=N for P, opaque=1 for
         RGBA, quality=Q, adobe=0 to strip a JPEG's APP14 marker, invert=1
         for CMYK, sof=N another JPEG frame marker, compression=... for TIFF)
  samples IMG MODE OUT              Pillow's decoding as raw bytes
        (MODE: a Pillow mode, or A for the alpha channel, or RAW16 for the
         big-endian 16-bit samples of a hand-written PNG)
  render OUT.png key=value ...      wrap dobmp's files in a PDF, render with
        pdftoppm (keys: data, length, lengthobj, width, height, mask, side,
        sideobj)
  compare A B TOL [white=1] [interior=1]  max channel difference of two
        images (RGB; B composited over white first when white=1; only the
        inner pixels of the pattern's 8-pixel blocks when interior=1); exit 1
        when over TOL
  scanpng W H CT SCAN OUT            8-bit PNG of scanline data (filter
        byte and row, as the filter exports write them)
  mmr W H OUT EXPECTED.png          T.6 data of a black-and-white pattern
  wmf WMF OUT.png W H               render a metafile with libwmf (wmf2gd)
"""
import io
import os
import struct
import subprocess
import sys
import tempfile
import zlib

from PIL import Image


def pattern(x, y):
    # 8-pixel blocks of distinct colours: robust to lossy codecs and to the
    # renderer's pixel grid.
    bx, by = x // 8, y // 8
    return ((bx * 67 + by * 13) & 255, (bx * 29 + by * 101 + 40) & 255, (bx * 151 + by * 47 + 90) & 255,
            0 if (bx + by) % 3 == 0 else (255 if (bx + by) % 3 == 1 else 128))


def opts(args):
    return dict(a.split('=', 1) for a in args)


def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)


def hand_rows(ct, w, h, bits):
    """The raw rows of the pattern as a PNG Pillow cannot write (16-bit
    colour, 16-bit grey-alpha) holds them."""
    rows = []
    for y in range(h):
        row = bytearray()
        for x in range(w):
            r, g, b, a = pattern(x, y)
            for v in {0: [r], 2: [r, g, b], 4: [r, a], 6: [r, g, b, a]}[ct]:
                row += struct.pack('>H', v * 257 ^ (x & 3)) if bits == 16 else bytes([v])
        rows.append(bytes(row))
    return rows


def write_png(out, w, h, bits, ct, scanlines, chunks=1):
    data = zlib.compress(scanlines, 9)
    parts = [data[i * len(data) // chunks:(i + 1) * len(data) // chunks] for i in range(chunks)]
    png = b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, bits, ct, 0, 0, 0))
    png += png_chunk(b'tEXt', b'Comment\x00skipped')
    png += b''.join(png_chunk(b'IDAT', p) for p in parts) + png_chunk(b'IEND', b'')
    open(out, 'wb').write(png)


def hand_png(ct, w, h, bits, chunks, out):
    bpp = {0: 1, 2: 3, 4: 2, 6: 4}[ct] * bits // 8
    prev, raw = bytes(w * bpp), bytearray()
    for y, row in enumerate(hand_rows(ct, w, h, bits)):
        raw += filter_row(y % 5, row, prev, bpp)  # every filter type
        prev = row
    write_png(out, w, h, bits, ct, bytes(raw), chunks)


def filter_row(t, row, prev, bpp):
    out = bytearray(len(row))
    for i in range(len(row)):
        left = row[i - bpp] if i >= bpp else 0
        up = prev[i]
        ul = prev[i - bpp] if i >= bpp else 0
        if t == 0:
            pred = 0
        elif t == 1:
            pred = left
        elif t == 2:
            pred = up
        elif t == 3:
            pred = (left + up) // 2
        else:
            p = left + up - ul
            pa, pb, pc = abs(p - left), abs(p - up), abs(p - ul)
            pred = left if pa <= pb and pa <= pc else (up if pb <= pc else ul)
        out[i] = (row[i] - pred) & 255
    return bytes([t]) + bytes(out)


def strip_app14(data):
    at = data.index(b'\xff\xee')
    return data[:at] + data[at + 2 + struct.unpack('>H', data[at + 2:at + 4])[0]:]


def centres(big_path, w, h, out):
    """The centre of each 4 x 4 block of a rendering at four device pixels
    per image pixel: the reader's colour for that pixel, free of edge
    smoothing."""
    big = Image.open(big_path).convert('RGB')
    if big.size != (4 * w, 4 * h):
        raise SystemExit('rendered at %s' % (big.size,))
    small = Image.new('RGB', (w, h))
    small.putdata([big.getpixel((4 * x + 2, 4 * y + 2)) for y in range(h) for x in range(w)])
    small.save(out)


def gen(mode, w, h, out, o):
    ext = os.path.splitext(out)[1].lower()
    if ext == '.png' and 'bits' in o:
        hand_png(int(o['ct']), w, h, int(o['bits']), int(o.get('chunks', '1')), out)
        return
    base = Image.new('RGBA', (w, h))
    base.putdata([pattern(x, y) for y in range(h) for x in range(w)])
    if mode == 'CMYK':
        img = base.convert('RGB').convert('CMYK')
        if o.get('invert') == '1':
            # Pillow stores CMYK JPEGs inverted: pre-invert so that the file
            # holds the plain values once the Adobe marker is gone.
            img = img.point(lambda v: 255 - v)
    elif mode == 'P':
        img = base.convert('RGB').quantize(colors=int(o.get('colors', '16')))
    elif mode == 'RGBA' and o.get('opaque') == '1':
        img = base.convert('RGB').convert('RGBA')
    elif mode == '1':
        img = base.convert('L').point(lambda v: 255 if v > 110 else 0).convert('1')
    else:
        img = base.convert(mode)
    kw = {}
    if ext == '.png':
        kw['optimize'] = False
    if ext in ('.jpg', '.jpeg'):
        kw['quality'] = int(o.get('quality', '95'))
        kw['subsampling'] = 0
    if ext == '.jp2' or ext == '.j2k':
        kw['irreversible'] = False
        kw['no_jp2'] = ext == '.j2k'
    if ext in ('.tif', '.tiff') and 'compression' in o:
        kw['compression'] = o['compression']
    buf = io.BytesIO()
    img.save(buf, format={'.png': 'PNG', '.jpg': 'JPEG', '.jpeg': 'JPEG', '.bmp': 'BMP', '.gif': 'GIF',
                          '.tif': 'TIFF', '.tiff': 'TIFF', '.jp2': 'JPEG2000', '.j2k': 'JPEG2000'}[ext], **kw)
    data = buf.getvalue()
    if ext == '.png' and 'chunks' in o:
        data = split_idat(data, int(o['chunks']))
    if ext in ('.jpg', '.jpeg') and o.get('adobe') == '0':
        data = strip_app14(data)
    if ext in ('.jpg', '.jpeg') and 'sof' in o:
        # Another frame kind (1 extended, 2 progressive, 3 lossless): only
        # the marker changes, the header behind it stays readable.
        at = data.index(b'\xff\xc0')
        data = data[:at + 1] + bytes([0xC0 + int(o['sof'])]) + data[at + 2:]
    open(out, 'wb').write(data)


def split_idat(png, parts):
    first = png.index(b'IDAT') - 4
    idat, i = b'', first
    while png[i + 4:i + 8] == b'IDAT':
        n = struct.unpack('>I', png[i:i + 4])[0]
        idat, i = idat + png[i + 8:i + 8 + n], i + 12 + n
    step = max(1, -(-len(idat) // parts))
    return png[:first] + b''.join(png_chunk(b'IDAT', idat[k:k + step]) for k in range(0, len(idat), step)) + png[i:]


def samples(path, mode, out):
    img = Image.open(path)
    if mode == 'A':
        data = img.getchannel('A').tobytes()
    elif mode == 'RAW16':
        w, h, bits, ct = struct.unpack('>IIBB', open(path, 'rb').read()[16:26])
        data = b''.join(hand_rows(ct, w, h, bits))
    else:
        data = img.convert(mode).tobytes()
    open(out, 'wb').write(data)


def split_stream(path, length=None):
    raw = open(path, 'rb').read()
    at = raw.index(b'stream\r\n')
    body = raw[at + 8:]
    return raw[:at], body if length is None else body[:length]


def render(out, o):
    w, h = int(o['width']), int(o['height'])
    length_obj = int(o['lengthobj'])
    image_obj = length_obj - 1
    dict_text, data = split_stream(o['data'], int(o['length']))
    objs = {
        1: b'<< /Type /Catalog /Pages 2 0 R >>',
        2: b'<< /Type /Pages /Kids [3 0 R] /Count 1 >>',
        3: ('<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] /Resources << /XObject << /Im0 %d 0 R >> >> '
            '/Contents 4 0 R >>' % (w, h, image_obj)).encode(),
    }
    content = b'q %d 0 0 %d 0 0 cm /Im0 Do Q' % (w, h)
    objs[4] = b'<< /Length %d >>\nstream\n' % len(content) + content + b'\nendstream'
    objs[image_obj] = dict_text + b'stream\r\n' + data + b'\r\nendstream'
    objs[length_obj] = str(len(data)).encode()
    if o.get('mask'):
        mdict, mdata = split_stream(o['mask'])
        packed = zlib.compress(mdata)
        objs[length_obj + 1] = mdict + b'stream\r\n' + packed + b'\r\nendstream'
        objs[length_obj + 2] = str(len(packed)).encode()
    if o.get('side'):
        side = open(o['side'], 'rb').read()
        objs[int(o['sideobj'])] = b'<< /Length %d >>\nstream\n' % len(side) + side + b'\nendstream'
    top = max(objs)
    pdf, offsets = bytearray(b'%PDF-1.7\n%\xe2\xe3\xcf\xd3\n'), {}
    for n in sorted(objs):
        offsets[n] = len(pdf)
        pdf += b'%d 0 obj\n' % n + objs[n] + b'\nendobj\n'
    xref = len(pdf)
    pdf += b'xref\n0 %d\n' % (top + 1)
    pdf += b''.join(b'%010d 00000 n \n' % offsets[n] if n in offsets else b'0000000000 65535 f \n'
                    for n in range(top + 1))
    pdf += b'trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n' % (top + 1, xref)
    with tempfile.TemporaryDirectory() as tmp:
        stem = os.path.join(tmp, 'page')
        open(stem + '.pdf', 'wb').write(pdf)
        subprocess.run(['pdftoppm', '-r', '288', '-png', '-singlefile', '-aa', 'no', '-aaVector', 'no', stem + '.pdf',
                        stem], check=True, stderr=subprocess.DEVNULL)
        centres(stem + '.png', w, h, out)


def compare(a, b, tol, o):
    ia = Image.open(a)
    ib = Image.open(b)
    if o.get('white') == '1':
        ib = ib.convert('RGBA')
        bg = Image.new('RGBA', ib.size, (255, 255, 255, 255))
        ib = Image.alpha_composite(bg, ib)
    ia, ib = ia.convert('RGB'), ib.convert('RGB')
    if ia.size != ib.size:
        print('size %s != %s' % (ia.size, ib.size))
        return 1
    worst = 0
    w = ia.size[0]
    for k, (pa, pb) in enumerate(zip(ia.getdata(), ib.getdata())):
        x, y = k % w, k // w
        if o.get('interior') == '1' and not (2 <= x % 8 <= 5 and 2 <= y % 8 <= 5):
            continue  # block edges may be smoothed by the renderer's scaling
        worst = max(worst, max(abs(pa[i] - pb[i]) for i in range(3)))
    print('max difference %d' % worst)
    return 0 if worst <= tol else 1


def binary_pattern(x, y):
    return ((x // 4) + (y // 4)) % 3 == 0  # True: black


def mmr(w, h, out, expected):
    """T.6 (MMR) data of a black-and-white pattern, as libtiff's Group 4
    coder writes it, and the pattern itself as an image."""
    want = Image.new('L', (w, h))
    want.putdata([0 if binary_pattern(x, y) else 255 for y in range(h) for x in range(w)])
    want.save(expected)
    # libtiff codes 0-bits as white runs: store black as 0 ... as 1 bits
    # of the inverted image, so the coded "black" runs are our black.
    inv = Image.new('1', (w, h))
    inv.putdata([1 if binary_pattern(x, y) else 0 for y in range(h) for x in range(w)])
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, 'g4.tif')
        inv.save(path, compression='group4')
        t = Image.open(path)
        offsets, counts = t.tag_v2[273], t.tag_v2[279]
        data = open(path, 'rb').read()
        open(out, 'wb').write(b''.join(data[o:o + n] for o, n in zip(offsets, counts)))


def wmf(path, out, w, h):
    """libwmf renders the metafile at four device pixels per unit."""
    with tempfile.TemporaryDirectory() as tmp:
        big_path = os.path.join(tmp, 'big.png')
        subprocess.run(['wmf2gd', '-t', 'png', '--maxwidth=%d' % (4 * w), '--maxheight=%d' % (4 * h), '--maxsize',
                        '-o', big_path, path], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        centres(big_path, w, h, out)


def main():
    cmd = sys.argv[1]
    if cmd == 'gen':
        gen(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], opts(sys.argv[6:]))
    elif cmd == 'samples':
        samples(sys.argv[2], sys.argv[3], sys.argv[4])
    elif cmd == 'render':
        render(sys.argv[2], opts(sys.argv[3:]))
    elif cmd == 'compare':
        return compare(sys.argv[2], sys.argv[3], int(sys.argv[4]), opts(sys.argv[5:]))
    elif cmd == 'mmr':
        mmr(int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5])
    elif cmd == 'scanpng':
        w, h, ct = (int(v) for v in sys.argv[2:5])
        write_png(sys.argv[6], w, h, 8, ct, open(sys.argv[5], 'rb').read())
    elif cmd == 'wmf':
        wmf(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]))
    return 0


if __name__ == '__main__':
    sys.exit(main())
