#include "fontsvc/collection_member.h"

#include <algorithm>
#include <cstring>

namespace kd {

namespace {

uint32_t be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v >> 16);
    put16(p + 2, v);
}

}  // namespace

bool StandaloneMember::isCollectionMember(platform::DeviceContext dc) {
    uint8_t tag[4] = {};
    uint32_t n = platform::getFontData(dc, platform::kCollectionTable, 0, tag, 4);
    return n == 4 && std::memcmp(tag, "ttcf", 4) == 0;
}

bool StandaloneMember::build(platform::DeviceContext dc) {
    dc_ = dc;
    uint32_t memberSize = platform::getFontData(dc, 0, 0, nullptr, 0);
    uint32_t fileSize = platform::getFontData(dc, platform::kCollectionTable, 0, nullptr, 0);
    if (memberSize == platform::kFontDataError || fileSize == platform::kFontDataError || memberSize < 12)
        return false;
    uint8_t head[12];
    if (platform::getFontData(dc, 0, 0, head, 12) != 12) return false;
    uint32_t numTables = (uint32_t{head[4]} << 8) | head[5];
    if (12 + 16ull * numTables > memberSize) return false;
    std::vector<uint8_t> records(16 * numTables);
    if (numTables > 0 &&
        platform::getFontData(dc, 0, 12, records.data(), static_cast<uint32_t>(records.size())) != records.size())
        return false;

    // Keep the tables that lie inside the collection file.
    std::vector<uint32_t> kept;
    for (uint32_t i = 0; i < numTables; ++i) {
        const uint8_t* r = records.data() + 16 * i;
        uint64_t offset = be32(r + 8), length = be32(r + 12);
        if (offset + length <= fileSize) kept.push_back(i);
    }
    uint32_t count = static_cast<uint32_t>(kept.size());
    uint32_t power = 1, selector = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++selector;
    }
    header_.assign(12 + 16 * count, 0);
    std::memcpy(header_.data(), head, 4);  // sfnt version as the member has it
    put16(&header_[4], count);
    put16(&header_[6], 16 * power);
    put16(&header_[8], selector);
    put16(&header_[10], 16 * count - 16 * power * (count > 0));

    uint64_t next = header_.size();
    pieces_.clear();
    for (uint32_t k = 0; k < count; ++k) {
        const uint8_t* r = records.data() + 16 * kept[k];
        uint32_t length = be32(r + 12);
        if (next + length > 0x7FFFFFF0u) return false;
        uint8_t* out = &header_[12 + 16 * k];
        std::memcpy(out, r, 8);  // tag and checksum stay
        put32(out + 8, static_cast<uint32_t>(next));
        put32(out + 12, length);
        pieces_.push_back({static_cast<uint32_t>(next), be32(r + 8), length});
        next += (uint64_t{length} + 3) & ~uint64_t{3};
    }
    length_ = static_cast<uint32_t>(next);
    return true;
}

void StandaloneMember::read(uint32_t offset, uint8_t* buffer, uint32_t count) const {
    uint64_t end = uint64_t{offset} + count;
    if (offset < header_.size()) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(end, header_.size()) - offset);
        std::memcpy(buffer, header_.data() + offset, n);
    }
    for (const Piece& p : pieces_) {
        uint64_t from = std::max<uint64_t>(offset, p.newOffset);
        uint64_t to = std::min<uint64_t>(end, uint64_t{p.newOffset} + p.length);
        if (from >= to) continue;
        platform::getFontData(dc_, platform::kCollectionTable, static_cast<uint32_t>(p.sourceOffset + (from - p.newOffset)),
                              buffer + (from - offset), static_cast<uint32_t>(to - from));
    }
}

}  // namespace kd
