// Fonts: text re-encoded through the library's maps, then each map's
// subset program, widths, descriptor and ToUnicode CMap embedded.
#include <algorithm>
#include <cstring>

#include "kdlib.h"
#include "kdpdf.h"

namespace kdpdf {

namespace {

constexpr float kQuerySize = 12;  // widths and descriptors come in 1/1000 em whatever the size
// Why a face has no subset to embed (the library's -666).
const char* const kNoOutlines = "it has neither TrueType nor PostScript (CFF) outlines to subset";

std::string quoted(const FontStyle& s) {
    return "'" + s.face + "'" + (s.bold && s.italic ? " bold oblique" : s.bold ? " bold" : s.italic ? " oblique" : "");
}

// The ASCII letters of a UTF-16BE name area (200 bytes at most).
std::string asciiName(const int32_t* record, size_t byteOffset, size_t room) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(record) + byteOffset;
    std::string out;
    for (size_t i = 0; i + 1 < room; i += 2) {
        unsigned u = (p[i] << 8) | p[i + 1];
        if (u == 0) break;
        if (u < 128) out += static_cast<char>(u);
    }
    return out;
}

std::string nameChars(const std::string& s) {
    std::string out;
    for (char c : s)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-') out += c;
    return out;
}

std::string hex4(unsigned v) {
    char buf[8];
    snprintf(buf, sizeof buf, "%04X", v & 0xFFFF);
    return buf;
}

std::string toUnicodeCMap(const std::vector<std::pair<unsigned, unsigned>>& pairs, bool twoBytes) {
    std::string s =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n1 begincodespacerange\n";
    s += twoBytes ? "<0000> <FFFF>\n" : "<00> <FF>\n";
    s += "endcodespacerange\n";
    for (size_t i = 0; i < pairs.size(); i += 100) {
        size_t n = std::min<size_t>(100, pairs.size() - i);
        s += std::to_string(n) + " beginbfchar\n";
        for (size_t k = i; k < i + n; ++k) {
            std::string code = hex4(pairs[k].first);
            if (!twoBytes) code = code.substr(2);
            s += "<" + code + "> <" + hex4(pairs[k].second) + ">\n";
        }
        s += "endbfchar\n";
    }
    s += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return s;
}

std::string subsetTag(size_t index) {
    std::string tag = "KD";
    for (int i = 0; i < 4; ++i) {
        tag.insert(tag.begin() + 2, static_cast<char>('A' + index % 26));
        index /= 26;
    }
    return tag;
}

}  // namespace

double FontInstance::width(const std::vector<uint16_t>& codes, double size) const {
    double units = 0;
    for (uint16_t c : codes) {
        auto it = widths.find(c);
        units += it != widths.end() ? it->second : missingWidth;
    }
    return units * size / 1000.0;
}

struct FontSet::Descriptor {
    int bbox[4] = {};
    int ascent = 0, descent = 0, capHeight = 0, xHeight = 0, weight = 400, fsType = 0;
    double italicAngle = 0;
    bool glyf = true;  // TrueType outlines; otherwise PostScript (CFF) ones
    std::string psName, gotFace, family;
};

// The face that answered is the one asked for: by its face name, or by its
// family name (some fonts' full names are their PostScript names).
bool FontSet::answers(const Descriptor& d, const std::string& face) {
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return s;
    };
    return lower(d.gotFace) == lower(face) || lower(d.family) == lower(face);
}

FontSet::~FontSet() {
    for (auto& entry : fonts_)
        for (auto& f : entry.second) _kd_MUSRelease(f->charMap, f->glyphMap, f->composite ? 1 : 0);
}

FontSet::Descriptor FontSet::describe(const FontStyle& style) {
    int32_t record[189] = {};  // 756 bytes
    int32_t r = getFParam("", style.face.c_str(), kQuerySize, style.bold, style.italic, 20, record, nullptr, 0, nullptr,
                          0, nullptr);
    if (r < 0) throw Failure("cannot read font " + quoted(style) + " (error " + std::to_string(r) + ")");
    Descriptor d;
    d.fsType = record[68 / 4];
    d.ascent = record[92 / 4];
    d.descent = record[96 / 4];
    d.capHeight = record[100 / 4];
    d.weight = record[108 / 4];
    d.xHeight = record[112 / 4];
    for (int i = 0; i < 4; ++i) d.bbox[i] = record[116 / 4 + i];
    d.italicAngle = record[132 / 4] / 65536.0;
    d.glyf = record[76 / 4] != 0;
    std::string full = asciiName(record, 148, 200), family = asciiName(record, 352, 200);
    d.family = family;
    if (!family.empty() && full.compare(0, family.size(), family) == 0 && full.size() > family.size())
        d.psName = nameChars(family) + "-" + nameChars(full.substr(family.size()));
    else
        d.psName = nameChars(full.empty() ? family : full);
    if (d.psName.empty()) d.psName = "Font";
    const char* face = reinterpret_cast<const char*>(record) + 556;
    d.gotFace.assign(face, strnlen(face, 200));
    return d;
}

void FontSet::check(const FontStyle& style) {
    if (cff_.count(style)) return;
    Descriptor d = describe(style);
    // A restricted licence (bit value 2) without a less restrictive bit.
    if ((d.fsType & 0x000E) == 0x0002)
        throw Failure("font " + quoted(style) + " (" + d.gotFace + ") does not allow embedding");
    if (!style.bold && !style.italic && !answers(d, style.face))
        fprintf(stderr, "kdpdf: warning: no font '%s' installed; '%s' is used\n", style.face.c_str(),
                d.gotFace.c_str());
    cff_[style] = !d.glyf;
}

bool FontSet::installed(const std::string& face) { return answers(describe({face, false, false}), face); }

FontInstance* FontSet::current(const FontStyle& style, bool composite, size_t units) {
    auto& list = fonts_[{style, composite}];
    // Each unit may take a new code: a simple font's codes must stay below
    // 256, and a composite font's widths come back per one-byte code.
    if (!list.empty() && list.back()->next + units <= 256) return list.back().get();
    check(style);
    auto f = std::make_unique<FontInstance>();
    f->style = style;
    f->composite = composite;
    _kd_MUSInit(&f->charMap, &f->glyphMap, composite ? 1 : 0);
    if (f->charMap == 0 || (composite && f->glyphMap == 0)) throw Failure("cannot create a re-encoding map");
    if (composite) {
        int32_t record[1] = {};
        int32_t r = getFParam("", style.face.c_str(), kQuerySize, style.bold, style.italic, 21, record, nullptr, 0,
                              nullptr, f->glyphMap, nullptr);
        if (r < 0 || record[0] != f->glyphMap)
            throw Failure("cannot read the character map of font " + quoted(style));
    }
    f->resource = "F" + std::to_string(order_.size() + 1);
    order_.push_back(f.get());
    list.push_back(std::move(f));
    return list.back().get();
}

std::vector<Run> FontSet::encode(const FontStyle& style, bool composite, const std::string& text, int codePage) {
    std::vector<Run> runs;
    check(style);
    if (composite || cff_[style]) {
        runs.push_back(encodeOne(style, true, text, codePage));
        return runs;
    }
    // Pieces of at most 64 bytes, cut between UTF-8 characters: a fresh map
    // always has room for a piece.
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.size(), start + 64);
        while (end < text.size() && end > start + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
        runs.push_back(encodeOne(style, false, text.substr(start, end - start), codePage));
        runs.back().gapAfter = false;
        start = end;
    }
    if (!runs.empty()) runs.back().gapAfter = true;
    return runs;
}

Run FontSet::encodeOne(const FontStyle& style, bool composite, const std::string& text, int codePage) {
    FontInstance* f = current(style, composite, text.size());
    std::vector<char> out(4 * text.size() + 8);
    int32_t n = _kd_MakeUnicodeString(text.data(), static_cast<int32_t>(text.size()), &f->charMap, &f->next, out.data(),
                                      0, codePage, composite ? 1 : 0, &f->glyphMap);
    Run run;
    run.font = f;
    size_t digits = composite ? 4 : 2;
    for (size_t i = 0; i + digits <= 2 * static_cast<size_t>(n > 0 ? n : 0); i += digits)
        run.codes.push_back(static_cast<uint16_t>(std::stoul(std::string(out.data() + i, digits), nullptr, 16)));
    return run;
}

int FontSet::writeFontFile(PdfWriter& pdf, const std::string& streamFile, int32_t length, bool cff) {
    // The library wrote "/Filter ... /Length1 ... >>" "stream" and the data:
    // the dictionary's opening and /Length are the host's, and so is the
    // subtype of an OpenType program with PostScript outlines (FontFile3).
    std::string body = work_.file("fontfile");
    writeFile(body, "<< /Length " + std::to_string(length) + (cff ? " /Subtype /OpenType" : "") + "\r\n" +
                        readFile(streamFile));
    int obj = pdf.alloc();
    pdf.streamObjectFromFile(obj, body, work_);
    return obj;
}

int FontSet::writeDescriptor(PdfWriter& pdf, const FontStyle& style, const std::string& baseFont, int flags,
                             int fontFile, bool cff) {
    Descriptor d = describe(style);
    char buf[512];
    snprintf(buf, sizeof buf,
             "<< /Type /FontDescriptor /FontName /%s /Flags %d /FontBBox [%d %d %d %d] /ItalicAngle %.2f"
             " /Ascent %d /Descent %d /CapHeight %d /XHeight %d /StemV %d /FontFile%d %d 0 R >>",
             baseFont.c_str(), flags, d.bbox[0], d.bbox[1], d.bbox[2], d.bbox[3], d.italicAngle, d.ascent, -d.descent,
             d.capHeight, d.xHeight, d.weight >= 600 ? 140 : 80, cff ? 3 : 2, fontFile);
    int obj = pdf.alloc();
    pdf.beginObject(obj);
    pdf.write(buf);
    pdf.endObject();
    return obj;
}

void FontSet::finish(PdfWriter& pdf) {
    for (size_t i = 0; i < order_.size(); ++i) {
        FontInstance& f = *order_[i];
        f.object = pdf.alloc();
        if (f.composite)
            finishComposite(f, pdf);
        else
            finishSimple(f, pdf);
        f.finished = true;
    }
}

namespace {

struct Embedded {
    int32_t length = 0;
    std::vector<int32_t> record;
    std::vector<uint16_t> widths;
    int codes = 0;
    std::vector<std::pair<unsigned, unsigned>> entries;  // code or glyph, Unicode value
};

Embedded embed(const FontInstance& f, const std::string& stream, const std::string& subset) {
    Embedded e;
    e.record.assign(3 + 256 + 2 * 256 + 64, 0);
    e.widths.assign(2 + 2 * 256 + 8, 0);
    uint16_t request = static_cast<uint16_t>(10 | (f.composite ? 0x200 : 0));
    e.length = getFParam(stream.c_str(), f.style.face.c_str(), kQuerySize, f.style.bold, f.style.italic, request,
                         e.record.data(), nullptr, 0, subset.c_str(), f.charMap, e.widths.data());
    if (e.length == -500) throw Failure("font " + quoted(f.style) + " does not allow embedding");
    if (e.length == -666) throw Failure("font " + quoted(f.style) + " cannot be embedded: " + kNoOutlines);
    if (e.length <= 0) throw Failure("cannot embed font " + quoted(f.style) + " (error " + std::to_string(e.length) + ")");
    int32_t missing = e.record[0];
    if (missing > 0) {
        std::string list;
        for (int32_t k = 1; k <= missing && k <= 8; ++k) {
            char buf[16];
            snprintf(buf, sizeof buf, " U+%04X", static_cast<unsigned>(e.record[static_cast<size_t>(k)]));
            list += buf;
        }
        fprintf(stderr, "kdpdf: warning: font %s has no glyph for%s%s\n", quoted(f.style).c_str(), list.c_str(),
                missing > 8 ? (" and " + std::to_string(missing - 8) + " more").c_str() : "");
    }
    int32_t m = e.record[static_cast<size_t>(missing) + 1];
    for (int32_t k = 0; k < m; ++k) {
        size_t at = static_cast<size_t>(missing + 2 + 2 * k);
        e.entries.emplace_back(static_cast<unsigned>(e.record[at]), static_cast<unsigned>(e.record[at + 1]));
    }
    e.codes = e.widths[1] + 1;
    return e;
}

// Drops what a ToUnicode CMap cannot say (lone surrogates, missing glyphs).
std::vector<std::pair<unsigned, unsigned>> unicodePairs(std::vector<std::pair<unsigned, unsigned>> entries) {
    std::vector<std::pair<unsigned, unsigned>> out;
    std::sort(entries.begin(), entries.end());
    for (auto& e : entries) {
        if (e.first == 0xFFFF || (e.second >= 0xD800 && e.second < 0xE000)) continue;
        if (!out.empty() && out.back().first == e.first) continue;
        out.push_back(e);
    }
    return out;
}

}  // namespace

void FontSet::finishSimple(FontInstance& f, PdfWriter& pdf) {
    std::string stream = work_.file("font.stream"), subset = work_.file("font.ttf");
    Embedded e = embed(f, stream, subset);
    for (int c = 0; c < e.codes; ++c) f.widths[static_cast<uint32_t>(c)] = e.widths[2 + static_cast<size_t>(c)];
    Descriptor d = describe(f.style);
    std::string baseFont = subsetTag(static_cast<size_t>(f.object)) + "+" + d.psName;
    int fontFile = writeFontFile(pdf, stream, e.length, false);
    // The subset's only character map is a (1,0) table from codes to
    // glyphs: a symbolic font without /Encoding makes readers use it.
    int flags = 4 | (d.italicAngle != 0 ? 64 : 0);
    int descriptor = writeDescriptor(pdf, f.style, baseFont, flags, fontFile, false);
    int toUnicode = pdf.alloc();
    pdf.deflatedStream(toUnicode, "", toUnicodeCMap(unicodePairs(e.entries), false), work_);

    std::string widths;
    for (int c = 0; c < e.codes; ++c) widths += std::to_string(e.widths[2 + static_cast<size_t>(c)]) + (c % 16 == 15 ? "\r\n" : " ");
    pdf.beginObject(f.object);
    pdf.write("<< /Type /Font /Subtype /TrueType /BaseFont /" + baseFont + " /FirstChar 0 /LastChar " +
              std::to_string(e.codes - 1) + "\r\n/Widths [" + widths + "]\r\n/FontDescriptor " +
              std::to_string(descriptor) + " 0 R /ToUnicode " + std::to_string(toUnicode) + " 0 R >>");
    pdf.endObject();
}

void FontSet::finishComposite(FontInstance& f, PdfWriter& pdf) {
    // TrueType outlines: CIDFontType2 with FontFile2. PostScript (CFF) ones:
    // CIDFontType0 with the OpenType program as FontFile3 (PDF 1.6), whose
    // CIDs are the glyph numbers the codes already are.
    const bool cff = cff_[f.style];
    std::string stream = work_.file("cidfont.stream"), subset = work_.file(cff ? "cidfont.otf" : "cidfont.ttf");
    Embedded e = embed(f, stream, subset);
    if (cff) pdf.requireVersion(16);
    // Widths follow the codes, then the glyph number of each code.
    std::map<unsigned, unsigned> byGlyph;
    for (int c = 0; c < e.codes; ++c) {
        unsigned glyph = e.widths[2 + static_cast<size_t>(e.codes + c)];
        if (glyph != 0xFFFF) byGlyph[glyph] = e.widths[2 + static_cast<size_t>(c)];
    }
    f.missingWidth = 1000;
    for (auto& gw : byGlyph) f.widths[gw.first] = static_cast<int>(gw.second);

    int32_t flagRecord[1] = {};
    int32_t symbolic = getFParam("", f.style.face.c_str(), kQuerySize, f.style.bold, f.style.italic, 7, flagRecord,
                                 nullptr, 0, nullptr, 0, nullptr);
    if (symbolic != 4 && symbolic != 32) symbolic = 4;
    Descriptor d = describe(f.style);
    std::string baseFont = subsetTag(static_cast<size_t>(f.object)) + "+" + d.psName;
    int fontFile = writeFontFile(pdf, stream, e.length, cff);
    int descriptor = writeDescriptor(pdf, f.style, baseFont, symbolic | (d.italicAngle != 0 ? 64 : 0), fontFile, cff);
    int toUnicode = pdf.alloc();
    pdf.deflatedStream(toUnicode, "", toUnicodeCMap(unicodePairs(e.entries), true), work_);

    // W: runs of consecutive glyph numbers share one array.
    std::string w;
    for (auto it = byGlyph.begin(); it != byGlyph.end();) {
        unsigned first = it->first, expect = first;
        w += std::to_string(first) + " [";
        while (it != byGlyph.end() && it->first == expect) {
            w += std::to_string(it->second) + " ";
            ++it;
            ++expect;
        }
        w += "]\r\n";
    }
    int cidFont = pdf.alloc();
    pdf.beginObject(cidFont);
    pdf.write("<< /Type /Font /Subtype /CIDFontType" + std::string(cff ? "0" : "2") + " /BaseFont /" + baseFont +
              " /CIDSystemInfo << /Registry " + pdf.string(cidFont, "Adobe") + " /Ordering " +
              pdf.string(cidFont, "Identity") + " /Supplement 0 >>\r\n/FontDescriptor " + std::to_string(descriptor) +
              " 0 R" + (cff ? "" : " /CIDToGIDMap /Identity") + " /DW 1000\r\n/W [" + w + "] >>");
    pdf.endObject();
    pdf.beginObject(f.object);
    // A Type0 font over a CIDFontType0 is named after the CIDFont and CMap.
    pdf.write("<< /Type /Font /Subtype /Type0 /BaseFont /" + baseFont + (cff ? "-Identity-H" : "") +
              " /Encoding /Identity-H /DescendantFonts [" +
              std::to_string(cidFont) + " 0 R] /ToUnicode " + std::to_string(toUnicode) + " 0 R >>");
    pdf.endObject();
}

std::string FontSet::resources() const {
    std::string s;
    for (FontInstance* f : order_) s += "/" + f->resource + " " + std::to_string(f->object) + " 0 R ";
    return s;
}

}  // namespace kdpdf
