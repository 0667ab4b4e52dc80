"""Reads a font program written by kdlib with fontTools and reports what the
tests compare.

usage: fontsvc_subset_check.py PROGRAM SOURCE[#member] [HEX_UTF8_TEXT]
Output lines:
  tables <sorted tags>
  glyphs <numGlyphs>
  inked <glyph ids with outline data>
  differs <glyph id>          one line per inked glyph whose outline differs from SOURCE's
  cmap10 <code>:<glyph> ...   the Macintosh Roman subtable, when there is one
  needed <glyph id> ...       SOURCE's glyphs for the characters of TEXT (-1: none)
"""
import sys
from fontTools.ttLib import TTFont

program = TTFont(sys.argv[1])
path, _, member = sys.argv[2].partition("#")
source = TTFont(path, fontNumber=int(member or 0))
text = bytes.fromhex(sys.argv[3]).decode("utf-8") if len(sys.argv) > 3 else ""

print("tables", " ".join(sorted(t for t in program.keys() if t != "GlyphOrder")))
print("family", program["name"].getDebugName(1))
glyf = program["glyf"]
src_glyf = source["glyf"]
order = program.getGlyphOrder()
src_order = source.getGlyphOrder()
print("glyphs", program["maxp"].numGlyphs)
inked = []
differs = []
for gid, name in enumerate(order):
    g = glyf[name]
    if g.numberOfContours == 0:
        continue
    inked.append(gid)
    mine = g.compile(glyf)
    theirs = src_glyf[src_order[gid]].compile(src_glyf)
    if mine.rstrip(b"\0") != theirs.rstrip(b"\0"):
        differs.append(gid)
print("inked", " ".join(map(str, inked)))
for gid in differs:
    print("differs", gid)
cmap = program["cmap"].getcmap(1, 0) if "cmap" in program else None
if cmap is not None:
    print("cmap10", " ".join("%d:%d" % (c, program.getGlyphID(n)) for c, n in sorted(cmap.cmap.items())))
best = source.getBestCmap()
needed = []
for ch in text:
    n = best.get(ord(ch))
    needed.append(str(source.getGlyphID(n)) if n is not None else "-1")
print("needed", " ".join(needed))
