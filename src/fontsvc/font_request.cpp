#include "fontsvc/font_request.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "fontsvc/collection_member.h"
#include "fontsvc/font_stream.h"
#include "frame/display_context.h"
#include "frame/handle_registry.h"
#include "frame/log_folder.h"
#include "text/code_maps.h"
#include "truetype/truetype_font.h"

namespace kd {

void cutFaceName(const char* faceName, char (&out)[32]) {
    size_t n = faceName ? strnlen(faceName, 31) : 0;
    if (n) std::memcpy(out, faceName, n);
    out[n] = '\0';
}

int16_t pointSize(float size) {
    if (std::isnan(size)) return 0;
    if (size >= 32767.0f) return 32767;
    if (size <= -32768.0f) return -32768;
    return static_cast<int16_t>(size);
}

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

bool usesEngine(int code) {
    return code == kRequestSymbolic || code == kRequestSubsetCodes || code == kRequestWholeFont ||
           code == kRequestSubsetMap || code == kRequestDescriptor || code == kRequestGlyphMap;
}

// Every request but 7 and 9 writes the record.
bool writesRecord(int code) { return code != kRequestSymbolic && code != kRequestWholeFont; }

// Bit value 1 refuses embedding; so does the OpenType restricted licence
// (value 2) unless a less restrictive bit (4 preview & print, 8 editable)
// is set too, as the licence rules of older fonts say.
bool forbidsEmbedding(uint32_t fsType) { return (fsType & 1) != 0 || (fsType & 0x000E) == 0x0002; }

int32_t scaled(int32_t value, int32_t unitsPerEm) { return value * 1000 / unitsPerEm; }

// Request 1 and the width requests: GDI only.
int32_t gdiOnlyRequest(int code, platform::DeviceContext dc, const platform::TextMetrics& tm, int logPixelsX,
                       int logPixelsY, int32_t* record) {
    if (code == kRequestMetrics) {
        record[0] = tm.tmHeight * 1000 / logPixelsY;
        record[1] = tm.tmExternalLeading * 1000 / logPixelsY;
        record[2] = tm.tmAscent * 1000 / logPixelsY;
        record[3] = tm.tmFirstChar;
        record[4] = tm.tmLastChar;
        return 0;
    }
    platform::AbcWidth widths[256];
    if (tm.tmFirstChar > tm.tmLastChar || !platform::getCharAbcWidths(dc, tm.tmFirstChar, tm.tmLastChar, widths))
        return kFontFailed;
    for (int i = 0; i <= tm.tmLastChar - tm.tmFirstChar; ++i) {
        uint32_t advance = static_cast<uint32_t>(widths[i].abcA) + widths[i].abcB + static_cast<uint32_t>(widths[i].abcC);
        record[i] = static_cast<int32_t>(advance * 1000u / static_cast<uint32_t>(logPixelsX));
    }
    return 0;
}

void fillDescriptor(const TrueTypeFont& font, bool fromFile, platform::DeviceContext dc, int32_t* record) {
    const FontValues& v = font.values();
    auto put = [record](int offset, int32_t value) { record[offset / 4] = value; };
    for (int i = 0; i < 10; ++i) put(4 * i, v.panose[i]);
    put(40, static_cast<int32_t>(v.ulUnicodeRange1));
    put(44, static_cast<int32_t>(v.ulUnicodeRange2));
    put(48, static_cast<int32_t>(v.ulUnicodeRange3));
    put(52, static_cast<int32_t>(v.ulUnicodeRange4));
    put(56, static_cast<int32_t>(v.ulCodePageRange1));
    put(60, static_cast<int32_t>(v.ulCodePageRange2));
    put(64, font.isCollection());
    put(68, v.fsType);
    put(72, v.fsSelection);
    put(76, font.hasGlyf());
    put(80, font.hasPost());
    put(84, v.usFirstCharIndex);
    put(88, v.usLastCharIndex);
    const int32_t em = v.unitsPerEm;
    put(92, scaled(v.usWinAscent, em));
    put(96, scaled(v.usWinDescent, em));
    put(100, scaled(v.sCapHeight, em));
    put(104, v.usWidthClass);
    put(108, v.usWeightClass);
    put(112, scaled(v.sxHeight, em));
    put(116, scaled(v.xMin, em));
    put(120, scaled(v.yMin, em));
    put(124, scaled(v.xMax, em));
    put(128, scaled(v.yMax, em));
    put(132, static_cast<int32_t>(v.italicAngle));
    put(136, font.symbolFont());
    put(140, font.hasUnicodeCmap());
    put(144, font.hasSymbolCmap());
    auto* bytes = reinterpret_cast<uint8_t*>(record);
    std::memcpy(bytes + 148, v.fullNameEnglish, 200);
    std::memcpy(bytes + 352, v.familyNameEnglish, 200);
    if (fromFile) {
        std::memcpy(bytes + 556, v.fullNameEnglish, 200);
    } else {
        platform::OutlineMetrics otm;
        std::string name;
        if (platform::getOutlineMetrics(dc, &otm)) name = otm.faceName;
        size_t n = std::min<size_t>(name.size(), 199);
        std::memcpy(bytes + 556, name.data(), n);
        bytes[556 + n] = 0;
    }
}

}  // namespace

int32_t getFontParameters(const FontRequest& in) {
    char face[32];
    cutFaceName(in.faceName, face);
    const int code = in.request & 0xFF;
    // Requests 8, 9 and 10 write parameter 10, so it is never also the font
    // to read: reading and truncating one file would destroy it.
    const bool embedding = code == kRequestSubsetCodes || code == kRequestWholeFont || code == kRequestSubsetMap;
    const bool fromFile = (in.request & kFlagFontFile) != 0 && !embedding;
    if (writesRecord(code) && in.record == nullptr) return kFontBadPointer;

    DisplayContext dc;
    if (!dc) return kFontFailed;
    const int logPixelsX = dc.caps(platform::kLogPixelsX);
    const int logPixelsY = dc.caps(platform::kLogPixelsY);
    if (logPixelsX <= 0 || logPixelsY <= 0) return kFontFailed;

    platform::LogFont logFont;
    buildLogFont(dc.get(), logFont, face, pointSize(in.size), static_cast<uint8_t>(in.italic), in.bold,
                 static_cast<uint16_t>(in.codePage));
    logFont.lfCharSet = 1;
    SelectedFont gdiFont(dc.get(), logFont);
    if (!gdiFont) return kFontFailed;
    platform::TextMetrics tm;
    platform::getTextMetrics(dc.get(), &tm);

    std::unique_ptr<FILE, FileCloser> fontFile;
    if (fromFile) {
        if (in.subsetFileName == nullptr) return kFontFailed;
        fontFile.reset(std::fopen(in.subsetFileName, "rb"));
        if (!fontFile) return kFontFailed;
    }
    const CharCodeMap* charMap = nullptr;
    if (code == kRequestSubsetMap) {
        charMap = HandleRegistry::instance().find<CharCodeMap>(in.mapHandle);
        if (charMap == nullptr) return kFontNoEmbedding;
    }
    GlyphCodeMap* glyphMap = nullptr;
    if (code == kRequestGlyphMap) {
        glyphMap = HandleRegistry::instance().find<GlyphCodeMap>(in.mapHandle);
        if (glyphMap == nullptr) return kFontNoEmbedding;
    }
    if (!usesEngine(code)) return gdiOnlyRequest(code, dc.get(), tm, logPixelsX, logPixelsY, in.record);

    std::string logName = formatLogFileName(logFolder(), face, in.bold == 1, in.italic == 1, in.codePage);
    TrueTypeFont font(face, logName);
    font.setGlyphIdMode((in.request & kFlagGlyphIds) != 0);
    font.setCodeMapMode(code == kRequestSubsetMap);
    if (code != kRequestWholeFont) {
        if (fontFile)
            font.useFontFile(fontFile.get());
        else
            font.useDeviceContext(dc.get());
        if (font.readTables() != 0 || font.values().unitsPerEm == 0) return kFontFailed;
    }

    switch (code) {
    case kRequestSymbolic:
        return font.symbolFont() ? 4 : 32;
    case kRequestDescriptor:
        fillDescriptor(font, fromFile, dc.get(), in.record);
        return 0;
    case kRequestGlyphMap:
        for (UnicodeMap::Entry e : font.unicodeMap())
            glyphMap->insertIfAbsent(static_cast<int32_t>(e.unicode), static_cast<int32_t>(e.glyph));
        in.record[0] = in.mapHandle;
        return 0;
    default:
        break;
    }

    // Embedding: the licence first.
    platform::OutlineMetrics otm;
    if (platform::getOutlineMetrics(dc.get(), &otm) && forbidsEmbedding(otm.otmfsType)) return kFontNoEmbedding;
    // A subset of a font with outlines of neither kind the writer copies
    // (TrueType, or PostScript in a CFF table) would have no glyphs at all:
    // refused before any file is created. The whole font (request 9) is a
    // valid program of its own kind.
    if (code != kRequestWholeFont && !font.hasTrueTypeOutlines() && !font.cffOutlines()) return kFontNothingToEmbed;

    if (code == kRequestWholeFont) {
        if (in.subsetFileName == nullptr) return kOutputNotCreatable;
        if (StandaloneMember::isCollectionMember(dc.get())) {
            // A member's table offsets count from the start of the
            // collection; embed it as a font of its own instead.
            StandaloneMember member;
            if (!member.build(dc.get()) || member.length() < 1) return kFontNothingToEmbed;
            return writeFontStream(in.fontStreamFile, in.subsetFileName, static_cast<int32_t>(member.length()),
                                   [&member](uint32_t offset, uint8_t* buffer, uint32_t count) {
                                       member.read(offset, buffer, count);
                                   });
        }
        auto length = static_cast<int32_t>(platform::getFontData(dc.get(), 0, 0, nullptr, 0));
        if (length < 1) return kFontNothingToEmbed;
        platform::DeviceContext context = dc.get();
        return writeFontStream(in.fontStreamFile, in.subsetFileName, length,
                               [context](uint32_t offset, uint8_t* buffer, uint32_t count) {
                                   platform::getFontData(context, 0, offset, buffer, count);
                               });
    }

    if (in.subsetFileName == nullptr) return kOutputNotCreatable;
    int32_t length = code == kRequestSubsetCodes
                         ? font.writeSubsetForCodes(in.usedCodeMask, in.codePage, in.subsetFileName, in.widthTable)
                         : font.writeSubsetForCodeMap(*charMap, in.subsetFileName, in.widthTable);
    int32_t n = font.addUndefinedCodes(in.codePage);
    in.record[0] = n;
    const std::vector<int32_t>& missing = font.missingCodeList();
    for (int32_t k = 0; k < n; ++k) in.record[1 + k] = missing[static_cast<size_t>(k)];
    if (code == kRequestSubsetMap) {
        const std::vector<CodeGlyphEntry>& entries = font.codeGlyphEntries();
        in.record[n + 1] = static_cast<int32_t>(entries.size());
        for (size_t k = 0; k < entries.size(); ++k) {
            in.record[n + 2 + 2 * k] = font.glyphIdMode() ? entries[k].glyph : entries[k].code;
            in.record[n + 3 + 2 * k] = entries[k].unicode;
        }
    }
    if (length < 1) return kFontNothingToEmbed;
    int32_t result = writeFontStream(in.fontStreamFile, nullptr, length,
                                     [&font, &in](uint32_t offset, uint8_t* buffer, uint32_t count) {
                                         font.readSubsetChunk(offset, buffer, count, in.subsetFileName);
                                     });
    font.closeSubsetFile();
    return result;
}

}  // namespace kd
