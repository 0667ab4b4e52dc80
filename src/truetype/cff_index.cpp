#include "truetype/cff_index.h"

#include <algorithm>

namespace kd {

bool CffIndex::read(FontSource& source, uint64_t at, uint64_t limit) {
    offsets_.clear();
    start_ = end_ = base_ = at;
    if (at + 2 > limit) return false;
    uint8_t head[3];
    source.read(at, head, 2);
    const uint32_t count = (uint32_t{head[0]} << 8) | head[1];
    if (count == 0) {  // an empty INDEX is its count alone
        end_ = at + 2;
        return true;
    }
    if (at + 3 > limit) return false;
    source.read(at + 2, head + 2, 1);
    const uint32_t offSize = head[2];
    const uint64_t arrayBytes = uint64_t{count + 1} * offSize;
    if (offSize < 1 || offSize > 4 || at + 3 + arrayBytes > limit) return false;
    std::vector<uint8_t> raw(static_cast<size_t>(arrayBytes));
    source.read(at + 3, raw.data(), raw.size());
    base_ = at + 3 + arrayBytes - 1;
    const uint64_t room = limit - base_;  // offsets count from 1
    offsets_.resize(count + 1);
    uint32_t previous = 1;
    for (uint32_t i = 0; i <= count; ++i) {
        uint64_t v = 0;
        for (uint32_t k = 0; k < offSize; ++k) v = (v << 8) | raw[i * offSize + k];
        v = std::min(std::max<uint64_t>(v, i == 0 ? 1 : previous), room);
        offsets_[i] = previous = static_cast<uint32_t>(v);
    }
    end_ = base_ + offsets_[count];
    return true;
}

uint32_t CffIndexLayout::offSize() const {
    const uint64_t last = dataSize_ + 1;
    return last < 0x100 ? 1 : last < 0x10000 ? 2 : last < 0x1000000 ? 3 : 4;
}

uint64_t CffIndexLayout::size() const {
    if (lengths_.empty()) return 2;
    return 3 + uint64_t{count() + 1} * offSize() + dataSize_;
}

void CffIndexLayout::writeHeader(SfntOutput& out) const {
    out.u16(count());
    if (lengths_.empty()) return;
    const uint32_t size = offSize();
    out.u8(size);
    uint32_t at = 1;
    out.offset(at, size);
    for (uint32_t n : lengths_) {
        at += n;
        out.offset(at, size);
    }
}

}  // namespace kd
