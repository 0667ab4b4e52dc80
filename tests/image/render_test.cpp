// A real reader sees the picture: dobmp's files wrapped in a minimal PDF,
// rendered by poppler (pdftoppm) and compared with the source pixels.
#include <gtest/gtest.h>

#include "image/image_support.h"
#include "image/jbig2_builder.h"
#include "kdlib.h"

using namespace imgtest;
using kdtest::readFile;
using kdtest::TempDir;
using kdtest::writeFile;

namespace {

int renderOf(TempDir& dir, const std::string& image, int w, int h, const DobmpCall& call = {}, bool white = false,
             const std::string& expected = "") {
    Output o = runDobmp(dir, image, call);
    EXPECT_GT(o.result, 0) << image;
    return renderDifference(dir, o, call.lengthObj, w, h, expected.empty() ? image : expected, white);
}

}  // namespace

TEST(Render, BitmapsAndPngsMatchTheirSource) {
    TempDir dir;
    struct Case {
        const char* mode;
        const char* name;
        std::vector<std::string> opts;
    } cases[] = {{"RGB", "rgb.bmp", {}},        {"P", "pal.bmp", {}},           {"L", "grey.bmp", {}},
                 {"RGB", "rgb.png", {"chunks=3"}}, {"P", "pal.png", {"colors=16"}}, {"L", "grey.png", {}}};
    for (const Case& c : cases) {
        gen(c.mode, 40, 24, dir.file(c.name), c.opts);
        EXPECT_LE(renderOf(dir, dir.file(c.name), 40, 24), 1) << c.name;
    }
    gen("RGBA", 40, 24, dir.file("rgba.png"));
    EXPECT_LE(renderOf(dir, dir.file("rgba.png"), 40, 24, {}, true), 2);  // soft mask over white paper
}

TEST(Render, RunLengthHolesShowThePaper) {
    TempDir dir;
    Bytes pal(1024, 0);
    pal[4 * 1 + 2] = 255;  // index 1 red
    pal[4 * 2 + 0] = 255;  // index 2 blue
    Bytes rle;
    for (int y = 0; y < 8; ++y) rle.insert(rle.end(), {4, 1, 0, 4, 2, 2, 2, 2, 0, 0});  // 4 red, 4 blue, hole
    rle.insert(rle.end(), {0, 1});
    writeFile(dir.file("r.bmp"), bitmapFile(infoHeader(40, 12, 8, 8, 1), pal, rle));
    // The expected picture: 4 red, 4 blue, 4 white per row.
    std::string py = "from PIL import Image\nim=Image.new('RGB',(12,8),(255,255,255))\n"
                     "[im.putpixel((x,y),(255,0,0) if x<4 else (0,0,255)) for y in range(8) for x in range(8)]\n"
                     "im.save('" + dir.file("want.png") + "')\n";
    writeFile(dir.file("want.py"), py);
    ASSERT_EQ(kdtest::run("/usr/bin/python3 " + dir.file("want.py")), 0);
    EXPECT_EQ(renderOf(dir, dir.file("r.bmp"), 12, 8, {}, false, dir.file("want.png")), 0);
}

TEST(Render, JpegKindsMatchPillowDecoding) {
    TempDir dir;
    for (const char* name : {"a.jpg", "a.jp2", "a.j2k"}) {
        gen("RGB", 40, 24, dir.file(name));
        EXPECT_LE(renderOf(dir, dir.file(name), 40, 24), 3) << name;
    }
}

TEST(Render, CmykJpegColoursWithAndWithoutAdobeMarker) {
    TempDir dir;
    gen("RGB", 32, 16, dir.file("src.png"));
    gen("CMYK", 32, 16, dir.file("adobe.jpg"));
    gen("CMYK", 32, 16, dir.file("plain.jpg"), {"adobe=0", "invert=1"});
    // poppler's CMYK to RGB is not Pillow's naive one: allow for it, but an
    // inverted picture is far beyond this.
    const int tolerance = 90;
    EXPECT_LE(renderOf(dir, dir.file("adobe.jpg"), 32, 16, {}, false, dir.file("src.png")), tolerance);
    EXPECT_LE(renderOf(dir, dir.file("plain.jpg"), 32, 16, {}, false, dir.file("src.png")), tolerance);
    DobmpCall inverted;
    inverted.invertDecode = 1;  // what giving every CMYK JPEG the array did
    EXPECT_GT(renderOf(dir, dir.file("plain.jpg"), 32, 16, inverted, false, dir.file("src.png")), 150);
}

TEST(Render, Jbig2PageAndHuffmanBitmap) {
    TempDir dir;
    ASSERT_EQ(kdtest::runPython("img_tool.py", {"mmr", "32", "16", dir.file("p2.mmr"), dir.file("p2.png")}), 0);
    ASSERT_EQ(kdtest::runPython("img_tool.py", {"mmr", "16", "8", dir.file("p1.mmr"), dir.file("p1.png")}), 0);
    Jbig2Builder b(true, true);
    b.page(1, 16, 8, readFile(dir.file("p1.mmr")));
    b.page(2, 32, 16, readFile(dir.file("p2.mmr")), true);
    b.page(3, 16, 8, readFile(dir.file("p1.mmr")));
    writeFile(dir.file("a.jb2"), b.build());
    DobmpCall call;
    call.jbig2Page = 2;
    EXPECT_EQ(renderOf(dir, dir.file("a.jb2"), 32, 16, call, false, dir.file("p2.png")), 0);

    // One-dimensional modified Huffman rows (T.4 terminating codes): white
    // w1, black 4, white 12 - w1 for w1 = 2..5, then an all-white row.
    const char* white[] = {"", "", "0111", "1000", "1011", "1100", "1110", "1111", "10011", "10100", "00111"};
    std::string bits;
    for (int r = 0; r < 4; ++r) {
        int w1 = 2 + r;
        bits += white[w1];
        bits += "011";  // black 4
        bits += white[12 - w1];
    }
    bits += "101010";  // white 16
    while (bits.size() % 8) bits += "0";
    Bytes data;
    for (size_t i = 0; i < bits.size(); i += 8) data.push_back(uint8_t(std::stoi(bits.substr(i, 8), nullptr, 2)));
    writeFile(dir.file("h.bmp"), bitmapFile(infoHeader(40, 16, -5, 1, 3), {0, 0, 0, 0, 255, 255, 255, 0}, data));
    std::string py = "from PIL import Image\nim=Image.new('L',(16,5),255)\n"
                     "[im.putpixel((x,r),0) for r in range(4) for x in range(2+r,6+r)]\n"
                     "im.save('" + dir.file("h.png") + "')\n";
    writeFile(dir.file("h.py"), py);
    ASSERT_EQ(kdtest::run("/usr/bin/python3 " + dir.file("h.py")), 0);
    EXPECT_EQ(renderOf(dir, dir.file("h.bmp"), 16, 5, {}, false, dir.file("h.png")), 0);
}

TEST(Metafile, LibwmfRendersTheBitmapsPixels) {
    TempDir dir;
    gen("RGB", 64, 48, dir.file("a.bmp"));
    ASSERT_NE(bmp2wmf(dir.file("a.bmp").c_str(), dir.file("a.wmf").c_str()), 0);
    Bytes wmf = readFile(dir.file("a.wmf"));
    EXPECT_EQ((Bytes(wmf.end() - 6, wmf.end())), (Bytes{3, 0, 0, 0, 0, 0}));
#ifndef _WIN32
    // Placeable header, standard header, one META_STRETCHDIB with SRCCOPY
    // at (0,0)-(64,48), then META_EOF.
    ASSERT_GT(wmf.size(), 22u + 18u + 28u);
    EXPECT_EQ(wmf[22 + 18 + 4], 0x43);
    EXPECT_EQ(wmf[22 + 18 + 5], 0x0F);
    EXPECT_EQ((Bytes(wmf.begin() + 46, wmf.begin() + 50)), (Bytes{0x20, 0x00, 0xCC, 0x00}));
    int32_t k, w, h, b, e, p;
    ASSERT_EQ(GetPicInfo(dir.file("a.wmf").c_str(), &k, &w, &h, &b, &e, 1, &p), 0);
    EXPECT_EQ(k, 6);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 48);
#else
    // GDI's CreateMetaFileA writes a disk metafile without the placeable
    // header (its record layout is checked with the platform layer).
    ASSERT_GT(wmf.size(), 18u + 28u);
    EXPECT_EQ(wmf[0], 1);
#endif
#ifndef _WIN32
    ASSERT_EQ(kdtest::runPython("img_tool.py", {"wmf", dir.file("a.wmf"), dir.file("wmf.png"), "64", "48"}), 0);
#else
    // GDI stores the bitmap as a 32-bit BI_BITFIELDS DIB in a
    // META_DIBSTRETCHBLT record, which libwmf does not draw: Pillow reads
    // the record's DIB instead, as a BMP file.
    {
        size_t at = 18;
        Bytes dib;
        while (at + 6 <= wmf.size()) {
            uint32_t words = wmf[at] | (wmf[at + 1] << 8) | (wmf[at + 2] << 16) | (uint32_t(wmf[at + 3]) << 24);
            unsigned function = wmf[at + 4] | (wmf[at + 5] << 8);
            if (words < 3 || at + words * 2u > wmf.size()) break;
            size_t params = function == 0x0B41 ? 20 : function == 0x0F43 ? 22 : 0;
            if (params) {
                dib.assign(wmf.begin() + static_cast<long>(at + 6 + params), wmf.begin() + static_cast<long>(at + words * 2u));
                break;
            }
            at += words * 2u;
        }
        ASSERT_GT(dib.size(), 40u);
        uint32_t headerSize = dib[0] | (dib[1] << 8);
        unsigned bits = dib[14] | (dib[15] << 8), compression = dib[16];
        uint32_t colours = dib[32] | (dib[33] << 8);
        uint32_t offset = 14 + headerSize + (compression == 3 ? 12 : 0) + 4 * (bits <= 8 ? (colours ? colours : 1u << bits) : colours);
        uint32_t total = 14 + static_cast<uint32_t>(dib.size());
        Bytes file{'B', 'M', uint8_t(total), uint8_t(total >> 8), uint8_t(total >> 16), uint8_t(total >> 24), 0, 0, 0, 0,
                   uint8_t(offset), uint8_t(offset >> 8), 0, 0};
        file.insert(file.end(), dib.begin(), dib.end());
        writeFile(dir.file("wmf.bmp"), file);
        ASSERT_EQ(kdtest::run("/usr/bin/python3 -c " + kdtest::quote("from PIL import Image; Image.open('" + dir.file("wmf.bmp") + "').save('" + dir.file("wmf.png") + "')")), 0);
    }
#endif
    std::string report;
    EXPECT_EQ(kdtest::runPython("img_tool.py", {"compare", dir.file("wmf.png"), dir.file("a.bmp"), "2", "interior=1"},
                                &report),
              0)
        << report;

    // A bitmap that cannot be read: 0, and an empty metafile exists.
    EXPECT_EQ(bmp2wmf(dir.file("missing.bmp").c_str(), dir.file("b.wmf").c_str()), 0);
    Bytes empty = readFile(dir.file("b.wmf"));
    EXPECT_EQ(empty.size(), 18u + 6u);
    EXPECT_EQ(bmp2wmf(nullptr, dir.file("c.wmf").c_str()), 0);
    EXPECT_EQ(bmp2wmf(dir.file("a.bmp").c_str(), dir.file("no/dir/c.wmf").c_str()), 0);
}
