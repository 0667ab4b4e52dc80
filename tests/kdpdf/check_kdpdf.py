#!/usr/bin/python3
"""Reads what kdpdf writes the way PDF readers do.

  check_kdpdf.py make KDPDF OUTDIR     write the PDFs the other checks read
  check_kdpdf.py CHECK KDPDF OUTDIR    CHECK: structure fonts text render
                                       pdfjs encryption errors

Readers: qpdf, poppler (pdffonts, pdftotext, pdftoppm, pdfimages), mupdf
(mutool draw) and pdf.js (pinned in tests/pdfjs, installed by scripts/setup.sh).
Pillow decodes the source pictures as the reference.
"""
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SAMPLE = os.path.join(ROOT, "tools", "kdpdf", "sample")
PDFJS = os.path.join(ROOT, ".cache", "pdfjs")  # installed by scripts/setup.sh
PDFJS_SCRIPT = os.path.join(ROOT, "tests", "pdfjs", "extract.mjs")

LATIN = "The quick brown fox jumps over the lazy dog."
GREEK = "Η γρήγορη καφέ αλεπού πηδάει πάνω από το τεμπέλικο σκυλί."
CYRILLIC = "Съешь же ещё этих мягких французских булок, да выпей чаю."
COMPOSITE = "Glyph numbers through a composite font: Identity-H, widths in a W array."
CJK_LINE = "日本語：東京の春は桜がきれいです。 中文：北京的春天很美。"
NUMBERS = ["1,234.50", "987,654.32", "12.00", "0.50", "45,678.90", "1,034,580.22"]
USER, OWNER = "reader pw", "owner pw"

# More distinct characters than one simple font's 256 codes: the writer must
# start a second font and still give every character back.
ALPHABETS = ("ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789 "
             "ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖØÙÚÛÜÝÞß àáâãäåæçèéêëìíîïðñòóôõöøùúûüýþÿ "
             "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ αβγδεζηθικλμνξοπρστυφχψω "
             "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ абвгдежзийклмнопрстуфхцчшщъыьэюя "
             "ĀāĂăĄąĆćĈĉĊċČčĎďĐđĒēĔĕĖėĘęĚěĜĝĞğĠġĢģĤĥĦħĨĩĪīĬĭĮįİıĲĳĴĵĶķĸĹĺĻļĽľĿŀŁł")
REPORT = """# Field notes

A plain paragraph of the user's own, wrapped and justified by kdpdf. It runs over several lines so that
the justification shows: every line but the last reaches the right margin, and the words are spaced by
adjustments between them. (Parentheses and a back\\slash travel as escaped literal strings.)

{alphabets}

{unbroken}

# 
![](harbour.jpg)

---
# Second page

{cyrillic}
""".format(alphabets=ALPHABETS, cyrillic=CYRILLIC, unbroken=ALPHABETS.replace(" ", ""))

# Reports in faces with PostScript (CFF) outlines: embedded as CIDFontType0
# with an OpenType program.
CJK_FACE = "Noto Sans CJK JP"
CJK_TEXT = ["本報告書は kdpdf が作成しました。 段落はライブラリの行折り返しで組まれ、 埋め込まれた"
            "サブセットフォントの幅で両端揃えされます。",
            "这是一份中文段落： 北京、上海和广州的销售额均有增长。 数字 1,234.50 与拉丁字母 ABC 混排。",
            "Latin text in the same face: the quick brown fox jumps over the lazy dog."]
NIMBUS_TEXT = ["Nimbus Sans: Ångström, café, naïve — 1,234.50 € and the quick brown fox jumps over the lazy dog."]

failures = []


def check(ok, message):
    if not ok:
        failures.append(message)
        print("FAIL: " + message)


def run(args, **kw):
    return subprocess.run(args, capture_output=True, **kw)


def normalised(text):
    return " ".join(text.split())


def files(out):
    return {name: os.path.join(out, name + ".pdf") for name in ("sample", "v14", "enc", "report", "cjk", "nimbus")}


def squeezed(text):
    return "".join(text.split())


def make(kdpdf, out):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    f = files(out)
    shutil.copy(os.path.join(SAMPLE, "harbour.jpg"), out)
    with open(os.path.join(out, "report.txt"), "w", encoding="utf-8") as t:
        t.write(REPORT)
    for name, heading, paragraphs in (("cjk", "報告 Report", CJK_TEXT), ("nimbus", "Report", NIMBUS_TEXT)):
        with open(os.path.join(out, name + ".txt"), "w", encoding="utf-8") as t:
            t.write("# " + heading + "\n\n" + "\n\n".join(paragraphs) + "\n")
    jobs = [
        [kdpdf, "--output", f["sample"]],
        [kdpdf, "--pdf-version", "14", "--output", f["v14"]],
        [kdpdf, "--user-password", USER, "--owner-password", OWNER, "--output", f["enc"]],
        [kdpdf, "--font", "DejaVu Serif", "--size", "9.5", os.path.join(out, "report.txt"), f["report"]],
        [kdpdf, "--font", CJK_FACE, "--pdf-version", "14", os.path.join(out, "cjk.txt"), f["cjk"]],
        [kdpdf, "--font", "Nimbus Sans", os.path.join(out, "nimbus.txt"), f["nimbus"]],
    ]
    for job in jobs:
        r = run(job, cwd=out)
        check(r.returncode == 0, "%s failed: %s" % (" ".join(job[1:]), r.stderr.decode(errors="replace")))
        check(b"warning" not in r.stderr, "%s warned: %s" % (" ".join(job[1:]), r.stderr.decode(errors="replace")))
        check(r.stdout.startswith(b"kdpdf: wrote ") and r.stdout.count(b"\n") == 1,
              "%s: standard output holds more than the last line: %r" % (" ".join(job[1:]), r.stdout[:200]))
    # No argument at all: sample-report.pdf in the current folder.
    r = run([kdpdf], cwd=out)
    check(r.returncode == 0 and os.path.exists(os.path.join(out, "sample-report.pdf")), "kdpdf without arguments")
    check(not glob.glob(os.path.join(out, "*.part*")), "temporary output left behind")


def structure(kdpdf, out):
    for name, path in files(out).items():
        args = ["qpdf", "--check", path] if name != "enc" else ["qpdf", "--password=" + USER, "--check", path]
        r = run(args)
        text = (r.stdout + r.stderr).decode(errors="replace")
        check(r.returncode == 0 and "No syntax or stream encoding errors" in text and "WARNING" not in text,
              "qpdf --check %s: %s" % (name, text.strip()[-400:]))
    # An OpenType program in FontFile3 raises a 1.4 header to 1.6.
    for name, want in (("v14", b"%PDF-1.4\r"), ("sample", b"%PDF-1.7\r"), ("cjk", b"%PDF-1.6\r")):
        with open(files(out)[name], "rb") as f:
            data = f.read()
        if name == "v14" and b"/FontFile3" in data:
            want = b"%PDF-1.6\r"
        check(data[:9] == want, "%s: header %r, want %r" % (name, data[:9], want))
    # 16-bit samples only where the version allows them.
    for name, want in (("sample", True), ("v14", False)):
        qdf = os.path.join(out, name + ".qdf")
        run(["qpdf", "--qdf", "--object-streams=disable", files(out)[name], qdf])
        with open(qdf, "rb") as f:
            data = f.read()
        check((b"/BitsPerComponent 16" in data) == want, "%s: 16-bit picture %s" % (name, "kept" if want else "cut"))
        check(data.count(b"/Subtype /Image") >= 6, "%s: pictures and soft mask present" % name)


def fonts(kdpdf, out):
    for name in ("sample", "report", "cjk", "nimbus"):
        r = run(["pdffonts", files(out)[name]])
        lines = r.stdout.decode().splitlines()[2:]
        check(r.returncode == 0 and lines, "pdffonts %s" % name)
        kinds = []
        for line in lines:
            m = re.match(r"^([A-Z]{6})\+(\S+)\s+(CID TrueType|TrueType|CID Type 0C \(OT\))\s+\S+\s+(yes|no)\s+"
                         r"(yes|no)\s+(yes|no)", line)
            check(m is not None and m.group(4) == "yes" and m.group(5) == "yes" and m.group(6) == "yes",
                  "%s: not an embedded subset font with ToUnicode: %s" % (name, line))
            if m:
                kinds.append((m.group(2), m.group(3)))
        if name == "sample":
            names = " ".join(k[0] for k in kinds)
            check(("DejaVuSans", "CID TrueType") in kinds, "sample: composite font missing: %s" % kinds)
            check("DejaVuSans-Bold" in names and "DejaVuSans-Oblique" in names, "sample: bold/oblique faces: %s" % names)
            check(("NotoSansCJKJP-Identity-H", "CID Type 0C (OT)") in kinds, "sample: CJK font missing: %s" % kinds)
        elif name in ("cjk", "nimbus"):
            face = "NotoSansCJKJP" if name == "cjk" else "NimbusSans"
            check(sorted(kinds) == [(face + "-Bold-Identity-H", "CID Type 0C (OT)"),
                                    (face + "-Identity-H" if name == "cjk" else face + "-Regular-Identity-H",
                                     "CID Type 0C (OT)")], "%s: fonts %s" % (name, kinds))
        else:
            check(sum(1 for k in kinds if k == ("DejaVuSerif", "TrueType")) >= 2,
                  "report: more than 256 characters need a second simple font: %s" % kinds)


def poppler_text(path, *extra):
    r = run(["pdftotext", "-enc", "UTF-8"] + list(extra) + [path, "-"])
    return r.returncode, r.stdout.decode("utf-8", errors="replace")


def text(kdpdf, out):
    for name in ("sample", "v14"):
        rc, t = poppler_text(files(out)[name])
        flat = normalised(t)
        check(rc == 0, "pdftotext %s" % name)
        for sentence in (LATIN, GREEK, CYRILLIC, COMPOSITE):
            check(sentence in flat, "%s: pdftotext lost %r" % (name, sentence))
        check("per sea\u2026" in flat, "%s: the over-long cell is cut with an ellipsis" % name)
        rc, t = poppler_text(files(out)[name], "-layout")
        amounts = re.findall(r"\d{1,3}(?:,\d{3})*\.\d\d", t)
        check(amounts == NUMBERS, "%s: number column %s" % (name, amounts))
    rc, t = poppler_text(files(out)["report"])
    flat = normalised(t)
    check(normalised(ALPHABETS) in flat, "report: the 300-character paragraph comes back")
    # One 290-character word: cut by the wrap, and in pieces across fonts.
    check(ALPHABETS.replace(" ", "") in "".join(t.split()), "report: the unbroken word comes back")
    check(CYRILLIC in flat, "report: second page text")
    check("back\\slash" in flat and "(Parentheses" in flat, "report: escaped literal strings")
    check("\f" in t and t.count("\f") >= 2, "report: --- starts a second page")
    rc, t = poppler_text(files(out)["sample"])
    check(squeezed(CJK_LINE) in squeezed(t), "sample: pdftotext lost the CJK line")
    for name, paragraphs in (("cjk", CJK_TEXT), ("nimbus", NIMBUS_TEXT)):
        rc, t = poppler_text(files(out)[name])
        for p in paragraphs:
            check(squeezed(p) in squeezed(t), "%s: pdftotext lost %r" % (name, p))


def pixels(path):
    return Image.open(path).convert("L")


GRID = (40, 56)


def cells(img):
    """The page as a coarse grid of mean grey levels (about 15 points a cell)."""
    return list(img.resize(GRID, Image.BOX).getdata())


def render(kdpdf, out):
    tmp = tempfile.mkdtemp(dir=out)
    for name, count in (("sample", 2), ("report", 2), ("cjk", 1), ("nimbus", 1)):
        pp = os.path.join(tmp, name + "-pp")
        r = run(["pdftoppm", "-r", "40", "-gray", "-png", files(out)[name], pp])
        check(r.returncode == 0 and not r.stderr, "pdftoppm %s: %s" % (name, r.stderr.decode(errors="replace")))
        mu = os.path.join(tmp, name + "-mu-%d.png")
        r = run(["mutool", "draw", "-q", "-r", "40", "-c", "gray", "-o", mu, files(out)[name]])
        err = r.stderr.decode(errors="replace")
        # (a build without colour management says so; that is not about the file)
        err = "\n".join(l for l in err.splitlines() if "ICC support is not available" not in l)
        check(r.returncode == 0 and "error" not in err.lower() and "warning" not in err.lower(),
              "mutool draw %s: %s" % (name, err))
        pages_pp = sorted(glob.glob(pp + "*.png"))
        pages_mu = sorted(glob.glob(os.path.join(tmp, name + "-mu-*.png")))
        check(len(pages_pp) == count and len(pages_mu) == count, "%s: %d pages in both renderers" % (name, count))
        for a, b in zip(pages_pp, pages_mu):
            pa, pb = pixels(a), pixels(b)
            ca, cb = cells(pa), cells(pb.resize(pa.size))
            for grid, who in ((ca, "poppler"), (cb, "mupdf")):
                check(sum(1 for v in grid if v < 245) > 10, "%s: %s draws page %s blank" % (name, who, a))
            # Where text and pictures stand: a missing line or picture moves a
            # cell's mean by 50 and more; anti-aliasing by far less.
            diff = [abs(x - y) for x, y in zip(ca, cb)]
            check(max(diff) <= 40 and sum(diff) / len(diff) <= 4,
                  "%s: poppler and mupdf disagree on %s (largest cell difference %d, mean %.1f)" % (
                      name, os.path.basename(a), max(diff), sum(diff) / len(diff)))
    shutil.rmtree(tmp)
    for name in ("sample", "cjk", "nimbus"):
        glyphs_inked(out, name)
    pictures(out)


def glyphs_inked(out, name):
    """Every character mupdf places on the first page has ink under its box
    in poppler's rendering: a glyph a subset left empty would have none."""
    tmp = tempfile.mkdtemp(dir=out)
    r = run(["mutool", "draw", "-q", "-F", "stext", "-o", "-", files(out)[name], "1"])
    chars = re.findall(r'<char quad="([^"]+)"[^>]* c="([^"]+)"', r.stdout.decode())
    run(["pdftoppm", "-r", "144", "-gray", "-png", "-f", "1", "-l", "1", files(out)[name], os.path.join(tmp, "p")])
    page = pixels(glob.glob(os.path.join(tmp, "p*.png"))[0])
    blank = []
    for quad, c in chars:
        q = [float(v) * 2 for v in quad.split()]  # 144 dpi: two pixels a point, from the top left
        box = (int(min(q[0::2])), int(min(q[1::2])), int(max(q[0::2])) + 1, int(max(q[1::2])) + 1)
        if c.strip() and c != "&#x20;" and page.crop(box).getextrema()[0] > 160:
            blank.append(c)
    check(len(chars) > 20 and not blank, "%s: %d characters, these without ink: %s" % (name, len(chars), blank[:10]))
    shutil.rmtree(tmp)


def pictures(out):
    """The pictures as poppler decodes them equal the sources as Pillow does:
    upright, right colours, the alpha channel as soft mask."""
    tmp = tempfile.mkdtemp(dir=out)
    run(["pdfimages", "-png", files(out)["v14"], os.path.join(tmp, "im")])
    got = sorted(glob.glob(os.path.join(tmp, "im-*.png")))
    check(len(got) == 6, "pdfimages: 5 pictures and one soft mask, got %d" % len(got))
    if len(got) == 6:
        lantern = Image.open(os.path.join(SAMPLE, "lantern.png"))
        want = [lantern.convert("RGB"), lantern.getchannel("A"), Image.open(os.path.join(SAMPLE, "harbour.jpg")).convert("RGB"),
                Image.open(os.path.join(SAMPLE, "palette.bmp")).convert("RGB"),
                Image.open(os.path.join(SAMPLE, "rle.bmp")).convert("RGB"), None]
        for path, ref in zip(got, want):
            img = Image.open(path)
            if ref is None:  # the 16-bit PNG, cut to its high bytes for PDF 1.4
                ref = Image.frombytes("RGB", (64, 48), sixteen_high_bytes())
            img = img.convert(ref.mode)
            check(img.size == ref.size, "%s: size %s, want %s" % (os.path.basename(path), img.size, ref.size))
            if img.size == ref.size:
                tolerance = 12 if path == got[2] else 0  # poppler decodes the JPEG itself
                diff = max(b[1] for b in ImageChops.difference(img, ref).getextrema()) if ref.mode == "RGB" else \
                    ImageChops.difference(img, ref).getextrema()[1]
                check(diff <= tolerance, "%s differs from its source by %d" % (os.path.basename(path), diff))
    shutil.rmtree(tmp)


def sixteen_high_bytes():
    import struct
    import zlib
    with open(os.path.join(SAMPLE, "deep16.png"), "rb") as f:
        data = f.read()
    idat, pos = b"", 8
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + n]
        pos += 12 + n
    raw = zlib.decompress(idat)
    row = 64 * 6
    out = bytearray()
    for y in range(48):
        line = raw[y * (row + 1) + 1:(y + 1) * (row + 1)]  # written with filter 0
        out += line[0::2]
    return bytes(out)


def pdfjs(path, password=None):
    node = shutil.which("node")
    if not node or not os.path.isdir(os.path.join(PDFJS, "node_modules", "pdfjs-dist")):
        check(False, "pdf.js is not installed (run scripts/setup.sh)")
        return None, [], []
    # The script runs beside its node_modules so that its import resolves.
    script = os.path.join(PDFJS, "extract.mjs")
    shutil.copyfile(PDFJS_SCRIPT, script)
    r = run([node, script, path] + ([password] if password else []))
    # Only the missing optional canvas is expected to be mentioned.
    noise = [l for l in r.stderr.decode(errors="replace").splitlines()
             if l.strip() and not re.search(r"napi-rs/canvas|polyfill|Require stack|^- |pdf\.mjs", l)]
    return r.returncode, [json.loads(l) for l in r.stdout.decode().splitlines() if l.startswith("{")], noise


def pdfjs_check(kdpdf, out):
    for name, password in (("sample", None), ("report", None), ("enc", USER), ("cjk", None), ("nimbus", None)):
        rc, pages, noise = pdfjs(files(out)[name], password)
        count = 1 if name in ("cjk", "nimbus") else 2
        check(rc == 0 and len(pages) == count, "pdf.js %s: exit %s, %d pages" % (name, rc, len(pages)))
        # pdf.js copies glyph 0 to a new glyph number, for which a font with
        # 65535 glyphs (Noto CJK; subsets keep every glyph number) has none.
        noise = [l for l in noise if "Not enough space in charstrings to duplicate first glyph" not in l]
        check(not noise, "pdf.js %s warned: %s" % (name, noise[:5]))
        flat = normalised(" ".join(p["text"] for p in pages))
        if name in ("cjk", "nimbus"):
            for p in CJK_TEXT if name == "cjk" else NIMBUS_TEXT:
                check(squeezed(p) in squeezed(flat), "pdf.js %s lost %r" % (name, p))
            continue
        if name == "sample":
            check(squeezed(CJK_LINE) in squeezed(flat), "pdf.js sample lost the CJK line")
        if name == "report":
            check(normalised(ALPHABETS) in flat, "pdf.js report: the long paragraph")
            continue
        for sentence in (LATIN, GREEK, CYRILLIC, COMPOSITE):
            check(sentence in flat, "pdf.js %s lost %r" % (name, sentence))
        amounts = re.findall(r"\d{1,3}(?:,\d{3})*\.\d\d", flat)
        check(amounts == NUMBERS, "pdf.js %s: number column %s" % (name, amounts))
    rc, _, _ = pdfjs(files(out)["enc"], "not the password")
    check(rc != 0, "pdf.js opened the encrypted file with a wrong password")


def encryption(kdpdf, out):
    enc = files(out)["enc"]
    with open(enc, "rb") as f:
        raw = f.read()
    check(b"/Encrypt" in raw and b"kdpdf (kdlib" not in raw, "strings are encrypted")
    check(b"/Filter /Standard /V 2 /R 3 /Length 128" in raw, "RC4 with a 128-bit key, revision 3")
    for password, who in ((USER, "user"), (OWNER, "owner")):
        r = run(["qpdf", "--password=" + password, "--check", enc])
        check(r.returncode == 0 and b"WARNING" not in r.stdout, "qpdf with the %s password" % who)
        r = run(["qpdf", "--password=" + password, "--show-encryption", enc])
        info = r.stdout.decode()
        check("R = 3" in info and "Supplied password is %s password" % who in info, "qpdf: %s password: %s" % (who, info))
        if who == "owner":  # the owner password recovers the user's (the standard's algorithm 3.7)
            check("User password = " + USER in info, "qpdf: user password from the owner's: %s" % info)
    for flag, password in (("-upw", USER), ("-opw", OWNER)):
        rc, t = poppler_text(enc, flag, password)
        check(rc == 0 and LATIN in normalised(t), "pdftotext %s" % flag)
    r = run(["qpdf", "--password=wrong", "--check", enc])
    check(r.returncode != 0, "qpdf accepted a wrong password")
    rc, t = poppler_text(enc, "-upw", "wrong")
    check(rc != 0 and LATIN not in t, "pdftotext accepted a wrong password")
    rc, t = poppler_text(enc)
    check(rc != 0, "pdftotext opened the file without a password")


def errors(kdpdf, out):
    tmp = tempfile.mkdtemp(dir=out)

    def failing(args, names, what, env=None):
        target = os.path.join(tmp, "out.pdf")
        with open(target, "wb") as f:
            f.write(b"previous content")
        r = run([kdpdf] + args + [target], cwd=tmp, env=env)
        err = r.stderr.decode(errors="replace").strip()
        check(r.returncode != 0, "%s: exit status 0" % what)
        check(r.returncode < 128, "%s: crashed (%d)" % (what, r.returncode))
        check(err.count("\n") == 0 and err.startswith("kdpdf: ") and all(n in err for n in names),
              "%s: message %r should be one line naming %s" % (what, err, names))
        with open(target, "rb") as f:
            check(f.read() == b"previous content", "%s: the previous output was touched" % what)
        check(not glob.glob(os.path.join(tmp, "*.part*")), "%s: partial output left behind" % what)

    missing = os.path.join(tmp, "nowhere.txt")
    failing([missing], [missing], "missing report")
    report = os.path.join(tmp, "pic.txt")
    with open(report, "w") as f:
        f.write("# Pictures\n\n![](gone.png)\n")
    failing([report], [os.path.join(tmp, "gone.png")], "missing picture")
    with open(os.path.join(tmp, "broken.png"), "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + b"\x00" * 40)
    with open(report, "w") as f:
        f.write("Text first.\n\n![](broken.png)\n")
    failing([report], [os.path.join(tmp, "broken.png")], "unreadable picture")
    with open(os.path.join(tmp, "bad.txt"), "wb") as f:
        f.write(b"caf\xe9\n")
    failing([os.path.join(tmp, "bad.txt")], ["bad.txt"], "text that is not UTF-8")
    # A face whose licence forbids embedding.
    fonts_dir = os.path.join(tmp, "fonts")
    os.makedirs(fonts_dir)
    subprocess.run(["/usr/bin/python3", os.path.join(ROOT, "tests", "tools", "font_make.py"), "kinds", fonts_dir],
                   check=True, capture_output=True)
    env = dict(os.environ, KDLIB_FONT_DIRS=fonts_dir)
    with open(report, "w") as f:
        f.write("Some text.\n")
    failing(["--font", "Kd Restricted", report], ["Kd Restricted"], "font not embeddable", env)
    failing(["--font", "Kd Cff2", report], ["Kd Cff2", "outlines"], "font without outlines to subset", env)
    r = run([kdpdf, "--pdf-version", "13"])
    check(r.returncode == 2 and b"--pdf-version" in r.stderr, "a bad option is refused")
    shutil.rmtree(tmp)


CHECKS = {"make": make, "structure": structure, "fonts": fonts, "text": text, "render": render,
          "pdfjs": pdfjs_check, "encryption": encryption, "errors": errors}

if __name__ == "__main__":
    name, kdpdf, out = sys.argv[1], os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3])
    CHECKS[name](kdpdf, out)
    if failures:
        print("%s: %d failed" % (name, len(failures)))
        sys.exit(1)
    print("%s: passed" % name)
