#include <gtest/gtest.h>

#include <string>

#include "frame/display_context.h"

using namespace kd;

TEST(DisplayContext, CharacterSetsOfCodePages) {
    const std::pair<int, int> charsets[] = {{1252, 0}, {65001, 1}, {0, 1},    {437, 1},   {1361, 130},
                                            {42, 2},   {1256, 178}, {874, 222}, {1251, 204}, {1250, 238}};
    for (const auto& [codePage, charset] : charsets) EXPECT_EQ(charsetForCodePage(uint16_t(codePage)), charset) << codePage;
}

TEST(DisplayContext, FontDescriptionFromTheRequest) {
    struct Case {
        const char* face;
        int16_t points, italic, bold;
        uint16_t codePage;
        int height, weight, charset;
        std::string faceOut;
    } cases[] = {{"DejaVu Sans", 12, 1, 1, 1251, -16, 700, 204, "DejaVu Sans"},
                 {"DejaVu Sans", 12, 0, 2, 1252, -16, 700, 0, "DejaVu Sans"},
                 {"X", 0, 0, 0, 1252, 0, 100, 0, "X"},
                 {nullptr, 10, 0, 0, 1252, -13, 100, 0, ""},
                 {"nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn", 10, 0, 0, 1252, -13, 100, 0,
                  std::string(31, 'n')}};  // cut to the field
    DisplayContext dc;
    ASSERT_TRUE(dc);
    for (const Case& c : cases) {
        platform::LogFont lf;
        buildLogFont(dc.get(), lf, c.face, c.points, c.italic, c.bold, c.codePage);
        EXPECT_EQ(std::vector<int>({lf.lfHeight, lf.lfWeight, lf.lfItalic, lf.lfCharSet, lf.lfWidth, lf.lfQuality}),
                  std::vector<int>({c.height, c.weight, c.italic, c.charset, 0, 0}))
            << c.faceOut;
        EXPECT_EQ(std::string(lf.lfFaceName), c.faceOut);
    }
}
