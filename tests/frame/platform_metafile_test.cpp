// Bitmap to metafile through GDI and USER (the Windows backend); the Linux
// backend's own writer is tested with the image family.
#include <gtest/gtest.h>

#ifdef _WIN32

#include <cstdint>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "frame/platform/platform.h"

namespace {

void put16(std::vector<uint8_t>& v, unsigned x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void put32(std::vector<uint8_t>& v, uint32_t x) {
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}
unsigned get16(const std::vector<uint8_t>& v, size_t at) { return v[at] | (unsigned{v[at + 1]} << 8); }
uint32_t get32(const std::vector<uint8_t>& v, size_t at) { return get16(v, at) | (uint32_t{get16(v, at + 2)} << 16); }

// A 24-bit bottom-up BMP of the given size.
std::vector<uint8_t> bitmap(int width, int height) {
    size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    size_t pixels = stride * static_cast<size_t>(height);
    std::vector<uint8_t> v;
    v.push_back('B');
    v.push_back('M');
    put32(v, static_cast<uint32_t>(54 + pixels));
    put32(v, 0);
    put32(v, 54);
    put32(v, 40);
    put32(v, static_cast<uint32_t>(width));
    put32(v, static_cast<uint32_t>(height));
    put16(v, 1);
    put16(v, 24);
    put32(v, 0);
    put32(v, static_cast<uint32_t>(pixels));
    put32(v, 2835);
    put32(v, 2835);
    put32(v, 0);
    put32(v, 0);
    for (size_t i = 0; i < pixels; ++i) v.push_back(static_cast<uint8_t>(i * 7));
    return v;
}

struct Record {
    unsigned function;
    size_t at;  // first parameter
    size_t words;
};

std::vector<Record> records(const std::vector<uint8_t>& wmf) {
    std::vector<Record> out;
    if (wmf.size() < 18) return out;
    size_t at = get16(wmf, 2) * 2u;  // header size in words
    while (at + 6 <= wmf.size()) {
        uint32_t words = get32(wmf, at);
        if (words < 3 || at + words * 2u > wmf.size()) break;
        out.push_back({get16(wmf, at + 4), at + 6, words});
        at += words * 2u;
    }
    return out;
}

}  // namespace

TEST(PlatformMetafile, BitmapIsStretchedIntoTheMetafileAtItsSize) {
    kdtest::TempDir dir;
    std::string bmp = dir.file("in.bmp"), wmf = dir.file("out.wmf");
    kdtest::writeFile(bmp, bitmap(640, 480));
    EXPECT_NE(kd::platform::bitmapToMetafile(bmp.c_str(), wmf.c_str()), 0);
    auto bytes = kdtest::readFile(wmf);
    ASSERT_GE(bytes.size(), 18u);
    EXPECT_EQ(get16(bytes, 0), 1u);  // a disk metafile
    EXPECT_EQ(get32(bytes, 6) * 2u, bytes.size());
    int drawings = 0;
    for (const auto& r : records(bytes)) {
        // META_STRETCHDIB: raster operation, usage, source height, width,
        // y, x, destination height, width, y, x.
        if (r.function == 0x0F43) {
            ++drawings;
            EXPECT_EQ(get32(bytes, r.at), 0x00CC0020u);
            EXPECT_EQ(get16(bytes, r.at + 6), 480u);
            EXPECT_EQ(get16(bytes, r.at + 8), 640u);
            EXPECT_EQ(get16(bytes, r.at + 14), 480u);
            EXPECT_EQ(get16(bytes, r.at + 16), 640u);
            EXPECT_EQ(get16(bytes, r.at + 18), 0u);
            EXPECT_EQ(get16(bytes, r.at + 20), 0u);
        }
        // META_DIBSTRETCHBLT: raster operation, source height, width, y, x,
        // destination height, width, y, x.
        if (r.function == 0x0B41) {
            ++drawings;
            EXPECT_EQ(get32(bytes, r.at), 0x00CC0020u);
            EXPECT_EQ(get16(bytes, r.at + 12), 480u);
            EXPECT_EQ(get16(bytes, r.at + 14), 640u);
        }
    }
    EXPECT_EQ(drawings, 1);
    ASSERT_FALSE(records(bytes).empty());
    EXPECT_EQ(records(bytes).back().function, 0u);  // the end record
}

TEST(PlatformMetafile, MissingBitmapGivesZeroAndAnEmptyMetafile) {
    kdtest::TempDir dir;
    std::string wmf = dir.file("out.wmf");
    EXPECT_EQ(kd::platform::bitmapToMetafile(dir.file("none.bmp").c_str(), wmf.c_str()), 0);
    auto bytes = kdtest::readFile(wmf);
    ASSERT_GE(bytes.size(), 18u);
    for (const auto& r : records(bytes)) EXPECT_NE(r.function, 0x0F43u);
    kdtest::writeFile(dir.file("bad.bmp"), std::string("BM not really a bitmap"));
    EXPECT_EQ(kd::platform::bitmapToMetafile(dir.file("bad.bmp").c_str(), dir.file("bad.wmf").c_str()), 0);
    EXPECT_EQ(kd::platform::bitmapToMetafile(nullptr, wmf.c_str()), 0);
}

#endif  // _WIN32
