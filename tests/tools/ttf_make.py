#!/usr/bin/env python3
"""Builds the small TrueType fonts the engine's tests need.

usage: ttf_make.py KIND OUT
KIND: plain, symbol, symbol_low, symbol_v0, cmap_30_31, cmap_31_30, cmap_30,
      cmap_31_fmt12, mono, composite, thirteen, outoforder, collection,
      os2v0, nameonly0407, noloca, otto, cff, cffcid (PostScript outlines,
      see cff_font)
"""
import struct
import sys

from fontTools.cffLib import FDArrayIndex, FDSelect, FontDict, PrivateDict, SubrsIndex
from fontTools.fontBuilder import FontBuilder
from fontTools.misc.psCharStrings import T2CharString
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable
from fontTools.ttLib.tables._c_m_a_p import cmap_format_4, cmap_format_12
from fontTools.ttLib.tables._g_l_y_f import GlyphComponent, Glyph
from fontTools.ttLib.ttCollection import TTCollection


def box(x0, y0, x1, y1):
    pen = TTGlyphPen(None)
    pen.moveTo((x0, y0))
    pen.lineTo((x0, y1))
    pen.lineTo((x1, y1))
    pen.lineTo((x1, y0))
    pen.closePath()
    return pen.glyph()


def composite(parts):
    g = Glyph()
    g.numberOfContours = -1
    g.components = []
    for name, dx, dy in parts:
        c = GlyphComponent()
        c.glyphName = name
        c.x, c.y = dx, dy
        c.flags = 0x4  # ROUND_XY_TO_GRID
        g.components.append(c)
    return g


def base_font(full="Test Sans", family="Test Sans", upem=1000, chars=None, mono=False, extra_glyphs=None):
    """A font of boxes: .notdef, space and one glyph per character."""
    chars = chars if chars is not None else [0x41, 0x42, 0x43, 0xE9]
    order = [".notdef", "space"] + ["u%04X" % c for c in chars]
    glyphs = {".notdef": box(50, 0, 450, 700), "space": Glyph()}
    for i, c in enumerate(chars):
        glyphs["u%04X" % c] = box(20 + i, 0, 500 + 7 * i, 600 + i)
    if extra_glyphs:
        for name, g in extra_glyphs:
            order.append(name)
            glyphs[name] = g
    fb = FontBuilder(upem, isTTF=True)
    fb.setupGlyphOrder(order)
    cmap = {0x20: "space"}
    for c in chars:
        cmap[c] = "u%04X" % c
    fb.setupCharacterMap(cmap)
    fb.setupGlyf(glyphs)
    metrics = {}
    for i, name in enumerate(order):
        metrics[name] = (600 if mono else 500 + 10 * i, 20)
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": family, "styleName": "Regular", "fullName": full,
                       "psName": full.replace(" ", "")})
    fb.setupOS2(sTypoAscender=800, usWinAscent=900, usWinDescent=250, sxHeight=480, sCapHeight=700)
    fb.setupPost()
    return fb.font


def set_cmap(font, subtables):
    """subtables: list of (platform, encoding, format, mapping)."""
    cmap = font["cmap"]
    cmap.tables = []
    for plat, enc, fmt, mapping in subtables:
        st = cmap_format_4(4) if fmt == 4 else cmap_format_12(12)
        st.platformID, st.platEncID, st.language = plat, enc, 0
        st.cmap = dict(mapping)
        cmap.tables.append(st)


def symbol_font(first=0xF020, version=1):
    chars = [0xF020, 0xF041, 0xF042]
    font = base_font(full="Test Symbol", family="Test Symbol", chars=chars)
    set_cmap(font, [(3, 0, 4, {c: "u%04X" % c for c in chars})])
    os2 = font["OS/2"]
    os2.version = version
    os2.ulCodePageRange1 = 0x80000000 if version else 0
    os2.ulCodePageRange2 = 0
    os2.usFirstCharIndex = first
    return font


def save_sfnt(font, out):
    font.save(out, reorderTables=True)


def patch_u16(path, tag, offset, value):
    """Sets a 16-bit field of a saved single font's table (fontTools
    recomputes some fields, such as usFirstCharIndex, when it compiles)."""
    data = bytearray(open(path, "rb").read())
    num = struct.unpack(">H", data[4:6])[0]
    for i in range(num):
        rec = data[12 + 16 * i:28 + 16 * i]
        if rec[:4] == tag.encode("latin-1"):
            at = struct.unpack(">I", rec[8:12])[0] + offset
            data[at:at + 2] = struct.pack(">H", value)
    open(path, "wb").write(bytes(data))


def save_without_outlines(font, out, kind="otto"):
    """Outlines of no kind the engine embeds: loca not listed (noloca), or
    TrueType tables under the sfnt version of CFF fonts (otto)."""
    save_sfnt(font, out)
    data = bytearray(open(out, "rb").read())
    at = 0 if kind == "otto" else data.index(b"loca", 12)
    data[at:at + 4] = b"OTTO" if kind == "otto" else b"xoca"
    open(out, "wb").write(bytes(data))


def reorder_directory(path, order):
    """Rewrites the table directory of a saved font in another order."""
    data = bytearray(open(path, "rb").read())
    num = struct.unpack(">H", data[4:6])[0]
    records = [bytes(data[12 + 16 * i:28 + 16 * i]) for i in range(num)]
    by_tag = {r[:4].decode("latin-1"): r for r in records}
    new = [by_tag[t] for t in order if t in by_tag] + [r for r in records if r[:4].decode("latin-1") not in order]
    data[12:12 + 16 * num] = b"".join(new)
    open(path, "wb").write(bytes(data))


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


def cff_font(cid, family="Test Cff"):
    """PostScript outlines with nested local and global subroutines, a
    global one calling a local one, hint masks, and (name-keyed) a glyph
    built of two others by its endchar. CID-keyed: two Font DICTs with
    subroutines of their own chosen by a format 3 FDSelect, and CIDs that
    are not the glyph numbers."""
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
    fb.setupHorizontalMetrics({n: (500 + 10 * k, 10) for k, n in enumerate(names)})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": family, "styleName": "Regular", "fullName": family})
    fb.setupOS2(usWinAscent=900, usWinDescent=250, ulCodePageRange1=1)  # Latin 1, for Windows' font mapper
    fb.setupPost()
    return fb.font


def main():
    kind, out = sys.argv[1], sys.argv[2]
    if kind == "plain":
        save_sfnt(base_font(), out)
    elif kind == "symbol":
        save_sfnt(symbol_font(), out)
    elif kind == "symbol_low":
        save_sfnt(symbol_font(first=32), out)
        patch_u16(out, "OS/2", 64, 32)
    elif kind == "symbol_v0":
        save_sfnt(symbol_font(version=0), out)
    elif kind in ("cmap_30_31", "cmap_31_30", "cmap_30", "cmap_31_fmt12"):
        font = base_font()
        uni = {0x41: "u0041", 0x42: "u0042"}
        sym = {0xF041: "u0043"}
        table = {
            "cmap_30_31": [(3, 0, 4, sym), (3, 1, 4, uni)],
            "cmap_31_30": [(3, 1, 4, uni), (3, 0, 4, sym)],
            "cmap_30": [(3, 0, 4, sym)],
            "cmap_31_fmt12": [(3, 1, 12, uni)],
        }[kind]
        set_cmap(font, table)
        save_sfnt(font, out)
    elif kind == "mono":
        save_sfnt(base_font(mono=True), out)
    elif kind == "composite":
        # acute is simple; aacute = a + acute (one level); Aring2 = aacute +
        # ring (two levels: its first component is itself composite).
        extra = [("acute", box(200, 700, 300, 800)), ("ring", box(150, 850, 350, 950)),
                 ("aacute", composite([("u0041", 0, 0), ("acute", 10, 0)])),
                 ("Aring2", composite([("aacute", 0, 0), ("ring", 0, 20)]))]
        font = base_font(chars=[0x41, 0x42], extra_glyphs=extra)
        cmap = {0x20: "space", 0x41: "u0041", 0x42: "u0042", 0xE1: "aacute", 0xC5: "Aring2"}
        set_cmap(font, [(3, 1, 4, cmap)])
        save_sfnt(font, out)
    elif kind == "thirteen":
        font = base_font()
        cvt = newTable("cvt ")
        import array
        cvt.values = array.array("h", [0, 10, 20])
        font["cvt "] = cvt
        for tag in ("fpgm", "prep"):
            t = newTable(tag)
            from fontTools.ttLib.tables import ttProgram
            t.program = ttProgram.Program()
            t.program.fromBytecode(b"\xb0\x01")  # PUSHB[0] 1
            font[tag] = t
        save_sfnt(font, out)
    elif kind == "outoforder":
        save_sfnt(base_font(upem=2048), out)
        reorder_directory(out, ["post", "name", "maxp", "loca", "hmtx", "glyf", "cmap", "hhea", "head", "OS/2"])
    elif kind == "collection":
        fonts = [base_font(full="Sample", family="Sample"),
                 base_font(full="Sample Math", family="Sample Math", chars=[0x41, 0x44]),
                 base_font(full="Other", family="Other", chars=[0x45])]
        ttc = TTCollection()
        ttc.fonts = fonts
        ttc.save(out)
    elif kind == "os2v0":
        font = base_font()
        font["OS/2"].version = 0
        save_sfnt(font, out)
    elif kind == "nameonly0407":
        font = base_font()
        name = font["name"]
        name.names = [n for n in name.names if not (n.nameID == 4 and n.platformID == 3)]
        name.setName("German Full", 4, 3, 1, 0x0407)
        save_sfnt(font, out)
    elif kind in ("noloca", "otto"):
        save_without_outlines(base_font(), out, kind)
    elif kind in ("cff", "cffcid"):
        save_sfnt(cff_font(kind == "cffcid"), out)
    else:
        sys.exit("unknown kind " + kind)


if __name__ == "__main__":
    main()
