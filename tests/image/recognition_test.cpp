// Recognition: kinds, sizes and the header rules, against files made by
// Pillow or written byte by byte.
#include <gtest/gtest.h>

#include "image/image_support.h"
#include "image/jbig2_builder.h"
#include "image/pic_info.h"
#include "kdlib.h"

using namespace imgtest;
using kdtest::TempDir;
using kdtest::writeFile;

namespace {

struct Info {
    int result, kind, width, height, bits, effective, pages;
};

Info picInfo(const std::string& path, int page = 1) {
    Info i{};
    i.result = GetPicInfo(path.c_str(), &i.kind, &i.width, &i.height, &i.bits, &i.effective, page, &i.pages);
    return i;
}

int greyBits(const std::string& path) {
    int32_t bits = -1;
    EXPECT_EQ(GetPicInfoIsGrayscale(path.c_str(), &bits, 1), 0);
    return bits;
}

// Recognises a file with the internal reader, as dobmp would (output open).
int recogniseInternal(kd::image::PicInfo& info, const std::string& path, const TempDir& dir) {
    if (!kd::image::openPicInfo(info, path.c_str(), dir.file("out.bin").c_str())) return -500;
    info.pdfVersion = 17;
    return kd::image::readPicInfo(info);
}

}  // namespace

TEST(Recognition, PillowFilesOfEveryKindReportKindSizeAndBits) {
    TempDir dir;
    struct Case {
        const char* mode;
        const char* name;
        std::vector<std::string> opts;
        int kind, bits;
    } cases[] = {
        {"RGB", "a.bmp", {}, 0, 24},   {"RGB", "a.jpg", {}, 1, 24},  {"RGB", "a.png", {}, 2, 24},
        {"RGBA", "b.png", {}, 2, 24},  {"P", "a.gif", {}, 3, 0},     {"RGB", "a.tif", {}, 4, 0},
        {"RGB", "a.jp2", {}, 8, 24},   {"RGB", "a.j2k", {}, 10, 24}, {"L", "g.png", {}, 2, 8},
        {"P", "p.bmp", {}, 0, 8},     {"RGB", "c16.png", {"bits=16", "ct=2"}, 2, 48},
    };
    for (const Case& c : cases) {
        std::string path = dir.file(c.name);
        gen(c.mode, 37, 21, path, c.opts);
        Info i = picInfo(path);
        EXPECT_EQ(i.result, 0) << c.name;
        EXPECT_EQ(i.kind, c.kind) << c.name;
        EXPECT_EQ(i.effective, c.kind) << c.name;
        EXPECT_EQ(i.width, 37) << c.name;
        EXPECT_EQ(i.height, 21) << c.name;
        EXPECT_EQ(i.bits, c.bits) << c.name;
        EXPECT_EQ(i.pages, 0) << c.name;
    }
    EXPECT_EQ(picInfo(dir.file("missing.png")).result, -500);
    writeFile(dir.file("junk"), std::string("XY junk"));
    EXPECT_EQ(picInfo(dir.file("junk")).result, -1);
    writeFile(dir.file("badpng"), std::string("\x89PNG\r\n\x1b\n", 8));
    EXPECT_EQ(picInfo(dir.file("badpng")).result, -1);
    writeFile(dir.file("badgif"), std::string("GIF88a"));
    EXPECT_EQ(picInfo(dir.file("badgif")).result, -1);
    EXPECT_EQ(GetPicInfo(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 1, nullptr), -500);
}

TEST(Recognition, GreyPalettesAndMaskCandidates) {
    TempDir dir;
    auto oneBit = [&](const std::string& name, Bytes palette) {
        Bytes px(4 * 2, 0);
        writeFile(dir.file(name), bitmapFile(infoHeader(40, 10, 2, 1, 0), palette, px));
        return dir.file(name);
    };
    EXPECT_EQ(greyBits(oneBit("bw.bmp", {0, 0, 0, 0, 255, 255, 255, 0})), 1);
    EXPECT_EQ(greyBits(oneBit("wb.bmp", {255, 255, 255, 0, 0, 0, 0, 0})), 0);
    // 256 greys in any order between black and white still count as grey.
    Bytes pal;
    for (int i = 0; i < 256; ++i) {
        uint8_t v = i == 0 ? 0 : i == 255 ? 255 : uint8_t((i * 97) % 251);
        pal.insert(pal.end(), {v, v, v, 0});
    }
    writeFile(dir.file("g8.bmp"), bitmapFile(infoHeader(40, 4, 1, 8, 0), pal, Bytes(4, 0)));
    EXPECT_EQ(greyBits(dir.file("g8.bmp")), 8);
    pal[4 * 7] = 1;  // one coloured entry
    writeFile(dir.file("c8.bmp"), bitmapFile(infoHeader(40, 4, 1, 8, 0), pal, Bytes(4, 0)));
    EXPECT_EQ(greyBits(dir.file("c8.bmp")), 0);
    gen("L", 8, 8, dir.file("g.png"));
    EXPECT_EQ(greyBits(dir.file("g.png")), 8);
    gen("LA", 8, 8, dir.file("ga.png"));
    EXPECT_EQ(greyBits(dir.file("ga.png")), 0);  // grey, but with alpha
    gen("L", 8, 8, dir.file("g.jpg"));
    EXPECT_EQ(greyBits(dir.file("g.jpg")), 8);
}

TEST(Recognition, BitmapHeaderRules) {
    TempDir dir;
    // (Masks, planned soft masks and the Huffman code are checked through
    // dobmp's output in decode_test and writer_test.)
    {  // OS/2 core header (12 bytes, 16-bit sizes, 3-byte palette) inside an array
        Bytes b{'B', 'A'};
        put32(b, 40), put32(b, 0), put32(b, 0), put16(b, 0x4D42);
        put32(b, 0), put16(b, 0), put16(b, 0), put32(b, 14 + 14 + 12 + 6);
        put32(b, 12), put16(b, 300), put16(b, 7), put16(b, 1), put16(b, 1);
        b.insert(b.end(), {0, 0, 0, 255, 255, 255});
        writeFile(dir.file("ba.bmp"), b);
        Info i = picInfo(dir.file("ba.bmp"));
        EXPECT_EQ(i.result, 0);
        EXPECT_EQ(i.kind, 7);
        EXPECT_EQ(i.width, 300);
        EXPECT_EQ(i.height, 7);
        EXPECT_EQ(greyBits(dir.file("ba.bmp")), 1);
    }
    {  // top-down height is reported as its absolute value
        writeFile(dir.file("td.bmp"), bitmapFile(infoHeader(40, 3, -5, 24, 0), {}, Bytes(12 * 5, 0)));
        EXPECT_EQ(picInfo(dir.file("td.bmp")).height, 5);
    }
}

TEST(Recognition, EmbeddedJpegAndPngInBitmaps) {
    TempDir dir;
    gen("RGB", 23, 11, dir.file("e.png"));
    gen("RGB", 23, 11, dir.file("e.jpg"));
    Bytes png = kdtest::readFile(dir.file("e.png"));
    Bytes jpg = kdtest::readFile(dir.file("e.jpg"));
    writeFile(dir.file("p.bmp"), bitmapFile(infoHeader(40, 5, 5, 0, 5), {}, png));
    writeFile(dir.file("j.bmp"), bitmapFile(infoHeader(40, 5, 5, 0, 4), {}, jpg));
    Info p = picInfo(dir.file("p.bmp"));
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.kind, 0);
    EXPECT_EQ(p.effective, 2);
    EXPECT_EQ(p.width, 23);
    EXPECT_EQ(p.height, 11);
    Info j = picInfo(dir.file("j.bmp"));
    EXPECT_EQ(j.effective, 1);
    EXPECT_EQ(j.bits, 24);
    // ExtractFromBMP copies the embedded file byte for byte.
    EXPECT_EQ(ExtractFromBMP(dir.file("p.bmp").c_str(), dir.file("x.png").c_str()), int(png.size()));
    EXPECT_EQ(kdtest::readFile(dir.file("x.png")), png);
    EXPECT_EQ(ExtractFromBMP(dir.file("j.bmp").c_str(), dir.file("x.jpg").c_str()), int(jpg.size()));
    EXPECT_EQ(kdtest::readFile(dir.file("x.jpg")), jpg);
    EXPECT_EQ(ExtractFromBMP(dir.file("e.png").c_str(), dir.file("y").c_str()), 0);
    EXPECT_EQ(ExtractFromBMP(dir.file("none").c_str(), dir.file("y").c_str()), -500);
}

TEST(Recognition, MetafilesAndTiff) {
    TempDir dir;
    Bytes wmf;
    put32(wmf, 0x9AC6CDD7), put16(wmf, 0);
    for (int v : {-100, -50, 900, 950}) put16(wmf, uint32_t(v) & 0xFFFF);
    put16(wmf, 1440);
    writeFile(dir.file("a.wmf"), wmf);
    Info w = picInfo(dir.file("a.wmf"));
    EXPECT_EQ(w.kind, 6);
    EXPECT_EQ(w.width, 66);
    EXPECT_EQ(w.height, 66);
    wmf[14] = wmf[15] = 0;  // zero units per inch
    writeFile(dir.file("z.wmf"), wmf);
    EXPECT_EQ(picInfo(dir.file("z.wmf")).width, 0);
    wmf[2] = 0;
    writeFile(dir.file("b.wmf"), wmf);
    EXPECT_EQ(picInfo(dir.file("b.wmf")).result, -4);

    Bytes emf;
    put32(emf, 1), put32(emf, 108);
    for (int v : {50, 60, 199, 99}) put32(emf, uint32_t(v));
    writeFile(dir.file("a.emf"), emf);
    Info e = picInfo(dir.file("a.emf"));
    EXPECT_EQ(e.kind, 5);
    EXPECT_EQ(e.width, 200);
    EXPECT_EQ(e.height, 100);
    emf[2] = 1;
    writeFile(dir.file("b.emf"), emf);
    EXPECT_EQ(picInfo(dir.file("b.emf")).result, -4);

    // Big-endian TIFF: width as a short (first two value bytes), height long.
    Bytes t{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 2};
    t.insert(t.end(), {1, 0, 0, 3, 0, 0, 0, 1, 0x01, 0x2C, 0xAA, 0xBB});
    t.insert(t.end(), {1, 1, 0, 4, 0, 0, 0, 1, 0, 0, 0x02, 0x58});
    writeFile(dir.file("be.tif"), t);
    Info ti = picInfo(dir.file("be.tif"));
    EXPECT_EQ(ti.kind, 4);
    EXPECT_EQ(ti.width, 300);
    EXPECT_EQ(ti.height, 600);
}

TEST(Recognition, Jbig2SegmentsBothOrganisations) {
    TempDir dir;
    for (bool sequential : {true, false}) {
        Jbig2Builder b(sequential, true);
        b.globals(Bytes(9, 0x5A));
        for (uint32_t page = 1; page <= 3; ++page) b.page(page, 16 * page, 8 + page, Bytes(5, uint8_t(page)));
        std::string path = dir.file(sequential ? "s.jb2" : "r.jb2");
        writeFile(path, b.build());
        Info i = picInfo(path, 2);
        EXPECT_EQ(i.result, 0);
        EXPECT_EQ(i.kind, 9);
        EXPECT_EQ(i.width, 32);
        EXPECT_EQ(i.height, 10);
        EXPECT_EQ(i.bits, 1);
        EXPECT_EQ(i.pages, 3);
        EXPECT_EQ(picInfo(path, 4).result, -1);
        kd::image::PicInfo p;
        p.jbig2Page = 3;
        ASSERT_EQ(recogniseInternal(p, path, dir), 0);
        EXPECT_EQ(p.width, 48);
        EXPECT_NE(p.jbig2Globals[0], 0u);
        EXPECT_EQ(p.jbig2Globals[3], 9u);
    }
    // Page count taken from the header when given; counted when absent.
    Jbig2Builder b(true, false);
    b.page(1, 8, 8, Bytes(3, 0));
    writeFile(dir.file("n.jb2"), b.build());
    EXPECT_EQ(picInfo(dir.file("n.jb2")).pages, 1);
}
