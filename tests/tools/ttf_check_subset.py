#!/usr/bin/env python3
"""Checks a subset font against its source with fontTools as the reader.

usage: ttf_check_subset.py SOURCE SUBSET [--index N] [--glyphs G,G,..]
                           [--cmap6 C:G,C:G,..] [--tables TAG,TAG,..]
                           [--draw NAME,NAME,..]
Checks: the subset opens and every table decompiles; numGlyphs and the
copied tables' bytes are the source's; loca is monotonic and ends at the
glyf length; each glyph in --glyphs has exactly the source's bytes (plus at
most 3 bytes of zero padding), every other glyph is empty; for PostScript
outlines (CFF) see check_cff; --cmap6 codes go
through a single format 6 map to the given source glyphs; --tables is the
directory's exact tag list in order; --draw glyphs draw the same outline
(components resolved) in both fonts. Prints OK or the first failure (exit 1).
"""
import argparse
import struct
import sys

from fontTools.misc.psCharStrings import calcSubrBias
from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.ttLib import TTFont


def fail(msg):
    print("FAIL: " + msg)
    sys.exit(1)


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


def check_cff(src, sub, kept):
    """The glyph count is the source's; a kept glyph has the source's
    charstring and draws the same outline (subroutines resolved), any other
    is a bare endchar; a subroutine has the source's bytes exactly when a
    kept charstring reaches it (walked here over fontTools' decompiled
    programs), any other is a bare return or, after the last one reached,
    left out; a CID-keyed font's charset is
    the identity (CID = glyph number)."""
    scff, dcff = src["CFF "].cff, sub["CFF "].cff
    stop, dtop = scff.topDictIndex[0], dcff.topDictIndex[0]
    sorder, dorder = src.getGlyphOrder(), sub.getGlyphOrder()
    cid = hasattr(stop, "ROS")
    if len(dorder) != len(sorder):
        fail("CFF has %d glyphs, source %d" % (len(dorder), len(sorder)))
    if cid and dorder != [".notdef"] + ["cid%05d" % g for g in range(1, len(dorder))]:
        fail("CID-keyed charset is not the identity")

    def local(top, gid):
        fd = top.FDSelect[gid] if cid else 0
        return fd, getattr(top.FDArray[fd].Private if cid else top.Private, "Subrs", [])

    reached = set()

    def walk(program, gid):
        for k, token in enumerate(program):
            if token in ("callsubr", "callgsubr"):
                key, subrs = local(stop, gid) if token == "callsubr" else ("g", scff.GlobalSubrs)
                i = program[k - 1] + calcSubrBias(subrs)
                if (key, i) not in reached:
                    reached.add((key, i))
                    walk(subrs[i].program, gid)

    for gid in range(len(dorder)):
        s, d = stop.CharStrings[sorder[gid]], dtop.CharStrings[dorder[gid]]
        if gid not in kept:
            if raw(d) != b"\x0e":
                fail("glyph %d should be a bare endchar" % gid)
            continue
        if raw(d) != raw(s) or not draws_alike(src, sub, gid):
            fail("glyph %d differs from the source's" % gid)
        s.decompile()
        walk(s.program, gid)
        d.decompile()
    sources = [("g", scff.GlobalSubrs, dcff.GlobalSubrs)]
    for fd in range(len(stop.FDArray) if cid else 1):
        sp, dp = (stop.FDArray[fd].Private, dtop.FDArray[fd].Private) if cid else (stop.Private, dtop.Private)
        sources.append((fd, getattr(sp, "Subrs", []), getattr(dp, "Subrs", [])))
    for key, ssubrs, dsubrs in sources:
        # Trailing ones may be left out, as long as the bias stays.
        last = max([i for k, i in reached if k == key], default=-1)
        if len(dsubrs) > len(ssubrs) or last >= len(dsubrs) or (last >= 0 and calcSubrBias(dsubrs) != calcSubrBias(ssubrs)):
            fail("subroutines %s: %d, source %d, last reached %d" % (key, len(dsubrs), len(ssubrs), last))
        for i in range(len(dsubrs)):
            want = raw(ssubrs[i]) if (key, i) in reached else b"\x0b"
            if raw(dsubrs[i]) != want:
                fail("subroutine %s %d: %s, expected %s" % (key, i, raw(dsubrs[i])[:8].hex(), want[:8].hex()))


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

    if "CFF " in tags:
        check_cff(src, sub, set(int(g) for g in a.glyphs.split(",") if g) if a.glyphs is not None else set())

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
        for name in a.draw.split(","):
            gid = src.getGlyphID(name)
            pen = DecomposingRecordingPen(src.getGlyphSet())
            src.getGlyphSet()[name].draw(pen)
            if not pen.value or not draws_alike(src, sub, gid):
                fail("glyph %s draws differently" % name)
    print("OK")


if __name__ == "__main__":
    main()
