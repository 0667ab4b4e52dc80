// Page content in the library's string builder, and images through dobmp.
#include <cerrno>
#include <cmath>
#include <cstring>

#include "kdlib.h"
#include "kdpdf.h"

namespace kdpdf {

Content::Content() {
    h_ = _zoFSO_setup(64 * 1024);
    if (h_ == 0) throw Failure("out of memory");
}

Content::~Content() { _zoFSO_Deallocate(h_); }

void Content::raw(const std::string& text) {
    if (text.empty()) return;
    if (_zoFSO_Append(h_, text.data(), static_cast<int32_t>(text.size())) < 0) throw Failure("out of memory");
}

void Content::format(const char* fmt, float a, float b, float c, float d) {
    if (_zoFSO_FormatString4Float(h_, fmt, a, b, c, d) < 0) throw Failure("out of memory");
}

void Content::box(float x, float top, float w, float h, float lineWidth, bool fill, int fr, int fg, int fb, int border,
                  int sr, int sg, int sb) {
    _zoFSO_PDF_AddBox(h_, x, top, w, h, lineWidth, fill ? 1 : 0, fr, fg, fb, border, sr, sg, sb, 0);
    raw("\n");
}

void Content::fillColour(int r, int g, int b) {
    if (_zoFSO_SetColor(h_, "f", r, g, b) < 0) throw Failure("out of memory");
}

std::string Content::bytes() const {
    int32_t n = _zoFSO_GetLength(h_);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    if (_zoFSO_Substr(h_, 1, n, &out[0]) != 0) throw Failure("cannot read a content stream back");
    return out;
}

namespace {

std::string token(const Run& run) {
    if (run.font->composite) {
        std::string s = "<";
        char buf[8];
        for (uint16_t g : run.codes) {
            snprintf(buf, sizeof buf, "%04X", g);
            s += buf;
        }
        return s + ">";
    }
    std::string bytes;
    for (uint16_t c : run.codes) bytes += static_cast<char>(c);
    std::vector<char> out(2 * bytes.size() + 2);
    char noMarks[1] = {0};
    int32_t n = mkPDFString(bytes.data(), static_cast<int32_t>(bytes.size()), "", out.data(), noMarks);
    return "(" + std::string(out.data(), static_cast<size_t>(n > 0 ? n : 0)) + ")";
}

}  // namespace

double lineWidth(const TextLine& line) {
    double w = 0;
    for (const Run& r : line.runs) w += r.font->width(r.codes, line.size);
    return w;
}

void drawLine(Content& c, const TextLine& line) {
    if (line.runs.empty()) return;
    double natural = lineWidth(line);
    double x = line.x;
    if (line.align == Align::Right) x += line.boxWidth - natural;
    if (line.align == Align::Center) x += (line.boxWidth - natural) / 2;
    // Justified: the spare room goes between the runs, each of which ends
    // with its word's space (the space is whatever code the map gave it, so
    // word spacing (Tw) would not apply).
    double gap = 0;
    size_t gaps = 0;
    for (size_t i = 0; i + 1 < line.runs.size(); ++i) gaps += line.runs[i].gapAfter;
    if (line.align == Align::Justify && gaps > 0 && natural < line.boxWidth)
        gap = (line.boxWidth - natural) / static_cast<double>(gaps);
    c.raw("BT\n");
    if (line.colour[0] || line.colour[1] || line.colour[2]) c.fillColour(line.colour[0], line.colour[1], line.colour[2]);
    c.format("1 0 %.4f 1 %.2f %.2f Tm\n", static_cast<float>(line.skew), static_cast<float>(x),
             static_cast<float>(line.baseline));
    const FontInstance* font = nullptr;
    for (size_t i = 0; i < line.runs.size(); ++i) {
        const Run& r = line.runs[i];
        if (r.font != font) {
            if (font) c.raw("] TJ\n");
            c.raw("/" + r.font->resource + " ");
            c.format("%.2f Tf\n[", static_cast<float>(line.size));
            font = r.font;
        }
        c.raw(token(r));
        if (gap > 0 && r.gapAfter && i + 1 < line.runs.size()) c.format(" %.1f ", static_cast<float>(-gap * 1000.0 / line.size));
    }
    c.raw("] TJ\nET\n");
    if (line.colour[0] || line.colour[1] || line.colour[2]) c.raw("0 g\n");
}

Image embedImage(const std::string& path, PdfWriter& pdf, WorkDir& work, int pdfVersion, int index) {
    FILE* probe = fopen(path.c_str(), "rb");
    if (!probe) throw Failure("cannot open image " + path + ": " + strerror(errno));
    fclose(probe);
    int32_t kind = -1, width = 0, height = 0, bits = 0, effective = 0, pages = 0;
    int32_t r = GetPicInfo(path.c_str(), &kind, &width, &height, &bits, &effective, 0, &pages);
    if (r != 0 || width <= 0 || height <= 0) throw Failure("cannot read image " + path + " (not a picture kdpdf knows)");
    // The decoders may put temporary files beside the picture: work on a copy.
    std::string copy = work.file("picture"), data = work.file("image"), mask = work.file("mask"),
                palette = work.file("palette");
    writeFile(copy, readFile(path));
    Image img;
    img.object = pdf.alloc();
    // The length object and the three numbers that dobmp may plan after it
    // (soft mask, its length, palette).
    int lengthObj = pdf.allocBlock(4);
    int16_t w16 = 0, h16 = 0;
    int32_t paletteObj = 0, smaskObj = 0;
    int32_t length = dobmp(copy.c_str(), data.c_str(), lengthObj, &w16, &h16, 0, 0, "", palette.c_str(), &paletteObj,
                           mask.c_str(), &smaskObj, pdfVersion, "SMask", 0);
    if (length < 0) {
        if (length == -1 || length == -4)
            throw Failure("cannot use image " + path + " (a kind PDF cannot show, or damaged)");
        throw Failure("cannot convert image " + path + " (error " + std::to_string(length) + ")");
    }
    pdf.streamObjectFromFile(img.object, data, work);
    pdf.integerObject(lengthObj, length);
    if (smaskObj > 0) {
        // The soft mask's samples are uncompressed behind a FlateDecode
        // dictionary: zipFile compresses them and reports the length.
        std::string zipped = work.file("mask.z");
        int32_t maskLength = 0;
        if (zipFile(mask.c_str(), zipped.c_str(), "FlateDecode", &maskLength) != 1)
            throw Failure("cannot compress the soft mask of " + path);
        pdf.streamObjectFromFile(lengthObj + 1, zipped, work);
        pdf.integerObject(smaskObj, maskLength);
    }
    if (paletteObj > 0) {
        std::string entries = readFile(palette), body = work.file("palette.obj");
        writeFile(body, "<< /Length " + std::to_string(entries.size()) + " >>\r\nstream\r\n" + entries);
        pdf.streamObjectFromFile(paletteObj, body, work);
    }
    img.width = w16 ? static_cast<uint16_t>(w16) : width;
    img.height = h16 ? static_cast<uint16_t>(h16) : height;
    img.resource = "Im" + std::to_string(index);
    return img;
}

}  // namespace kdpdf
