"""Prints the Arabic Presentation Forms-B characters with the letters they
stand for, from Python's Unicode database: one line per form,
"FORM TAG BASE [SECOND]" in hexadecimal, TAG one of isolated, initial,
medial, final."""
import unicodedata

for cp in range(0xFE70, 0xFEFF):
    decomposition = unicodedata.decomposition(chr(cp))
    if not decomposition.startswith("<"):
        continue
    tag, _, rest = decomposition.partition(" ")
    parts = rest.split()
    if tag.strip("<>") not in ("isolated", "initial", "medial", "final"):
        continue
    if len(parts) == 1 or (len(parts) == 2 and parts[0] == "0644"):
        print("%04X %s %s" % (cp, tag.strip("<>"), " ".join(parts)))
