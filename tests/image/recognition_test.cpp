// Recognition: kind, size, bits and the grey-mask test of every kind,
// against files made by Pillow or written byte by byte.
#include <gtest/gtest.h>

#include "image/image_support.h"
#include "image/jbig2_builder.h"
#include "kdlib.h"

using namespace imgtest;

namespace {

Bytes oneBit(const Bytes& palette) { return bitmapFile(infoHeader(40, 10, 2, 1, 0), palette, Bytes(8, 0)); }
// 256 greys in any order between black and white; `tint` colours entry 7.
Bytes greys(uint8_t tint) {
    Bytes pal;
    for (int i = 0; i < 256; ++i) {
        const uint8_t v = i == 0 ? 0 : i == 255 ? 255 : uint8_t((i * 97) % 251);
        pal.insert(pal.end(), {uint8_t(i == 7 ? v + tint : v), v, v, 0});
    }
    return bitmapFile(infoHeader(40, 4, 1, 8, 0), pal, Bytes(4, 0));
}
// An OS/2 array holding a core-header (12-byte) bitmap of 300 x 7.
Bytes os2Array() {
    Bytes b{'B', 'A'};
    for (uint32_t v : {40u, 0u, 0u}) putLE(b, v, 4);
    for (uint32_t v : {0x4D42u, 0u, 0u, 0u, 0u}) putLE(b, v, 2);  // inner type, size, reserved
    for (uint32_t v : {14 + 14 + 12 + 6, 12}) putLE(b, v, 4);      // pixel offset, header size
    for (uint32_t v : {300u, 7u, 1u, 1u}) putLE(b, v, 2);
    b.insert(b.end(), {0, 0, 0, 255, 255, 255});
    return b;
}
Bytes placeable(uint16_t unitsPerInch, uint8_t key = 0xC6) {
    Bytes b{0xD7, 0xCD, key, 0x9A, 0, 0};
    for (int v : {-100, -50, 900, 950}) putLE(b, uint32_t(v), 2);
    putLE(b, unitsPerInch, 2);
    return b;
}
Bytes enhanced(uint8_t second) {
    Bytes b{1, 0, second, 0};
    for (uint32_t v : {108, 50, 60, 199, 99}) putLE(b, v, 4);
    return b;
}
Bytes embedded(const TempDir& dir, const char* name, uint32_t compression) {
    gen("RGB", 23, 11, dir.file(name));
    return bitmapFile(infoHeader(40, 5, 5, 0, compression), {}, readFile(dir.file(name)));
}

}  // namespace

TEST(Recognition, KindSizeBitsAndGreyOfEveryKind) {
    TempDir dir;
    const Bytes bigEndianTiff{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 2, 1, 0, 0, 3, 0, 0, 0, 1, 0x01, 0x2C, 0xAA, 0xBB,
                              1, 1, 0, 4, 0, 0, 0, 1, 0, 0, 0x02, 0x58};  // width a short, height a long
    struct Case {
        const char* name;
        Source image;
        int result, kind = 0, effective = 0, width = 0, height = 0, bits = 0, grey = 0, pages = 0, page = 1;
    } cases[] = {
        {"a.bmp", Source("RGB"), 0, 0, 0, 12, 6, 24, 0},
        {"p.bmp", Source("P"), 0, 0, 0, 12, 6, 8, 0},
        {"bw.bmp", oneBit({0, 0, 0, 0, 255, 255, 255, 0}), 0, 0, 0, 10, 2, 1, 1},
        {"wb.bmp", oneBit({255, 255, 255, 0, 0, 0, 0, 0}), 0, 0, 0, 10, 2, 1, 0},
        {"g8.bmp", greys(0), 0, 0, 0, 4, 1, 8, 8},
        {"c8.bmp", greys(1), 0, 0, 0, 4, 1, 8, 0},
        {"td.bmp", bitmapFile(infoHeader(40, 3, -5, 24, 0), {}, Bytes(60, 0)), 0, 0, 0, 3, 5, 24, 0},
        {"ba.bmp", os2Array(), 0, 7, 7, 300, 7, 1, 1},
        {"epng.bmp", embedded(dir, "e.png", 5), 0, 0, 2, 23, 11, 24, 0},
        {"ejpg.bmp", embedded(dir, "e.jpg", 4), 0, 0, 1, 5, 5, 24, 0},
        {"a.jpg", Source("RGB"), 0, 1, 1, 12, 6, 24, 0},
        {"g.jpg", Source("L"), 0, 1, 1, 12, 6, 24, 8},
        {"sof3.jpg", Source("RGB", {"sof=3"}), 0, 1, 1, 12, 6, 24, 0},
        {"a.png", Source("RGB"), 0, 2, 2, 12, 6, 24, 0},
        {"rgba.png", Source("RGBA"), 0, 2, 2, 12, 6, 24, 0},
        {"g.png", Source("L"), 0, 2, 2, 12, 6, 8, 8},
        {"ga.png", Source("LA"), 0, 2, 2, 12, 6, 8, 0},  // grey, but with alpha
        {"c16.png", Source("RGB", {"bits=16", "ct=2"}), 0, 2, 2, 12, 6, 48, 0},
        {"a.gif", Source("P"), 0, 3, 3, 12, 6, 0, 0},
        {"a.tif", Source("RGB"), 0, 4, 4, 12, 6, 0, 0},
        {"be.tif", bigEndianTiff, 0, 4, 4, 300, 600, 0, 0},
        {"a.emf", enhanced(0), 0, 5, 5, 200, 100, 0, 0},
        {"a.wmf", placeable(1440), 0, 6, 6, 66, 66, 0, 0},
        {"z.wmf", placeable(0), 0, 6, 6, 0, 0, 0, 0},
        {"a.jp2", Source("RGB"), 0, 8, 8, 12, 6, 24, 0},
        {"a.j2k", Source("RGB"), 0, 10, 10, 12, 6, 24, 0},
        {"s.jb2", threePages(true, true), 0, 9, 9, 32, 10, 1, 1, 3, 2},
        {"r.jb2", threePages(false, true), 0, 9, 9, 32, 10, 1, 1, 3, 2},
        {"n.jb2", threePages(true, false), 0, 9, 9, 48, 11, 1, 1, 3, 3},  // pages counted
        {"junk", Bytes{'X', 'Y', 'j'}, -1},
        {"badpng", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1B, '\n'}, -1},
        {"badgif", Bytes{'G', 'I', 'F', '8', '8', 'a'}, -1},
        {"b.wmf", placeable(1440, 0), -4},
        {"b.emf", enhanced(1), -4},
    };
    writeSources(dir, cases);
    for (const Case& c : cases) {
        const std::string path = dir.file(c.name);
        int32_t kind = -9, width = -9, height = -9, bits = -9, effective = -9, pages = -9, grey = -9;
        ASSERT_EQ(GetPicInfo(path.c_str(), &kind, &width, &height, &bits, &effective, c.page, &pages), c.result) << c.name;
        EXPECT_EQ(GetPicInfoIsGrayscale(path.c_str(), &grey, 1), c.result) << c.name;
        if (c.result != 0) continue;
        EXPECT_EQ(std::vector<int>({kind, effective, width, height, bits, pages, grey}),
                  std::vector<int>({c.kind, c.effective, c.width, c.height, c.bits, c.pages, c.grey}))
            << c.name << ": kind, effective kind, width, height, bits, pages, grey bits";
    }
    EXPECT_EQ(GetPicInfo(dir.file("missing.png").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, 1, nullptr), -500);
    EXPECT_EQ(GetPicInfo(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 1, nullptr), -500);
    EXPECT_EQ(GetPicInfo(dir.file("r.jb2").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, 4, nullptr), -1);

    // ExtractFromBMP copies the embedded file byte for byte.
    for (const char* name : {"e.png", "e.jpg"}) {
        const Bytes inner = readFile(dir.file(name));
        EXPECT_EQ(ExtractFromBMP(dir.file(std::string("e") + (name + 2) + ".bmp").c_str(), dir.file("x").c_str()),
                  int(inner.size()));
        EXPECT_EQ(readFile(dir.file("x")), inner);
    }
    EXPECT_EQ(ExtractFromBMP(dir.file("a.bmp").c_str(), dir.file("y").c_str()), 0);
}
