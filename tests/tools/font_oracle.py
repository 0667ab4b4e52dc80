#!/usr/bin/env python3
"""What fontTools reads from fonts, for the tests to compare against. Every
line is "KEY VALUE..."; FONT may name a collection's member as PATH#INDEX.

  info FONT        dir TAG CHECKSUM OFFSET LENGTH (raw directory order; '_' for a blank),
                   head UPEM XMIN YMIN XMAX YMAX LOCAFORMAT, hhea NUMBEROFHMETRICS, adv GLYPH ADVANCE
                   (long metrics), loca I OFFSET, os2 VERSION WEIGHT WIDTH FSTYPE FIRST LAST WINASC
                   WINDESC CP1 CP2 XHEIGHT CAPHEIGHT FSSELECTION, panose B0..B9, post ITALICANGLE (raw),
                   name full|family HEX (Windows English), cmap CODE GLYPH (Windows format 4 map)
  facts FONT CHARS unitsPerEm, winAscent, winDescent, ascender, descender, lineGap, fsType, firstChar,
                   lastChar, family, fullName, advance_CODE of each of CHARS (glyph 0's when missing)
  advances FONT HEX_UTF8
                   upem, vertical WINASC WINDESC ASCENDER DESCENDER LINEGAP, advances (glyph 0's for
                   a missing character) and glyphs (-1 when missing) of the text's characters
  descriptor FONT  BYTEOFFSET VALUE for each integer of the font descriptor record (thousandths of
                   the em, truncated toward zero), then full HEX and family HEX (Windows English)
  check SOURCE SUBSET [--glyphs G,..] [--cmap6 C:G,..] [--tables TAG,..] [--draw NAME,..] [--text HEX]
                   Reads a subset written by the engine and checks it against its source: the
                   directory (binary search fields, tables 4-aligned one after the other), every table decompiles, numGlyphs and the copied tables are the source's,
                   loca rises to the glyf length, each glyph kept (--glyphs; without it, each glyph
                   with data) has the source's bytes and the others none, CFF as check_cff says,
                   --cmap6 codes reach the given glyphs through one (1,0) format 6 map, --tables is
                   the tag list, --draw glyphs draw as in the source, every glyph with an outline
                   in the source that --text needs has one. Prints tables, family, inked (glyphs
                   with data), needed (the text's source glyphs, -1 when none), cmap10 CODE:GLYPH..
                   (the (1,0) map), then ok, or fail MESSAGE lines and exit status 1.
"""
import argparse
import struct
import sys

from fontTools.misc.psCharStrings import calcSubrBias
from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.ttLib import TTFont

failures = []


def open_font(name):
    path, _, member = name.partition("#")
    return TTFont(path, fontNumber=int(member or 0))


def windows_name(font, nid):
    found = b""
    for rec in font["name"].names:
        if rec.platformID == 3 and rec.langID == 0x409 and rec.nameID == nid:
            found = rec.toBytes()
    return found[:200].hex()


def os2_version_fields(os2):
    """Code page ranges, x-height and cap height, with the values a reader
    assumes for older OS/2 versions."""
    v = os2.version
    return (os2.ulCodePageRange1 if v else 1, os2.ulCodePageRange2 if v else 0,
            os2.sxHeight if v >= 2 else 0, os2.sCapHeight if v >= 2 else 1000)


def info(name):
    path, _, member = name.partition("#")
    data = open(path, "rb").read()
    base = struct.unpack(">I", data[12 + 4 * int(member):16 + 4 * int(member)])[0] if member else 0
    for i in range(struct.unpack(">H", data[base + 4:base + 6])[0]):
        tag, checksum, offset, length = struct.unpack(">4sIII", data[base + 12 + 16 * i:base + 28 + 16 * i])
        print("dir", tag.decode("latin-1").replace(" ", "_"), checksum, offset, length)
    font = open_font(name)
    head, os2 = font["head"], font["OS/2"]
    print("head", head.unitsPerEm, head.xMin, head.yMin, head.xMax, head.yMax, head.indexToLocFormat)
    print("hhea", font["hhea"].numberOfHMetrics)
    glyphs = font.getGlyphOrder()
    for g in range(font["hhea"].numberOfHMetrics):
        print("adv", g, font["hmtx"][glyphs[g]][0])
    for i, v in enumerate(font["loca"].locations):
        print("loca", i, v)
    cp1, cp2, xh, caph = os2_version_fields(os2)
    print("os2", os2.version, os2.usWeightClass, os2.usWidthClass, os2.fsType, os2.usFirstCharIndex,
          os2.usLastCharIndex, os2.usWinAscent, os2.usWinDescent, cp1, cp2, xh, caph, os2.fsSelection)
    print("panose", *vars(os2.panose).values())
    print("post", struct.unpack(">I", font.reader["post"][4:8])[0])
    for rec in font["name"].names:
        if rec.platformID == 3 and rec.langID == 0x409 and rec.nameID in (1, 4):
            print("name", "full" if rec.nameID == 4 else "family", rec.string[:200].hex())
    best = None
    for st in font["cmap"].tables:
        if (st.platformID, st.platEncID) == (3, 1) or (st.platformID, st.platEncID) == (3, 0) and best is None:
            best = st
    if best is not None and best.format == 4:
        for code, name in sorted(best.cmap.items()):
            if code != 0xFFFF:
                print("cmap", code, font.getGlyphID(name))


def facts(font, chars):
    os2, hhea, cmap = font["OS/2"], font["hhea"], font.getBestCmap()
    for key, value in (("unitsPerEm", font["head"].unitsPerEm), ("winAscent", os2.usWinAscent),
                       ("winDescent", os2.usWinDescent), ("ascender", hhea.ascent), ("descender", hhea.descent),
                       ("lineGap", hhea.lineGap), ("fsType", os2.fsType), ("firstChar", os2.usFirstCharIndex),
                       ("lastChar", os2.usLastCharIndex)):
        print(key, value)
    for key, nid in (("family", 1), ("fullName", 4)):
        name = font["name"].getName(nid, 3, 1, 0x409)
        print(key, name.toUnicode() if name else "")
    for ch in chars:
        print("advance_%d" % ord(ch), font["hmtx"][cmap.get(ord(ch), font.getGlyphOrder()[0])][0])


def advances(font, text):
    os2, hhea, cmap = font["OS/2"], font["hhea"], font.getBestCmap()
    print("upem", font["head"].unitsPerEm)
    print("vertical", os2.usWinAscent, os2.usWinDescent, hhea.ascent, hhea.descent, hhea.lineGap)
    print("advances", *(font["hmtx"][cmap.get(ord(ch), font.getGlyphOrder()[0])][0] for ch in text))
    print("glyphs", *(font.getGlyphID(cmap[ord(ch)]) if ord(ch) in cmap else -1 for ch in text))


def descriptor(font):
    head, os2, post = font["head"], font["OS/2"], font["post"]

    def scaled(v):
        return (1 if v >= 0 else -1) * (abs(v) * 1000 // head.unitsPerEm)  # toward zero

    def s32(u):
        return struct.unpack(">i", struct.pack(">I", u & 0xFFFFFFFF))[0]

    cp1, cp2, xh, caph = os2_version_fields(os2)
    maps = {(t.platformID, t.platEncID) for t in font["cmap"].tables}
    values = list(vars(os2.panose).values()) + [
        s32(os2.ulUnicodeRange1), s32(os2.ulUnicodeRange2), s32(os2.ulUnicodeRange3), s32(os2.ulUnicodeRange4),
        s32(cp1), s32(cp2), None, os2.fsType, os2.fsSelection, int("glyf" in font), int("post" in font),
        os2.usFirstCharIndex, os2.usLastCharIndex, scaled(os2.usWinAscent), scaled(os2.usWinDescent),
        scaled(caph), os2.usWidthClass, os2.usWeightClass, scaled(xh), scaled(head.xMin), scaled(head.yMin),
        scaled(head.xMax), scaled(head.yMax), s32(round(post.italicAngle * 65536)), None,
        int((3, 1) in maps), int((3, 0) in maps)]
    for k, v in enumerate(values):
        if v is not None:
            print(4 * k, v)
    print("full", windows_name(font, 4))
    print("family", windows_name(font, 1))


def fail(message):
    failures.append(message)


def draws_alike(src, sub, gid):
    sset, dset = src.getGlyphSet(), sub.getGlyphSet()
    p1, p2 = DecomposingRecordingPen(sset), DecomposingRecordingPen(dset)
    sset[src.getGlyphOrder()[gid]].draw(p1)
    dset[sub.getGlyphOrder()[gid]].draw(p2)  # subsets have no post table: names differ
    return p1.value == p2.value


def raw(charstring):
    if charstring.bytecode is None:
        charstring.compile()
    return charstring.bytecode


def check_directory(data, tags):
    n = len(tags)
    power = 1 << (n.bit_length() - 1) if n else 0
    if struct.unpack(">HHH", data[6:12]) != (16 * power, max(n.bit_length() - 1, 0), 16 * (n - power)):
        fail("directory search fields %s for %d tables" % (struct.unpack(">HHH", data[6:12]), n))
    at = 12 + 16 * n
    for i in range(n):
        offset, length = struct.unpack(">II", data[20 + 16 * i:28 + 16 * i])
        if offset != at:
            fail("table %s at %d, expected %d" % (tags[i], offset, at))
        at = offset + (length + 3 & ~3)
    if at != len(data):
        fail("the tables end at %d, the file at %d" % (at, len(data)))


def check_cff(src, sub, kept):
    """The glyph count is the source's; a kept glyph has the source's
    charstring and draws the same outline (subroutines resolved), any other
    is a bare endchar; a subroutine has the source's bytes exactly when a
    kept charstring reaches it (walked here over fontTools' decompiled
    programs), any other is a bare return or, after the last one reached,
    left out; a CID-keyed font's charset is the identity (CID = glyph
    number)."""
    scff, dcff = src["CFF "].cff, sub["CFF "].cff
    stop, dtop = scff.topDictIndex[0], dcff.topDictIndex[0]
    sorder, dorder = src.getGlyphOrder(), sub.getGlyphOrder()
    cid = hasattr(stop, "ROS")
    if len(dorder) != len(sorder):
        return fail("CFF has %d glyphs, source %d" % (len(dorder), len(sorder)))
    if cid and dorder != [".notdef"] + ["cid%05d" % g for g in range(1, len(dorder))]:
        fail("CID-keyed charset is not the identity")

    def local(gid):
        fd = stop.FDSelect[gid] if cid else 0
        return fd, getattr(stop.FDArray[fd].Private if cid else stop.Private, "Subrs", [])

    reached = set()

    def walk(program, gid):
        for k, token in enumerate(program):
            if token in ("callsubr", "callgsubr"):
                key, subrs = local(gid) if token == "callsubr" else ("g", scff.GlobalSubrs)
                i = program[k - 1] + calcSubrBias(subrs)
                if (key, i) not in reached:
                    reached.add((key, i))
                    walk(subrs[i].program, gid)

    for gid in range(len(dorder)):
        s, d = stop.CharStrings[sorder[gid]], dtop.CharStrings[dorder[gid]]
        if gid not in kept:
            if raw(d) != b"\x0e":
                fail("glyph %d should be a bare endchar" % gid)
            continue
        if raw(d) != raw(s) or not draws_alike(src, sub, gid):
            fail("glyph %d differs from the source's" % gid)
        s.decompile()
        walk(s.program, gid)
    sources = [("g", scff.GlobalSubrs, dcff.GlobalSubrs)]
    for fd in range(len(stop.FDArray) if cid else 1):
        sp, dp = (stop.FDArray[fd].Private, dtop.FDArray[fd].Private) if cid else (stop.Private, dtop.Private)
        sources.append((fd, getattr(sp, "Subrs", []), getattr(dp, "Subrs", [])))
    for key, ssubrs, dsubrs in sources:
        # Trailing ones may be left out, as long as the bias stays.
        last = max([i for k, i in reached if k == key], default=-1)
        if len(dsubrs) > len(ssubrs) or last >= len(dsubrs) or (last >= 0 and calcSubrBias(dsubrs) != calcSubrBias(ssubrs)):
            fail("subroutines %s: %d, source %d, last reached %d" % (key, len(dsubrs), len(ssubrs), last))
            continue
        for i in range(len(dsubrs)):
            want = raw(ssubrs[i]) if (key, i) in reached else b"\x0b"
            if raw(dsubrs[i]) != want:
                fail("subroutine %s %d: %s, expected %s" % (key, i, raw(dsubrs[i])[:8].hex(), want[:8].hex()))


def check_glyf(src, sub, kept):
    sloca, dloca = src["loca"].locations, sub["loca"].locations
    sglyf, dglyf = src.reader["glyf"], sub.reader["glyf"]
    if len(dloca) != len(sloca):
        return fail("loca size %d, source %d" % (len(dloca), len(sloca)))
    if any(dloca[i] < dloca[i - 1] for i in range(1, len(dloca))) or dloca[-1] != len(dglyf):
        return fail("loca does not rise to the glyf length %d" % len(dglyf))
    for g in range(len(dloca) - 1):
        d, s = dglyf[dloca[g]:dloca[g + 1]], sglyf[sloca[g]:sloca[g + 1]]
        keep = g in kept if kept is not None else len(d) > 0
        if keep and (d[:len(s)] != s or len(d) - len(s) > 3 or any(d[len(s):])):
            fail("glyph %d: %d bytes, source %d, not equal" % (g, len(d), len(s)))
        if not keep and d:
            fail("glyph %d should be empty, has %d bytes" % (g, len(d)))


def check(a):
    src, sub = open_font(a.source), TTFont(a.subset)
    data = open(a.subset, "rb").read()
    tags = [data[12 + 16 * i:16 + 16 * i].decode("latin-1") for i in range(struct.unpack(">H", data[4:6])[0])]
    print("tables", " ".join(sorted(tags)))
    print("family", sub["name"].getDebugName(1))
    check_directory(data, tags)
    for tag in tags:
        sub[tag]
    if a.tables is not None and tags != a.tables.split(","):
        fail("tables %s, expected %s" % (tags, a.tables))
    if sub["maxp"].numGlyphs != src["maxp"].numGlyphs:
        fail("numGlyphs changed")
    for tag in ("head", "hhea", "hmtx", "maxp", "name", "OS/2"):
        if tag in tags and sub.reader[tag] != src.reader[tag]:
            fail("table %s not copied unchanged" % tag)
    kept = {int(g) for g in a.glyphs.split(",") if g} if a.glyphs is not None else None
    inked = []
    if "glyf" in tags:
        check_glyf(src, sub, kept)
        inked = [g for g, n in enumerate(sub.getGlyphOrder()) if sub["glyf"][n].numberOfContours != 0]
    if "CFF " in tags:
        check_cff(src, sub, kept or set())
    print("inked", *inked)
    if a.cmap6 is not None:
        body = sub.reader["cmap"]
        count = struct.unpack(">H", body[20:22])[0] if len(body) >= 22 else -1
        if len(body) != 22 + 2 * count or struct.unpack(">HH", body[12:16]) != (6, 10 + 2 * count):
            fail("cmap of %d bytes for a format 6 map of %d codes" % (len(body), count))
        tables = sub["cmap"].tables
        if len(tables) != 1 or (tables[0].format, tables[0].platformID, tables[0].platEncID) != (6, 1, 0):
            fail("cmap is not a single (1,0) format 6 map")
        for c, g in (map(int, pair.split(":")) for pair in a.cmap6.split(",") if pair):
            if sub.getGlyphID(tables[0].cmap.get(c, ".notdef")) != g:
                fail("code %d maps to %s, expected glyph %d" % (c, tables[0].cmap.get(c), g))
    for name in a.draw.split(",") if a.draw else []:
        pen = DecomposingRecordingPen(src.getGlyphSet())
        src.getGlyphSet()[name].draw(pen)
        if not pen.value or not draws_alike(src, sub, src.getGlyphID(name)):
            fail("glyph %s draws differently" % name)
    best = src.getBestCmap()
    needed = [src.getGlyphID(best[ord(ch)]) if ord(ch) in best else -1 for ch in a.text]
    print("needed", *needed)
    for g in needed:
        if g >= 0 and "glyf" in tags and src["glyf"][src.getGlyphOrder()[g]].numberOfContours and g not in inked:
            fail("glyph %d, which the text needs, has no outline" % g)
    mac = sub["cmap"].getcmap(1, 0) if "cmap" in tags else None
    if mac is not None:
        print("cmap10", " ".join("%d:%d" % (c, sub.getGlyphID(n)) for c, n in sorted(mac.cmap.items())))
    for message in failures:
        print("fail", message)
    print("ok" if not failures else "")
    return 1 if failures else 0


def main():
    command, args = sys.argv[1], sys.argv[2:]
    if command == "info":
        info(args[0])
    elif command == "facts":
        facts(open_font(args[0]), args[1] if len(args) > 1 else "H")
    elif command == "advances":
        advances(open_font(args[0]), bytes.fromhex(args[1]).decode("utf-8") if len(args) > 1 else "")
    elif command == "descriptor":
        descriptor(open_font(args[0]))
    elif command == "check":
        ap = argparse.ArgumentParser()
        for name in ("source", "subset"):
            ap.add_argument(name)
        for option in ("--glyphs", "--cmap6", "--tables", "--draw"):
            ap.add_argument(option)
        ap.add_argument("--text", default="", type=lambda h: bytes.fromhex(h).decode("utf-8"))
        return check(ap.parse_args(args))
    else:
        sys.exit("unknown command " + command)
    return 0


if __name__ == "__main__":
    sys.exit(main())
