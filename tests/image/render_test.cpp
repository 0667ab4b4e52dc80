// Real readers see the picture: dobmp's files wrapped in a minimal PDF and
// rendered by poppler (pdftoppm), metafiles drawn by libwmf, each compared
// with the source pixels.
#include <gtest/gtest.h>

#include "image/image_support.h"
#include "image/jbig2_builder.h"
#include "kdlib.h"

using namespace imgtest;

namespace {

// dobmp's files wrapped in a PDF and rendered by pdftoppm: the largest
// channel difference from `expected` (an image file, composited over white
// paper first), or 999 when rendering failed.
int renderOf(const TempDir& dir, const std::string& image, int w, int h, const std::string& expected,
             const DobmpCall& call = {}) {
    const Output o = runDobmp(dir, image, call);
    EXPECT_GT(o.result, 0) << image;
    return renderedDifference(o,
                              {"render", dir.file("render.png"), "width=" + std::to_string(w),
                               "height=" + std::to_string(h), "compare=" + expected},
                              call.lengthObj);
}

}  // namespace

TEST(Render, EveryWrittenKindMatchesItsSource) {
    const struct {
        const char* name;
        Source image;
        int tolerance;
        const char* source = nullptr;  // what it must look like, when not the file itself
    } cases[] = {{"rgb.bmp", Source("RGB"), 1},    {"pal.bmp", Source("P"), 1},     {"grey.bmp", Source("L"), 1},
                 {"rgb.png", Source("RGB", {"chunks=3"}), 1}, {"rgba.png", Source("RGBA"), 2},
                 {"a.jpg", Source("RGB"), 3},     {"a.jp2", Source("RGB"), 3},     {"a.j2k", Source("RGB"), 3},
                 // poppler's CMYK to RGB is not Pillow's naive one: allow for
                 // it, but an inverted picture is far beyond this.
                 {"adobe.jpg", Source("CMYK"), 100, "rgb.bmp"},
                 {"plain.jpg", Source("CMYK", {"adobe=0", "invert=1"}), 100, "rgb.bmp"}};
    TempDir dir;
    writeSources(dir, cases, 40, 24);
    for (const auto& c : cases)  // a soft mask shows the white paper through
        EXPECT_LE(renderOf(dir, dir.file(c.name), 40, 24, dir.file(c.source ? c.source : c.name)), c.tolerance) << c.name;
}

TEST(Render, Jbig2PageAndHuffmanRows) {
    TempDir dir;
    ASSERT_EQ(runPython("img_tool.py", {"mmr", "32", "16", dir.file("p2.mmr"), dir.file("p2.png")}), 0);
    Jbig2Builder b(true, true);
    b.page(1, 16, 8, Bytes(5, 1));  // other pages' data is never read
    b.page(2, 32, 16, readFile(dir.file("p2.mmr")), true);
    b.page(3, 16, 8, Bytes(5, 3));
    writeFile(dir.file("a.jb2"), b.build());
    EXPECT_EQ(renderOf(dir, dir.file("a.jb2"), 32, 16, dir.file("p2.png"), {12, 0, 2}), 0);

    // One-dimensional modified Huffman rows (T.4 terminating codes): white
    // w1, black 4, white 12 - w1 for w1 = 2..5, then an all-white row.
    const char* white[] = {"", "", "0111", "1000", "1011", "1100", "1110", "1111", "10011", "10100", "00111"};
    std::string bits;
    for (int w1 = 2; w1 < 6; ++w1) bits += white[w1] + std::string("011") + white[12 - w1];
    bits += "101010";  // white 16
    Bytes data;
    for (size_t i = 0; i < bits.size(); i += 8)
        data.push_back(uint8_t(std::stoi((bits + "0000000").substr(i, 8), nullptr, 2)));
    writeFile(dir.file("h.bmp"), bitmapFile(infoHeader(40, 16, -5, 1, 3), {0, 0, 0, 0, 255, 255, 255, 0}, data));
    std::string rows = "P6 16 5 255\n";  // white but for the black runs
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 16; ++x) rows.append(3, y < 4 && x >= 2 + y && x < 6 + y ? '\0' : '\xFF');
    writeFile(dir.file("rows.ppm"), rows);
    EXPECT_EQ(renderOf(dir, dir.file("h.bmp"), 16, 5, dir.file("rows.ppm")), 0);
}

TEST(Metafile, OneStretchedCopyOfTheBitmapThatLibwmfDraws) {
    TempDir dir;
    gen("RGB", 64, 48, dir.file("a.bmp"));
    ASSERT_NE(bmp2wmf(dir.file("a.bmp").c_str(), dir.file("a.wmf").c_str()), 0);
    const Bytes wmf = readFile(dir.file("a.wmf"));
#ifndef _WIN32
    const size_t header = 22;  // our metafiles are placeable
    int32_t k, w, h, b, e, p;
    ASSERT_EQ(GetPicInfo(dir.file("a.wmf").c_str(), &k, &w, &h, &b, &e, 1, &p), 0);
    EXPECT_EQ(std::vector<int>({k, w, h}), std::vector<int>({6, 64, 48}));
#else
    const size_t header = 0;  // GDI's disk metafile
#endif
    EXPECT_EQ(getLE(wmf, header + 6, 4) * 2 + header, wmf.size());
    const auto records = metafileRecords(wmf, header);
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records.back().function, 0u);  // the end record
    Bytes dib;
    for (const MetaRecord& r : records) {
        // Raster operation, (usage,) source height, width, y, x, then the destination's.
        if (r.function != 0x0F43 && r.function != 0x0B41) continue;
        const size_t at = r.params + (r.function == 0x0F43 ? 2 : 0);
        EXPECT_TRUE(dib.empty()) << "one drawing";
        EXPECT_EQ(getLE(wmf, r.params, 4), 0x00CC0020u);
        EXPECT_EQ(std::vector<uint32_t>({getLE(wmf, at + 12, 2), getLE(wmf, at + 14, 2), getLE(wmf, at + 16, 2),
                                         getLE(wmf, at + 18, 2)}),
                  std::vector<uint32_t>({48, 64, 0, 0}));
        dib.assign(wmf.begin() + long(at + 20), wmf.begin() + long(r.end));
    }
    ASSERT_GT(dib.size(), 40u);
#ifndef _WIN32
    ASSERT_EQ(runPython("img_tool.py", {"wmf", dir.file("a.wmf"), dir.file("drawn.png"), "64", "48"}), 0);
    const std::string drawn = dir.file("drawn.png");
#else
    // libwmf does not draw GDI's 32-bit bit-field DIB: Pillow reads the
    // record's DIB as a bitmap file instead.
    const uint32_t bits = getLE(dib, 14, 2), colours = getLE(dib, 32, 4);
    const size_t pixels = getLE(dib, 0, 4) + (getLE(dib, 16, 4) == 3 ? 12 : 0) +
                          4 * (bits <= 8 ? (colours ? colours : 1u << bits) : colours);
    writeFile(dir.file("drawn.bmp"), bitmapFile(Bytes(dib.begin(), dib.begin() + long(pixels)), {},
                                                Bytes(dib.begin() + long(pixels), dib.end())));
    const std::string drawn = dir.file("drawn.bmp");
#endif
    std::string report;
    EXPECT_EQ(runPython("img_tool.py", {"compare", drawn, dir.file("a.bmp"), "2", "interior=1"}, &report), 0) << report;

    // A bitmap that cannot be read: 0, and a metafile of its end record only.
    EXPECT_EQ(bmp2wmf(dir.file("missing.bmp").c_str(), dir.file("b.wmf").c_str()), 0);
    EXPECT_EQ(metafileRecords(readFile(dir.file("b.wmf"))).size(), 1u);
    EXPECT_EQ(bmp2wmf(nullptr, dir.file("c.wmf").c_str()), 0);
    EXPECT_EQ(bmp2wmf(dir.file("a.bmp").c_str(), dir.file("no/dir/c.wmf").c_str()), 0);
}
