#!/usr/bin/env python3
"""Writes the seed corpus of the TrueType fuzz target: a few small real
fonts (subsets of DejaVu, one with composites, a collection, a symbol font
and two with PostScript outlines built by tests/tools/font_make.py), each a
few KB; and the CFF fuzz target's seeds, the "CFF " tables of those two.

usage: fuzz/make_font_corpus.py [OUTDIR [CFF_OUTDIR]]
       (by default fuzz/corpus/truetype and fuzz/corpus/cff)
"""
import os
import shutil
import subprocess
import sys
import tempfile

from fontTools import subset
from fontTools.ttLib import TTFont

HERE = os.path.dirname(os.path.abspath(__file__))
BUILDER = os.path.join(HERE, "..", "tests", "tools", "font_make.py")
DEJAVU = "/usr/share/fonts/truetype/dejavu/"


def dejavu_subset(name, text, out):
    font = TTFont(DEJAVU + name)
    opts = subset.Options()
    opts.layout_features = []
    opts.drop_tables += ["GSUB", "GPOS", "GDEF", "kern", "FFTM"]
    opts.notdef_outline = True
    opts.retain_gids = True
    s = subset.Subsetter(opts)
    s.populate(text=text)
    s.subset(font)
    font.save(out)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "corpus", "truetype")
    cff_out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "corpus", "cff")
    os.makedirs(out, exist_ok=True)
    dejavu_subset("DejaVuSans.ttf", "AB é", os.path.join(out, "dejavu_sans_ab.ttf"))
    dejavu_subset("DejaVuSans-Bold.ttf", "Å", os.path.join(out, "dejavu_bold_aring.ttf"))
    with tempfile.TemporaryDirectory() as built:
        subprocess.check_call([sys.executable, BUILDER, "kinds", built])
        for kind in ("composite", "collection", "symbol", "thirteen", "outoforder", "cff", "cffcid"):
            ext = ".ttc" if kind == "collection" else ".otf" if kind.startswith("cff") else ".ttf"
            shutil.copy(os.path.join(built, kind + ext), out)
    os.makedirs(cff_out, exist_ok=True)
    for kind in ("cff", "cffcid"):
        with open(os.path.join(cff_out, kind + ".cff"), "wb") as f:
            f.write(TTFont(os.path.join(out, kind + ".otf")).reader["CFF "])


if __name__ == "__main__":
    main()
