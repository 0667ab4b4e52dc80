#!/usr/bin/env python3
"""Builds a TrueType collection from fonts, giving each member a new family
and full name: make_collection.py OUT.ttc FONT1 NAME1 [FONT2 NAME2 ...]"""
import sys
from fontTools.ttLib import TTFont
from fontTools.ttLib.ttCollection import TTCollection

out = sys.argv[1]
pairs = sys.argv[2:]
collection = TTCollection()
for path, family in zip(pairs[0::2], pairs[1::2]):
    font = TTFont(path)
    names = font["name"]
    for record in list(names.names):
        if record.nameID in (1, 4, 16, 17, 6):
            names.removeNames(nameID=record.nameID)
    names.setName(family, 1, 3, 1, 0x409)
    names.setName(family, 4, 3, 1, 0x409)
    names.setName("Regular", 2, 3, 1, 0x409)
    names.setName(family.replace(" ", ""), 6, 3, 1, 0x409)
    names.setName(family, 1, 1, 0, 0)
    names.setName(family, 4, 1, 0, 0)
    collection.fonts.append(font)
collection.save(out)
