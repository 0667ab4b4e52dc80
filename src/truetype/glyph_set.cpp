// The glyph set: the glyphs a text needs, what replaces the characters the
// font lacks, the widths handed to the caller, and the components of
// composite glyphs.
#include <algorithm>
#include <set>

#include "truetype/code_page_tables.h"
#include "truetype/truetype_font.h"

namespace kd {

namespace {

constexpr uint16_t kMoreComponents = 0x0020;
constexpr uint16_t kArgsAreWords = 0x0001;
constexpr uint16_t kHaveScale = 0x0008;
constexpr uint16_t kHaveXYScale = 0x0040;
constexpr uint16_t kHaveTwoByTwo = 0x0080;

char printable(uint32_t c) { return c >= 32 && c < 127 ? static_cast<char>(c) : '?'; }

}  // namespace

int32_t TrueTypeFont::addGlyph(uint32_t unicode, int32_t code) {
    int32_t glyph = unicodeMap_.find(unicode);
    if (glyph < 0) return -1;
    glyphList_.push_back(glyph);
    glyphToCode_.emplace(glyph, code);
    KD_TRACE(log_, "(glyph added %d %d (%c) )", glyph, code, printable(static_cast<uint32_t>(code)));
    return glyph;
}

void TrueTypeFont::collectFromCodeMask(const char* usedCodeMask, int32_t codePage) {
    KD_TRACE(log_, "\nfont maps: cp:%d un:%d symbol:%d\n", codePage, 0, symbolFont_ ? 1 : 0);
    if (!usedCodeMask) return;
    // Codes are single bytes: positions past 255 mean nothing.
    size_t length = 0;
    while (length < 256 && usedCodeMask[length] != '\0') ++length;
    if (symbolFont_) {
        for (size_t c = 32; c < length; ++c) {
            if (usedCodeMask[c] != '!') continue;
            int32_t code = static_cast<int32_t>(c);
            KD_TRACE(log_, "glyphs.find ANSI:(%i) UNICODE:(%i) ", code, 0xF000 + code);
            int32_t g = addGlyph(0xF000u + static_cast<uint32_t>(c), code);
            KD_TRACE(log_, " glyph returned (%i)\n", g);
            if (g == -1) {
                missingCodeList_.push_back(code);
                g = addGlyph(0xF020, 32);
                KD_TRACE(log_, " glyph replaced to (%i)\n", g);
            }
        }
    } else {
        const uint16_t* table = codePageTable(codePage);
        if (!table) table = codePageTable(1252);
        for (size_t c = 0; c < length; ++c) {
            if (usedCodeMask[c] != '!') continue;
            int32_t code = static_cast<int32_t>(c);
            uint32_t u = table[c];
            KD_TRACE(log_, "glyphs.find ANSI:(%i) UNICODE:(%i) ", code, static_cast<int>(u));
            int32_t g = addGlyph(u, code);
            KD_TRACE(log_, " glyph returned (%i)\n", g);
            if (g == -1) {
                missingCodeList_.push_back(code);
                g = addGlyph(32, 32);
                KD_TRACE(log_, " glyph replaced to (%i)\n", g);
            }
        }
    }
    KD_TRACE(log_, "Missing glyphs %i\n", static_cast<int>(missingCodeList_.size()));
}

int32_t TrueTypeFont::writeSubsetForCodes(const char* usedCodeMask, int32_t codePage, const char* subsetFileName,
                                          uint16_t* widthTable) {
    collectFromCodeMask(usedCodeMask, codePage);
    return writeSubset(subsetFileName, 0, widthTable);
}

int32_t TrueTypeFont::writeSubsetForCodeMap(const CharCodeMap& codeMap, const char* subsetFileName,
                                            uint16_t* widthTable) {
    KD_TRACE(log_, "\nfont maps: cp:%d un:%d symbol:%d\n", 0, 1, symbolFont_ ? 1 : 0);
    KD_TRACE(log_, "-----adding glyphs from the unicode map cnt: %i-----\n", static_cast<int>(codeMap.size()));
    const bool hasSpace = codeMap.find(0x20) != nullptr;
    for (const auto& entry : codeMap) {
        uint32_t u = entry.first;
        uint16_t code = entry.second;
        KD_TRACE(log_, "adding glyph (%i): unicode: %d, char: %d (%c)(%c) ", code, static_cast<int>(u), code,
                 printable(u), printable(code));
        int32_t g = addGlyph(u, 0);
        if (g == -1 && codeMapMode_ && symbolFont_) {
            u += 0xF000;
            g = addGlyph(u, 0);
        }
        if (g == -1) {
            missingCodeList_.push_back(static_cast<int32_t>(u));
            if (hasSpace) g = addGlyph(0x20, 32);
        }
        KD_TRACE(log_, "[glyph returned: %d]", g);
        codeGlyphEntries_.push_back(
            {code, static_cast<uint16_t>(g < 0 ? 65535 : g), static_cast<uint16_t>(u)});
        int slot = code % 256;
        if (codeToGlyph_[slot] == kNoCode) {
            codeToGlyph_[slot] = g;
            ++codeToGlyphSize_;
        }
        KD_TRACE(log_, " Glyf width: %i %d \n", g, glyphWidth(g));
    }
    const int n = codeToGlyphSize_;
    if (widthTable) {
        widthTable[0] = 0;
        widthTable[1] = static_cast<uint16_t>(n - 1);
        for (int c = 0; c < n; ++c) {
            // A code the map skipped (it should assign 0 to N - 1 without
            // gaps) gets the default width and glyph 0, as in the subset's map.
            int32_t g = codeToGlyph_[c] == kNoCode ? -1 : codeToGlyph_[c];
            widthTable[2 + c] = glyphWidth(g);
            if (glyphIdMode_) {
                widthTable[2 + n + c] =
                    codeToGlyph_[c] == kNoCode ? 0 : static_cast<uint16_t>(g < 0 ? 65535 : g);
            }
        }
    }
    return writeSubset(subsetFileName, 1, widthTable);
}

int32_t TrueTypeFont::writeSubsetForCharacters(std::set<uint32_t>& characterSet, const char* subsetFileName) {
    KD_TRACE(log_, "-----adding glyphs from the unicode map cnt: %i-----\n", static_cast<int>(characterSet.size()));
    for (uint32_t u : characterSet) {
        int32_t g = addGlyph(u, 0);
        KD_TRACE(log_, "add glyph %i ", g);
        // A character the font lacks is drawn with the set's smallest one.
        if (g == -1) addGlyph(*characterSet.begin(), 0);
    }
    int32_t size = writeSubset(subsetFileName, 2, nullptr);
    std::set<uint32_t>().swap(characterSet);
    return size;
}

int32_t TrueTypeFont::addUndefinedCodes(int32_t codePage) {
    if (const uint16_t* table = codePageTable(codePage)) {
        for (int c = 0; c < 256; ++c) {
            if (table[c] == 0) missingCodeList_.push_back(c);
        }
    }
    if (missingCodeList_.size() >= 2) {
        missingCodeList_.erase(std::unique(missingCodeList_.begin(), missingCodeList_.end()), missingCodeList_.end());
    }
    std::sort(missingCodeList_.begin(), missingCodeList_.end());
    return static_cast<int32_t>(missingCodeList_.size());
}

void TrueTypeFont::addComposites() {
    if (locaOffsets_.empty()) return;
    KD_TRACE(log_, "adding composites count: (%i)\n", static_cast<int>(glyphList_.size()));
    const size_t numGlyphs = locaOffsets_.size() - 1;
    // Components of components are followed until nothing new appears; each
    // glyph is examined once (which also ends cycles), and the glyph data
    // examined in all never exceeds the source's size.
    std::vector<bool> examined(numGlyphs, false);
    uint64_t budget = source_.size();
    // Glyphs are examined in ascending order, so the glyph data is read
    // front to back (a component below the current glyph is the rare jump).
    std::set<int32_t> pending(glyphList_.begin(), glyphList_.end());
    std::vector<int32_t> found;
    while (!pending.empty()) {
        int32_t g = *pending.begin();
        pending.erase(pending.begin());
        if (g < 0 || static_cast<size_t>(g) >= numGlyphs || examined[g]) continue;
        examined[g] = true;
        uint32_t start = locaOffsets_[g], end = locaOffsets_[g + 1];
        if (end <= start) continue;
        uint64_t length = std::min<uint64_t>(end - start, budget);
        budget -= length;
        KD_TRACE(log_, "adding composites for glyph (%i): %d", g, static_cast<int>(start));
        found.clear();
        addGlyphComposites(start, static_cast<uint32_t>(length), found);
        glyphList_.insert(glyphList_.end(), found.begin(), found.end());
        for (int32_t c : found) {
            if (c >= 0 && static_cast<size_t>(c) < numGlyphs && !examined[c]) pending.insert(c);
        }
        KD_TRACE(log_, "\n");
    }
}

void TrueTypeFont::addGlyphComposites(uint32_t offset, uint32_t length, std::vector<int32_t>& found) {
    const uint64_t start = uint64_t{glyfOffset_} + offset;
    const uint64_t end = start + length;
    reader_.moveTo(start);
    int16_t numberOfContours = reader_.readInt16();
    if (numberOfContours >= 0) return;
    reader_.skip(8);
    // A component record takes at least 4 bytes of the glyph.
    while (reader_.position() + 4 <= end) {
        uint16_t flags = reader_.readUInt16();
        uint16_t glyphIndex = reader_.readUInt16();
        found.push_back(glyphIndex);
        KD_TRACE(log_, " addGlyphComposites for glyph (%d)", glyphIndex);
        if (!(flags & kMoreComponents)) break;
        uint32_t skip = (flags & kArgsAreWords) ? 4 : 2;
        if (flags & kHaveScale) {
            skip += 2;
        } else if (flags & kHaveXYScale) {
            skip += 4;
        } else if (flags & kHaveTwoByTwo) {
            skip += 8;
        }
        reader_.skip(skip);
    }
}

}  // namespace kd
