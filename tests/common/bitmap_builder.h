// Bitmap files and metafile records byte by byte: BMP headers and a walk
// over a metafile's records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/bytes.h"

namespace kdtest {

// A bitmap file: the 14-byte file header, the info header (whose first field
// is its size), the palette (BGRA quads or BGR triples), the pixel data.
inline Bytes bitmapFile(const Bytes& info, const Bytes& palette, const Bytes& pixels) {
    Bytes b{'B', 'M'};
    const auto offset = uint32_t(14 + info.size() + palette.size());
    for (uint32_t v : {uint32_t(offset + pixels.size()), 0u, offset}) putLE(b, v, 4);
    for (const Bytes* part : {&info, &palette, &pixels}) b.insert(b.end(), part->begin(), part->end());
    return b;
}

// An info header of `size` bytes (40, 52, 56, 108, 124), with the channel
// masks where the size has room for them.
inline Bytes infoHeader(uint32_t size, int32_t w, int32_t h, int bits, uint32_t compression, uint32_t r = 0,
                        uint32_t g = 0, uint32_t bl = 0, uint32_t a = 0) {
    Bytes b;
    for (uint32_t v : {size, uint32_t(w), uint32_t(h), 1u | uint32_t(bits) << 16, compression, 0u, 0u, 0u, 0u, 0u})
        putLE(b, v, 4);  // planes and bits share a 32-bit field
    for (uint32_t v : {r, g, bl, a}) putLE(b, v, 4);
    b.resize(size, 0);
    return b;
}

// The records of a metafile after its standard header (whose size in words
// is its second field), starting `at` bytes in (22 after a placeable header).
struct MetaRecord {
    uint32_t function;
    size_t params;  // offset of the first parameter
    size_t end;
};
inline std::vector<MetaRecord> metafileRecords(const Bytes& wmf, size_t at = 0) {
    std::vector<MetaRecord> out;
    if (wmf.size() < at + 18) return out;
    for (at += getLE(wmf, at + 2, 2) * 2; at + 6 <= wmf.size();) {
        const uint32_t words = getLE(wmf, at, 4);
        if (words < 3 || at + words * 2u > wmf.size()) break;
        out.push_back({getLE(wmf, at + 4, 2), at + 6, at + words * 2u});
        at += words * 2u;
    }
    return out;
}

}  // namespace kdtest
