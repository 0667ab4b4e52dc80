#!/usr/bin/env python3
"""Prints what fontTools reads from a font, one fact per line, for the
engine's reader tests to compare against.

usage: ttf_info.py FONT [INDEX]   (INDEX: member of a collection)
Lines:
  dir TAG CHECKSUM OFFSET LENGTH      (directory order, raw)
  head UNITSPEREM XMIN YMIN XMAX YMAX INDEXTOLOCFORMAT
  hhea NUMBEROFHMETRICS
  adv GLYPH ADVANCE                   (long metrics only)
  loca I OFFSET
  os2 VERSION WEIGHT WIDTH FSTYPE FIRST LAST WINASC WINDESC CP1 CP2 XH CAPH FSSEL
  panose B0 .. B9
  post ITALICANGLE_RAW
  name full HEX / name family HEX     (platform 3, language 0x409)
  cmap CODE GLYPH                     (the Windows format 4 subtable)
"""
import struct
import sys

from fontTools.ttLib import TTFont


def main():
    path = sys.argv[1]
    index = int(sys.argv[2]) if len(sys.argv) > 2 else -1
    data = open(path, "rb").read()
    base = 0
    if data[:4] == b"ttcf":
        base = struct.unpack(">I", data[12 + 4 * max(index, 0):16 + 4 * max(index, 0)])[0]
    font = TTFont(path, fontNumber=max(index, 0)) if data[:4] == b"ttcf" else TTFont(path)
    num = struct.unpack(">H", data[base + 4:base + 6])[0]
    out = []
    for i in range(num):
        tag, cs, off, ln = struct.unpack(">4sIII", data[base + 12 + 16 * i:base + 28 + 16 * i])
        out.append("dir %s %d %d %d" % (tag.decode("latin-1").replace(" ", "_"), cs, off, ln))
    head = font["head"]
    out.append("head %d %d %d %d %d %d" % (head.unitsPerEm, head.xMin, head.yMin, head.xMax, head.yMax,
                                           head.indexToLocFormat))
    out.append("hhea %d" % font["hhea"].numberOfHMetrics)
    order = font.getGlyphOrder()
    for g in range(font["hhea"].numberOfHMetrics):
        out.append("adv %d %d" % (g, font["hmtx"][order[g]][0]))
    loca = font["loca"]
    for i, v in enumerate(loca.locations):
        out.append("loca %d %d" % (i, v))
    os2 = font["OS/2"]
    cp1 = getattr(os2, "ulCodePageRange1", 1) if os2.version else 1
    cp2 = getattr(os2, "ulCodePageRange2", 0) if os2.version else 0
    xh = os2.sxHeight if os2.version >= 2 else 0
    caph = os2.sCapHeight if os2.version >= 2 else 1000
    out.append("os2 %d %d %d %d %d %d %d %d %d %d %d %d %d" % (
        os2.version, os2.usWeightClass, os2.usWidthClass, os2.fsType, os2.usFirstCharIndex, os2.usLastCharIndex,
        os2.usWinAscent, os2.usWinDescent, cp1, cp2, xh, caph, os2.fsSelection))
    p = os2.panose
    out.append("panose " + " ".join(str(v) for v in (
        p.bFamilyType, p.bSerifStyle, p.bWeight, p.bProportion, p.bContrast, p.bStrokeVariation,
        p.bArmStyle, p.bLetterForm, p.bMidline, p.bXHeight)))
    post_raw = font.reader["post"]
    out.append("post %d" % struct.unpack(">I", post_raw[4:8])[0])
    for rec in font["name"].names:
        if rec.platformID == 3 and rec.langID == 0x409 and rec.nameID in (1, 4):
            out.append("name %s %s" % ("full" if rec.nameID == 4 else "family", rec.string[:200].hex()))
    best = None
    for st in font["cmap"].tables:
        if st.platformID == 3 and st.platEncID == 1:
            best = st
        elif st.platformID == 3 and st.platEncID == 0 and (best is None or best.platEncID != 1):
            best = st
    if best is not None and best.format == 4:
        for code, name in sorted(best.cmap.items()):
            if code != 0xFFFF:
                out.append("cmap %d %d" % (code, font.getGlyphID(name)))
    print("\n".join(out))


if __name__ == "__main__":
    main()
