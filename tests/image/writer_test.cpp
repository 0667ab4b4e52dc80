// dobmp: dictionary texts, object numbering, mask planning and dropping,
// palettes and the pass-through kinds.
#include <gtest/gtest.h>

#include <algorithm>

#include "image/image_support.h"
#include "image/jbig2_builder.h"
#include "kdlib.h"

using namespace imgtest;
using kdtest::readFile;
using kdtest::TempDir;
using kdtest::writeFile;

TEST(ImageWriter, BitmapDictionaryLineIsExact) {
    TempDir dir;
    Bytes px(300 * 50, 0x40);
    writeFile(dir.file("a.bmp"), bitmapFile(infoHeader(40, 100, 50, 24, 0), {}, px));
    Output o = runDobmp(dir, dir.file("a.bmp"));
    EXPECT_EQ(o.dict,
              "<< /Type /XObject /Subtype /Image /Width 100 /Height 50 /Length 12 0 R /ColorSpace /DeviceRGB "
              "/BitsPerComponent 8 /Filter/FlateDecode>>\r\nstream\r\n");
    EXPECT_EQ(o.result, int(o.data.size()));
    EXPECT_EQ(o.width, 100);
    EXPECT_EQ(o.height, 50);
    EXPECT_EQ(inflateAll(o.data), Bytes(100 * 50 * 3, 0x40));
    EXPECT_EQ(o.sideObj, -7);
    EXPECT_FALSE(kdtest::fileExists(o.maskPath));
}

TEST(ImageWriter, CallerMaskObjectsAndColourKey) {
    TempDir dir;
    writeFile(dir.file("a.bmp"), bitmapFile(infoHeader(40, 4, 2, 24, 0), {}, Bytes(24, 9)));
    DobmpCall call;
    call.smaskObj = 7;
    Output o = runDobmp(dir, dir.file("a.bmp"), call);
    EXPECT_NE(o.dict.find("/Length 12 0 R /SMask 7 0 R /ColorSpace"), std::string::npos) << o.dict;
    EXPECT_FALSE(kdtest::fileExists(o.maskPath));
    call.maskKind = "Mask";
    call.colourKeyMask = "[0 10 0 10 0 10]";
    call.invertDecode = 1;
    o = runDobmp(dir, dir.file("a.bmp"), call);
    EXPECT_NE(o.dict.find("/Length 12 0 R /Mask 7 0 R /ColorSpace /DeviceRGB /Decode [1 0 1 0 1 0 1 0] "
                          "/Mask [0 10 0 10 0 10] /BitsPerComponent 8"),
              std::string::npos)
        << o.dict;
    EXPECT_EQ(o.smaskObj, 7);
}

TEST(ImageWriter, IndexedBitmapWritesPaletteFile) {
    TempDir dir;
    Bytes pal;
    for (int i = 0; i < 256; ++i) pal.insert(pal.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0});
    // 1-bit, width 10: two packed bytes per row, padding dropped.
    Bytes px{0xAA, 0xC0, 0xEE, 0xEE, 0x55, 0x40, 0xEE, 0xEE};
    Bytes pal2{0, 0, 255, 0, 0, 255, 0, 0};  // red, green
    writeFile(dir.file("one.bmp"), bitmapFile(infoHeader(40, 10, 2, 1, 0), pal2, px));
    Output o = runDobmp(dir, dir.file("one.bmp"));
    EXPECT_NE(o.dict.find("/ColorSpace [/Indexed /DeviceRGB 1 13 0 R] /BitsPerComponent 1"), std::string::npos)
        << o.dict;
    EXPECT_EQ(o.sideObj, 13);
    EXPECT_EQ(readFile(o.sidePath), (Bytes{255, 0, 0, 0, 255, 0}));
    EXPECT_EQ(inflateAll(o.data), (Bytes{0x55, 0x40, 0xAA, 0xC0}));  // top row first

    writeFile(dir.file("p8.bmp"), bitmapFile(infoHeader(40, 3, 1, 8, 0), pal, {1, 2, 3, 0}));
    o = runDobmp(dir, dir.file("p8.bmp"));
    EXPECT_NE(o.dict.find("[/Indexed /DeviceRGB 255 13 0 R]"), std::string::npos);
    Bytes side = readFile(o.sidePath);
    ASSERT_EQ(side.size(), 768u);
    EXPECT_EQ(side[3 * 200 + 1], 55);
    EXPECT_EQ(inflateAll(o.data), (Bytes{1, 2, 3}));
}

TEST(ImageWriter, AlphaBitmapMaskKeptOrDropped) {
    TempDir dir;
    auto v4 = [&](const std::string& name, uint8_t alpha) {
        Bytes px;
        for (int i = 0; i < 6; ++i) px.insert(px.end(), {uint8_t(i), 20, 30, uint8_t(i == 4 ? alpha : 255)});
        writeFile(dir.file(name), bitmapFile(infoHeader(108, 3, 2, 32, 3, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), {}, px));
        return dir.file(name);
    };
    DobmpCall call;
    call.lengthObj = 20;
    Output o = runDobmp(dir, v4("opaque.bmp", 255), call);
    EXPECT_EQ(o.dict.substr(0, o.dict.find(" /ColorSpace")),
              "<< /Type /XObject /Subtype /Image /Width 3 /Height 2 /Length 20 0 R\r\n%/SMask 21 0 R\r\n");
    EXPECT_EQ(o.smaskObj, 0);
    EXPECT_EQ(o.maskData, Bytes(6, 255));

    o = runDobmp(dir, v4("alpha.bmp", 77), call);
    EXPECT_NE(o.dict.find("/Length 20 0 R\r\n /SMask 21 0 R\r\n /ColorSpace /DeviceRGB"), std::string::npos);
    EXPECT_EQ(o.smaskObj, 22);
    EXPECT_EQ(o.maskDict,
              "<< /Type /XObject /Subtype /Image /Width 3 /Height 2 /Length 22 0 R /ColorSpace /DeviceGray "
              "/BitsPerComponent 8 /Filter/FlateDecode>>\r\nstream\r\n");
    // Top row first: stored row 1 (pixels 3..5, the 77 at pixel 4).
    EXPECT_EQ(o.maskData, (Bytes{255, 77, 255, 255, 255, 255}));
    EXPECT_EQ(inflateAll(o.data), (Bytes{30, 20, 3, 30, 20, 4, 30, 20, 5, 30, 20, 0, 30, 20, 1, 30, 20, 2}));

    {  // top-down: the mask dictionary still has a positive height
        Bytes px(4 * 6, 9);
        writeFile(dir.file("td.bmp"),
                  bitmapFile(infoHeader(108, 3, -2, 32, 3, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), {}, px));
        Output td = runDobmp(dir, dir.file("td.bmp"), call);
        EXPECT_NE(td.maskDict.find(" /Width 3 /Height 2 "), std::string::npos) << td.maskDict;
        EXPECT_EQ(td.maskData, Bytes(6, 9));
    }
    call.smaskObj = -1;  // no mask wanted
    std::remove(o.maskPath.c_str());
    o = runDobmp(dir, v4("alpha2.bmp", 77), call);
    EXPECT_EQ(o.dict.find("SMask"), std::string::npos);
    EXPECT_FALSE(kdtest::fileExists(o.maskPath));

    call.smaskObj = 0;
    call.maskPath = dir.file("no/such/dir/mask.bin");
    EXPECT_EQ(runDobmp(dir, v4("alpha3.bmp", 77), call).result, -51);
}

TEST(ImageWriter, MaskImageRequests) {
    TempDir dir;
    writeFile(dir.file("bw.bmp"), bitmapFile(infoHeader(40, 8, 1, 1, 0), {0, 0, 0, 0, 255, 255, 255, 0}, {0xF0, 0, 0, 0}));
    DobmpCall call;
    call.maskPath = "ITSMASKIMAGE";
    call.maskKind = "Mask";
    Output o = runDobmp(dir, dir.file("bw.bmp"), call);
    EXPECT_NE(o.dict.find("/ColorSpace /DeviceGray /BitsPerComponent 1 /ImageMask true  /Filter/FlateDecode>>"),
              std::string::npos)
        << o.dict;
    writeFile(dir.file("rgb.bmp"), bitmapFile(infoHeader(40, 1, 1, 24, 0), {}, Bytes(4, 0)));
    EXPECT_EQ(runDobmp(dir, dir.file("rgb.bmp"), call).result, -100);
}

TEST(ImageWriter, RefusedKindsAndOpenFailures) {
    TempDir dir;
    gen("P", 5, 5, dir.file("a.gif"));
    Output o = runDobmp(dir, dir.file("a.gif"));
    EXPECT_EQ(o.result, -1);
    EXPECT_TRUE(kdtest::fileExists(o.dataPath));
    EXPECT_TRUE(o.dict.empty());
    gen("RGB", 5, 5, dir.file("i.png"), {});
    EXPECT_EQ(runDobmp(dir, dir.file("missing.png")).result, -500);
    int16_t w, h;
    int32_t s = 0, side = 0;
    EXPECT_EQ(dobmp(dir.file("i.png").c_str(), "", 1, &w, &h, 0, 0, "", "", &side, "", &s, 17, "", 1), -500);
    EXPECT_EQ(dobmp(dir.file("i.png").c_str(), dir.file("no/dir/x").c_str(), 1, &w, &h, 0, 0, "", "", &side, "", &s,
                    17, "", 1),
              -500);
    // Null texts are empty texts; null out-pointers are not written.
    EXPECT_GT(dobmp(dir.file("i.png").c_str(), dir.file("d").c_str(), 1, nullptr, nullptr, 0, 0, nullptr, nullptr,
                    nullptr, nullptr, nullptr, 17, nullptr, 1),
              0);
}

// An image whose data cannot be found is refused before its data file is
// created; data that are merely short are still written (as zeros).
TEST(ImageWriter, ImageWithoutDataLeavesNoDataFile) {
    TempDir dir;
    gen("RGB", 8, 4, dir.file("a.png"));
    gen("RGB", 8, 4, dir.file("a.jpg"));
    const Bytes png = readFile(dir.file("a.png")), jpg = readFile(dir.file("a.jpg"));
    auto find = [](const Bytes& b, const Bytes& what) {
        return size_t(std::search(b.begin(), b.end(), what.begin(), what.end()) - b.begin());
    };
    const size_t idat = find(png, {'I', 'D', 'A', 'T'}) - 4, sof = find(jpg, {0xFF, 0xC0});
    Bytes noIdat(png.begin(), png.begin() + long(idat));  // IHDR, a colour profile, the end of the file
    noIdat.insert(noIdat.end(), {0, 0, 0, 2, 'i', 'C', 'C', 'P', 1, 2, 0, 0, 0, 0});
    Bytes noFrame = jpg;
    noFrame.erase(noFrame.begin() + long(sof), noFrame.begin() + long(sof + 2 + (jpg[sof + 2] << 8 | jpg[sof + 3])));
    Bytes rle = bitmapFile(infoHeader(40, 4, 2, 8, 1), Bytes(1024, 0), {0, 1});
    rle[10] = uint8_t(rle.size() + 1);  // pixels past the end of the file
    for (const auto& [name, bytes] : {std::pair{"noidat.png", noIdat}, {"noframe.jpg", noFrame}, {"rle8.bmp", rle}}) {
        writeFile(dir.file(name), bytes);
        Output o = runDobmp(dir, dir.file(name));
        EXPECT_EQ(o.result, -1) << name;
        EXPECT_FALSE(kdtest::fileExists(o.dataPath) || kdtest::fileExists(o.maskPath)) << name;
    }
    writeFile(dir.file("cut.png"), Bytes(png.begin(), png.begin() + long(idat + 12)));
    EXPECT_EQ(runDobmp(dir, dir.file("cut.png")).data.size(), 4u);  // the four data bytes that are there
}

TEST(ImageWriter, JpegIsCopiedAndCmykDecodeFollowsAdobeMarker) {
    TempDir dir;
    gen("RGB", 30, 20, dir.file("rgb.jpg"));
    Output o = runDobmp(dir, dir.file("rgb.jpg"));
    EXPECT_EQ(o.dict,
              "<< /Type /XObject /Subtype /Image /Width 30 /Height 20 /Length 12 0 R /ColorSpace /DeviceRGB "
              "/BitsPerComponent 8 /Filter/DCTDecode>>\r\nstream\r\n");
    EXPECT_EQ(o.data, readFile(dir.file("rgb.jpg")));
    EXPECT_EQ(o.result, int(o.data.size()));

    gen("CMYK", 16, 8, dir.file("adobe.jpg"));
    gen("CMYK", 16, 8, dir.file("plain.jpg"), {"adobe=0"});
    o = runDobmp(dir, dir.file("adobe.jpg"));
    EXPECT_NE(o.dict.find("/ColorSpace /DeviceCMYK /Decode [1 0 1 0 1 0 1 0] /BitsPerComponent 8"), std::string::npos);
    o = runDobmp(dir, dir.file("plain.jpg"));
    EXPECT_NE(o.dict.find("/ColorSpace /DeviceCMYK /BitsPerComponent 8"), std::string::npos) << o.dict;
    EXPECT_EQ(o.data, readFile(dir.file("plain.jpg")));
    DobmpCall call;
    call.invertDecode = 1;
    o = runDobmp(dir, dir.file("plain.jpg"), call);
    EXPECT_NE(o.dict.find("/Decode [1 0 1 0 1 0 1 0]"), std::string::npos);
}

TEST(ImageWriter, Jpeg2000FilesAreCopiedWhole) {
    TempDir dir;
    for (const char* name : {"a.jp2", "a.j2k"}) {
        gen("RGB", 21, 13, dir.file(name));
        Output o = runDobmp(dir, dir.file(name));
        EXPECT_EQ(o.dict,
                  "<< /Type /XObject /Subtype /Image /Width 21 /Height 13 /Length 12 0 R /ColorSpace /DeviceRGB "
                  "/BitsPerComponent 8 /Filter/JPXDecode /Intent/RelativeColorimetric>>\r\nstream\r\n")
            << name;
        EXPECT_EQ(o.data, readFile(dir.file(name)));
    }
}

TEST(ImageWriter, Jbig2PageWithAssociationRewrittenAndGlobals) {
    TempDir dir;
    for (bool sequential : {true, false}) {
        Jbig2Builder b(sequential, true);
        b.globals(Bytes(9, 0x5A));
        b.page(1, 8, 8, Bytes(4, 1));
        b.page(2, 16, 4, Bytes(6, 2), true);  // 4-byte associations
        b.page(3, 8, 8, Bytes(4, 3));
        writeFile(dir.file("a.jb2"), b.build());
        DobmpCall call;
        call.jbig2Page = 2;
        Output o = runDobmp(dir, dir.file("a.jb2"), call);
        EXPECT_EQ(o.dict,
                  "<< /Type /XObject /Subtype /Image /Width 16 /Height 4 /Length 12 0 R /ColorSpace /DeviceGray "
                  "/BitsPerComponent 1 /Filter/JBIG2Decode /DecodeParms<</JBIG2Globals 13 0 R>>>>\r\nstream\r\n");
        EXPECT_EQ(o.sideObj, 13);
        // Expected: page 2's page information and region, association 1.
        Bytes want;
        for (const auto& s : b.segments()) {
            if (s.page != 2 || s.type == 49) continue;
            Bytes h = s.header;
            h[6] = 0, h[7] = 0, h[8] = 0, h[9] = 1;
            want.insert(want.end(), h.begin(), h.end());
            want.insert(want.end(), s.data.begin(), s.data.end());
        }
        EXPECT_EQ(o.data, want) << (sequential ? "sequential" : "random access");
        Bytes globals = b.segments()[0].header;
        globals.insert(globals.end(), 9, 0x5A);
        EXPECT_EQ(readFile(o.sidePath), globals);

        call.jbig2Page = 3;  // one-byte association 3 becomes 1
        o = runDobmp(dir, dir.file("a.jb2"), call);
        ASSERT_GT(o.data.size(), 6u);
        EXPECT_EQ(o.data[6], 1);
    }
    Jbig2Builder plain(true, true);
    plain.page(1, 8, 8, Bytes(4, 1));
    writeFile(dir.file("p.jb2"), plain.build());
    Output o = runDobmp(dir, dir.file("p.jb2"));
    EXPECT_EQ(o.dict.find("DecodeParms"), std::string::npos);
    EXPECT_EQ(o.sideObj, -7);
}

TEST(ImageWriter, HuffmanBitmapPassesThroughWithCcittParameters) {
    TempDir dir;
    Bytes data{0x12, 0x34, 0x56, 0x78, 0x9A};
    writeFile(dir.file("wb.bmp"), bitmapFile(infoHeader(40, 16, 3, 1, 3), {255, 255, 255, 0, 0, 0, 0, 0}, data));
    Output o = runDobmp(dir, dir.file("wb.bmp"));
    EXPECT_EQ(o.dict,
              "<< /Type /XObject /Subtype /Image /Width 16 /Height 3 /Length 12 0 R /ColorSpace [/Indexed /DeviceRGB "
              "1 13 0 R] /BitsPerComponent 1 /Filter/CCITTFaxDecode\r\n /DecodeParms<</K 0/BlackIs1 true/Columns "
              "16/Rows 3>>\r\n>>\r\nstream\r\n");
    EXPECT_EQ(o.data, data);
    writeFile(dir.file("bw.bmp"), bitmapFile(infoHeader(40, 16, -3, 1, 3), {0, 0, 0, 0, 255, 255, 255, 0}, data));
    o = runDobmp(dir, dir.file("bw.bmp"));
    EXPECT_NE(o.dict.find("/ColorSpace /DeviceGray /BitsPerComponent 1 /Filter/CCITTFaxDecode\r\n "
                          "/DecodeParms<</K 0/BlackIs1 false/Columns 16/Rows 3>>"),
              std::string::npos);
}

TEST(ImageWriter, HeightOutIsTruncatedTo16Bits) {
    TempDir dir;
    gen("L", 2, 70000, dir.file("tall.png"));
    Output o = runDobmp(dir, dir.file("tall.png"));
    EXPECT_GT(o.result, 0);
    EXPECT_EQ(o.height, int16_t(70000 & 0xFFFF));
    EXPECT_NE(o.dict.find("/Height 70000 "), std::string::npos);
}
