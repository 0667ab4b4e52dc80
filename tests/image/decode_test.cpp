// Sample data of the decoded kinds against Pillow's decoding and values
// worked out by hand; the PNG filter exports; hostile inputs.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "image/image_support.h"
#include "kdlib.h"

using namespace imgtest;

namespace {

// The names in a folder: dobmp may add only the files it was given.
std::set<std::string> namesIn(const TempDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.insert(entry.path().filename().string());
    return names;
}

}  // namespace

TEST(BmpDecode, PillowBitmapsMatchSampleForSample) {
    TempDir dir;
    // Pillow's raw palette indices and packed bits are laid out as ours.
    for (const char* mode : {"RGB", "L", "P", "1"}) {
        const std::string path = dir.file(std::string("a_") + mode + ".bmp");
        gen(mode, 37, 19, path);
        EXPECT_EQ(inflateAll(runDobmp(dir, path).data), pillowSamples(path, mode)) << mode;
    }
}

TEST(BmpDecode, ChannelMasksScaleAndWiden) {
    struct Case {
        Bytes header, pixels, rgb, alpha;
    } cases[] = {
        {infoHeader(52, 2, 1, 16, 3, 0xF800, 0x07E0, 0x001F), {0xFF, 0xFF, 0, 0}, {255, 255, 255, 0, 0, 0}, {}},
        // 5-5-5 without masks: 31 widens to 255, 16 to 132, 1 to 8.
        {infoHeader(40, 1, 1, 16, 0), {0x01, 0x7E, 0, 0}, {255, 132, 8}, {}},
        // 10-bit channels at bits 20, 10 and 0 are scaled by 255 / 1023.
        {infoHeader(52, 1, 1, 32, 3, 0x3FF00000, 0xFFC00, 0x3FF), {0x01, 0x00, 0xF8, 0x3F}, {255, 127, 0}, {}},
        // 4-4-4-4 with alpha: 0x8F3C is a 8, r 15, g 3, b 12.
        {infoHeader(56, 1, 1, 16, 3, 0x0F00, 0x00F0, 0x000F, 0xF000), {0x3C, 0x8F, 0, 0}, {255, 51, 204}, {136}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        writeFile(dir.file("x.bmp"), bitmapFile(c.header, {}, c.pixels));
        std::remove(dir.file("mask.bin").c_str());
        Output o = runDobmp(dir, dir.file("x.bmp"));
        EXPECT_EQ(inflateAll(o.data), c.rgb) << int(c.header[14]);
        EXPECT_EQ(o.maskData, c.alpha);
    }
}

TEST(BmpDecode, RunLengthDeltaHolesAndFourBitRuns) {
    TempDir dir;
    // Delta dx 3 dy 1 from (5, 0) in a 10-wide image clears (5, 0) to (7, 1).
    const Bytes delta{5, 1, 0, 2, 3, 1, 2, 4, 0, 0, 10, 6, 0, 0, 0, 1};
    writeFile(dir.file("d.bmp"), bitmapFile(infoHeader(40, 10, 3, 8, 1), Bytes(1024, 0), delta));
    Output o = runDobmp(dir, dir.file("d.bmp"));
    EXPECT_EQ(o.maskData, (Bytes{0xFF, 0xFF, 0x00, 0xFF, 0xF8, 0x3F}));  // top row first
    EXPECT_EQ(inflateAll(o.data)[18], 4);                            // (8, 1), middle output row
    // RLE4: absolute runs of 5 (3 bytes + pad) and 4 (2 bytes), an encoded run.
    const Bytes rle4{0, 5, 0x12, 0x34, 0x50, 0, 0, 4, 0x67, 0x89, 3, 0xAB, 0, 0, 0, 1};
    writeFile(dir.file("r4.bmp"), bitmapFile(infoHeader(40, 12, 1, 4, 2), Bytes(64, 0), rle4));
    o = runDobmp(dir, dir.file("r4.bmp"));
    EXPECT_EQ(inflateAll(o.data), (Bytes{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBA}));
    EXPECT_EQ(o.smaskObj, 0);
}

TEST(Decode, DamagedFilesAreRefusedCleanly) {
    TempDir dir;
    gen("RGBA", 8, 4, dir.file("a.png"));
    gen("RGB", 8, 4, dir.file("a.jpg"));
    gen("P", 5, 5, dir.file("a.gif"));  // a kind that is known but not written
    const Bytes png = readFile(dir.file("a.png")), jpg = readFile(dir.file("a.jpg")), gif = readFile(dir.file("a.gif"));
    const std::string pngText(png.begin(), png.end()), jpgText(jpg.begin(), jpg.end());
    const size_t idat = pngText.find("IDAT") - 4, sof = jpgText.find("\xFF\xC0");
    Bytes noIdat(png.begin(), png.begin() + long(idat));  // IHDR, a colour profile, the end of the file
    noIdat.insert(noIdat.end(), {0, 0, 0, 2, 'i', 'C', 'C', 'P', 1, 2, 0, 0, 0, 0});
    Bytes noFrame = jpg, broken = png, liar = png;
    noFrame.erase(noFrame.begin() + long(sof), noFrame.begin() + long(sof + 2 + be16(jpg, sof + 2)));
    for (size_t i = idat + 10; i < idat + 18; ++i) broken[i] ^= 0xA5;  // damaged zlib data
    liar[16] = 0x10;  // width 2^28 + 8: more than the data could ever give
    Bytes rle = bitmapFile(infoHeader(40, 4, 2, 8, 1), Bytes(1024, 0), {0, 1});
    rle[10] = uint8_t(rle.size() + 1);  // pixels past the end of the file
    // Refused before the data file is made (made: closed, removable, no
    // dictionary), or refused at once.
    const struct {
        const char* name;
        Bytes bytes;
        int result;
        bool made;
    } cases[] = {
        {"noidat.png", noIdat, -1, false},
        {"noframe.jpg", noFrame, -1, false},
        {"rle8.bmp", rle, -1, false},
        {"liar.png", liar, -1, true},
        {"b.gif", gif, -1, true},
        // 2^31 pixels declared in a tiny file, a file shorter than its rows, a depth without a decoder.
        {"huge.bmp", bitmapFile(infoHeader(40, 65536, 32768, 24, 0), {}, Bytes(16, 0)), -1, true},
        {"huge8.bmp", bitmapFile(infoHeader(40, 30000, 30000, 8, 1), Bytes(1024, 0), {0, 1}), -1, true},
        {"short.bmp", bitmapFile(infoHeader(40, 100, 100, 24, 0), {}, Bytes(300 * 50, 0)), -1, true},
        {"depth.bmp", bitmapFile(infoHeader(40, 4, 4, 7, 0), {}, Bytes(64, 0)), -1, true},
    };
    for (const auto& c : cases) {
        writeFile(dir.file(c.name), c.bytes);
        const Output o = runDobmp(dir, dir.file(c.name));
        EXPECT_EQ(o.result, c.result) << c.name;
        EXPECT_TRUE(o.dict.empty()) << c.name;
        EXPECT_EQ(std::filesystem::remove(o.dataPath), c.made) << c.name;
        EXPECT_FALSE(std::filesystem::remove(o.maskPath)) << c.name;
    }
    writeFile(dir.file("broken.png"), broken);
    EXPECT_EQ(runDobmp(dir, dir.file("broken.png")).result, -42);
    const Bytes full = bitmapFile(infoHeader(124, 2, 2, 32, 3, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), {}, Bytes(16, 1));
    for (size_t cut = 0; cut < 140; cut += 7) {  // truncated headers end cleanly
        writeFile(dir.file("cut.bmp"), Bytes(full.begin(), full.begin() + long(cut)));
        int32_t k, w, h, b, e, p;
        GetPicInfo(dir.file("cut.bmp").c_str(), &k, &w, &h, &b, &e, 1, &p);
        runDobmp(dir, dir.file("cut.bmp"));
    }
}

// Neither a host's file that happens to carry the image's name plus a
// suffix nor a cut-short copy of the image leads to other files being read
// or made.
TEST(PngDecode, AlphaAgainstPillowNoOtherFilesTouched) {
    TempDir dir;
    gen("RGBA", 33, 17, dir.file("rgba.png"), {"chunks=3"});
    writeFile(dir.file("rgba.png.idat.raw"), Bytes(5000, 0x77));
    const Output o = runDobmp(dir, dir.file("rgba.png"));
    const std::set<std::string> names{"rgba.png", "rgba.png.idat.raw", "data.bin", "mask.bin"};
    EXPECT_EQ(namesIn(dir), names);
    EXPECT_EQ(readFile(dir.file("rgba.png.idat.raw")), Bytes(5000, 0x77));
    const Bytes png = readFile(dir.file("rgba.png"));
    for (size_t cut = 8; cut < png.size(); cut += 13) {
        writeFile(dir.file("cut.png"), Bytes(png.begin(), png.begin() + long(cut)));
        runDobmp(dir, dir.file("cut.png"));
    }
    std::remove(dir.file("cut.png").c_str());
    EXPECT_EQ(namesIn(dir), names);
    EXPECT_EQ(inflateAll(o.data), pillowSamples(dir.file("rgba.png"), "RGB"));
    EXPECT_EQ(o.maskData, pillowSamples(dir.file("rgba.png"), "A"));
}

TEST(PngFilters, ScanlinesUnfilterToTheRowsGiven) {
    TempDir dir;
    // Five RGB rows of 4 pixels, filters {1, 4}: row 0 sub, rows 1 to 4 Paeth.
    Bytes raw;
    for (int i = 0; i < 5 * 12; ++i) raw.push_back(uint8_t(i * 37 % 251));
    writeFile(dir.file("raw.bin"), raw);
    const uint8_t types[2] = {1, 4};
    ASSERT_EQ(CreatePNGDataFromFile(dir.file("raw.bin").c_str(), dir.file("scan.bin").c_str(), types, 2, 0, 12, 3, 5, 0,
                                    0, 0),
              1);
    const Bytes scan = readFile(dir.file("scan.bin"));
    ASSERT_EQ(scan.size(), 5u * 13);
    for (int r = 0; r < 5; ++r) EXPECT_EQ(scan[r * 13], r == 0 ? 1 : 4);
    ASSERT_EQ(runPython("img_tool.py", {"scanpng", "4", "5", "2", dir.file("scan.bin"), dir.file("s.png")}), 0);
    EXPECT_EQ(pillowSamples(dir.file("s.png"), "RGB"), raw);

    // Grey and alpha interleaved: grey given filtered (up), alpha plain;
    // written unfiltered, Pillow reads both back.
    Bytes greyScan, alpha, want;
    for (int r = 0; r < 3; ++r) {
        greyScan.push_back(2);
        for (int i = 0; i < 6; ++i) {
            greyScan.push_back(uint8_t(r == 0 ? i * 9 : 50));  // each row 50 above the one before
            alpha.push_back(uint8_t(10 * r + i));
            want.insert(want.end(), {uint8_t(r * 50 + i * 9), uint8_t(10 * r + i)});
        }
    }
    writeFile(dir.file("g.bin"), greyScan);
    writeFile(dir.file("a.bin"), alpha);
    const uint8_t none[1] = {0};
    ASSERT_EQ(CreatePNGAlphaDataFromFile(dir.file("g.bin").c_str(), dir.file("a.bin").c_str(),
                                         dir.file("ga.bin").c_str(), 1, 0, none, 1, 0, 6, 1, 6, 1, 3, 6, 0, 0),
              1);
    ASSERT_EQ(runPython("img_tool.py", {"scanpng", "6", "3", "4", dir.file("ga.bin"), dir.file("ga.png")}), 0);
    EXPECT_EQ(pillowSamples(dir.file("ga.png"), "LA"), want);
}
