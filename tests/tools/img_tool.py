#!/usr/bin/python3
# Pillow oracle for the image tests.
#
#   gen MODE W H OUT [key=value ...]   pattern image, format from OUT's extension;
#       keys: bits=16 ct=C or chunks=N (a PNG written by hand as tpng does, every filter
#       type, its image data in N chunks), colors=N (P), opaque=1 (RGBA),
#       adobe=0 (no APP14 in a JPEG), invert=1 (CMYK), sof=N (another
#       JPEG frame marker)
#   samples IMG MODE OUT       Pillow's decoding as raw bytes (a Pillow mode, A for
#       alpha)
#   render OUT.png key=value ...   dobmp's files in a PDF rendered by pdftoppm
#       (keys: data, length, lengthobj, width, height, mask, side, sideobj;
#       page=1 for a coloured page under it, compare=IMG interior=... to compare the
#       rendering with IMG)
#   compare A B TOL [page=1] [interior=1]   largest channel difference (B over
#       white paper, or over the page's colour when page=1; only the inner pixels
#       of the pattern's 8-pixel blocks when interior=1); exit 1 when over TOL
#   scanpng W H CT SCAN OUT    8-bit PNG of scanlines as the filter exports write them
#   mmr W H OUT EXPECTED.png   T.6 data of a black-and-white pattern, and the pattern
#   wmf WMF OUT.png W H        a metafile drawn by libwmf (wmf2gd)
#   tpng CT BITS W H OUT [interlace=1] [trns=key|A,B,..] [pillow=1]   PNG of any
#       colour type and depth, Adam7 when interlace=1, with a tRNS chunk: trns=key
#       keys the colour of pixel (0, 0); a list gives palette alphas (CT 3) or raw
#       16-bit values; pillow=1 lets Pillow write it (8-bit, not interlaced)
#   tcheck PNG key=value ...   dobmp's files (keys as for render) rendered over a
#       coloured page; prints the largest difference from the PNG composited on
#       that colour by Pillow, or by ImageMagick (libpng) when it has a tRNS chunk
#   batch FILE                 the commands in FILE, one a line, tab-separated
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
            (0, 255, 128)[(bx + by) % 3])


def opts(args):
    return dict(a.split('=', 1) for a in args)


def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))


def write_png(out, w, h, bits, ct, scanlines, chunks=1, interlace=0, extra=b''):
    data = zlib.compress(scanlines, 9)
    parts = [data[i * len(data) // chunks:(i + 1) * len(data) // chunks] for i in range(chunks)]
    png = b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, bits, ct, 0, 0, interlace))
    png += png_chunk(b'tEXt', b'Comment\x00skipped') + extra
    open(out, 'wb').write(png + b''.join(png_chunk(b'IDAT', p) for p in parts) + png_chunk(b'IEND', b''))


def filter_row(t, row, prev, bpp):
    out = bytearray([t])
    for i, v in enumerate(row):
        a, b, c = (row[i - bpp] if i >= bpp else 0), prev[i], (prev[i - bpp] if i >= bpp else 0)
        p = a + b - c
        paeth = a if abs(p - a) <= min(abs(p - b), abs(p - c)) else (b if abs(p - b) <= abs(p - c) else c)
        out.append((v - (0, a, b, (a + b) // 2, paeth)[t]) & 255)
    return bytes(out)


def centres(big_path, w, h, out):
    # The centre of each 4 x 4 block of a rendering at four device pixels per
    # image pixel: the reader's colour for that pixel, free of edge smoothing.
    big = Image.open(big_path).convert('RGB')
    if big.size != (4 * w, 4 * h):
        raise SystemExit('rendered at %s' % (big.size,))
    small = Image.new('RGB', (w, h))
    small.putdata([big.getpixel((4 * x + 2, 4 * y + 2)) for y in range(h) for x in range(w)])
    small.save(out)


def gen(mode, w, h, out, o):
    ext = os.path.splitext(out)[1].lower()
    if ext == '.png' and ('bits' in o or 'chunks' in o):
        ct = int(o.get('ct', {'L': 0, 'RGB': 2, 'P': 3, 'LA': 4, 'RGBA': 6}[mode]))
        return tpng(ct, int(o.get('bits', '8')), w, h, out, o)
    base = Image.new('RGBA', (w, h))
    base.putdata([pattern(x, y) for y in range(h) for x in range(w)])
    rgb = base.convert('RGB')
    if mode == 'CMYK':
        # Pillow stores CMYK JPEGs inverted: invert=1 pre-inverts so that the
        # file holds the plain values once the Adobe marker is gone.
        img = rgb.convert('CMYK').point(lambda v: 255 - v if o.get('invert') == '1' else v)
    elif mode == 'P':
        img = rgb.quantize(colors=int(o.get('colors', '16')))
    elif mode == '1':
        img = base.convert('L').point(lambda v: 255 if v > 110 else 0).convert('1')
    else:
        img = (rgb if o.get('opaque') == '1' else base).convert(mode)
    kw = {'.png': {'optimize': False}, '.jpg': {'quality': 95, 'subsampling': 0}, '.jp2': {'irreversible': False},
          '.j2k': {'irreversible': False, 'no_jp2': True}}.get(ext, {})
    img.save(out, **kw)
    data = open(out, 'rb').read()
    if o.get('adobe') == '0':
        at = data.index(b'\xff\xee')
        data = data[:at] + data[at + 2 + struct.unpack('>H', data[at + 2:at + 4])[0]:]
    if 'sof' in o:
        # Another frame kind (1 extended, 2 progressive, 3 lossless): only the
        # marker changes, the header behind it stays readable.
        at = data.index(b'\xff\xc0')
        data = data[:at + 1] + bytes([0xC0 + int(o['sof'])]) + data[at + 2:]
    open(out, 'wb').write(data)


def samples(path, mode, out):
    img = Image.open(path)
    open(out, 'wb').write((img.getchannel('A') if mode == 'A' else img.convert(mode)).tobytes())


def stream_object(path, length=None, pack=False):
    # A file dobmp wrote (dictionary, then the data) as a PDF stream object.
    raw = open(path, 'rb').read()
    at = raw.index(b'stream\r\n') + 8
    data = raw[at:] if length is None else raw[at:at + length]
    data = zlib.compress(data) if pack else data
    return raw[:at] + data + b'\r\nendstream', len(data)


def render(out, o):
    w, h, length_obj = int(o['width']), int(o['height']), int(o['lengthobj'])
    content = b'q %d 0 0 %d 0 0 cm /Im0 Do Q' % (w, h)
    if o.get('page') == '1':  # a coloured page under the image
        content = b'q %.4f %.4f %.4f rg 0 0 %d %d re f Q ' % (tuple(v / 255.0 for v in PAGE) + (w, h)) + content
    objs = {1: b'<< /Type /Catalog /Pages 2 0 R >>', 2: b'<< /Type /Pages /Kids [3 0 R] /Count 1 >>',
            3: b'<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] /Resources << /XObject << /Im0 %d 0 R >> >> '
               b'/Contents 4 0 R >>' % (w, h, length_obj - 1),
            4: b'<< /Length %d >>\nstream\n%s\nendstream' % (len(content), content)}
    objs[length_obj - 1], n = stream_object(o['data'], int(o['length']))
    objs[length_obj] = b'%d' % n
    if o.get('mask'):
        objs[length_obj + 1], n = stream_object(o['mask'], pack=True)
        objs[length_obj + 2] = b'%d' % n
    if o.get('side'):
        side = open(o['side'], 'rb').read()
        objs[int(o['sideobj'])] = b'<< /Length %d >>\nstream\n%s\nendstream' % (len(side), side)
    pdf, offsets, top = bytearray(b'%PDF-1.7\n'), {}, max(objs) + 1
    for n in sorted(objs):
        offsets[n] = len(pdf)
        pdf += b'%d 0 obj\n%s\nendobj\n' % (n, objs[n])
    xref = len(pdf)
    pdf += b'xref\n0 %d\n' % top + b''.join(b'%010d 00000 n \n' % offsets[n] if n in offsets else
                                           b'0000000000 65535 f \n' for n in range(top))
    pdf += b'trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n' % (top, xref)
    with tempfile.TemporaryDirectory() as tmp:
        stem = os.path.join(tmp, 'page')
        open(stem + '.pdf', 'wb').write(pdf)
        subprocess.run(['pdftoppm', '-r', '288', '-png', '-singlefile', '-aa', 'no', '-aaVector', 'no', stem + '.pdf',
                        stem], check=True, stderr=subprocess.DEVNULL)
        centres(stem + '.png', w, h, out)
    if 'compare' in o:  # the rendering against an image, as compare does
        return compare(out, o['compare'], 0, o)


def compare(a, b, tol, o):
    ia, ib = Image.open(a).convert('RGB'), Image.open(b)
    if ib.mode in ('I', 'I;16'):  # 16-bit grey: Pillow keeps it whole
        ib = ib.point(lambda v: v * (1 / 256.0)).convert('L')
    paper = Image.new('RGBA', ib.size, (PAGE if o.get('page') == '1' else (255, 255, 255)) + (255,))
    ib = Image.alpha_composite(paper, ib.convert('RGBA')).convert('RGB')
    if ia.size != ib.size:
        print('size %s != %s' % (ia.size, ib.size))
        return 1
    w = ia.size[0]
    # Block edges may be smoothed by the renderer's scaling: interior=1 skips them.
    inner = [o.get('interior') != '1' or (2 <= k % w % 8 <= 5 and 2 <= k // w % 8 <= 5) for k in range(w * ia.size[1])]
    worst = max([max(abs(p - q) for p, q in zip(pa, pb))
                 for pa, pb, keep in zip(ia.getdata(), ib.getdata(), inner) if keep] + [0])
    print('max difference %d' % worst)
    return 0 if worst <= tol else 1


def mmr(w, h, out, expected):
    # T.6 (MMR) data as libtiff's Group 4 coder writes it. libtiff codes 0
    # bits as white: black is stored as the 1 bits of an inverted image.
    black = [((x // 4) + (y // 4)) % 3 == 0 for y in range(h) for x in range(w)]
    want, inv = Image.new('L', (w, h)), Image.new('1', (w, h))
    want.putdata([0 if k else 255 for k in black])
    want.save(expected)
    inv.putdata([1 if k else 0 for k in black])
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, 'g4.tif')
        inv.save(path, compression='group4')
        t, data = Image.open(path), open(path, 'rb').read()
        open(out, 'wb').write(b''.join(data[s:s + n] for s, n in zip(t.tag_v2[273], t.tag_v2[279])))


def wmf(path, out, w, h):
    # libwmf draws the metafile at four device pixels per unit.
    with tempfile.TemporaryDirectory() as tmp:
        big_path = os.path.join(tmp, 'big.png')
        subprocess.run(['wmf2gd', '-t', 'png', '--maxwidth=%d' % (4 * w), '--maxheight=%d' % (4 * h), '--maxsize',
                        '-o', big_path, path], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        centres(big_path, w, h, out)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
PAGE = (40, 160, 90)


def tpng_sample(ct, bits, x, y, c):
    if ct == 3:
        return (x + 2 * y) % min(1 << bits, 16)
    if c == {4: 1, 6: 3}.get(ct):  # alpha
        return (x * 40 + y * 70) & 255 if bits == 8 else ((x * 40 + y * 70) & 255) << 8 | x
    if bits < 8:
        return (x // 2 + 3 * y + 2 * c) % (1 << bits)
    s = (x // 2 + 3 * y + 2 * c) % 5
    # Odd columns differ from the even ones only in the low bits: near misses of a key.
    return s * 50 + 10 + (x & 1) if bits == 8 else (s * 50 + 10) << 8 | (x & 1) * 99 + c


def tpng_rows(ct, bits, xs, ys):
    n = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[ct]
    rows = []
    for y in ys:
        values = [tpng_sample(ct, bits, x, y, c) for x in xs for c in range(n)]
        if bits == 16:
            rows.append(struct.pack('>%dH' % len(values), *values))
        else:
            packed = 0
            for v in values:
                packed = packed << bits | v
            pad = -len(values) * bits % 8
            rows.append((packed << pad).to_bytes((len(values) * bits + pad) // 8, 'big'))
    return rows, max(1, n * bits // 8)


def tpng(ct, bits, w, h, out, o):
    npal = min(1 << bits, 16)
    palette = b''.join(bytes([i * 97 & 255, (i * 53 + 40) & 255, (i * 31 + 90) & 255]) for i in range(npal))
    n = {0: 1, 2: 3}.get(ct, 3)
    trns = o.get('trns', '')
    if trns == 'key':
        trns = ','.join(str(tpng_sample(ct, bits, 0, 0, c)) for c in range(n))
    values = [int(v) for v in trns.split(',')] if trns else []
    chunk = bytes(values) if ct == 3 else struct.pack('>%dH' % len(values), *values)
    if o.get('pillow') == '1':
        img = Image.new({0: 'L', 2: 'RGB', 3: 'P'}[ct], (w, h))
        img.frombytes(b''.join(tpng_rows(ct, bits, range(w), range(h))[0]))
        if ct == 3:
            img.putpalette(palette)
        img.save(out, transparency=chunk if ct == 3 else values[0] if ct == 0 else tuple(values), optimize=False)
        return
    passes = ADAM7 if o.get('interlace') == '1' else [(0, 0, 1, 1)]
    raw = b''
    for x0, y0, dx, dy in passes:
        rows, bpp = tpng_rows(ct, bits, range(x0, w, dx), range(y0, h, dy))
        prev = bytes(len(rows[0]) if rows else 0)
        for y, row in enumerate(rows if rows and rows[0] else []):
            raw += filter_row(y % 5, row, prev, bpp)
            prev = row
    extra = (png_chunk(b'PLTE', palette) if ct == 3 else b'') + (png_chunk(b'tRNS', chunk) if trns else b'')
    write_png(out, w, h, bits, ct, raw, int(o.get('chunks', '1')), len(passes) > 1, extra)


def tcheck(png, o):
    w, h = Image.open(png).size
    with tempfile.TemporaryDirectory() as tmp:
        want = png
        if b'tRNS' in open(png, 'rb').read():
            want = tmp + '/want.png'
            subprocess.run(['/usr/bin/convert', png, '-colorspace', 'sRGB', '-background', 'rgb%s' % (PAGE,),
                            '-alpha', 'remove', '-depth', '8', 'PNG24:' + want], check=True)
        render(tmp + '/got.png', dict(o, width=str(w), height=str(h), page='1', compare=want))


def batch(path):
    # One command a line, its arguments separated by tabs: many images for
    # one start of Python.
    for line in open(path):
        args = line.rstrip('\n').split('\t')
        COMMANDS[args[0]](args[1:])


COMMANDS = {
    'batch': lambda a: batch(a[0]),
    'gen': lambda a: gen(a[0], int(a[1]), int(a[2]), a[3], opts(a[4:])),
    'samples': lambda a: samples(a[0], a[1], a[2]),
    'render': lambda a: render(a[0], opts(a[1:])),
    'compare': lambda a: compare(a[0], a[1], int(a[2]), opts(a[3:])),
    'mmr': lambda a: mmr(int(a[0]), int(a[1]), a[2], a[3]),
    'scanpng': lambda a: write_png(a[4], int(a[0]), int(a[1]), 8, int(a[2]), open(a[3], 'rb').read()),
    'wmf': lambda a: wmf(a[0], a[1], int(a[2]), int(a[3])),
    'tpng': lambda a: tpng(int(a[0]), int(a[1]), int(a[2]), int(a[3]), a[4], opts(a[5:])),
    'tcheck': lambda a: tcheck(a[0], opts(a[1:])),
}

if __name__ == '__main__':
    sys.exit(COMMANDS[sys.argv[1]](sys.argv[2:]) or 0)
