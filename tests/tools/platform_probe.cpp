// Prints what the platform layer answers for a fixed set of requests, one
// fact per line, so that the Linux backend's answers can be compared with
// the system's own on Windows (run under Wine): code-page conversions,
// then per font and size the text metrics, outline metrics, ABC widths and
// text extents.
#include <cstdio>
#include <string>
#include <vector>

#include "frame/code_pages.h"
#include "frame/display_context.h"
#include "frame/platform/platform.h"

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

void font(const char* face, bool bold, int16_t points, uint16_t codePage) {
    DisplayContext dc;
    platform::LogFont lf;
    buildLogFont(dc.get(), lf, face, points, 0, bold ? 1 : 0, codePage);
    SelectedFont selected(dc.get(), lf);
    std::string tag = std::string(face) + (bold ? " Bold" : "") + " " + std::to_string(points) + "pt cp" +
                      std::to_string(codePage);
    if (!selected) {
        std::printf("%s: no font\n", tag.c_str());
        return;
    }
    platform::TextMetrics tm;
    if (platform::getTextMetrics(dc.get(), &tm))
        std::printf("%s: tm height %d ascent %d descent %d intlead %d extlead %d first %d last %d\n", tag.c_str(),
                    tm.tmHeight, tm.tmAscent, tm.tmDescent, tm.tmInternalLeading, tm.tmExternalLeading,
                    tm.tmFirstChar, tm.tmLastChar);
    platform::OutlineMetrics om;
    if (platform::getOutlineMetrics(dc.get(), &om))
        std::printf("%s: otm fsType %u face %s\n", tag.c_str(), om.otmfsType, om.faceName.c_str());
    std::printf("%s: fontdata size %u\n", tag.c_str(), platform::getFontData(dc.get(), 0, 0, nullptr, 0));
    platform::AbcWidth abc[224];
    if (platform::getCharAbcWidths(dc.get(), 32, 255, abc)) {
        for (int c = 32; c <= 255; ++c) {
            const auto& w = abc[c - 32];
            std::printf("%s: abc %02X %d %u %d adv %d\n", tag.c_str(), c, w.abcA, w.abcB, w.abcC,
                        w.abcA + static_cast<int>(w.abcB) + w.abcC);
        }
    }
    for (const char* text : kTexts) {
        std::string s = text;
        platform::Size a, w;
        bool okA = platform::getTextExtentA(dc.get(), s.data(), static_cast<int>(s.size()), &a);
        std::u16string units = toUtf16(codePage, s.data(), static_cast<int>(s.size()));
        bool okW = platform::getTextExtentW(dc.get(), units.data(), static_cast<int>(units.size()), &w);
        std::printf("%s: extent \"%.12s\" A %d %dx%d W %d %dx%d\n", tag.c_str(), text, okA, a.cx, a.cy, okW, w.cx, w.cy);
    }
}

}  // namespace

int main() {
    codePages();
    for (int16_t points : {8, 10, 12, 72}) {
        font("DejaVu Sans", false, points, 1252);
        font("DejaVu Sans", true, points, 1252);
        font("Liberation Sans", false, points, 1252);
    }
    font("DejaVu Sans", false, 10, 1251);
    font("Liberation Sans", false, 10, 1250);
    return 0;
}
