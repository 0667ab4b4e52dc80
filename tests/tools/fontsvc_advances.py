"""Prints what a layout test needs to know about a font, read by fontTools.

usage: fontsvc_advances.py FONT TEXT_UTF8_HEX
Output lines:
  upem <unitsPerEm>
  vertical <usWinAscent> <usWinDescent> <hhea ascender> <hhea descender> <hhea lineGap>
  advances <advance of each character of TEXT in font units> (glyph 0 for a missing one)
  glyphs <glyph id of each character of TEXT, -1 for a missing one>
"""
import sys
from fontTools.ttLib import TTFont

font = TTFont(sys.argv[1])
text = bytes.fromhex(sys.argv[2]).decode("utf-8") if len(sys.argv) > 2 else ""
cmap = font.getBestCmap()
hmtx = font["hmtx"]
order = font.getGlyphOrder()
os2 = font["OS/2"]
hhea = font["hhea"]
print("upem", font["head"].unitsPerEm)
print("vertical", os2.usWinAscent, os2.usWinDescent, hhea.ascent, hhea.descent, hhea.lineGap)
advances = []
for ch in text:
    name = cmap.get(ord(ch), order[0])
    advances.append(str(hmtx[name][0]))
print("advances", " ".join(advances))
print("glyphs", " ".join(str(font.getGlyphID(cmap[ord(ch)])) if ord(ch) in cmap else "-1" for ch in text))
