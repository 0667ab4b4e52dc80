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
PAGES = {"sample": 2, "v14": 2, "enc": 2, "report": 2, "cjk": 1, "nimbus": 1}
# What pdffonts lists per file: every font an embedded subset with ToUnicode.
CFF = "CID Type 0C (OT)"
FONTS = {
    "sample": [("DejaVuSans", "TrueType"), ("DejaVuSans-Bold", "TrueType"), ("DejaVuSans-Oblique", "TrueType"),
               ("DejaVuSans", "CID TrueType"), ("NotoSansCJKJP-Identity-H", CFF)],
    # more than 256 characters: further simple fonts of the same face
    "report": [("DejaVuSerif", "TrueType")] * 3 + [("DejaVuSerif-Bold", "TrueType")],
    "cjk": [("NotoSansCJKJP-Identity-H", CFF), ("NotoSansCJKJP-Bold-Identity-H", CFF)],
    "nimbus": [("NimbusSans-Regular-Identity-H", CFF), ("NimbusSans-Bold-Identity-H", CFF)],
}


def check(ok, message):
    if not ok:
        failures.append(message)
        print("FAIL: " + message)


def run(args, **kw):
    return subprocess.run(args, capture_output=True, **kw)


def normalised(text):
    return " ".join(text.split())


def squeezed(text):
    return "".join(text.split())


def files(out):
    return {name: os.path.join(out, name + ".pdf") for name in PAGES}


def make(kdpdf, out):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    f = files(out)
    shutil.copy(os.path.join(SAMPLE, "harbour.jpg"), out)
    texts = {"report": REPORT, "cjk": "# 報告 Report\n\n" + "\n\n".join(CJK_TEXT) + "\n",
             "nimbus": "# Report\n\n" + "\n\n".join(NIMBUS_TEXT) + "\n"}
    for name, content in texts.items():
        with open(os.path.join(out, name + ".txt"), "w", encoding="utf-8") as t:
            t.write(content)
    jobs = [
        ["--output", f["sample"]],
        ["--pdf-version", "14", "--output", f["v14"]],
        ["--user-password", USER, "--owner-password", OWNER, "--output", f["enc"]],
        ["--font", "DejaVu Serif", "--size", "9.5", os.path.join(out, "report.txt"), f["report"]],
        ["--font", CJK_FACE, "--pdf-version", "14", os.path.join(out, "cjk.txt"), f["cjk"]],
        ["--font", "Nimbus Sans", os.path.join(out, "nimbus.txt"), f["nimbus"]],
    ]
    for job in jobs:
        r = run([kdpdf] + job, cwd=out)
        check(r.returncode == 0 and not r.stderr, "%s: %s" % (" ".join(job), r.stderr.decode(errors="replace")))
        check(r.stdout.startswith(b"kdpdf: wrote ") and r.stdout.count(b"\n") == 1, "stdout: %r" % r.stdout[:200])
    # No argument at all: sample-report.pdf in the current folder.
    r = run([kdpdf], cwd=out)
    check(r.returncode == 0 and os.path.exists(os.path.join(out, "sample-report.pdf")), "kdpdf without arguments")
    check(not glob.glob(os.path.join(out, "*.part*")), "temporary output left behind")


def structure(kdpdf, out):
    for name, path in files(out).items():
        r = run(["qpdf", "--password=" + USER, "--check", path])
        text = (r.stdout + r.stderr).decode(errors="replace")
        ok = r.returncode == 0 and "No syntax or stream encoding errors" in text and "WARNING" not in text
        check(ok, "qpdf --check %s: %s" % (name, text.strip()[-400:]))
        qdf = os.path.join(out, name + ".qdf")
        run(["qpdf", "--password=" + USER, "--qdf", "--object-streams=disable", path, qdf])
        with open(path, "rb") as f, open(qdf, "rb") as q:
            header, data = f.read(9), q.read()
        # Both 1.4 files hold an OpenType program (FontFile3), which needs 1.6.
        want = b"%PDF-1.6\r" if name in ("cjk", "v14") else b"%PDF-1.7\r"
        check(header == want, "%s: header %r, want %r" % (name, header, want))
        if name in ("sample", "v14"):
            # 16-bit samples only where the version allows them.
            check((b"/BitsPerComponent 16" in data) == (name == "sample"), "%s: 16-bit picture" % name)
            check(data.count(b"/Subtype /Image") >= 6, "%s: pictures and soft mask present" % name)


def fonts(kdpdf, out):
    for name, want in FONTS.items():
        r = run(["pdffonts", files(out)[name]])
        lines = r.stdout.decode().splitlines()[2:]
        pattern = r"^[A-Z]{6}\+(\S+)\s+(CID TrueType|TrueType|CID Type 0C \(OT\))\s+\S+\s+yes\s+yes\s+yes"
        kinds = [m.groups() if m else line for line, m in ((l, re.match(pattern, l)) for l in lines)]
        check(r.returncode == 0 and sorted(kinds, key=str) == sorted(want, key=str), "%s: fonts %s" % (name, kinds))


def poppler_text(path, *extra):
    r = run(["pdftotext", "-enc", "UTF-8"] + list(extra) + [path, "-"])
    return r.returncode, r.stdout.decode("utf-8", errors="replace")


def expect_content(who, name, t):
    """What every reader must extract from each file."""
    flat = normalised(t)
    if name in ("sample", "v14", "enc"):
        for sentence in (LATIN, GREEK, CYRILLIC, COMPOSITE):
            check(sentence in flat, "%s %s lost %r" % (who, name, sentence))
        check(squeezed(CJK_LINE) in squeezed(t), "%s %s lost the CJK line" % (who, name))
        amounts = re.findall(r"\d{1,3}(?:,\d{3})*\.\d\d", t)
        check(amounts == NUMBERS, "%s %s: number column %s" % (who, name, amounts))
    if name == "report":
        check(normalised(ALPHABETS) in flat, "%s report: the 300-character paragraph" % who)
        # One 290-character word: cut by the wrap, and in pieces across fonts.
        check(ALPHABETS.replace(" ", "") in squeezed(t), "%s report: the unbroken word" % who)
    for p in {"cjk": CJK_TEXT, "nimbus": NIMBUS_TEXT}.get(name, []):
        check(squeezed(p) in squeezed(t), "%s %s lost %r" % (who, name, p))


def text(kdpdf, out):
    for name in ("sample", "v14", "report", "cjk", "nimbus"):
        rc, t = poppler_text(files(out)[name], "-layout")
        check(rc == 0, "pdftotext %s" % name)
        expect_content("pdftotext", name, t)
    check("per sea\u2026" in normalised(poppler_text(files(out)["sample"])[1]), "the long cell ends in an ellipsis")
    rc, t = poppler_text(files(out)["report"])
    check(CYRILLIC in normalised(t) and t.count("\f") >= 2, "report: --- starts a second page")
    check("back\\slash" in t and "(Parentheses" in t, "report: escaped literal strings")


def grey(path, size=None):
    img = Image.open(path).convert("L")
    return img.resize(size) if size else img


def render(kdpdf, out):
    tmp = tempfile.mkdtemp(dir=out)
    for name in ("sample", "report", "cjk", "nimbus"):
        pp, mu = os.path.join(tmp, name + "-pp"), os.path.join(tmp, name + "-mu-%d.png")
        r = run(["pdftoppm", "-r", "40", "-gray", "-png", files(out)[name], pp])
        check(r.returncode == 0 and not r.stderr, "pdftoppm %s: %s" % (name, r.stderr.decode(errors="replace")))
        r = run(["mutool", "draw", "-q", "-r", "40", "-c", "gray", "-o", mu, files(out)[name]])
        # (a build without colour management says so; that is not about the file)
        err = [l for l in r.stderr.decode(errors="replace").splitlines() if "ICC support is not available" not in l]
        check(r.returncode == 0 and not re.search("error|warning", " ".join(err), re.I), "mutool %s: %s" % (name, err))
        pages = list(zip(sorted(glob.glob(pp + "*.png")), sorted(glob.glob(mu.replace("%d", "*")))))
        check(len(pages) == PAGES[name], "%s: %d pages in both renderers" % (name, PAGES[name]))
        for a, b in pages:
            # The page as a coarse grid of mean grey levels (about 15 points a
            # cell): a missing line or picture moves a cell's mean by 50 and
            # more; anti-aliasing by far less.
            ca = list(grey(a).resize((40, 56), Image.BOX).getdata())
            cb = list(grey(b, grey(a).size).resize((40, 56), Image.BOX).getdata())
            check(min(sum(1 for v in g if v < 245) for g in (ca, cb)) > 10, "%s: %s drawn blank" % (name, a))
            diff = [abs(x - y) for x, y in zip(ca, cb)]
            check(max(diff) <= 40 and sum(diff) / len(diff) <= 4, "%s: poppler and mupdf disagree on %s" % (name, a))
    for name in ("sample", "cjk", "nimbus"):
        glyphs_inked(out, name, tmp)
    pictures(out, tmp)
    shutil.rmtree(tmp)


def glyphs_inked(out, name, tmp):
    """Every character mupdf places on the first page has ink under its box
    in poppler's rendering: a glyph a subset left empty would have none."""
    r = run(["mutool", "draw", "-q", "-F", "stext", "-o", "-", files(out)[name], "1"])
    chars = re.findall(r'<char quad="([^"]+)"[^>]* c="([^"]+)"', r.stdout.decode())
    run(["pdftoppm", "-r", "144", "-gray", "-png", "-singlefile", "-f", "1", files(out)[name], os.path.join(tmp, name)])
    page = grey(os.path.join(tmp, name + ".png"))
    blank = []
    for quad, c in chars:
        q = [float(v) * 2 for v in quad.split()]  # 144 dpi: two pixels a point, from the top left
        box = (int(min(q[0::2])), int(min(q[1::2])), int(max(q[0::2])) + 1, int(max(q[1::2])) + 1)
        if c.strip() and c != "&#x20;" and page.crop(box).getextrema()[0] > 160:
            blank.append(c)
    check(len(chars) > 20 and not blank, "%s: %d characters, these without ink: %s" % (name, len(chars), blank[:10]))


def pictures(out, tmp):
    """The pictures as poppler decodes them equal the sources as Pillow does:
    upright, right colours, the alpha channel as soft mask."""
    run(["pdfimages", "-png", files(out)["v14"], os.path.join(tmp, "im")])
    got = sorted(glob.glob(os.path.join(tmp, "im-*.png")))
    lantern = Image.open(os.path.join(SAMPLE, "lantern.png"))
    # (Pillow reads the 16-bit PNG as its high bytes, what PDF 1.4 keeps)
    want = [lantern, lantern.getchannel("A")] + [
        Image.open(os.path.join(SAMPLE, n)) for n in ("harbour.jpg", "palette.bmp", "rle.bmp", "deep16.png")]
    check(len(got) == len(want), "pdfimages: 5 pictures and one soft mask, got %d" % len(got))
    for path, ref in zip(got, want):
        img, ref = Image.open(path).convert("RGB"), ref.convert("RGB")
        tolerance = 12 if path == got[2] else 0  # poppler decodes the JPEG itself
        same = img.size == ref.size and max(ImageChops.difference(img, ref).tobytes()) <= tolerance
        check(same, "%s differs from its source" % path)


def pdfjs_check(kdpdf, out):
    node = shutil.which("node")
    if not node or not os.path.isdir(os.path.join(PDFJS, "node_modules", "pdfjs-dist")):
        return check(False, "pdf.js is not installed (run scripts/setup.sh)")
    # The script runs beside its node_modules so that its import resolves.
    script = os.path.join(PDFJS, "extract.mjs")
    shutil.copyfile(PDFJS_SCRIPT, script)
    for name in ("sample", "report", "enc", "cjk", "nimbus"):
        r = run([node, script, files(out)[name]] + ([USER] if name == "enc" else []))
        pages = [json.loads(l) for l in r.stdout.decode().splitlines() if l.startswith("{")]
        # Only the missing optional canvas is expected to be mentioned; and pdf.js
        # copies glyph 0 to a new glyph number, for which a font with 65535 glyphs
        # (Noto CJK; subsets keep every glyph number) has none.
        noise = [l for l in r.stderr.decode(errors="replace").splitlines() if l.strip() and not re.search(
            r"napi-rs/canvas|polyfill|Require stack|^- |pdf\.mjs|Not enough space in charstrings to duplicate", l)]
        check(r.returncode == 0 and len(pages) == PAGES[name],
              "pdf.js %s: exit %s, %d pages" % (name, r.returncode, len(pages)))
        check(not noise, "pdf.js %s warned: %s" % (name, noise[:5]))
        expect_content("pdf.js", name, "\n".join(p["text"] for p in pages))


def encryption(kdpdf, out):
    enc = files(out)["enc"]
    with open(enc, "rb") as f:
        raw = f.read()
    check(b"/Encrypt" in raw and b"kdpdf (kdlib" not in raw, "strings are encrypted")
    check(b"/Filter /Standard /V 2 /R 3 /Length 128" in raw, "RC4 with a 128-bit key, revision 3")
    # The user password opens the file in every other check; the owner
    # password is recognised and recovers the user's.
    info = run(["qpdf", "--password=" + OWNER, "--show-encryption", enc]).stdout.decode()
    check("Supplied password is owner password" in info and "User password = " + USER in info, "qpdf: " + info)


def errors(kdpdf, out):
    tmp = tempfile.mkdtemp(dir=out)

    def put(name, data):
        with open(os.path.join(tmp, name), "wb") as f:
            f.write(data)
        return os.path.join(tmp, name)

    def failing(args, names, what, env=None):
        target = put("out.pdf", b"previous content")
        r = run([kdpdf] + args + [target], cwd=tmp, env=env)
        err = r.stderr.decode(errors="replace").strip()
        check(0 < r.returncode < 128, "%s: exit status %d" % (what, r.returncode))
        one_line = err.count("\n") == 0 and err.startswith("kdpdf: ")
        check(one_line and all(n in err for n in names), "%s: %r" % (what, err))
        with open(target, "rb") as f:
            check(f.read() == b"previous content", "%s: the previous output was touched" % what)
        check(not glob.glob(os.path.join(tmp, "*.part*")), "%s: partial output left behind" % what)

    missing = os.path.join(tmp, "nowhere.txt")
    failing([missing], [missing], "missing report")
    report = put("pic.txt", b"# Pictures\n\n![](gone.png)\n")
    failing([report], [os.path.join(tmp, "gone.png")], "missing picture")
    put("pic.txt", b"Text first.\n\n![](broken.png)\n")
    failing([report], [put("broken.png", b"\x89PNG\r\n\x1a\n" + b"\x00" * 40)], "unreadable picture")
    failing([put("bad.txt", b"caf\xe9\n")], ["bad.txt"], "text that is not UTF-8")
    # A face whose licence forbids embedding, and one without outlines.
    fonts_dir = os.path.join(tmp, "fonts")
    os.makedirs(fonts_dir)
    subprocess.run(["/usr/bin/python3", os.path.join(ROOT, "tests", "tools", "font_make.py"), "kinds", fonts_dir],
                   check=True, capture_output=True)
    env = dict(os.environ, KDLIB_FONT_DIRS=fonts_dir)
    put("pic.txt", b"Some text.\n")
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
