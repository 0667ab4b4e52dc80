// Writes JBIG2 files (ITU-T T.88 annex D) segment by segment, in sequential
// or random-access organisation.
#pragma once

#include <cstdint>
#include <vector>

#include "image/image_support.h"

namespace imgtest {

class Jbig2Builder {
public:
    Jbig2Builder(bool sequential, bool pageCountKnown) : sequential_(sequential), known_(pageCountKnown) {}

    // A global symbol dictionary (type 0, page 0); its data are not decoded.
    void globals(const Bytes& data) { add(0, 0, false, data); }

    // Page information, an immediate generic region holding `mmr` (T.6
    // data) and the end of page. wide: 4-byte page association fields.
    void page(uint32_t page, uint32_t w, uint32_t h, const Bytes& mmr, bool wide = false) {
        ++pages_;
        Bytes info;
        putBE32(info, w), putBE32(info, h), putBE32(info, 0), putBE32(info, 0);
        info.insert(info.end(), {0, 0, 0});
        add(48, page, wide, info);
        Bytes region;
        putBE32(region, w), putBE32(region, h), putBE32(region, 0), putBE32(region, 0);
        region.push_back(0);  // external combination operator OR
        region.push_back(1);  // MMR
        region.insert(region.end(), mmr.begin(), mmr.end());
        add(38, page, wide, region);
        add(49, page, wide, {});
    }

    Bytes build() {
        add(51, 0, false, {});
        Bytes out{0x97, 0x4A, 0x42, 0x32, 0x0D, 0x0A, 0x1A, 0x0A};
        out.push_back(uint8_t((sequential_ ? 1 : 0) | (known_ ? 0 : 2)));
        if (known_) putBE32(out, pages_);
        for (auto& s : segments_) {
            out.insert(out.end(), s.header.begin(), s.header.end());
            if (sequential_) out.insert(out.end(), s.data.begin(), s.data.end());
        }
        if (!sequential_)
            for (auto& s : segments_) out.insert(out.end(), s.data.begin(), s.data.end());
        return out;
    }

    struct Segment {
        Bytes header, data;
        uint32_t page;
        uint32_t type;
    };
    const std::vector<Segment>& segments() const { return segments_; }

private:
    void add(uint32_t type, uint32_t page, bool wide, const Bytes& data) {
        Segment s;
        putBE32(s.header, uint32_t(segments_.size()));
        s.header.push_back(uint8_t(type | (wide ? 0x40 : 0)));
        s.header.push_back(0);  // no referred-to segments
        if (wide)
            putBE32(s.header, page);
        else
            s.header.push_back(uint8_t(page));
        putBE32(s.header, uint32_t(data.size()));
        s.data = data;
        s.page = page;
        s.type = type;
        segments_.push_back(s);
    }

    bool sequential_, known_;
    uint32_t pages_ = 0;
    std::vector<Segment> segments_;
};

}  // namespace imgtest
