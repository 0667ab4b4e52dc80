#!/usr/bin/env python3
"""Checks a subset font against its source with fontTools as the reader.

usage: ttf_check_subset.py SOURCE SUBSET [--index N] [--glyphs G,G,..]
                           [--cmap6 C:G,C:G,..] [--tables TAG,TAG,..]
                           [--draw NAME,NAME,..]
Checks: the subset opens and every table decompiles; numGlyphs and the
copied tables' bytes are the source's; loca is monotonic and ends at the
glyf length; each glyph in --glyphs has exactly the source's bytes (plus at
most 3 bytes of zero padding), every other glyph is empty; --cmap6 codes go
through a single format 6 map to the given source glyphs; --tables is the
directory's exact tag list in order; --draw glyphs draw the same outline
(components resolved) in both fonts. Prints OK or the first failure (exit 1).
"""
import argparse
import struct
import sys

from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.ttLib import TTFont


def fail(msg):
    print("FAIL: " + msg)
    sys.exit(1)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("source")
    ap.add_argument("subset")
    ap.add_argument("--index", type=int, default=0)
    ap.add_argument("--glyphs")
    ap.add_argument("--cmap6")
    ap.add_argument("--tables")
    ap.add_argument("--draw")
    a = ap.parse_args()

    src = TTFont(a.source, fontNumber=a.index, lazy=False) if open(a.source, "rb").read(4) == b"ttcf" \
        else TTFont(a.source)
    sub = TTFont(a.subset)
    for tag in sub.keys():
        if tag != "GlyphOrder":
            sub[tag]
    raw = open(a.subset, "rb").read()
    num = struct.unpack(">H", raw[4:6])[0]
    tags = [raw[12 + 16 * i:16 + 16 * i].decode("latin-1") for i in range(num)]
    if a.tables is not None and tags != a.tables.split(","):
        fail("tables %s, expected %s" % (tags, a.tables))
    if sub["maxp"].numGlyphs != src["maxp"].numGlyphs:
        fail("numGlyphs changed")
    for tag in ("head", "hhea", "hmtx", "maxp", "name", "OS/2"):
        if tag in tags and sub.reader[tag] != src.reader[tag]:
            fail("table %s not copied unchanged" % tag)
    if "post" in tags:
        fail("post in subset")

    if "glyf" in tags:
        sloca = src["loca"].locations
        dloca = sub["loca"].locations
        sglyf = src.reader["glyf"]
        dglyf = sub.reader["glyf"]
        if len(dloca) != len(sloca):
            fail("loca size %d, source %d" % (len(dloca), len(sloca)))
        for i in range(1, len(dloca)):
            if dloca[i] < dloca[i - 1]:
                fail("loca not monotonic at %d" % i)
        if dloca[-1] != len(dglyf):
            fail("loca ends at %d, glyf has %d bytes" % (dloca[-1], len(dglyf)))
        kept = set(int(g) for g in a.glyphs.split(",") if g) if a.glyphs is not None else None
        for g in range(len(dloca) - 1):
            d = dglyf[dloca[g]:dloca[g + 1]]
            s = sglyf[sloca[g]:sloca[g + 1]]
            if kept is None or g in kept:
                body = d[:len(s)]
                if body != s or len(d) - len(s) > 3 or any(d[len(s):]):
                    if kept is not None or len(d) != 0:
                        fail("glyph %d: %d bytes, source %d, not equal" % (g, len(d), len(s)))
            elif len(d) != 0:
                fail("glyph %d should be empty, has %d bytes" % (g, len(d)))

    if a.cmap6 is not None:
        tables = sub["cmap"].tables
        if len(tables) != 1 or tables[0].format != 6 or tables[0].platformID != 1 or tables[0].platEncID != 0:
            fail("cmap is not a single (1,0) format 6 map")
        m = tables[0].cmap
        for pair in a.cmap6.split(","):
            if not pair:
                continue
            c, g = (int(v) for v in pair.split(":"))
            if sub.getGlyphID(m.get(c, ".notdef")) != g:
                fail("code %d maps to %s, expected glyph %d" % (c, m.get(c), g))

    if a.draw:
        sset, dset = src.getGlyphSet(), sub.getGlyphSet()
        for name in a.draw.split(","):
            p1, p2 = DecomposingRecordingPen(sset), DecomposingRecordingPen(dset)
            sset[name].draw(p1)
            # Subsets carry no post table, so glyph names differ: go by index.
            dset[sub.getGlyphOrder()[src.getGlyphID(name)]].draw(p2)
            if p1.value != p2.value or not p1.value:
                fail("glyph %s draws differently" % name)
    print("OK")


if __name__ == "__main__":
    main()
