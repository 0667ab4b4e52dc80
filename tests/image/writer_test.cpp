// dobmp's dictionaries, one row per image kind and PDF version: the exact
// text before the stream, the soft-mask file's, and the object numbers
// handed back; then what the pass-through kinds put behind the dictionary.
#include <gtest/gtest.h>

#include <cstdio>

#include "image/image_support.h"
#include "image/jbig2_builder.h"
#include "kdlib.h"

using namespace imgtest;

namespace {

Bytes alphaBitmap(uint8_t alpha, int32_t height = 2) {
    Bytes px;
    for (int i = 0; i < 6; ++i) px.insert(px.end(), {uint8_t(i), 20, 30, uint8_t(i == 4 ? alpha : 255)});
    return bitmapFile(infoHeader(108, 3, height, 32, 3, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), {}, px);
}
Bytes runLength(bool holes) {
    const Bytes pal(1024, 0);
    Bytes rle;
    for (int y = 0; y < 2; ++y) rle.insert(rle.end(), {4, 7, 0, 0});
    rle.insert(rle.end(), {0, 1});
    return bitmapFile(infoHeader(40, holes ? 5 : 4, 2, 8, 1), pal, rle);
}
const Bytes kGreyPalette{0, 0, 0, 0, 255, 255, 255, 0}, kWhiteFirst{255, 255, 255, 0, 0, 0, 0, 0};

}  // namespace

TEST(ImageWriter, DictionariesOfEveryKind) {
    const std::string rgb = " /ColorSpace /DeviceRGB", grey = " /ColorSpace /DeviceGray", b8 = " /BitsPerComponent 8";
    const std::string flate = " /Filter/FlateDecode", dct = " /Filter/DCTDecode", cmyk = " /ColorSpace /DeviceCMYK";
    const std::string jpx = rgb + b8 + " /Filter/JPXDecode /Intent/RelativeColorimetric";
    const std::string jbig2 = grey + " /BitsPerComponent 1 /Filter/JBIG2Decode", decode = " /Decode [1 0 1 0 1 0 1 0]";
    const std::string rgb8 = rgb + b8 + flate, mask8 = grey + b8 + " ", mask1 = grey + " /BitsPerComponent 1 ";
    auto predictor = [](int bits, int colours) {
        return " /Filter/FlateDecode\r\n /DecodeParms<</BitsPerComponent " + std::to_string(bits) + "/Colors " +
               std::to_string(colours) + "/Columns 12/Predictor 15>>\r\n";
    };
    auto indexed = [](int high, int obj) {
        return " /ColorSpace [/Indexed /DeviceRGB " + std::to_string(high) + " " + std::to_string(obj) + " 0 R]";
    };
    auto ccitt = [](const char* blackIs1) {
        return std::string(" /BitsPerComponent 1 /Filter/CCITTFaxDecode\r\n /DecodeParms<</K 0/BlackIs1 ") + blackIs1 +
               "/Columns 16/Rows 3>>\r\n";
    };
    auto smask = [](const char* line, int obj) { return "\r\n" + std::string(line) + std::to_string(obj) + " 0 R\r\n"; };
    struct Case {
        const char* name;
        Source image;
        DobmpCall call;
        std::string dict, maskDict = "";  // after " /Length n 0 R", before ">>\r\nstream\r\n"
        int32_t smaskOut = 0, sideOut = -7, width = 12, height = 6;
    } cases[] = {
        {"rgb.bmp", Source("RGB"), {}, rgb8},
        {"mask-object.bmp", Source("RGB"), {12, 7}, " /SMask 7 0 R" + rgb8, "", 7},
        {"colour-key.bmp", Source("RGB"), {12, 7, 1, 17, 1, "[0 10 0 10 0 10]", "Mask"},
         " /Mask 7 0 R" + rgb + decode + " /Mask [0 10 0 10 0 10]" + b8 + flate, "", 7},
        {"two.bmp", bitmapFile(infoHeader(40, 10, 2, 1, 0), {0, 0, 255, 0, 0, 255, 0, 0}, Bytes(8, 0)), {},
         indexed(1, 13) + " /BitsPerComponent 1" + flate, "", 0, 13, 10, 2},
        {"p8.bmp", Source("P"), {}, indexed(255, 13) + b8 + flate, "", 0, 13},
        {"opaque.bmp", alphaBitmap(255), {20}, smask("%/SMask ", 21) + rgb8, mask8, 0, -7, 3, 2},
        {"alpha.bmp", alphaBitmap(77, -2), {20}, smask(" /SMask ", 21) + rgb8, mask8, 22, -7, 3, 2},
        {"no-mask.bmp", alphaBitmap(77), {12, -1}, rgb8, "", -1, -7, 3, 2},
        {"full.bmp", runLength(false), {}, smask("%/SMask ", 13) + indexed(255, 15) + b8 + flate, mask1, 0, 15, 4, 2},
        {"holes.bmp", runLength(true), {}, smask(" /SMask ", 13) + indexed(255, 15) + b8 + flate, mask1, 14, 15, 5, 2},
        {"stencil.bmp", bitmapFile(infoHeader(40, 8, 1, 1, 0), kGreyPalette, Bytes(4, 0)),
         {12, 0, 1, 17, 0, "", "Mask", "ITSMASKIMAGE"}, mask1 + "/ImageMask true " + flate, "", 0, -7, 8, 1},
        {"huffman-wb.bmp", bitmapFile(infoHeader(40, 16, 3, 1, 3), kWhiteFirst, {1, 2, 3}), {},
         indexed(1, 13) + ccitt("true"), "", 0, 13, 16, 3},
        {"huffman-bw.bmp", bitmapFile(infoHeader(40, 16, -3, 1, 3), kGreyPalette, {1, 2, 3}), {}, grey + ccitt("false"),
         "", 0, -7, 16, 3},
        {"rgb.png", Source("RGB", {"chunks=3"}), {}, rgb + b8 + predictor(8, 3)},
        {"grey.png", Source("L"), {}, grey + b8 + predictor(8, 1)},
        {"p2.png", Source("P", {"colors=4"}), {}, indexed(3, 13) + " /BitsPerComponent 2" + predictor(2, 1), "", 0, 13},
        {"rgba.png", Source("RGBA"), {20}, smask(" /SMask ", 21) + rgb8, mask8, 22},
        {"opaque.png", Source("RGBA", {"opaque=1"}), {20}, smask("%/SMask ", 21) + rgb8, mask8},
        {"c16-14.png", Source("RGB", {"bits=16", "ct=2"}), {12, 0, 1, 14}, rgb8},
        {"c16-17.png", Source("RGB", {"bits=16", "ct=2"}), {}, rgb + " /BitsPerComponent 16" + predictor(16, 3)},
        {"ga16.png", Source("LA", {"bits=16", "ct=4"}), {}, smask(" /SMask ", 13) + grey + " /BitsPerComponent 16" + flate,
         grey + " /BitsPerComponent 16 ", 14},
        // A tRNS colour key or palette alphas give way to the host's key, to no
        // mask at all, or to the image being a mask itself.
        {"key.png", Source("RGB", {"chunks=1", "trns=key"}), {},
         rgb + " /Mask [10 10 110 110 210 210]" + b8 + predictor(8, 3)},
        {"key-none.png", Source("RGB", {"chunks=1", "trns=key"}), {12, -1}, rgb + b8 + predictor(8, 3), "", -1},
        {"key-host.png", Source("RGB", {"chunks=1", "trns=key"}), {12, 0, 1, 17, 0, "[1 2 3 4 5 6]"},
         rgb + " /Mask [1 2 3 4 5 6]" + b8 + predictor(8, 3)},
        {"key-stencil.png", Source("L", {"chunks=1", "trns=key"}), {12, 0, 1, 17, 0, "", "SMask", "ITSMASKIMAGE"},
         grey + b8 + predictor(8, 1)},
        {"alphas-none.png", Source("P", {"bits=4", "trns=0"}), {12, -1},
         indexed(15, 13) + " /BitsPerComponent 4" + predictor(4, 1), "", -1, 13},
        {"rgb.jpg", Source("RGB"), {}, rgb + b8 + dct},
        {"adobe.jpg", Source("CMYK"), {}, cmyk + decode + b8 + dct},
        {"plain.jpg", Source("CMYK", {"adobe=0"}), {}, cmyk + b8 + dct},
        {"a.jp2", Source("RGB"), {}, jpx},
        {"globals.jb2", threePages(false, true), {12, 0, 2}, jbig2 + " /DecodeParms<</JBIG2Globals 13 0 R>>", "", 0, 13,
         32, 10},
        {"plain.jb2", threePages(false, true, false), {12, 0, 3}, jbig2, "", 0, -7, 48, 11},
    };
    TempDir dir;
    writeSources(dir, cases);
    for (const Case& c : cases) {
        const std::string head = "<< /Type /XObject /Subtype /Image /Width " + std::to_string(c.width) + " /Height " +
                                 std::to_string(c.height) + " /Length ";
        std::remove(dir.file("mask.bin").c_str());
        Output o = runDobmp(dir, dir.file(c.name), c.call);
        EXPECT_GT(o.result, 0) << c.name;
        EXPECT_EQ(o.result, int(o.data.size())) << c.name;
        EXPECT_EQ(o.dict, head + std::to_string(c.call.lengthObj) + " 0 R" + c.dict + ">>\r\nstream\r\n") << c.name;
        EXPECT_EQ(o.maskDict, c.maskDict.empty() ? "" : head + std::to_string(c.call.lengthObj + 2) + " 0 R" +
                                                             c.maskDict + "/Filter/FlateDecode>>\r\nstream\r\n")
            << c.name;
        EXPECT_EQ(std::vector<int>({o.smaskObj, o.sideObj, o.width, o.height}),
                  std::vector<int>({c.smaskOut, c.sideOut, c.width, c.height}))
            << c.name << ": soft mask and side objects, width, height";
    }
}

TEST(ImageWriter, PassThroughKindsCopyTheirData) {
    TempDir dir;
    for (const char* name : {"a.jpg", "a.jp2", "a.j2k"}) {
        gen("RGB", 21, 13, dir.file(name));
        EXPECT_EQ(runDobmp(dir, dir.file(name)).data, readFile(dir.file(name))) << name;
    }
    // Random-access organisation (the sequential one is rendered by poppler).
    Jbig2Builder b(false, true);
    b.globals(Bytes(9, 0x5A));
    b.page(1, 8, 8, Bytes(4, 1));
    b.page(2, 16, 4, Bytes(6, 2), true);  // 4-byte associations
    b.page(3, 8, 8, Bytes(4, 3));
    writeFile(dir.file("a.jb2"), b.build());
    Bytes globals = b.segments()[0].header;
    globals.insert(globals.end(), 9, 0x5A);
    for (uint32_t page : {2u, 3u}) {
        Bytes want;  // the page's information and region, each association made 1
        for (const auto& s : b.segments()) {
            if (s.page != page || s.type == 49) continue;
            Bytes h = s.header;
            if (page == 2) h[6] = h[7] = h[8] = 0;
            h[page == 2 ? 9 : 6] = 1;
            want.insert(want.end(), h.begin(), h.end());
            want.insert(want.end(), s.data.begin(), s.data.end());
        }
        const Output o = runDobmp(dir, dir.file("a.jb2"), {12, 0, int32_t(page)});
        EXPECT_EQ(o.data, want) << page;
        EXPECT_EQ(readFile(o.sidePath), globals);
    }
}

TEST(ImageWriter, RefusedRequestsAndShortOrTallImages) {
    TempDir dir;
    gen("RGB", 5, 5, dir.file("rgb.bmp"));
    EXPECT_EQ(runDobmp(dir, dir.file("rgb.bmp"), {12, 0, 1, 17, 0, "", "Mask", "ITSMASKIMAGE"}).result, -100);
    gen("RGBA", 5, 5, dir.file("a.png"));
    EXPECT_EQ(runDobmp(dir, dir.file("a.png"), {12, 0, 1, 17, 0, "", "SMask", dir.file("no/dir/mask.bin")}).result, -51);
    // Null texts are empty texts; null out-pointers are not written.
    EXPECT_GT(dobmp(dir.file("rgb.bmp").c_str(), dir.file("d").c_str(), 1, nullptr, nullptr, 0, 0, nullptr, nullptr,
                    nullptr, nullptr, nullptr, 17, nullptr, 1),
              0);
    // Image data that are merely short are still written.
    gen("RGB", 8, 4, dir.file("a.png"));
    const Bytes png = readFile(dir.file("a.png"));
    const size_t idatData = std::string(png.begin(), png.end()).find("IDAT") + 4;
    writeFile(dir.file("cut.png"), Bytes(png.begin(), png.begin() + long(idatData + 4)));
    EXPECT_EQ(runDobmp(dir, dir.file("cut.png")).data.size(), 4u);  // the four data bytes that are there
    gen("L", 2, 70000, dir.file("tall.png"));
    const Output o = runDobmp(dir, dir.file("tall.png"));
    EXPECT_EQ(o.height, int16_t(70000 & 0xFFFF));
    EXPECT_NE(o.dict.find("/Height 70000 "), std::string::npos);
}

// (The image exports' other bad names are rows of the file-export table.)
// No file an export writes may replace the picture it reads: the soft mask
// of an image with alpha, the palette of a palette image, a metafile (made
// even for a bitmap that cannot be read).
TEST(ImageExports, NoOutputReplacesItsPicture) {
    TempDir dir;
    gen("RGBA", 4, 4, dir.file("a.png"));
    gen("P", 4, 4, dir.file("p.png"));
    gen("RGB", 4, 4, dir.file("a.bmp"));
    const std::string rgba = dir.file("a.png"), palette = dir.file("p.png"), bmp = dir.file("a.bmp");
    const auto contents = [&] { return std::vector<Bytes>{readFile(rgba), readFile(palette), readFile(bmp)}; };
    const std::vector<Bytes> before = contents();
    EXPECT_LT(dobmp(rgba.c_str(), dir.file("d").c_str(), 1, nullptr, nullptr, 0, 0, "", "", nullptr, rgba.c_str(),
                    nullptr, 17, "", 1),
              0);
    EXPECT_LT(dobmp(palette.c_str(), dir.file("d").c_str(), 1, nullptr, nullptr, 0, 0, "", palette.c_str(), nullptr,
                    "", nullptr, 17, "", 1),
              0);
    EXPECT_EQ(bmp2wmf(bmp.c_str(), bmp.c_str()), 0);
    EXPECT_EQ(contents(), before);
}
