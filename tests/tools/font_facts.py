#!/usr/bin/env python3
"""Prints, as key=value lines, what a test needs to check the platform
layer's font metrics against an independent reader (fontTools)."""
import sys
from fontTools.ttLib import TTFont

path = sys.argv[1]
index = int(sys.argv[2]) if len(sys.argv) > 2 else 0
chars = sys.argv[3] if len(sys.argv) > 3 else "H"
font = TTFont(path, fontNumber=index, lazy=True)
os2 = font["OS/2"]
hhea = font["hhea"]
head = font["head"]
cmap = font.getBestCmap()
hmtx = font["hmtx"]
print("unitsPerEm=%d" % head.unitsPerEm)
print("winAscent=%d" % os2.usWinAscent)
print("winDescent=%d" % os2.usWinDescent)
print("ascender=%d" % hhea.ascent)
print("descender=%d" % hhea.descent)
print("lineGap=%d" % hhea.lineGap)
print("fsType=%d" % os2.fsType)
print("firstChar=%d" % os2.usFirstCharIndex)
print("lastChar=%d" % os2.usLastCharIndex)
name = font["name"].getName(1, 3, 1, 0x409)
print("family=%s" % (name.toUnicode() if name else ""))
full = font["name"].getName(4, 3, 1, 0x409)
print("fullName=%s" % (full.toUnicode() if full else ""))
for ch in chars:
    glyph = cmap.get(ord(ch))
    adv, lsb = hmtx[glyph] if glyph else hmtx[font.getGlyphOrder()[0]]
    print("advance_%d=%d" % (ord(ch), adv))
