// Prints what the platform layer answers for a fixed set of requests, one
// fact per line, so that the Linux backend's answers can be compared with
// the system's own on Windows (run under Wine): code-page conversions,
// then per font and size the text metrics, outline metrics, ABC widths and
// text extents; then, through the exports, what the host sees of them:
// getFParam's metrics and width requests, ww's line breaks and widths and
// _pvTrimA's results.
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "frame/code_pages.h"
#include "frame/display_context.h"
#include "frame/platform/platform.h"
#include "kdlib.h"

using namespace kd;

namespace {

void codePages() {
    for (unsigned cp : {874u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u, 42u}) {
        for (int b = 0; b < 256; ++b) {
            char byte = static_cast<char>(b);
            std::u16string u = toUtf16(cp, &byte, 1);
            std::printf("cp %u %02X:", cp, b);
            for (char16_t c : u) std::printf(" %04X", static_cast<unsigned>(c));
            std::printf("\n");
        }
    }
}

const char* const kTexts[] = {
    "Hello, World!",
    "The quick brown fox jumps over the lazy dog.",
    "AVAWAYTaToWaYo fi fl ffi 0123456789",
    "\x80\x85\x91\x92\x93\x94\x96\x97\xA9\xAE\xB0\xC0\xC9\xD6\xDC\xDF\xE0\xE9\xF1\xF6\xFC\xFF",
    "iiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiii",
    "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW",
};

struct Face {
    const char* name;
    int16_t bold;
    std::string tag() const { return std::string(name) + (bold ? " Bold" : ""); }
};
const Face kFaces[] = {{"DejaVu Sans", 0}, {"DejaVu Sans", 1}, {"Liberation Sans", 0}};

// One fact: what was asked, then what the answer was.
void fact(const std::string& tag, const char* format, ...) __attribute__((format(printf, 2, 3)));
void fact(const std::string& tag, const char* format, ...) {
    std::printf("%s: ", tag.c_str());
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
}

void font(const Face& face, int16_t points, uint16_t codePage) {
    DisplayContext dc;
    platform::LogFont lf;
    buildLogFont(dc.get(), lf, face.name, points, 0, face.bold, codePage);
    SelectedFont selected(dc.get(), lf);
    const std::string tag = face.tag() + " " + std::to_string(points) + "pt cp" + std::to_string(codePage);
    if (!selected) return fact(tag, "no font");
    platform::TextMetrics tm;
    if (platform::getTextMetrics(dc.get(), &tm))
        fact(tag, "tm height %d ascent %d descent %d intlead %d extlead %d first %d last %d", tm.tmHeight, tm.tmAscent,
             tm.tmDescent, tm.tmInternalLeading, tm.tmExternalLeading, tm.tmFirstChar, tm.tmLastChar);
    platform::OutlineMetrics om;
    if (platform::getOutlineMetrics(dc.get(), &om)) fact(tag, "otm fsType %u face %s", om.otmfsType, om.faceName.c_str());
    fact(tag, "fontdata size %u", platform::getFontData(dc.get(), 0, 0, nullptr, 0));
    platform::AbcWidth abc[224];
    if (platform::getCharAbcWidths(dc.get(), 32, 255, abc))
        for (int c = 32; c <= 255; ++c)
            fact(tag, "abc %02X %d %u %d adv %d", c, abc[c - 32].abcA, abc[c - 32].abcB, abc[c - 32].abcC,
                 abc[c - 32].abcA + static_cast<int>(abc[c - 32].abcB) + abc[c - 32].abcC);
    for (const char* text : kTexts) {
        const std::string s = text;
        const std::u16string units = toUtf16(codePage, s.data(), static_cast<int>(s.size()));
        platform::Size a, w;
        const bool okA = platform::getTextExtentA(dc.get(), s.data(), static_cast<int>(s.size()), &a);
        const bool okW = platform::getTextExtentW(dc.get(), units.data(), static_cast<int>(units.size()), &w);
        fact(tag, "extent \"%.12s\" A %d %dx%d W %d %dx%d", text, okA, a.cx, a.cy, okW, w.cx, w.cy);
    }
}

// Request 1 (metrics, thousandths of an inch) and the width request (one
// width per code from tmFirstChar, thousandths of an inch).
void fontRequests() {
    for (const Face& f : kFaces) {
        for (int points : {8, 10, 12, 72}) {
            const std::string tag = "getFParam " + f.tag() + " " + std::to_string(points) + "pt";
            int32_t m[5] = {}, w[256] = {};
            int32_t r = getFParam("", f.name, float(points), f.bold, 0, 1, m, nullptr, 1252, nullptr, 0, nullptr);
            fact(tag, "metrics %d height %d extlead %d ascent %d first %d last %d", r, m[0], m[1], m[2], m[3], m[4]);
            r = getFParam("", f.name, float(points), f.bold, 0, 0, w, nullptr, 1252, nullptr, 0, nullptr);
            fact(tag, "widths %d", r);
            if (r != 0 || m[3] < 0 || m[4] > 255) continue;
            for (int c = m[3]; c <= m[4]; ++c) fact(tag, "width %02X %d", c, w[c - m[3]]);
        }
    }
}

const char* const kParagraph =
    "Reports are measured twice: once to break the paragraph into lines that fit the column, and once more when "
    "each line is justified. If the two measurements disagree by even a pixel, a word that fitted on one system "
    "moves to the next line on another, and every page after it changes. AVAWAY fi fl 0123456789 "
    "\xC0\xC9\xD6\xDC\xDF\xE0\xE9\xF1\xF6\xFC \x93quoted\x94 \x96 dash.";

// Line breaks (1-based first and last byte) and widths in thousandths of an
// inch, for a few columns.
void wrapping() {
    for (const Face& f : kFaces) {
        for (int points : {8, 10, 12}) {
            for (int column : {1500, 2500, 4000, 6500}) {
                std::string tag = "ww " + f.tag() + " " + std::to_string(points) + "pt col " + std::to_string(column);
                std::vector<int32_t> lines(3 + 3 * (std::string(kParagraph).size() + 1), 0);
                int32_t n = ww(kParagraph, f.name, static_cast<float>(points), 0, f.bold, static_cast<float>(column),
                               lines.data(), 1, 1252, 0);
                fact(tag, "%d lines, height %d extlead %d ascent %d", n, lines[0], lines[1], lines[2]);
                for (int32_t k = 0; k < n; ++k)
                    fact(tag, "line %d %d-%d width %d", k + 1, lines[3 + 3 * k], lines[4 + 3 * k], lines[5 + 3 * k]);
            }
        }
    }
}

// Where _pvTrimA cuts a text for a box, per mode.
void trimming() {
    const char* const texts[] = {"The quick brown fox jumps over the lazy dog.", "Invoice 2024-0042: consulting, travel",
                                 "\xC0\xE9\xF1\xFC WWWW iiii AVAV"};
    for (const Face& f : kFaces) {
        for (int points : {8, 10, 12}) {
            for (const char* text : texts) {
                for (int box : {300, 700, 1200, 2000}) {
                    std::printf("_pvTrimA %s %dpt \"%.12s\" box %d:", f.tag().c_str(), points, text, box);
                    for (int16_t mode = 0; mode <= 5; ++mode)
                        std::printf(" %d", _pvTrimA(text, f.name, static_cast<float>(points), 0, f.bold,
                                                    static_cast<float>(box), 0, 1252, mode, 0));
                    std::printf("\n");
                }
            }
        }
    }
}

}  // namespace

int main() {
    codePages();
    for (int16_t points : {8, 10, 12, 72})
        for (const Face& f : kFaces) font(f, points, 1252);
    font(kFaces[0], 10, 1251);
    font(kFaces[2], 10, 1250);
    fontRequests();
    wrapping();
    trimming();
    return 0;
}
