// Interlaced PNGs and tRNS transparency, as a reader sees them: dobmp's files
// wrapped in a PDF over a coloured page and rendered by poppler, against the
// PNG composited on the same colour by Pillow, or by ImageMagick (libpng)
// where a tRNS chunk is involved (Pillow misreads keys at 1, 2, 4 and 16 bits).
#include <gtest/gtest.h>

#include <sstream>

#include "image/image_support.h"

using namespace imgtest;

namespace {

struct Case {
    int ct, bits, w, h;
    const char* opts;  // img_tool.py tpng options
    int pdfVersion;
    // How the transparency must come out: '-' none, 'k' a /Mask colour key,
    // 's' a soft mask, '%' a soft mask dropped as all opaque.
    char mask;
};

const Case kCases[] = {
    // Every colour type and depth, interlaced, sizes whose passes are partly empty.
    {0, 1, 13, 11, "interlace=1", 17, '-'},
    {0, 4, 1, 1, "interlace=1", 17, '-'},
    {0, 16, 5, 9, "interlace=1", 14, '-'},
    {2, 8, 13, 11, "interlace=1", 17, '-'},
    {2, 16, 6, 5, "interlace=1", 17, '-'},
    {3, 1, 13, 11, "interlace=1", 17, '-'},
    {3, 2, 7, 1, "interlace=1", 17, '-'},
    {3, 4, 2, 7, "interlace=1", 17, '-'},
    {4, 8, 13, 11, "interlace=1", 17, 's'},
    {4, 16, 5, 4, "interlace=1", 17, 's'},
    {6, 8, 13, 11, "interlace=1", 17, 's'},
    {6, 16, 9, 9, "interlace=1", 14, 's'},
    // Colour keys: a /Mask array up to 8 bits, a soft mask at 16 (readers
    // compare a 16-bit key with the high bytes only, or not at all).
    {0, 1, 13, 11, "trns=key", 17, 'k'},
    {0, 2, 13, 11, "trns=key interlace=1", 17, 'k'},
    {0, 8, 13, 11, "trns=key interlace=1", 17, 'k'},
    {0, 16, 13, 11, "trns=key interlace=1", 14, 's'},
    {0, 16, 13, 11, "trns=5", 14, '%'},
    {2, 8, 13, 11, "trns=key", 17, 'k'},
    {2, 16, 13, 11, "trns=key interlace=1", 17, 's'},
    // The same kinds as Pillow writes them.
    {0, 8, 13, 11, "trns=key pillow=1", 17, 'k'},
    {2, 8, 13, 11, "trns=key pillow=1", 17, 'k'},
    {3, 8, 13, 11, "trns=0,128 pillow=1", 17, 's'},
    // Palette alphas, passed through or interlaced.
    {3, 1, 13, 11, "trns=0", 17, 's'},
    {3, 2, 13, 11, "trns=0,128,255,60 interlace=1", 17, 's'},
    {3, 4, 13, 11, "trns=255,128,0", 17, 's'},
    {3, 8, 13, 11, "trns=0,128,255,60,200 interlace=1", 17, 's'},
    {3, 8, 1, 1, "trns=255,0", 17, '%'},
    // Chunks PNG readers ignore: all opaque, longer than the palette, wrong
    // length for the colour type, on a colour type with alpha.
    {3, 4, 13, 11, "trns=255,255", 17, '-'},
    {3, 2, 13, 11, "trns=0,0,0,0,0", 17, '-'},
    {0, 8, 13, 11, "trns=10,11", 17, '-'},
    {6, 8, 13, 11, "trns=key", 17, 's'},
};

}  // namespace

TEST(PngTransparency, EveryKindRendersAsPngReadersShowIt) {
    TempDir dir;
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::to_string(c.ct) + "/" + std::to_string(c.bits) + " " + c.opts);
        const std::string png = dir.file("t.png");
        std::vector<std::string> args{"tpng", std::to_string(c.ct), std::to_string(c.bits), std::to_string(c.w),
                                      std::to_string(c.h), png};
        std::istringstream words(c.opts);
        for (std::string word; words >> word;) args.push_back(word);
        ASSERT_EQ(runPython("img_tool.py", args), 0);
        const Output o = runDobmp(dir, png, {12, 0, 1, c.pdfVersion});
        ASSERT_GT(o.result, 0);

        const bool key = o.dict.find(" /Mask [") != std::string::npos;
        const bool smask = o.dict.find("\r\n /SMask 13 0 R\r\n") != std::string::npos && o.smaskObj == 14;
        const bool dropped = o.dict.find("\r\n%/SMask 13 0 R\r\n") != std::string::npos && o.smaskObj == 0;
        EXPECT_EQ(c.mask, key ? 'k' : smask ? 's' : dropped ? '%' : '-');

        EXPECT_LE(renderedDifference(o, {"tcheck", png}), 2);
    }
}
