# Python's Unicode database and codecs as oracles for the text tests.
#
# unicode_oracle.py forms
#     The Arabic Presentation Forms-B characters with the letters they stand
#     for: one line per form, "FORM TAG BASE [SECOND]" in hexadecimal, TAG one
#     of isolated, initial, medial, final.
# unicode_oracle.py decode FILE CODEPAGE...
#     One line per code page: FILE's bytes decoded, as UTF-16BE in hexadecimal.
#     65001 is strict UTF-8, each ill-formed part one U+FFFD. In the Windows
#     single-byte pages, a byte the codec leaves undefined maps as Windows maps
#     it: below 0xA0 to the C1 control of the same value; from 0xA0 up to
#     private-use characters counted up from the page's own start (1255's 0xCA
#     is the holam haser U+05BA), else U+FFFD.

import sys
import unicodedata

PRIVATE_USE_START = {874: 0xF8C1, 1253: 0xF8F9, 1255: 0xF88D, 1257: 0xF8FC}


def single_byte(cp):
    table, private = [], PRIVATE_USE_START.get(cp)
    for b in range(256):
        try:
            table.append(ord(bytes([b]).decode("cp%d" % cp)))
        except UnicodeDecodeError:
            if b < 0xA0:
                table.append(b)
            elif cp == 1255 and b == 0xCA:
                table.append(0x05BA)
            elif private is not None:
                table.append(private)
                private += 1
            else:
                table.append(0xFFFD)
    return "".join(map(chr, table))


def decode(data, cp):
    if cp == 65001:
        return data.decode("utf-8", "replace")
    table = single_byte(cp)
    return "".join(table[b] for b in data)


if sys.argv[1] == "decode":
    data = open(sys.argv[2], "rb").read()
    for cp in sys.argv[3:]:
        print(decode(data, int(cp)).encode("utf-16-be").hex())
else:
    for cp in range(0xFE70, 0xFEFF):
        tag, _, rest = unicodedata.decomposition(chr(cp)).partition(" ")
        tag, parts = tag.strip("<>"), rest.split()
        if tag in ("isolated", "initial", "medial", "final") and (
                len(parts) == 1 or (len(parts) == 2 and parts[0] == "0644")):
            print("%04X %s %s" % (cp, tag, " ".join(parts)))
