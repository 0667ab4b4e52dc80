#include "truetype/cff_subset.h"

#include <algorithm>

namespace kd {

namespace {

constexpr uint8_t kEndCharByte = 14, kReturnByte = 11;
constexpr uint32_t kHeaderSize = 4;

CffDict::Replacement edit(uint16_t op, int64_t value) { return {op, 1, {static_cast<int32_t>(value), 0}}; }
CffDict::Replacement edit(uint16_t op, int64_t size, int64_t offset) {
    return {op, 2, {static_cast<int32_t>(size), static_cast<int32_t>(offset)}};
}

// Subroutines nothing reaches after the last one reached are left out, as
// far as the count keeps the bias the kept ones are called with.
uint32_t subrsToWrite(uint32_t sourceCount, uint32_t pastLastReached) {
    if (pastLastReached == 0) return 0;
    const uint32_t sameBias = sourceCount < 1240 ? 0 : sourceCount < 33900 ? 1240 : 33900;
    return std::max(pastLastReached, sameBias);
}

}  // namespace

void CffSubset::planSubrs(CffFont& font, const CffIndex& index, const std::function<bool(uint32_t)>& reached,
                          Objects& out) {
    uint32_t end = index.count();
    while (end > 0 && !reached(end - 1)) --end;
    end = subrsToWrite(index.count(), end);
    for (uint32_t i = 0; i < end; ++i) {
        out.add(reached(i) ? font.objectBytes(index.objectStart(i), index.objectLength(i)) : nullptr,
                index.objectLength(i));
    }
}

void CffSubset::Objects::write(SfntOutput& out) const {
    layout.writeHeader(out);
    for (uint32_t i = 0; i < layout.count(); ++i) {
        if (bytes[i]) {
            out.bytes(bytes[i], layout.length(i));
        } else {
            out.u8(filler);
        }
    }
}

CffSubset::CffSubset(CffFont& font, const CffClosure& closure) : font_(font) {
    // Charstrings and subroutines first: what cannot be read is left out.
    charStrings_.filler = kEndCharByte;
    const CffIndex& glyphs = font.charStrings();
    for (uint32_t g = 0; g < glyphs.count(); ++g) {
        const bool kept = closure.keepsGlyph(g);
        charStrings_.add(kept ? font.objectBytes(glyphs.objectStart(g), glyphs.objectLength(g)) : nullptr,
                         glyphs.objectLength(g));
    }
    globalSubrs_.filler = kReturnByte;
    planSubrs(font, font.globalSubrs(), [&closure](uint32_t i) { return closure.keepsGlobalSubr(i); }, globalSubrs_);
    privates_.resize(font.privates().size());
    for (uint32_t p = 0; p < privates_.size(); ++p) {
        const CffFont::PrivateDict& source = font.privates()[p];
        Private& out = privates_[p];
        out.subrs.filler = kReturnByte;
        planSubrs(font, source.subrs, [&closure, p](uint32_t i) { return closure.keepsLocalSubr(p, i); }, out.subrs);
        // The subroutines follow their Private DICT, whose size does not
        // depend on the offset it holds.
        out.hasSubrs = source.hasSubrs;
        if (out.hasSubrs) out.edits.push_back(edit(kCffSubrs, 0));
        out.dictSize = source.dict.encodedSize(out.edits);
        if (out.hasSubrs) out.edits.back().values[0] = static_cast<int32_t>(out.dictSize);
    }

    // The layout: header, Name, Top DICT, String and Global Subr INDEXes,
    // then the data the Top DICT points to.
    nameIndex_.add(font.fontName().length);
    const std::vector<CffDict::Replacement> sizing = topEdits();
    topIndex_.add(font.topDict().encodedSize(sizing));
    uint64_t at = kHeaderSize + nameIndex_.size() + topIndex_.size() + font.stringIndex().length +
                  globalSubrs_.layout.size();
    if (!font.cidKeyed() && font.customEncoding().length > 0) {
        encodingAt_ = at;
        at += font.customEncoding().length;
    }
    if (font.cidKeyed()) {
        charsetSize_ = font.glyphCount() > 1 ? 5 : 1;  // one range of consecutive CIDs from 1
    } else if (font.topDict().integer(kCffCharset, 0, 0) > 2) {
        charsetSize_ = font.customCharset().length;
    }
    if (charsetSize_ > 0) {
        charsetAt_ = at;
        at += charsetSize_;
    }
    if (font.cidKeyed()) {
        fdSelectAt_ = at;
        at += font.fdSelect().length;
    }
    charStringsAt_ = at;
    at += charStrings_.layout.size();
    if (font.cidKeyed()) {
        fdArrayAt_ = at;
        for (const CffDict& fd : font.fontDicts()) {
            std::vector<CffDict::Replacement> edits;
            if (fd.has(kCffPrivate)) edits.push_back(edit(kCffPrivate, 0, 0));
            fdArrayIndex_.add(fd.encodedSize(edits));
        }
        at += fdArrayIndex_.size();
    }
    for (Private& p : privates_) {
        p.offset = at;
        at += p.dictSize + (p.hasSubrs ? p.subrs.layout.size() : 0);
    }
    size_ = at;
}

// The Top DICT's offsets. The values are only final once the layout is
// done; their sizes never change.
std::vector<CffDict::Replacement> CffSubset::topEdits() const {
    std::vector<CffDict::Replacement> edits;
    const CffDict& top = font_.topDict();
    edits.push_back(edit(kCffCharStrings, charStringsAt_));
    if (font_.cidKeyed()) {
        edits.push_back(edit(kCffCharset, charsetAt_));
        edits.push_back(edit(kCffFdSelect, fdSelectAt_));
        edits.push_back(edit(kCffFdArray, fdArrayAt_));
    } else {
        if (top.integer(kCffCharset, 0, 0) > 2) {
            // A charset that could not be read falls back to the standard one.
            edits.push_back(edit(kCffCharset, charsetSize_ > 0 ? charsetAt_ : 0));
        }
        if (top.integer(kCffEncoding, 0, 0) > 1) edits.push_back(edit(kCffEncoding, encodingAt_));
        if (top.has(kCffPrivate)) {
            const Private* p = privates_.empty() ? nullptr : &privates_[0];
            edits.push_back(edit(kCffPrivate, p ? p->dictSize : 0, p ? p->offset : 0));
        }
    }
    return edits;
}

void CffSubset::write(SfntOutput& out) {
    out.u8(1);  // major version
    out.u8(0);  // minor version
    out.u8(kHeaderSize);
    out.u8(4);  // offsets from the table's start take at most 4 bytes

    nameIndex_.writeHeader(out);
    font_.copy(out, font_.fontName());
    topIndex_.writeHeader(out);
    font_.topDict().write(out, topEdits());
    font_.copy(out, font_.stringIndex());
    globalSubrs_.write(out);
    if (encodingAt_) font_.copy(out, font_.customEncoding());
    if (font_.cidKeyed()) {
        out.u8(font_.glyphCount() > 1 ? 2 : 0);
        if (font_.glyphCount() > 1) {
            out.u16(1);                          // glyph 1 is CID 1 ...
            out.u16(font_.glyphCount() - 2);     // ... and so on to the last glyph
        }
        font_.copy(out, font_.fdSelect());
    } else if (charsetSize_ > 0) {
        font_.copy(out, font_.customCharset());
    }
    charStrings_.write(out);
    if (font_.cidKeyed()) {
        fdArrayIndex_.writeHeader(out);
        for (size_t i = 0; i < font_.fontDicts().size(); ++i) {
            const CffDict& fd = font_.fontDicts()[i];
            std::vector<CffDict::Replacement> edits;
            if (fd.has(kCffPrivate)) edits.push_back(edit(kCffPrivate, privates_[i].dictSize, privates_[i].offset));
            fd.write(out, edits);
        }
    }
    for (size_t p = 0; p < privates_.size(); ++p) {
        font_.privates()[p].dict.write(out, privates_[p].edits);
        if (privates_[p].hasSubrs) privates_[p].subrs.write(out);
    }
}

}  // namespace kd
