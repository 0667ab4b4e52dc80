// Fonts on the virtual display: chosen through fontconfig, measured from
// the font's own tables the way GDI reports a TrueType font.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "frame/platform/posix/objects.h"

namespace kd::platform {

namespace {

unsigned codePageForCharset(uint8_t charset) {
    switch (charset) {
    case 2: return 42;
    case 238: return 1250;
    case 204: return 1251;
    case 161: return 1253;
    case 162: return 1254;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 163: return 1258;
    case 222: return 874;
    case 128: return 932;
    case 134: return 936;
    case 129: return 949;
    case 136: return 950;
    case 130: return 1361;
    default: return 1252;
    }
}

long roundHalfAway(double v) { return std::lround(v); }

TextMetrics computeMetrics(const FontImpl& font) {
    const posix::FaceData& f = *font.face;
    TextMetrics tm;
    double scale = static_cast<double>(font.ppem) / f.unitsPerEm;
    tm.tmAscent = static_cast<int32_t>(roundHalfAway(f.winAscent * scale));
    tm.tmDescent = static_cast<int32_t>(roundHalfAway(f.winDescent * scale));
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    // As GDI: the cell's excess over the em, scaled from font units.
    tm.tmInternalLeading =
        static_cast<int32_t>(roundHalfAway((f.winAscent + f.winDescent - f.unitsPerEm) * scale));
    int winSpan = f.winAscent + f.winDescent;
    int hheaSpan = f.hheaAscender - f.hheaDescender;
    tm.tmExternalLeading =
        static_cast<int32_t>(roundHalfAway(std::max(0, f.hheaLineGap - (winSpan - hheaSpan)) * scale));
    tm.tmAveCharWidth = static_cast<int32_t>(roundHalfAway(f.xAvgCharWidth * scale));
    tm.tmMaxCharWidth = static_cast<int32_t>(roundHalfAway(f.advanceWidthMax * scale));
    tm.tmWeight = f.weightClass;
    // GDI's 8-bit view of a TrueType font: first character two below the
    // font's own, last capped at 255; symbol fonts count from U+F000.
    auto byteOf = [](unsigned c) { return c >= 0xF000 ? c - 0xF000 : c; };
    int first = static_cast<int>(byteOf(f.firstCharIndex)) - 2;
    tm.tmFirstChar = static_cast<uint8_t>(std::clamp(first, 0, 255));
    tm.tmLastChar = static_cast<uint8_t>(std::min(byteOf(f.lastCharIndex), 255u));
    tm.tmItalic = font.logFont.lfItalic;
    tm.tmCharSet = font.logFont.lfCharSet;
    return tm;
}

const FontImpl* selected(DeviceContext dc) { return dc && dc->selected ? dc->selected : nullptr; }

// The UTF-16 units of 8-bit text in the font's code page.
std::u16string unitsOf(const FontImpl& font, const char* text, int count) {
    std::u16string units(static_cast<size_t>(count), u'\0');
    uint32_t flags = font.codePage == 42 ? 0 : kPrecomposed;
    int n = multiByteToWideChar(font.codePage, flags, text, count, units.data(), count);
    units.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return units;
}

}  // namespace

int FontImpl::toPixels(int fontUnits) const {
    return static_cast<int>(roundHalfAway(static_cast<double>(fontUnits) * ppem / face->unitsPerEm));
}

int FontImpl::advancePixels(uint16_t glyph) const {
    const auto& adv = face->advances;
    if (adv.empty()) return 0;
    int units = glyph < adv.size() ? adv[glyph] : adv.back();
    return toPixels(units);
}

Font createFontIndirect(const LogFont& logFont) {
    char name[sizeof logFont.lfFaceName + 1] = {};
    std::memcpy(name, logFont.lfFaceName, sizeof logFont.lfFaceName);
    auto face = posix::matchFace(name, logFont.lfWeight >= 550, logFont.lfItalic != 0);
    if (!face) return nullptr;
    auto* font = new (std::nothrow) FontImpl;
    if (!font) return nullptr;
    font->face = std::move(face);
    font->logFont = logFont;
    const posix::FaceData& f = *font->face;
    if (logFont.lfHeight < 0) {
        font->ppem = -logFont.lfHeight;
    } else if (logFont.lfHeight > 0) {
        // A positive height asks for the cell height (ascent + descent).
        int span = std::max(1, f.winAscent + f.winDescent);
        font->ppem = static_cast<int>(roundHalfAway(static_cast<double>(logFont.lfHeight) * f.unitsPerEm / span));
    } else {
        font->ppem = 16;  // GDI's default height on a 96-dpi display
    }
    font->codePage = codePageForCharset(logFont.lfCharSet);
    font->metrics = computeMetrics(*font);
    return font;
}

void deleteFont(Font font) { delete font; }

bool getTextMetrics(DeviceContext dc, TextMetrics* metrics) {
    const FontImpl* font = selected(dc);
    if (!font || !metrics) return false;
    *metrics = font->metrics;
    return true;
}

bool getOutlineMetrics(DeviceContext dc, OutlineMetrics* metrics) {
    const FontImpl* font = selected(dc);
    if (!font || !metrics) return false;
    metrics->otmfsType = font->face->fsType;
    metrics->faceName = font->face->fullName;
    return true;
}

bool getCharAbcWidths(DeviceContext dc, unsigned first, unsigned last, AbcWidth* widths) {
    const FontImpl* font = selected(dc);
    if (!font || !widths || first > last || last > 255) return false;
    for (unsigned code = first; code <= last; ++code) {
        char byte = static_cast<char>(code);
        std::u16string unit = unitsOf(*font, &byte, 1);
        uint16_t glyph = unit.empty() ? 0 : font->face->glyphFor(unit[0]);
        int lsb = 0, ink = 0;
        font->face->inkExtent(glyph, &lsb, &ink);
        // GDI measures the ink on the pixel grid: A is the left edge
        // rounded down, B reaches the right edge rounded up (at least one
        // pixel, also for an empty glyph), C is what the advance leaves.
        AbcWidth& w = widths[code - first];
        double scale = static_cast<double>(font->ppem) / font->face->unitsPerEm;
        int left = static_cast<int>(std::floor(lsb * scale));
        int right = static_cast<int>(std::ceil((lsb + ink) * scale));
        w.abcA = left;
        w.abcB = static_cast<uint32_t>(std::max(1, right - left));
        w.abcC = font->advancePixels(glyph) - w.abcA - static_cast<int32_t>(w.abcB);
    }
    return true;
}

uint32_t getFontData(DeviceContext dc, uint32_t table, uint32_t offset, void* buffer, uint32_t size) {
    const FontImpl* font = selected(dc);
    if (!font) return kFontDataError;
    const posix::FaceData& f = *font->face;
    size_t base = 0, available = 0;
    if (table == 0) {
        base = f.memberOffset;
        available = f.fileSize - base;
    } else if (table == kCollectionTable) {
        if (!f.inCollection) return kFontDataError;
        available = f.fileSize;
    } else {
        // A single table by tag, as GetFontData takes it (first tag byte lowest).
        const uint8_t* dir = f.file + f.memberOffset;
        size_t end = f.fileSize - f.memberOffset;
        if (end < 12) return kFontDataError;
        unsigned tables = (unsigned{dir[4]} << 8) | dir[5];
        bool found = false;
        for (unsigned i = 0; i < tables && 12 + 16 * (i + 1) <= end; ++i) {
            const uint8_t* rec = dir + 12 + 16 * i;
            uint32_t tag = rec[0] | (uint32_t{rec[1]} << 8) | (uint32_t{rec[2]} << 16) | (uint32_t{rec[3]} << 24);
            if (tag != table) continue;
            auto u32 = [](const uint8_t* p) {
                return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
            };
            base = u32(rec + 8);
            available = u32(rec + 12);
            found = base <= f.fileSize && available <= f.fileSize - base;
            break;
        }
        if (!found) return kFontDataError;
    }
    if (buffer == nullptr && size == 0) return static_cast<uint32_t>(available);
    if (buffer == nullptr || offset >= available) return kFontDataError;
    size_t count = std::min<size_t>(size, available - offset);
    std::memcpy(buffer, f.file + base + offset, count);
    return static_cast<uint32_t>(count);
}

bool getTextExtentW(DeviceContext dc, const char16_t* text, int count, Size* size) {
    const FontImpl* font = selected(dc);
    if (!font || !size || count < 0 || (count > 0 && !text)) return false;
    long width = 0;
    for (int i = 0; i < count; ++i) {
        uint32_t unit = text[i];
        // A surrogate pair is one character.
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        width += font->advancePixels(font->face->glyphFor(unit));
    }
    size->cx = static_cast<int32_t>(width);
    size->cy = font->metrics.tmHeight;
    return true;
}

bool getTextExtentA(DeviceContext dc, const char* text, int count, Size* size) {
    const FontImpl* font = selected(dc);
    if (!font || !size || count < 0 || (count > 0 && !text)) return false;
    std::u16string units = unitsOf(*font, text, count);
    return getTextExtentW(dc, units.data(), static_cast<int>(units.size()), size);
}

}  // namespace kd::platform
