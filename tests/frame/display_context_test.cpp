#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/display_context.h"

using namespace kd;

TEST(DisplayContext, CharacterSetOfCodePage) {
    EXPECT_EQ(charsetForCodePage(1252), 0);
    EXPECT_EQ(charsetForCodePage(65001), 1);
    EXPECT_EQ(charsetForCodePage(0), 1);
    EXPECT_EQ(charsetForCodePage(437), 1);
    EXPECT_EQ(charsetForCodePage(1361), 130);
    EXPECT_EQ(charsetForCodePage(42), 2);
    EXPECT_EQ(charsetForCodePage(1256), 178);
    EXPECT_EQ(charsetForCodePage(874), 222);
}

TEST(DisplayContext, PointSizeToPixels) {
    EXPECT_EQ(pointsToPixels(0, 96), 0);
    EXPECT_EQ(pointsToPixels(12, 96), 16);
    EXPECT_EQ(pointsToPixels(10, 120), 16);  // 1200 x 10 / 720, truncated
    EXPECT_EQ(pointsToPixels(72, 96), 96);
    EXPECT_EQ(pointsToPixels(-12, 96), -16);
}

TEST(DisplayContext, BuildLogFontFillsFiveFields) {
    DisplayContext dc;
    ASSERT_TRUE(dc);
    platform::LogFont lf;
    buildLogFont(dc.get(), lf, "DejaVu Sans", 12, 1, 2, 1251);
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_EQ(lf.lfCharSet, 204);
    EXPECT_STREQ(lf.lfFaceName, "DejaVu Sans");
    EXPECT_EQ(lf.lfWidth, 0);
    EXPECT_EQ(lf.lfQuality, 0);

    platform::LogFont zero;
    buildLogFont(dc.get(), zero, "X", 0, 0, 0, 1252);
    EXPECT_EQ(zero.lfHeight, 0);
    EXPECT_EQ(zero.lfWeight, 100);
}

TEST(DisplayContext, LongFaceNameIsCutToTheField) {
    DisplayContext dc;
    platform::LogFont lf;
    std::string name(80, 'n');
    buildLogFont(dc.get(), lf, name.c_str(), 10, 0, 0, 1252);
    EXPECT_EQ(std::strlen(lf.lfFaceName), 31u);
    platform::LogFont none;
    buildLogFont(dc.get(), none, nullptr, 10, 0, 0, 1252);
    EXPECT_STREQ(none.lfFaceName, "");
}
