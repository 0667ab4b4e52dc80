#!/usr/bin/env python3
# What fontTools reads from fonts, for the tests to compare against. Every
# line it prints is "KEY VALUE..."; FONT may name a collection's member as
# PATH#INDEX.
#
#   facts FONT CHARS, advances FONT HEX_UTF8
#                     upem, fsType, fullName, vertical WINASC WINDESC ASCENDER DESCENDER LINEGAP,
#                     and the advances and glyphs (-1: missing, advance of glyph 0) of the characters
#   descriptor FONT   BYTEOFFSET VALUE for each integer of the font descriptor record (thousandths
#                     of the em, truncated toward zero), then full HEX and family HEX
#   codepage CP       table U0 .. U255: the characters of a Windows code page's codes, 0 for none
#   check SOURCE SUBSET [--glyphs G,..] [--cmap6 C:G,..] [--tables TAG,..] [--draw NAME,..] [--text HEX]
#                     Checks a subset the engine wrote against its source, see check(). Prints
#                     tables, family, inked (glyphs with data), needed (the source's glyphs of the
#                     text, -1 when none), cmap10 CODE:GLYPH.. (a (1,0) map), then ok, or fail
#                     MESSAGE lines and exit status 1.
import argparse
import struct
import sys

from fontTools.misc.psCharStrings import calcSubrBias
from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.ttLib import TTFont

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)
    return condition


def open_font(name):
    path, _, member = name.partition("#")
    return TTFont(path, fontNumber=int(member or 0))


def windows_name(font, nid):
    found = b""
    for rec in font["name"].names:
        if rec.platformID == 3 and rec.langID == 0x409 and rec.nameID == nid:
            found = rec.toBytes()
    return found[:200].hex()


def advance(font, ch):
    return font["hmtx"][font.getBestCmap().get(ord(ch), font.getGlyphOrder()[0])][0]


# The keys of both commands, facts and advances.
def facts(font, text):
    os2, hhea, cmap, name = font["OS/2"], font["hhea"], font.getBestCmap(), font["name"].getName(4, 3, 1, 0x409)
    print("upem", font["head"].unitsPerEm)
    print("fsType", os2.fsType)
    print("fullName", name.toUnicode() if name else "")
    print("vertical", os2.usWinAscent, os2.usWinDescent, hhea.ascent, hhea.descent, hhea.lineGap)
    print("advances", *(advance(font, ch) for ch in text))
    print("glyphs", *(font.getGlyphID(cmap[ord(ch)]) if ord(ch) in cmap else -1 for ch in text))


def descriptor(font):
    head, os2, post = font["head"], font["OS/2"], font["post"]

    def scaled(v):
        return (1 if v >= 0 else -1) * (abs(v) * 1000 // head.unitsPerEm)  # toward zero

    def s32(u):
        return struct.unpack(">i", struct.pack(">I", u & 0xFFFFFFFF))[0]

    # Older OS/2 versions lack these: the values a reader assumes.
    v = os2.version
    cp1, cp2 = (os2.ulCodePageRange1, os2.ulCodePageRange2) if v else (1, 0)
    xh, caph = (os2.sxHeight, os2.sCapHeight) if v >= 2 else (0, 1000)
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


# The binary search fields; each table 4-aligned right after the previous
# one, the last ending the file.
def check_directory(data, tags):
    n = len(tags)
    power = 1 << (n.bit_length() - 1) if n else 0
    fields = struct.unpack(">HHH", data[6:12])
    expect(fields == (16 * power, max(n.bit_length() - 1, 0), 16 * (n - power)), "search fields %s" % (fields,))
    at = 12 + 16 * n
    for i in range(n):
        offset, length = struct.unpack(">II", data[20 + 16 * i:28 + 16 * i])
        expect(offset == at, "table %s at %d, expected %d" % (tags[i], offset, at))
        at = offset + (length + 3 & ~3)
    expect(at == len(data), "the tables end at %d, the file at %d" % (at, len(data)))


# The glyph count is the source's; a kept glyph has the source's charstring
# and draws the same outline (subroutines resolved: a subroutine it needs
# must be there), any other is a bare endchar; each subroutine is the
# source's or a bare return, trailing ones left out only while the bias
# stays; a CID-keyed font's charset is the identity (CID = glyph number).
def check_cff(src, sub, kept):
    scff, dcff = src["CFF "].cff, sub["CFF "].cff
    stop, dtop = scff.topDictIndex[0], dcff.topDictIndex[0]
    sorder, dorder = src.getGlyphOrder(), sub.getGlyphOrder()
    cid = hasattr(stop, "ROS")
    if not expect(len(dorder) == len(sorder), "CFF has %d glyphs, source %d" % (len(dorder), len(sorder))):
        return
    expect(not cid or dorder == [".notdef"] + ["cid%05d" % g for g in range(1, len(dorder))], "CID charset")
    for gid in range(len(dorder)):
        s, d = stop.CharStrings[sorder[gid]], dtop.CharStrings[dorder[gid]]
        if gid in kept:
            expect(raw(d) == raw(s) and draws_alike(src, sub, gid), "glyph %d differs from the source's" % gid)
        else:
            expect(raw(d) == b"\x0e", "glyph %d should be a bare endchar" % gid)
    pairs = [(scff.GlobalSubrs, dcff.GlobalSubrs)]
    for sp, dp in zip(*(t.FDArray if cid else [t] for t in (stop, dtop))):
        pairs.append((getattr(sp.Private, "Subrs", []), getattr(dp.Private, "Subrs", [])))
    for ssubrs, dsubrs in pairs:
        expect(len(dsubrs) <= len(ssubrs) and (not len(dsubrs) or calcSubrBias(dsubrs) == calcSubrBias(ssubrs)),
               "%d subroutines, source %d" % (len(dsubrs), len(ssubrs)))
        for i in range(min(len(dsubrs), len(ssubrs))):
            expect(raw(dsubrs[i]) in (raw(ssubrs[i]), b"\x0b"), "subroutine %d: %s" % (i, raw(dsubrs[i])[:8].hex()))


# loca rises to the glyf length; each kept glyph (without a list: each
# with data) has the source's bytes plus at most 3 zeros, the others none.
def check_glyf(src, sub, kept):
    sloca, dloca = src["loca"].locations, sub["loca"].locations
    sglyf, dglyf = src.reader["glyf"], sub.reader["glyf"]
    if not expect(len(dloca) == len(sloca) and dloca[-1] == len(dglyf) and
                  all(dloca[i] >= dloca[i - 1] for i in range(1, len(dloca))), "loca does not rise to glyf's end"):
        return
    for g in range(len(dloca) - 1):
        d, s = dglyf[dloca[g]:dloca[g + 1]], sglyf[sloca[g]:sloca[g + 1]]
        if g in kept if kept is not None else len(d) > 0:
            expect(d[:len(s)] == s and len(d) - len(s) <= 3 and not any(d[len(s):]), "glyph %d differs" % g)
        else:
            expect(not d, "glyph %d should be empty, has %d bytes" % (g, len(d)))


# Besides the directory, glyphs and subroutines: every table decompiles;
# numGlyphs and the copied tables are the source's; --tables is the tag
# list; --cmap6 codes reach their glyphs through one (1,0) format 6 map;
# --draw glyphs and every glyph the text needs that has an outline in the
# source draw as in the source.
def check(a):
    src, sub = open_font(a.source), TTFont(a.subset)
    data = open(a.subset, "rb").read()
    tags = [data[12 + 16 * i:16 + 16 * i].decode("latin-1") for i in range(struct.unpack(">H", data[4:6])[0])]
    print("tables", " ".join(sorted(tags)))
    print("family", sub["name"].getDebugName(1))
    check_directory(data, tags)
    for tag in tags:
        sub[tag]
    expect(a.tables is None or tags == a.tables.split(","), "tables %s, expected %s" % (tags, a.tables))
    expect(sub["maxp"].numGlyphs == src["maxp"].numGlyphs, "numGlyphs changed")
    for tag in {"head", "hhea", "hmtx", "maxp", "name", "OS/2"} & set(tags):
        expect(sub.reader[tag] == src.reader[tag], "table %s not copied unchanged" % tag)
    kept = {int(g) for g in a.glyphs.split(",") if g} if a.glyphs is not None else None
    if "glyf" in tags:
        check_glyf(src, sub, kept)
        print("inked", *(g for g, n in enumerate(sub.getGlyphOrder()) if sub["glyf"][n].numberOfContours != 0))
    if "CFF " in tags:
        check_cff(src, sub, kept or set())
    if a.cmap6 is not None:
        body, tables = sub.reader["cmap"], sub["cmap"].tables
        count = struct.unpack(">H", body[20:22])[0] if len(body) >= 22 else -1
        expect(len(body) == 22 + 2 * count and struct.unpack(">HH", body[12:16]) == (6, 10 + 2 * count),
               "cmap of %d bytes for a format 6 map of %d codes" % (len(body), count))
        expect(len(tables) == 1 and (tables[0].format, tables[0].platformID, tables[0].platEncID) == (6, 1, 0),
               "cmap is not a single (1,0) format 6 map")
        for c, g in (map(int, pair.split(":")) for pair in a.cmap6.split(",") if pair):
            expect(sub.getGlyphID(tables[0].cmap.get(c, ".notdef")) == g, "code %d does not reach glyph %d" % (c, g))
    best = src.getBestCmap()
    needed = [src.getGlyphID(best[ord(ch)]) if ord(ch) in best else -1 for ch in a.text]
    print("needed", *needed)
    drawn = a.draw.split(",") if a.draw else []
    for name in drawn + [src.getGlyphOrder()[g] for g in needed if g >= 0]:
        pen = DecomposingRecordingPen(src.getGlyphSet())
        src.getGlyphSet()[name].draw(pen)
        expect(not pen.value and name not in drawn or draws_alike(src, sub, src.getGlyphID(name)),
               "glyph %s draws differently" % name)
    mac = sub["cmap"].getcmap(1, 0) if "cmap" in tags else None
    if mac is not None:
        print("cmap10", " ".join("%d:%d" % (c, sub.getGlyphID(n)) for c, n in sorted(mac.cmap.items())))
    for message in failures:
        print("fail", message)
    print("ok" if not failures else "")
    return 1 if failures else 0


def main():
    command, args = sys.argv[1], sys.argv[2:]
    if command == "check":
        ap = argparse.ArgumentParser()
        for name in ("source", "subset", "--glyphs", "--cmap6", "--tables", "--draw"):
            ap.add_argument(name)
        ap.add_argument("--text", default="", type=lambda h: bytes.fromhex(h).decode("utf-8"))
        return check(ap.parse_args(args))
    if command in ("facts", "advances"):
        text = args[1] if len(args) > 1 else ""
        facts(open_font(args[0]), bytes.fromhex(text).decode("utf-8") if command == "advances" else text or "H")
    elif command == "descriptor":
        descriptor(open_font(args[0]))
    elif command == "codepage":
        chars = [bytes([c]).decode("cp" + args[0], errors="replace") for c in range(256)]
        print("table", *(0 if ch == "\ufffd" else ord(ch) for ch in chars))
    else:
        sys.exit("unknown command " + command)
    return 0


if __name__ == "__main__":
    sys.exit(main())
