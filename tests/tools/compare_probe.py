#!/usr/bin/env python3
# Compares what platform_probe printed on Linux with what it printed on
# Windows (under Wine), line by line. Differences listed in the known-
# differences file (one regular expression per line that both the Linux and
# the Windows line must match, so an entry can pin what has to stay equal;
# '#' starts a comment) are reported but accepted; any other difference
# fails.
import re
import sys

linux_path, windows_path, known_path = sys.argv[1:4]


def lines(path):
    with open(path, encoding="latin-1") as f:
        return [line.rstrip("\r\n") for line in f]


linux, windows = lines(linux_path), lines(windows_path)
with open(known_path, encoding="utf-8") as f:
    known = [re.compile(k) for k in (line.split("#", 1)[0].strip() for line in f) if k]

if len(linux) != len(windows) or not linux:
    print("agreement: the probes printed %d and %d lines" % (len(linux), len(windows)))
    sys.exit(1)

differing = [(a, b) for a, b in zip(linux, windows) if a != b]
accepted = [(a, b) for a, b in differing if any(k.search(a) and k.search(b) for k in known)]
unexpected = [pair for pair in differing if pair not in accepted]
for label, pairs in (("known difference", accepted), ("DIFFERENCE", unexpected)):
    for a, b in pairs:
        print("%s:\n  linux:   %s\n  windows: %s" % (label, a, b))
same = len(linux) - len(accepted) - len(unexpected)
print("agreement: %d passed, %d failed" % (same + len(accepted), len(unexpected)))
print("(%d facts compared, %d known differences)" % (len(linux), len(accepted)))
sys.exit(1 if unexpected else 0)
