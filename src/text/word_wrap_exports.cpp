// Exports of word wrapping and trimming: argument checks and the hand-over
// of UTF-8 / UTF-16 code pages to the UTF-16 twins.
#include <cstring>
#include <string>

#include "kdlib.h"
#include "text/word_wrap.h"

namespace {

kd::WrapFont fontOf(const char* faceName, float size, int16_t italic, int16_t bold, uint16_t codePage) {
    kd::WrapFont font;
    font.faceName = faceName ? faceName : "";
    font.size = size;
    font.italic = italic;
    font.bold = bold;
    font.codePage = codePage;
    return font;
}

int textLength(const char* text) {
    if (text == nullptr) return 0;
    size_t n = std::strlen(text);
    return n > 0x7FFFFFF0 ? 0x7FFFFFF0 : static_cast<int>(n);
}

}  // namespace

extern "C" KDLIB_API int32_t wwW(const char* text, const char* faceName, float size, int16_t italic,
                                 int16_t bold, float maxWidth, int32_t* lines, int16_t wordWrap,
                                 uint16_t codePage, int16_t /*unused*/) {
    if (lines == nullptr) return -1;
    try {
        std::u16string units = kd::wrapTextToUtf16(text, codePage);
        int n = static_cast<int>(units.size());
        return kd::wrapLines(units.data(), n, fontOf(faceName, size, italic, bold, codePage), maxWidth, lines,
                             n + 1, wordWrap != 0);
    } catch (...) {
        return -1;
    }
}

extern "C" KDLIB_API int32_t ww(const char* text, const char* faceName, float size, int16_t italic, int16_t bold,
                                float maxWidth, int32_t* lines, int16_t wordWrap, uint16_t codePage,
                                int16_t unused) {
    if (kd::isUnicodeCodePage(codePage))
        return wwW(text, faceName, size, italic, bold, maxWidth, lines, wordWrap, codePage, unused);
    if (lines == nullptr) return -1;
    try {
        int n = textLength(text);
        return kd::wrapLines(text, n, fontOf(faceName, size, italic, bold, codePage), maxWidth, lines, n + 1,
                             wordWrap != 0);
    } catch (...) {
        return -1;
    }
}

extern "C" KDLIB_API int32_t _pvTrimW(const char* text, const char* faceName, float size, int16_t italic,
                                      int16_t bold, float boxWidth, int16_t /*unused7*/, uint16_t codePage,
                                      int16_t mode, int16_t /*unused10*/) {
    try {
        std::u16string units = kd::wrapTextToUtf16(text, codePage);
        return kd::trimLine(units.data(), static_cast<int>(units.size()),
                            fontOf(faceName, size, italic, bold, codePage), boxWidth, mode);
    } catch (...) {
        return -1;
    }
}

extern "C" KDLIB_API int32_t _pvTrimA(const char* text, const char* faceName, float size, int16_t italic,
                                      int16_t bold, float boxWidth, int16_t unused7, uint16_t codePage,
                                      int16_t mode, int16_t unused10) {
    if (kd::isUnicodeCodePage(codePage))
        return _pvTrimW(text, faceName, size, italic, bold, boxWidth, unused7, codePage, mode, unused10);
    try {
        return kd::trimLine(text, textLength(text), fontOf(faceName, size, italic, bold, codePage), boxWidth,
                            mode);
    } catch (...) {
        return -1;
    }
}
