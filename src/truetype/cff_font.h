// The 'CFF ' table of an OpenType font with PostScript outlines: header,
// Name, Top DICT, String and Global Subr INDEXes, CharStrings, the Private
// DICT and its local Subrs, and for CID-keyed fonts FDArray, FDSelect and
// charset. Everything is read from the font source and checked once
// against the table's end; the charstrings and subroutines a subset needs
// are read on demand and kept.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "truetype/cff_dict.h"
#include "truetype/cff_index.h"
#include "truetype/font_source.h"

namespace kd {

class CffFont {
public:
    explicit CffFont(FontSource& source) : source_(source) {}
    CffFont(const CffFont&) = delete;
    CffFont& operator=(const CffFont&) = delete;

    // Reads the table at [offset, offset + length). False when it is not a
    // single-font CFF table with Type 2 charstrings that can be subset.
    bool read(uint64_t offset, uint32_t length);

    // A byte range of the table (absolute source offsets).
    struct Span {
        uint64_t offset = 0;
        uint32_t length = 0;
    };
    // A Private DICT with its local subroutines.
    struct PrivateDict {
        CffDict dict;
        bool hasSubrs = false;  // the DICT names a Subrs INDEX
        CffIndex subrs;
    };

    uint32_t tableLength() const { return tableLength_; }
    uint32_t glyphCount() const { return charStrings_.count(); }
    bool cidKeyed() const { return cidKeyed_; }
    const CffIndex& charStrings() const { return charStrings_; }
    const CffIndex& globalSubrs() const { return globalSubrs_; }
    const CffDict& topDict() const { return topDict_; }
    // CID-keyed: one per FDArray entry; name-keyed: the one Private DICT.
    const std::vector<CffDict>& fontDicts() const { return fontDicts_; }
    const std::vector<PrivateDict>& privates() const { return privates_; }
    // The Private DICT whose subroutines glyph's charstring calls.
    uint32_t privateIndexOf(uint32_t glyph) const {
        return glyph < fdOfGlyph_.size() ? fdOfGlyph_[glyph] : 0;
    }
    // The glyph that a code of the standard encoding names, as an accented
    // glyph's endchar gives its components; -1 when there is none.
    int32_t glyphOfStandardCode(int32_t code);

    // Pieces a subset copies as they stand (length 0 when absent).
    Span fontName() const { return fontName_; }
    Span stringIndex() const { return strings_; }
    Span customEncoding() const { return encoding_; }
    Span customCharset() const { return charset_; }  // name-keyed fonts only
    Span fdSelect() const { return fdSelect_; }

    // The bytes of one charstring or subroutine (an object of one of the
    // INDEXes), read once and kept while the font lives, so the pointer
    // stays valid. Null when the bytes kept would exceed the table's size.
    const uint8_t* objectBytes(uint64_t offset, uint32_t length);
    // Copies a span of the source to out.
    void copy(SfntOutput& out, Span span);

private:
    bool readPrivate(const CffDict& owner, PrivateDict& out, uint64_t& budget);
    bool readFdSelect(int64_t at);
    void readCharset(int64_t at);
    void readEncoding(int64_t at);
    uint64_t at(int64_t relative) const { return tableStart_ + static_cast<uint64_t>(relative); }
    bool inTable(int64_t relative, uint64_t size) const {
        return relative >= 0 && static_cast<uint64_t>(relative) + size <= tableLength_;
    }

    FontSource& source_;
    uint64_t tableStart_ = 0, tableEnd_ = 0;
    uint32_t tableLength_ = 0;
    bool cidKeyed_ = false;
    CffDict topDict_;
    CffIndex globalSubrs_, charStrings_;
    std::vector<CffDict> fontDicts_;
    std::vector<PrivateDict> privates_;
    std::vector<uint16_t> fdOfGlyph_;
    std::vector<uint16_t> sidOfGlyph_;  // name-keyed fonts; empty when unknown
    std::unordered_map<uint32_t, uint32_t> glyphOfSid_;
    Span fontName_, strings_, encoding_, charset_, fdSelect_;

    std::unordered_map<uint64_t, std::pair<const uint8_t*, uint32_t>> objects_;
    std::vector<std::unique_ptr<uint8_t[]>> blocks_;
    size_t blockUsed_ = 0, blockSize_ = 0;
    uint64_t objectBudget_ = 0;
};

}  // namespace kd
