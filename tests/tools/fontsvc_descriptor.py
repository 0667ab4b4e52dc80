"""The font descriptor values of a font as fontTools reads them, scaled to
thousandths of the em with truncation toward zero.

usage: fontsvc_descriptor.py FONT
Output: one "<byte offset> <value>" line per integer of the record, then
"full <hex>" and "family <hex>" (Windows English names, UTF-16BE as stored).
"""
import struct
import sys
from fontTools.ttLib import TTFont

font = TTFont(sys.argv[1])
head, os2, post = font["head"], font["OS/2"], font["post"]
upem = head.unitsPerEm


def scaled(v):
    q = abs(v) * 1000 // upem
    return -q if v < 0 else q


p = os2.panose
panose = [p.bFamilyType, p.bSerifStyle, p.bWeight, p.bProportion, p.bContrast, p.bStrokeVariation,
          p.bArmStyle, p.bLetterForm, p.bMidline, p.bXHeight]
values = {}
for i, b in enumerate(panose):
    values[4 * i] = b


def s32(u):
    return struct.unpack(">i", struct.pack(">I", u & 0xFFFFFFFF))[0]


values[40] = s32(os2.ulUnicodeRange1)
values[44] = s32(os2.ulUnicodeRange2)
values[48] = s32(os2.ulUnicodeRange3)
values[52] = s32(os2.ulUnicodeRange4)
values[56] = s32(os2.ulCodePageRange1) if os2.version > 0 else 1
values[60] = s32(os2.ulCodePageRange2) if os2.version > 0 else 0
values[68] = os2.fsType
values[72] = os2.fsSelection
values[76] = 1 if "glyf" in font else 0
values[80] = 1 if "post" in font else 0
values[84] = os2.usFirstCharIndex
values[88] = os2.usLastCharIndex
values[92] = scaled(os2.usWinAscent)
values[96] = scaled(os2.usWinDescent)
values[100] = scaled(os2.sCapHeight if os2.version >= 2 else 1000)
values[104] = os2.usWidthClass
values[108] = os2.usWeightClass
values[112] = scaled(os2.sxHeight if os2.version >= 2 else 0)
values[116] = scaled(head.xMin)
values[120] = scaled(head.yMin)
values[124] = scaled(head.xMax)
values[128] = scaled(head.yMax)
values[132] = s32(round(post.italicAngle * 65536))
tables = {(t.platformID, t.platEncID) for t in font["cmap"].tables}
values[140] = 1 if (3, 1) in tables else 0
values[144] = 1 if (3, 0) in tables else 0
for off in sorted(values):
    print(off, values[off])



def windows_name(nid):
    found = b""
    for rec in font["name"].names:
        if rec.platformID == 3 and rec.langID == 0x409 and rec.nameID == nid:
            found = rec.toBytes()
    return found[:200].hex()


print("full", windows_name(4))
print("family", windows_name(1))
