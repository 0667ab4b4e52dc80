// BMP and PNG sample data against Pillow's decoding and hand-computed
// values; the PNG filter exports; hostile inputs.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "image/image_support.h"
#include "kdlib.h"

using namespace imgtest;
using kdtest::readFile;
using kdtest::TempDir;
using kdtest::writeFile;

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
    struct Case {
        const char* mode;
        const char* sampleMode;
    } cases[] = {{"RGB", "RGB"}, {"L", "L"}, {"P", "RGB"}, {"1", "L"}};
    for (const Case& c : cases) {
        std::string path = dir.file(std::string("a_") + c.mode + ".bmp");
        gen(c.mode, 37, 19, path);
        Output o = runDobmp(dir, path);
        ASSERT_GT(o.result, 0) << c.mode;
        Bytes got = inflateAll(o.data);
        Bytes want = pillowSamples(path, c.sampleMode);
        if (std::string(c.mode) == "P") {  // indices through the palette file
            Bytes pal = readFile(o.sidePath);
            Bytes rgb;
            for (uint8_t i : got) rgb.insert(rgb.end(), pal.begin() + 3 * i, pal.begin() + 3 * i + 3);
            got = rgb;
        } else if (std::string(c.mode) == "1") {  // packed bits to grey
            Bytes grey;
            for (int y = 0; y < 19; ++y)
                for (int x = 0; x < 37; ++x) grey.push_back((got[y * 5 + x / 8] >> (7 - x % 8)) & 1 ? 255 : 0);
            got = grey;
        }
        EXPECT_EQ(got, want) << c.mode;
    }
}

TEST(BmpDecode, SixteenAndThirtyTwoBitMasks) {
    TempDir dir;
    auto samples = [&](const Bytes& header, const Bytes& extra, const Bytes& px) {
        writeFile(dir.file("x.bmp"), bitmapFile(header, extra, px));
        Output o = runDobmp(dir, dir.file("x.bmp"));
        EXPECT_GT(o.result, 0);
        return inflateAll(o.data);
    };
    Bytes m565;
    put32(m565, 0xF800), put32(m565, 0x07E0), put32(m565, 0x001F);
    EXPECT_EQ(samples(infoHeader(40, 2, 1, 16, 3), m565, {0xFF, 0xFF, 0, 0}), (Bytes{255, 255, 255, 0, 0, 0}));
    // 5-5-5 with compression 0: 31 widens to 255, 16 to 132.
    uint16_t v = uint16_t(31 << 10 | 16 << 5 | 1);
    EXPECT_EQ(samples(infoHeader(40, 1, 1, 16, 0), {}, {uint8_t(v), uint8_t(v >> 8), 0, 0}), (Bytes{255, 132, 8}));
    // 10-bit channels at 20, 10, 0 are scaled by 255/1023.
    uint32_t p = 1023u << 20 | 512u << 10 | 1u;
    EXPECT_EQ(samples(infoHeader(52, 1, 1, 32, 3, 0x3FF00000, 0xFFC00, 0x3FF), {},
                      {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16), uint8_t(p >> 24)}),
              (Bytes{255, uint8_t(512 * 255 / 1023), 0}));
    // Other 16-bit masks (4-4-4-4 with alpha) are scaled.
    Output o;
    {
        Bytes px{0x3C, 0x8F, 0, 0};  // 0x8F3C: a=8 r=15 g=3 b=12
        writeFile(dir.file("4444.bmp"), bitmapFile(infoHeader(56, 1, 1, 16, 3, 0x0F00, 0x00F0, 0x000F, 0xF000), {}, px));
        o = runDobmp(dir, dir.file("4444.bmp"));
        EXPECT_EQ(inflateAll(o.data), (Bytes{255, 51, 204}));
        EXPECT_EQ(o.maskData, (Bytes{136}));
    }
}

TEST(BmpDecode, RunLengthEightAndFourWithHoles) {
    TempDir dir;
    Bytes pal(1024, 0);
    for (int i = 0; i < 256; ++i) pal[4 * i + 2] = uint8_t(i);
    {  // height 10, width 4: eight lines coded, then end of bitmap
        Bytes rle;
        for (int y = 0; y < 8; ++y) rle.insert(rle.end(), {4, uint8_t(y + 1), 0, 0});
        rle.insert(rle.end(), {0, 1});
        writeFile(dir.file("r8.bmp"), bitmapFile(infoHeader(40, 4, 10, 8, 1), pal, rle));
        Output o = runDobmp(dir, dir.file("r8.bmp"));
        ASSERT_GT(o.result, 0);
        Bytes idx = inflateAll(o.data);
        ASSERT_EQ(idx.size(), 40u);
        EXPECT_EQ(Bytes(idx.begin(), idx.begin() + 8), Bytes(8, 0));  // top two rows never reached
        EXPECT_EQ(idx[8], 8);
        EXPECT_EQ(idx[39], 1);
        EXPECT_NE(o.dict.find("\r\n /SMask 13 0 R\r\n"), std::string::npos);
        EXPECT_EQ(o.maskDict.find("/BitsPerComponent 1 "), o.maskDict.find("/BitsPerComponent"));
        Bytes mask(10, 0xFF);
        mask[0] = mask[1] = 0x0F;  // transparent bits cleared, padding bits stay set
        EXPECT_EQ(o.maskData, mask);
    }
    {  // every pixel covered: no mask samples, the line becomes a comment
        Bytes rle;
        for (int y = 0; y < 2; ++y) rle.insert(rle.end(), {3, 7, 0, 3, 9, 8, 7, 0, 0, 0});
        rle.insert(rle.end(), {0, 1});
        writeFile(dir.file("full.bmp"), bitmapFile(infoHeader(40, 6, 2, 8, 1), pal, rle));
        Output o = runDobmp(dir, dir.file("full.bmp"));
        EXPECT_EQ(inflateAll(o.data), (Bytes{7, 7, 7, 9, 8, 7, 7, 7, 7, 9, 8, 7}));
        EXPECT_NE(o.dict.find("\r\n%/SMask"), std::string::npos);
        EXPECT_EQ(o.smaskObj, 0);
        EXPECT_TRUE(o.maskData.empty());
    }
    {  // delta dx 3 dy 1 from (5, 0) in a 10-wide image clears 13 pixels
        Bytes rle{5, 1, 0, 2, 3, 1, 2, 4, 0, 0};
        for (int y = 2; y < 3; ++y) rle.insert(rle.end(), {10, 6, 0, 0});
        rle.insert(rle.end(), {0, 1});
        writeFile(dir.file("d.bmp"), bitmapFile(infoHeader(40, 10, 3, 8, 1), pal, rle));
        Output o = runDobmp(dir, dir.file("d.bmp"));
        // Decoded line 0 is the bottom row: (5,0)..(9,0) and (0,1)..(7,1).
        ASSERT_EQ(o.maskData.size(), 6u);
        EXPECT_EQ(o.maskData[4], 0xF8);  // line 0: x 5..9 transparent
        EXPECT_EQ(o.maskData[5], 0x3F);
        EXPECT_EQ(o.maskData[2], 0x00);  // line 1: x 0..7 transparent
        EXPECT_EQ(o.maskData[3], 0xFF);
        EXPECT_EQ(o.maskData[0], 0xFF);
        EXPECT_EQ(inflateAll(o.data)[18], 4);  // (8, 1), middle output row
    }
    {  // RLE4: absolute runs of 5 (3 bytes + pad) and 4 (2 bytes), encoded run
        Bytes rle{0, 5, 0x12, 0x34, 0x50, 0, 0, 4, 0x67, 0x89, 3, 0xAB, 0, 0, 0, 1};
        writeFile(dir.file("r4.bmp"), bitmapFile(infoHeader(40, 12, 1, 4, 2), Bytes(64, 0), rle));
        Output o = runDobmp(dir, dir.file("r4.bmp"));
        EXPECT_NE(o.dict.find("/BitsPerComponent 4"), std::string::npos);
        EXPECT_EQ(inflateAll(o.data), (Bytes{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBA}));
        EXPECT_EQ(o.smaskObj, 0);
    }
}

TEST(BmpDecode, HostileHeadersAndTruncation) {
    TempDir dir;
    // 2^31 pixels declared in a tiny file, and a file shorter than its rows.
    writeFile(dir.file("huge.bmp"), bitmapFile(infoHeader(40, 65536, 32768, 24, 0), {}, Bytes(16, 0)));
    writeFile(dir.file("huge8.bmp"), bitmapFile(infoHeader(40, 30000, 30000, 8, 1), Bytes(1024, 0), {0, 1}));
    writeFile(dir.file("short.bmp"), bitmapFile(infoHeader(40, 100, 100, 24, 0), {}, Bytes(300 * 50, 0)));
    writeFile(dir.file("depth.bmp"), bitmapFile(infoHeader(40, 4, 4, 7, 0), {}, Bytes(64, 0)));
    for (const char* name : {"huge.bmp", "huge8.bmp", "short.bmp", "depth.bmp"}) {
        Output o = runDobmp(dir, dir.file(name));
        EXPECT_EQ(o.result, -1) << name;
        EXPECT_TRUE(o.dict.empty()) << name;
        EXPECT_TRUE(std::filesystem::remove(o.dataPath)) << name;  // closed and removable
    }
    // Truncated headers end cleanly.
    Bytes full = bitmapFile(infoHeader(124, 2, 2, 32, 3, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), {}, Bytes(16, 1));
    for (size_t cut = 0; cut < 140; cut += 7) {
        writeFile(dir.file("cut.bmp"), Bytes(full.begin(), full.begin() + long(cut)));
        int32_t k, w, h, b, e, p;
        GetPicInfo(dir.file("cut.bmp").c_str(), &k, &w, &h, &b, &e, 1, &p);
        runDobmp(dir, dir.file("cut.bmp"));
    }
}

TEST(PngDecode, PassThroughCopiesIdatAcrossChunks) {
    TempDir dir;
    gen("RGB", 40, 30, dir.file("rgb.png"), {"chunks=4"});
    Output o = runDobmp(dir, dir.file("rgb.png"));
    EXPECT_EQ(o.dict,
              "<< /Type /XObject /Subtype /Image /Width 40 /Height 30 /Length 12 0 R /ColorSpace /DeviceRGB "
              "/BitsPerComponent 8 /Filter/FlateDecode\r\n /DecodeParms<</BitsPerComponent 8/Colors 3/Columns "
              "40/Predictor 15>>\r\n>>\r\nstream\r\n");
    EXPECT_EQ(inflateAll(o.data).size(), size_t(30 * (40 * 3 + 1)));
    gen("P", 20, 10, dir.file("pal.png"), {"colors=4"});
    o = runDobmp(dir, dir.file("pal.png"));
    EXPECT_NE(o.dict.find("/ColorSpace [/Indexed /DeviceRGB 3 13 0 R] /BitsPerComponent 2 /Filter/FlateDecode\r\n "
                          "/DecodeParms<</BitsPerComponent 2/Colors 1/Columns 20/Predictor 15>>"),
              std::string::npos)
        << o.dict;
    EXPECT_EQ(readFile(o.sidePath).size(), 12u);
}

TEST(PngDecode, AlphaIsSplitIntoColourAndMask) {
    TempDir dir;
    gen("RGBA", 33, 17, dir.file("rgba.png"));
    DobmpCall call;
    call.lengthObj = 20;
    Output o = runDobmp(dir, dir.file("rgba.png"), call);
    ASSERT_GT(o.result, 0);
    EXPECT_EQ(namesIn(dir), (std::set<std::string>{"rgba.png", "data.bin", "mask.bin"}));
    EXPECT_NE(o.dict.find("/Length 20 0 R\r\n /SMask 21 0 R\r\n /ColorSpace /DeviceRGB /BitsPerComponent 8 "
                          "/Filter/FlateDecode>>"),
              std::string::npos);
    EXPECT_EQ(o.smaskObj, 22);
    EXPECT_NE(o.maskDict.find("/Length 22 0 R"), std::string::npos);
    EXPECT_EQ(inflateAll(o.data), pillowSamples(dir.file("rgba.png"), "RGB"));
    EXPECT_EQ(o.maskData, pillowSamples(dir.file("rgba.png"), "A"));

    gen("RGB", 10, 10, dir.file("o.png"));  // opaque RGBA: mask dropped
    gen("RGBA", 10, 10, dir.file("opaque.png"));
    kdtest::run("/usr/bin/python3 -c \"from PIL import Image; Image.open('" + dir.file("o.png") +
                "').convert('RGBA').save('" + dir.file("opaque.png") + "')\"");
    o = runDobmp(dir, dir.file("opaque.png"), call);
    EXPECT_EQ(o.smaskObj, 0);
    EXPECT_NE(o.dict.find("\r\n%/SMask 21 0 R"), std::string::npos);
}

TEST(PngDecode, SixteenBitSamples) {
    TempDir dir;
    gen("RGB", 12, 7, dir.file("c16.png"), {"bits=16", "ct=2", "chunks=3"});
    DobmpCall call;
    call.pdfVersion = 14;
    Output o = runDobmp(dir, dir.file("c16.png"), call);
    EXPECT_NE(o.dict.find("/ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter/FlateDecode>>"), std::string::npos);
    Bytes raw16 = pillowSamples(dir.file("c16.png"), "RAW16");
    Bytes high;
    for (size_t i = 0; i < raw16.size(); i += 2) high.push_back(raw16[i]);
    EXPECT_EQ(inflateAll(o.data), high);
    call.pdfVersion = 17;
    o = runDobmp(dir, dir.file("c16.png"), call);
    EXPECT_NE(o.dict.find("/BitsPerComponent 16 /Filter/FlateDecode\r\n /DecodeParms<</BitsPerComponent 16/Colors "
                          "3/Columns 12/Predictor 15>>"),
              std::string::npos);

    gen("LA", 9, 5, dir.file("ga16.png"), {"bits=16", "ct=4"});
    o = runDobmp(dir, dir.file("ga16.png"), call);
    Bytes all = pillowSamples(dir.file("ga16.png"), "RAW16");
    Bytes grey, alpha;
    for (size_t i = 0; i < all.size(); i += 4) {
        grey.insert(grey.end(), {all[i], all[i + 1]});
        alpha.insert(alpha.end(), {all[i + 2], all[i + 3]});
    }
    EXPECT_EQ(inflateAll(o.data), grey);
    EXPECT_EQ(o.maskData, alpha);
    EXPECT_NE(o.maskDict.find("/BitsPerComponent 16 "), std::string::npos);
}

TEST(PngDecode, BrokenStreamsAndNeighbourFiles) {
    TempDir dir;
    gen("RGBA", 16, 16, dir.file("a.png"));
    Bytes png = readFile(dir.file("a.png"));
    // Damage the zlib data inside the first IDAT chunk.
    std::string text(png.begin(), png.end());
    size_t idat = text.find("IDAT");
    for (size_t i = idat + 6; i < idat + 14; ++i) png[i] ^= 0xA5;
    writeFile(dir.file("broken.png"), png);
    Output o = runDobmp(dir, dir.file("broken.png"));
    EXPECT_EQ(o.result, -42);
    // A host's file that happens to carry the image's name plus a suffix is
    // neither read nor touched.
    writeFile(dir.file("a.png.idat.raw"), Bytes(5000, 0x77));
    o = runDobmp(dir, dir.file("a.png"));
    EXPECT_EQ(inflateAll(o.data), pillowSamples(dir.file("a.png"), "RGB"));
    EXPECT_EQ(readFile(dir.file("a.png.idat.raw")), Bytes(5000, 0x77));
    const std::set<std::string> before = namesIn(dir);
    // More rows declared than the data could ever give.
    Bytes liar = readFile(dir.file("a.png"));
    liar[16] = 0x10;  // width 2^28 + 16
    writeFile(dir.file("liar.png"), liar);
    EXPECT_EQ(runDobmp(dir, dir.file("liar.png")).result, -1);
    for (size_t cut = 8; cut < png.size(); cut += 13) {
        writeFile(dir.file("cut.png"), Bytes(png.begin(), png.begin() + long(cut)));
        runDobmp(dir, dir.file("cut.png"));
    }
    std::set<std::string> after = namesIn(dir);
    after.erase("cut.png");
    after.erase("liar.png");
    EXPECT_EQ(after, before);
}

TEST(PngFilters, CreatePngDataRoundTripsThroughPillow) {
    TempDir dir;
    // Five RGB rows of 4 pixels, filters {1, 4}: row 0 sub, rows 1-4 Paeth.
    Bytes raw;
    for (int i = 0; i < 5 * 12; ++i) raw.push_back(uint8_t(i * 37 % 251));
    writeFile(dir.file("raw.bin"), raw);
    uint8_t types[2] = {1, 4};
    ASSERT_EQ(CreatePNGDataFromFile(dir.file("raw.bin").c_str(), dir.file("scan.bin").c_str(), types, 2, 0, 12, 3, 5, 0,
                                    0, 0),
              1);
    Bytes scan = readFile(dir.file("scan.bin"));
    ASSERT_EQ(scan.size(), 5u * 13);
    EXPECT_EQ(scan[0], 1);
    for (int r = 1; r < 5; ++r) EXPECT_EQ(scan[r * 13], 4);
    // Unfiltering by the PNG path of the oracle restores the rows.
    std::string py = "import zlib,struct,sys\n"
                     "def ch(k,d): return struct.pack('>I',len(d))+k+d+struct.pack('>I',zlib.crc32(k+d))\n"
                     "d=open(sys.argv[1],'rb').read()\n"
                     "open(sys.argv[2],'wb').write(b'\\x89PNG\\r\\n\\x1a\\n'+ch(b'IHDR',struct.pack('>IIBBBBB',4,5,8,2,0,0,0))+"
                     "ch(b'IDAT',zlib.compress(d))+ch(b'IEND',b''))\n";
    writeFile(dir.file("wrap.py"), py);
    ASSERT_EQ(kdtest::run("/usr/bin/python3 " + dir.file("wrap.py") + " " + dir.file("scan.bin") + " " +
                          dir.file("s.png")),
              0);
    EXPECT_EQ(pillowSamples(dir.file("s.png"), "RGB"), raw);

    // Colour and alpha interleaved: colour given filtered (type 2), alpha plain.
    Bytes colourScan, alpha;
    Bytes prev(6, 0);
    for (int r = 0; r < 3; ++r) {
        Bytes row;
        for (int i = 0; i < 6; ++i) row.push_back(uint8_t(r * 50 + i * 9));
        colourScan.push_back(2);
        for (int i = 0; i < 6; ++i) colourScan.push_back(uint8_t(row[i] - prev[i]));
        prev = row;
        alpha.insert(alpha.end(), {uint8_t(10 + r), uint8_t(200 - r)});
    }
    writeFile(dir.file("c.bin"), colourScan);
    writeFile(dir.file("a.bin"), alpha);
    uint8_t none[1] = {0};
    ASSERT_EQ(CreatePNGAlphaDataFromFile(dir.file("c.bin").c_str(), dir.file("a.bin").c_str(), dir.file("o.bin").c_str(),
                                         1, 0, none, 1, 0, 6, 3, 2, 1, 3, 2, 0, 0),
              1);
    Bytes out = readFile(dir.file("o.bin"));
    ASSERT_EQ(out.size(), 3u * 9);
    EXPECT_EQ((Bytes(out.begin() + 9, out.begin() + 18)), (Bytes{0, 50, 59, 68, 11, 77, 86, 95, 199}));
    EXPECT_EQ(CreatePNGDataFromFile(dir.file("none").c_str(), dir.file("x").c_str(), types, 2, 0, 12, 3, 5, 0, 0, 0), 0);
    EXPECT_EQ(CreatePNGDataFromFile(dir.file("raw.bin").c_str(), dir.file("z.bin").c_str(), nullptr, 0, 0, 12, 3, 2, 0,
                                    0, 0),
              1);
    EXPECT_EQ(readFile(dir.file("z.bin"))[13], 0);
}
