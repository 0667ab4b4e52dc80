#include "truetype/cff_font.h"

#include <algorithm>

namespace kd {

namespace {

// The standard encoding as string identifiers: code -> SID (0: none).
// Codes 32 to 126 are SIDs 1 to 95; the rest as the format's appendix lists.
uint16_t standardEncodingSid(int32_t code) {
    if (code >= 32 && code <= 126) return static_cast<uint16_t>(code - 31);
    static const uint8_t kHigh[95] = {
        // 161 to 255
        96,  97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 0,   111, 112, 113, 114,
        0,   115, 116, 117, 118, 119, 120, 121, 122, 0,   123, 0,   124, 125, 126, 127, 128, 129, 130, 131,
        0,   132, 133, 0,   134, 135, 136, 137, 0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
        0,   0,   0,   0,   138, 0,   139, 0,   0,   0,   0,   140, 141, 142, 143, 0,   0,   0,   0,   0,
        144, 0,   0,   0,   145, 0,   0,   146, 147, 148, 149, 0,   0,   0,   0};
    return code >= 161 && code <= 255 ? kHigh[code - 161] : 0;
}

constexpr size_t kBlockSize = 65536;

}  // namespace

bool CffFont::read(uint64_t offset, uint32_t length) {
    tableStart_ = offset;
    tableLength_ = length;
    tableEnd_ = offset + length;
    objectBudget_ = uint64_t{length} + kBlockSize;

    uint8_t header[4] = {};
    if (length < 4) return false;
    source_.read(offset, header, 4);
    if (header[0] != 1 || header[2] < 4) return false;

    CffIndex names, topDicts, strings;
    if (!names.read(source_, offset + header[2], tableEnd_) || names.count() < 1) return false;
    if (!topDicts.read(source_, names.end(), tableEnd_) || topDicts.count() < 1) return false;
    if (!strings.read(source_, topDicts.end(), tableEnd_)) return false;
    if (!globalSubrs_.read(source_, strings.end(), tableEnd_)) return false;
    fontName_ = {names.objectStart(0), names.objectLength(0)};
    strings_ = {strings.start(), strings.byteSize()};

    std::vector<uint8_t> bytes(topDicts.objectLength(0));
    source_.read(topDicts.objectStart(0), bytes.data(), bytes.size());
    if (!topDict_.parse(bytes.data(), bytes.size())) return false;
    if (topDict_.integer(kCffCharstringType, 0, 2) != 2) return false;

    const int64_t charStringsAt = topDict_.integer(kCffCharStrings, 0, -1);
    if (!inTable(charStringsAt, 2) || !charStrings_.read(source_, at(charStringsAt), tableEnd_) ||
        charStrings_.count() < 1)
        return false;

    // Private DICTs and their subroutine arrays are read within a budget of
    // the table's size: overlapping ones cannot multiply what is read.
    uint64_t budget = tableLength_;
    cidKeyed_ = topDict_.has(kCffRos);
    if (cidKeyed_) {
        CffIndex fdArray;
        const int64_t fdArrayAt = topDict_.integer(kCffFdArray, 0, -1);
        if (!inTable(fdArrayAt, 2) || !fdArray.read(source_, at(fdArrayAt), tableEnd_) || fdArray.count() < 1)
            return false;
        fontDicts_.resize(fdArray.count());
        privates_.resize(fdArray.count());
        for (uint32_t i = 0; i < fdArray.count(); ++i) {
            bytes.resize(fdArray.objectLength(i));
            source_.read(fdArray.objectStart(i), bytes.data(), bytes.size());
            if (!fontDicts_[i].parse(bytes.data(), bytes.size())) return false;
            if (!readPrivate(fontDicts_[i], privates_[i], budget)) return false;
        }
        if (!readFdSelect(topDict_.integer(kCffFdSelect, 0, -1))) return false;
    } else {
        privates_.resize(1);
        if (!readPrivate(topDict_, privates_[0], budget)) return false;
        readCharset(topDict_.integer(kCffCharset, 0, 0));
        readEncoding(topDict_.integer(kCffEncoding, 0, 0));
    }
    return true;
}

bool CffFont::readPrivate(const CffDict& owner, PrivateDict& out, uint64_t& budget) {
    if (!owner.has(kCffPrivate)) return true;  // no hints, no subroutines
    const int64_t size = owner.integer(kCffPrivate, 0, -1), offset = owner.integer(kCffPrivate, 1, -1);
    if (size < 0 || !inTable(offset, static_cast<uint64_t>(size)) || static_cast<uint64_t>(size) > budget) return false;
    budget -= static_cast<uint64_t>(size);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    source_.read(at(offset), bytes.data(), bytes.size());
    if (!out.dict.parse(bytes.data(), bytes.size())) return false;
    const int64_t subrs = out.dict.integer(kCffSubrs, 0, -1);
    if (subrs < 0) return true;
    out.hasSubrs = true;
    // A Subrs INDEX that cannot be read is taken as empty: calls into it
    // end the glyph's walk.
    if (!inTable(offset + subrs, 2) || !out.subrs.read(source_, at(offset + subrs), tableEnd_)) out.subrs = CffIndex();
    const uint64_t cost = 4 * uint64_t{out.subrs.count()};
    if (cost > budget) return false;
    budget -= cost;
    return true;
}

bool CffFont::readFdSelect(int64_t offset) {
    const uint32_t glyphs = glyphCount();
    if (!inTable(offset, 1)) return false;
    uint8_t format = 0;
    source_.read(at(offset), &format, 1);
    const uint16_t fdCount = static_cast<uint16_t>(fontDicts_.size());
    fdOfGlyph_.assign(glyphs, 0);
    auto fd = [fdCount](uint32_t v) { return static_cast<uint16_t>(v < fdCount ? v : 0); };
    if (format == 0) {
        if (!inTable(offset, 1 + uint64_t{glyphs})) return false;
        std::vector<uint8_t> raw(glyphs);
        source_.read(at(offset) + 1, raw.data(), raw.size());
        for (uint32_t g = 0; g < glyphs; ++g) fdOfGlyph_[g] = fd(raw[g]);
        fdSelect_ = {at(offset), 1 + glyphs};
        return true;
    }
    if (format != 3 || !inTable(offset, 3)) return false;
    uint8_t count[2];
    source_.read(at(offset) + 1, count, 2);
    const uint32_t ranges = (uint32_t{count[0]} << 8) | count[1];
    const uint32_t size = 3 + 3 * ranges + 2;
    if (ranges == 0 || !inTable(offset, size)) return false;
    std::vector<uint8_t> raw(size - 3);
    source_.read(at(offset) + 3, raw.data(), raw.size());
    for (uint32_t r = 0; r < ranges; ++r) {
        const uint8_t* p = raw.data() + 3 * r;
        uint32_t first = (uint32_t{p[0]} << 8) | p[1];
        uint32_t next = (uint32_t{p[3]} << 8) | p[4];  // the next range's first glyph, or the sentinel
        for (uint32_t g = first; g < next && g < glyphs; ++g) fdOfGlyph_[g] = fd(p[2]);
    }
    fdSelect_ = {at(offset), size};
    return true;
}

void CffFont::readCharset(int64_t offset) {
    const uint32_t glyphs = glyphCount();
    sidOfGlyph_.clear();
    if (offset == 0) {  // ISOAdobe: glyph g is SID g
        for (uint32_t g = 0; g < glyphs && g <= 228; ++g) sidOfGlyph_.push_back(static_cast<uint16_t>(g));
        return;
    }
    if (offset <= 2 || !inTable(offset, 1)) return;  // the expert charsets name no standard glyphs
    // No format takes more than 4 bytes per glyph.
    std::vector<uint8_t> raw(static_cast<size_t>(std::min<uint64_t>(1 + 4 * uint64_t{glyphs}, tableEnd_ - at(offset))));
    source_.read(at(offset), raw.data(), raw.size());
    const uint8_t format = raw[0];
    auto u16 = [&raw](size_t p) { return static_cast<uint32_t>((raw[p] << 8) | raw[p + 1]); };
    size_t p = 1;
    sidOfGlyph_.push_back(0);
    while (sidOfGlyph_.size() < glyphs) {
        const size_t step = format == 0 ? 2 : format == 1 ? 3 : format == 2 ? 4 : 0;
        if (step == 0 || p + step > raw.size()) break;
        const uint32_t first = u16(p), left = format == 0 ? 0 : format == 1 ? raw[p + 2] : u16(p + 2);
        for (uint32_t k = 0; k <= left && sidOfGlyph_.size() < glyphs; ++k)
            sidOfGlyph_.push_back(static_cast<uint16_t>(first + k));
        p += step;
    }
    if (sidOfGlyph_.size() < glyphs) {  // a damaged charset: nothing of it is trusted
        sidOfGlyph_.clear();
        return;
    }
    charset_ = {at(offset), static_cast<uint32_t>(p)};
}

void CffFont::readEncoding(int64_t offset) {
    if (offset <= 1 || !inTable(offset, 2)) return;  // standard or expert: no data of its own
    uint8_t head[2];
    source_.read(at(offset), head, 2);
    uint64_t size = 2 + ((head[0] & 0x7F) == 0 ? head[1] : (head[0] & 0x7F) == 1 ? 2 * uint64_t{head[1]} : 0);
    if ((head[0] & 0x7F) > 1) return;
    if (head[0] & 0x80) {  // supplements follow
        if (!inTable(offset, size + 1)) return;
        uint8_t n = 0;
        source_.read(at(offset) + size, &n, 1);
        size += 1 + 3 * uint64_t{n};
    }
    if (inTable(offset, size)) encoding_ = {at(offset), static_cast<uint32_t>(size)};
}

int32_t CffFont::glyphOfStandardCode(int32_t code) {
    const uint16_t sid = standardEncodingSid(code);
    if (sid == 0 || sidOfGlyph_.empty()) return -1;
    if (glyphOfSid_.empty()) {
        for (uint32_t g = 0; g < sidOfGlyph_.size(); ++g) glyphOfSid_.emplace(sidOfGlyph_[g], g);
    }
    auto it = glyphOfSid_.find(sid);
    return it == glyphOfSid_.end() ? -1 : static_cast<int32_t>(it->second);
}

const uint8_t* CffFont::objectBytes(uint64_t offset, uint32_t length) {
    auto found = objects_.find(offset);
    if (found != objects_.end() && found->second.second >= length) return found->second.first;
    if (length > objectBudget_) return nullptr;
    objectBudget_ -= length;
    if (blocks_.empty() || blockUsed_ + length > blockSize_) {
        blockSize_ = std::max<size_t>(kBlockSize, length);
        blocks_.push_back(std::make_unique<uint8_t[]>(blockSize_));
        blockUsed_ = 0;
    }
    uint8_t* p = blocks_.back().get() + blockUsed_;
    blockUsed_ += length;
    source_.read(offset, p, length);
    objects_[offset] = {p, length};
    return p;
}

void CffFont::copy(SfntOutput& out, Span span) {
    uint8_t buffer[4096];
    uint64_t at = span.offset;
    uint32_t left = span.length;
    while (left > 0) {
        uint32_t n = std::min<uint32_t>(left, sizeof buffer);
        source_.read(at, buffer, n);
        out.bytes(buffer, n);
        at += n;
        left -= n;
    }
}

}  // namespace kd
