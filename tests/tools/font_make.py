#!/usr/bin/env python3
# Builds the fonts the font tests need, with fontTools.
#
# usage: font_make.py kinds OUTDIR  every font of KINDS as OUTDIR/KIND.ttf (.ttc for
#            collections, .otf for PostScript outlines); the Kd ones are the faces the font
#            service tests find through KDLIB_FONT_DIRS
#        font_make.py collection OUT.ttc FONT FAMILY [FONT FAMILY ...]  members renamed
import os
import struct
import sys

from fontTools.cffLib import FDArrayIndex, FDSelect, FontDict, PrivateDict, SubrsIndex
from fontTools.fontBuilder import FontBuilder
from fontTools.misc.psCharStrings import T2CharString
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTCollection, TTFont, newTable
from fontTools.ttLib.tables._c_m_a_p import cmap_format_4, cmap_format_12
from fontTools.ttLib.tables._g_l_y_f import Glyph, GlyphComponent


def box(x0, y0, x1, y1, pen=None):
    pen = pen or TTGlyphPen(None)
    pen.moveTo((x0, y0))
    for corner in ((x0, y1), (x1, y1), (x1, y0)):
        pen.lineTo(corner)
    pen.closePath()
    return pen.glyph() if isinstance(pen, TTGlyphPen) else pen.getCharString()


def composite(parts):
    g = Glyph()
    g.numberOfContours, g.components = -1, []
    for name, dx, dy in parts:
        c = GlyphComponent()
        c.glyphName, c.x, c.y, c.flags = name, dx, dy, 0x4  # ROUND_XY_TO_GRID
        g.components.append(c)
    return g


# The tables every font has; code page range Latin 1 for Windows' font mapper.
def finish(fb, metrics, family, **os2):
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": family, "styleName": "Regular", "fullName": family,
                       "psName": family.replace(" ", "")})
    fb.setupOS2(usWinAscent=900, usWinDescent=250, ulCodePageRange1=1, **os2)
    fb.setupPost()
    return fb.font


# Boxes: .notdef, space, one glyph per character, then `extra`; glyph k
# advances 500 + 10 k (600 each when mono). 13 tables.
def base_font(family="Test Sans", upem=1000, chars=(0x41, 0x42, 0x43, 0xE9), mono=False, extra=(), **os2):
    order = [".notdef", "space"] + ["u%04X" % c for c in chars] + [n for n, _ in extra]
    glyphs = {".notdef": box(50, 0, 450, 700), "space": Glyph(), **dict(extra)}
    for i, c in enumerate(chars):
        glyphs["u%04X" % c] = box(20 + i, 0, 500 + 7 * i, 600 + i)
    fb = FontBuilder(upem, isTTF=True)
    fb.setupGlyphOrder(order)
    fb.setupCharacterMap({0x20: "space", **{c: "u%04X" % c for c in chars}})
    fb.setupGlyf(glyphs)
    font = finish(fb, {n: (600 if mono else 500 + 10 * i, 20) for i, n in enumerate(order)}, family,
                  **{"sTypoAscender": 800, "sxHeight": 480, "sCapHeight": 700, **os2})
    # cvt, fpgm and prep, which subsets never copy; the programs PUSHB[0] 1.
    for tag, data in (("cvt ", b"\0\0\0\x0a\0\x14"), ("fpgm", b"\xb0\x01"), ("prep", b"\xb0\x01")):
        font[tag] = newTable(tag)
        font[tag].decompile(data, font)
    return font


# subtables: (platform, encoding, format, mapping) each.
def set_cmap(font, subtables):
    font["cmap"].tables = []
    for plat, enc, fmt, mapping in subtables:
        st = cmap_format_4(4) if fmt == 4 else cmap_format_12(12)
        st.platformID, st.platEncID, st.language, st.cmap = plat, enc, 0, dict(mapping)
        font["cmap"].tables.append(st)
    return font


# Only a (3,0) map, at U+F020..; code page range 1 the symbol bit.
def symbol_font(family="Test Symbol", version=1):
    chars = [0xF020, 0xF041, 0xF042]
    font = set_cmap(base_font(family, chars=chars), [(3, 0, 4, {c: "u%04X" % c for c in chars})])
    os2 = font["OS/2"]
    os2.version, os2.ulCodePageRange1, os2.ulCodePageRange2 = version, 0x80000000 if version else 0, 0
    return font


def rename(font, family):
    font["name"].names = [n for n in font["name"].names if n.nameID not in (1, 2, 4, 6, 16, 17)]
    for nid, value in ((1, family), (2, "Regular"), (4, family), (6, family.replace(" ", ""))):
        font["name"].setName(value, nid, 3, 1, 0x409)
        font["name"].setName(value, nid, 1, 0, 0)
    return font


# Changes a saved font's bytes: edit(data, tables) with tables tag ->
# (directory entry offset, table offset).
def patched(path, edit):
    data = bytearray(open(path, "rb").read())
    tables = {}
    for i in range(struct.unpack(">H", data[4:6])[0]):
        tag, _, off, _ = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        tables[tag.decode("latin-1")] = (12 + 16 * i, off)
    edit(data, tables)
    open(path, "wb").write(bytes(data))


def overwrite(where, value):
    return lambda data, tables: data.__setitem__(slice(where(tables), where(tables) + len(value)), value)


def reorder(data, tables, order):
    records = {t: bytes(data[e:e + 16]) for t, (e, _) in tables.items()}
    data[12:12 + 16 * len(records)] = b"".join(records[t] for t in order)


BIAS = 107  # of fewer than 1240 subroutines
CFF_LOCAL = [
    [100, 0, "rlineto", 0, 100, "rlineto", "return"],
    [0 - BIAS, "callsubr", -100, 0, "rlineto", "return"],  # calls 0
    [50, 50, "rlineto", "return"],  # only D's
    ["hintmask", b"\x80\x0e", 4 - BIAS, "callsubr", "return"],  # a mask of the caller's 16 stems
    [10, 10, "rlineto", "return"],
    [20, -20, "rlineto", "return"],  # called by global 0
    [5, 5, "rlineto", "return"],  # the accent's
]
CFF_GLOBAL = [[5 - BIAS, "callsubr", "return"], [1, 1, "rlineto", "return"]]
STEMS = [v for k in range(8) for v in (20 * k, 10)]
CFF_GLYPHS = {
    ".notdef": [0, 0, "rmoveto", 500, 0, "rlineto", 0, 700, "rlineto", -500, 0, "rlineto", "endchar"],
    "space": ["endchar"],
    "A": [0, 0, "rmoveto", 1 - BIAS, "callsubr", "endchar"],
    "B": [0, 0, "rmoveto", 0 - BIAS, "callgsubr", "endchar"],
    # 8 hstems and 8 implicit vstems: two mask bytes, the second of which
    # reads as endchar to a walk that counts one.
    "C": STEMS + ["hstemhm"] + STEMS + ["hintmask", b"\xff\x0e", 0, 0, "rmoveto", 3 - BIAS, "callsubr", "endchar"],
    "D": [0, 0, "rmoveto", 2 - BIAS, "callsubr", 1 - BIAS, "callgsubr", "endchar"],
    "acute": [200, 700, "rmoveto", 6 - BIAS, "callsubr", "endchar"],
    "Aacute": [0, 0, 65, 194, "endchar"],  # A and acute by standard code
}


# PostScript outlines with nested local and global subroutines, a global
# one calling a local one, hint masks, and (name-keyed) a glyph built of two
# others by its endchar. CID-keyed: two Font DICTs with subroutines of their
# own chosen by a format 3 FDSelect, and CIDs that are not the glyph
# numbers. Glyph k advances 500 + 10 k.
def cff_font(cid, family="Test Cff"):
    order = list(CFF_GLYPHS)
    names = [".notdef"] + ["cid%05d" % (10 + g) for g in range(1, len(order))] if cid else order
    fb = FontBuilder(1000, isTTF=False)
    fb.setupGlyphOrder(names)
    fb.setupCharacterMap({c: names[order.index(g)] for c, g in
                          ((0x20, "space"), (0x41, "A"), (0x42, "B"), (0x43, "C"), (0x44, "D"), (0xC1, "Aacute"))})
    programs = dict(CFF_GLYPHS, Aacute=[0, 0, "rmoveto", 4 - BIAS, "callsubr", "endchar"]) if cid else CFF_GLYPHS
    fb.setupCFF(family.replace(" ", ""), {"FullName": family},
                {names[k]: T2CharString(program=programs[n]) for k, n in enumerate(order)}, {})
    cff = fb.font["CFF "].cff
    top = cff.topDictIndex[0]
    for p in CFF_GLOBAL:
        cff.GlobalSubrs.append(T2CharString(program=p))
    subrs = [SubrsIndex(), SubrsIndex()]
    for k, p in enumerate(CFF_LOCAL):
        subrs[0].append(T2CharString(program=p))
        subrs[1].append(T2CharString(program=p if k in (1, 3) else [30 + k, 0, "rlineto", "return"]))
    if cid:
        top.ROS = ("Adobe", "Identity", 0)
        top.CIDCount = len(order) + 10
        top.FDArray = FDArrayIndex()
        for s in subrs:
            fd = FontDict()
            fd.Private = PrivateDict()
            fd.Private.Subrs = s
            top.FDArray.append(fd)
        top.FDSelect = FDSelect(format=3)
        top.FDSelect.gidArray = [0, 1, 0, 1, 0, 1, 0, 0]  # B and D use the second
        del top.Private
        top.CharStrings.fdArray, top.CharStrings.fdSelect = top.FDArray, top.FDSelect
    else:
        top.Private.Subrs = subrs[0]
    for k, n in enumerate(names):
        cs = top.CharStrings[n]
        cs.private = top.FDArray[top.FDSelect[k]].Private if cid else top.Private
        for s in cs.private.Subrs:
            s.private = cs.private
    return finish(fb, {n: (500 + 10 * k, 10) for k, n in enumerate(names)}, family)




# Printable ASCII as boxes of growing widths in a CFF2 table.
def cff2_font():
    names = [".notdef", "space"] + ["c%02X" % c for c in range(0x21, 0x7F)]
    fb = FontBuilder(1000, isTTF=False)
    fb.setupGlyphOrder(names)
    fb.setupCharacterMap({c: "space" if c == 0x20 else "c%02X" % c for c in range(0x20, 0x7F)})
    fb.setupCFF2({n: box(50, 0, 350 + 5 * i, 700, T2CharStringPen(None, None, CFF2=True)) if n != "space"
                  else T2CharStringPen(None, None, CFF2=True).getCharString() for i, n in enumerate(names)})
    return finish(fb, {n: (400 + 5 * i, 50) for i, n in enumerate(names)}, "Kd Cff2")


UNI, SYM = {0x41: "u0041", 0x42: "u0042"}, {0xF041: "u0043"}
COMPOSITES = [("acute", box(200, 700, 300, 800)), ("ring", box(150, 850, 350, 950)),
              ("aacute", composite([("u0041", 0, 0), ("acute", 10, 0)])),  # one level
              ("Aring2", composite([("aacute", 0, 0), ("ring", 0, 20)]))]  # two levels


def name_only_german(font):
    font["name"].names = [n for n in font["name"].names if not (n.nameID == 4 and n.platformID == 3)]
    font["name"].setName("German Full", 4, 3, 1, 0x0407)
    return font


# kind -> (font, edit of the saved bytes or None)
KINDS = {
    "plain": lambda: (base_font(), None),
    "symbol": lambda: (symbol_font(), None),
    # fontTools recomputes usFirstCharIndex: set to 32 in the bytes
    "symbol_low": lambda: (symbol_font(), overwrite(lambda t: t["OS/2"][1] + 64, b"\x00\x20")),
    "symbol_v0": lambda: (symbol_font(version=0), None),
    "cmap_30_31": lambda: (set_cmap(base_font(), [(3, 0, 4, SYM), (3, 1, 4, UNI)]), None),
    "cmap_31_30": lambda: (set_cmap(base_font(), [(3, 1, 4, UNI), (3, 0, 4, SYM)]), None),
    "cmap_30": lambda: (set_cmap(base_font(), [(3, 0, 4, SYM)]), None),
    "cmap_31_fmt12": lambda: (set_cmap(base_font(), [(3, 1, 12, UNI)]), None),
    "mono": lambda: (base_font(mono=True), None),
    "composite": lambda: (set_cmap(base_font(chars=(0x41, 0x42), extra=COMPOSITES), [(3, 1, 4, {
        0x20: "space", 0x41: "u0041", 0x42: "u0042", 0xE1: "aacute", 0xC5: "Aring2"})]), None),
    "outoforder": lambda: (base_font(upem=2048), lambda d, t: reorder(d, t, sorted(t, reverse=True))),
    "os2v0": lambda: (base_font(version=0), None),
    "nameonly0407": lambda: (name_only_german(base_font()), None),
    # outlines of no kind the engine embeds: loca not listed, or TrueType
    # tables under the sfnt version of CFF fonts
    "noloca": lambda: (base_font(), overwrite(lambda t: t["loca"][0], b"xoca")),
    "otto": lambda: (base_font(), overwrite(lambda t: 0, b"OTTO")),
    "cff": lambda: (cff_font(False), None),
    "cffcid": lambda: (cff_font(True), None),
    "collection": lambda: ([base_font("Sample"), base_font("Sample Math", chars=(0x41, 0x44)),
                            base_font("Other", chars=(0x45,))], None),
    "KdRestricted": lambda: (base_font("Kd Restricted", chars=range(0x21, 0x7F), fsType=2), None),
    "KdPair": lambda: ([base_font("Kd Pair One"), base_font("Kd Pair Two", chars=range(0x30, 0x3A))], None),
    "KdSymbol": lambda: (symbol_font("Kd Symbol"), None),
    "KdCff": lambda: (cff_font(False, "Kd Cff"), None),
    "KdCff2": lambda: (cff2_font(), None),
}


def collection(out, fonts):
    ttc = TTCollection()
    ttc.fonts = fonts
    ttc.save(out)


def main():
    command, args = sys.argv[1], sys.argv[2:]
    if command == "kinds":
        for kind, make in KINDS.items():
            font, edit = make()
            if isinstance(font, list):
                collection(os.path.join(args[0], kind + ".ttc"), font)
                continue
            path = os.path.join(args[0], kind + (".otf" if "CFF " in font or "CFF2" in font else ".ttf"))
            font.save(path, reorderTables=True)
            if edit:
                patched(path, edit)
    elif command == "collection":
        collection(args[0], [rename(TTFont(p), f) for p, f in zip(args[1::2], args[2::2])])
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main()
