"""Builds the fonts the font-service tests need into OUTDIR.

  KdRestricted.ttf  DejaVu Sans (Latin) named "Kd Restricted", OS/2 fsType 2
                    (restricted licence: must not be embedded)
  KdPair.ttc        a collection: "Kd Pair One" (Latin letters) and
                    "Kd Pair Two" (digits only)
  KdSymbol.ttf      a symbol font: only a (3,0) cmap at U+F020.., code page
                    range 1 = symbol bit, first char U+F020
  KdCff.otf         "Kd Cff": ttf_make.py's name-keyed PostScript-outline font
  KdCff2.otf        "Kd Cff2": printable ASCII drawn as boxes in a CFF2
                    table, outlines of a kind the engine does not subset
usage: fontsvc_make_fonts.py DEJAVU OUTDIR
"""
import os
import sys

from fontTools import subset
from fontTools.fontBuilder import FontBuilder
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, TTCollection

from ttf_make import cff_font

source, outdir = sys.argv[1], sys.argv[2]


def latin(text, family):
    font = TTFont(source)
    options = subset.Options()
    options.name_IDs = ["*"]
    options.notdef_outline = True
    options.layout_features = []
    options.hinting = False
    sub = subset.Subsetter(options)
    sub.populate(text=text)
    sub.subset(font)
    name = font["name"]
    for rec in list(name.names):
        if rec.nameID in (1, 4, 6, 16, 17):
            name.removeNames(nameID=rec.nameID)
    name.setName(family, 1, 3, 1, 0x409)
    name.setName(family, 4, 3, 1, 0x409)
    name.setName(family.replace(" ", ""), 6, 3, 1, 0x409)
    name.setName(family, 1, 1, 0, 0)
    name.setName(family, 4, 1, 0, 0)
    return font


letters = "".join(chr(c) for c in range(0x20, 0x7F))
restricted = latin(letters, "Kd Restricted")
restricted["OS/2"].fsType = 2
restricted.save(os.path.join(outdir, "KdRestricted.ttf"))

one = latin(letters, "Kd Pair One")
two = latin(" 0123456789", "Kd Pair Two")
collection = TTCollection()
collection.fonts = [one, two]
collection.save(os.path.join(outdir, "KdPair.ttc"))

# A symbol font: glyphs drawn as boxes of different widths.
names = [".notdef", "space"] + ["sym%02X" % c for c in range(0x41, 0x45)]
fb = FontBuilder(1000, isTTF=True)
fb.setupGlyphOrder(names)
cmap = {0xF020: "space"}
for c in range(0x41, 0x45):
    cmap[0xF000 + c] = "sym%02X" % c
fb.setupCharacterMap(cmap)
glyphs, metrics = {}, {}
for i, n in enumerate(names):
    pen = TTGlyphPen(None)
    if n != "space":
        w = 300 + 50 * i
        pen.moveTo((50, 0))
        pen.lineTo((50, 700))
        pen.lineTo((w, 700))
        pen.lineTo((w, 0))
        pen.closePath()
    glyphs[n] = pen.glyph()
    metrics[n] = (400 + 50 * i, 50)
fb.setupGlyf(glyphs)
fb.setupHorizontalMetrics(metrics)
fb.setupHorizontalHeader(ascent=800, descent=-200)
fb.setupNameTable({"familyName": "Kd Symbol", "styleName": "Regular", "fullName": "Kd Symbol"})
fb.setupOS2(ulCodePageRange1=0x80000000, ulCodePageRange2=0, usWinAscent=800, usWinDescent=200,
            sTypoAscender=800, sTypoDescender=-200)
fb.setupPost()
font = fb.font
# Only the Windows symbol subtable.
font["cmap"].tables = [t for t in font["cmap"].tables if (t.platformID, t.platEncID) == (3, 1)]
font["cmap"].tables[0].platEncID = 0
font.save(os.path.join(outdir, "KdSymbol.ttf"))

cff_font(False, "Kd Cff").save(os.path.join(outdir, "KdCff.otf"))

# CFF2 outlines: boxes of growing widths.
names = [".notdef", "space"] + ["c%02X" % c for c in range(0x21, 0x7F)]
charstrings = {}
for i, n in enumerate(names):
    pen = T2CharStringPen(None, None, CFF2=True)
    if n != "space":
        pen.moveTo((50, 0))
        pen.lineTo((50, 700))
        pen.lineTo((350 + 5 * i, 700))
        pen.closePath()
    charstrings[n] = pen.getCharString()
fb = FontBuilder(1000, isTTF=False)
fb.setupGlyphOrder(names)
fb.setupCharacterMap({c: "space" if c == 0x20 else "c%02X" % c for c in range(0x20, 0x7F)})
fb.setupCFF2(charstrings)
fb.setupHorizontalMetrics({n: (400 + 5 * i, 50) for i, n in enumerate(names)})
fb.setupHorizontalHeader(ascent=800, descent=-200)
fb.setupNameTable({"familyName": "Kd Cff2", "styleName": "Regular", "fullName": "Kd Cff2"})
fb.setupOS2(usWinAscent=800, usWinDescent=200, sTypoAscender=800, sTypoDescender=-200, ulCodePageRange1=1)  # Latin 1
fb.setupPost()
fb.font.save(os.path.join(outdir, "KdCff2.otf"))
