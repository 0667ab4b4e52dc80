// Writes JBIG2 files (ITU-T T.88 annex D) segment by segment, in sequential
// or random-access organisation.
#pragma once

#include <cstdint>
#include <vector>

#include "common/bitmap_builder.h"

namespace imgtest {

class Jbig2Builder {
public:
    struct Segment {
        kdtest::Bytes header, data;
        uint32_t page, type;
    };

    Jbig2Builder(bool sequential, bool pageCountKnown) : sequential_(sequential), known_(pageCountKnown) {}

    // A global symbol dictionary (type 0, page 0); its data are not decoded.
    void globals(const kdtest::Bytes& data) { add(0, 0, false, data); }

    // Page information, an immediate generic region holding `mmr` (T.6
    // data) and the end of page. wide: 4-byte page association fields.
    void page(uint32_t page, uint32_t w, uint32_t h, const kdtest::Bytes& mmr, bool wide = false) {
        ++pages_;
        kdtest::Bytes info, region;
        for (kdtest::Bytes* b : {&info, &region})
            for (uint32_t v : {w, h, 0u, 0u}) kdtest::putBE(*b, v, 4);
        info.insert(info.end(), {0, 0, 0});
        region.insert(region.end(), {0, 1});  // combination operator OR, MMR
        region.insert(region.end(), mmr.begin(), mmr.end());
        add(48, page, wide, info);
        add(38, page, wide, region);
        add(49, page, wide, {});
    }

    kdtest::Bytes build() {
        add(51, 0, false, {});
        kdtest::Bytes out{0x97, 0x4A, 0x42, 0x32, 0x0D, 0x0A, 0x1A, 0x0A, uint8_t((sequential_ ? 1 : 0) | (known_ ? 0 : 2))};
        if (known_) kdtest::putBE(out, pages_, 4);
        for (const auto& s : segments_) {
            out.insert(out.end(), s.header.begin(), s.header.end());
            if (sequential_) out.insert(out.end(), s.data.begin(), s.data.end());
        }
        if (!sequential_)
            for (const auto& s : segments_) out.insert(out.end(), s.data.begin(), s.data.end());
        return out;
    }

    const std::vector<Segment>& segments() const { return segments_; }

private:
    void add(uint32_t type, uint32_t page, bool wide, const kdtest::Bytes& data) {
        Segment s{{}, data, page, type};
        kdtest::putBE(s.header, uint32_t(segments_.size()), 4);
        s.header.insert(s.header.end(), {uint8_t(type | (wide ? 0x40 : 0)), 0});  // no referred-to segments
        if (wide)
            kdtest::putBE(s.header, page, 4);
        else
            s.header.push_back(uint8_t(page));
        kdtest::putBE(s.header, uint32_t(data.size()), 4);
        segments_.push_back(s);
    }

    bool sequential_, known_;
    uint32_t pages_ = 0;
    std::vector<Segment> segments_;
};

// Three pages of 16 x 9, 32 x 10 and 48 x 11, global data first when asked.
inline kdtest::Bytes threePages(bool sequential, bool pageCountKnown, bool globals = true) {
    Jbig2Builder b(sequential, pageCountKnown);
    if (globals) b.globals(kdtest::Bytes(9, 0x5A));
    for (uint32_t page = 1; page <= 3; ++page) b.page(page, 16 * page, 8 + page, kdtest::Bytes(5, uint8_t(page)));
    return b.build();
}

}  // namespace imgtest
