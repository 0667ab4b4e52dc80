// The 'CFF ' table of a subset font program. Every glyph keeps its number:
// the CharStrings INDEX has all the source's positions, and a glyph that is
// not kept becomes an empty glyph (endchar). Subroutines keep their numbers
// too: those the kept charstrings do not reach become a bare return, and
// those after the last one reached are left out where the count can shrink
// without changing the subroutine bias. The
// Top DICT, Font DICTs and Private DICTs are copied with their offsets
// re-encoded as 5-byte integers, so every size is known before anything is
// written. A CID-keyed font's charset becomes the identity (CID = glyph
// number), which lets a PDF host use glyph numbers as CIDs.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "truetype/cff_charstrings.h"
#include "truetype/cff_font.h"
#include "truetype/sfnt_output.h"

namespace kd {

class CffSubset {
public:
    // Lays the table out; the closure's charstrings must have been walked.
    CffSubset(CffFont& font, const CffClosure& closure);
    CffSubset(const CffSubset&) = delete;
    CffSubset& operator=(const CffSubset&) = delete;

    // The table's size in bytes (0 when it cannot be written in 32 bits).
    uint32_t size() const { return size_ > UINT32_MAX ? 0 : static_cast<uint32_t>(size_); }
    void write(SfntOutput& out);

private:
    // An INDEX rebuilt from some of the source's objects: a kept object's
    // bytes, or one filler byte in its place.
    struct Objects {
        CffIndexLayout layout;
        std::vector<const uint8_t*> bytes;  // null: the filler
        uint8_t filler = 0;
        void add(const uint8_t* p, uint32_t length) {
            bytes.push_back(p);
            layout.add(p ? length : 1);
        }
        void write(SfntOutput& out) const;
    };
    struct Private {
        std::vector<CffDict::Replacement> edits;
        uint32_t dictSize = 0;
        bool hasSubrs = false;
        Objects subrs;
        uint64_t offset = 0;
    };

    static void planSubrs(CffFont& font, const CffIndex& index, const std::function<bool(uint32_t)>& reached,
                          Objects& out);
    std::vector<CffDict::Replacement> topEdits() const;

    CffFont& font_;
    CffIndexLayout nameIndex_, topIndex_, fdArrayIndex_;
    Objects globalSubrs_, charStrings_;
    std::vector<Private> privates_;
    std::vector<std::vector<CffDict::Replacement>> fontDictEdits_;
    uint64_t size_ = 0;
    // Offsets from the table's start.
    uint64_t encodingAt_ = 0, charsetAt_ = 0, fdSelectAt_ = 0, charStringsAt_ = 0, fdArrayAt_ = 0;
    uint32_t charsetSize_ = 0;
};

}  // namespace kd
