#include <gtest/gtest.h>

#include <string>

#include "kdlib.h"
#include "text/wrap_font_facts.h"

using wraptest::FontFacts;
using wraptest::widthOf;

namespace {

constexpr float kSize = 10.0f;
const char* kFace = "DejaVu Sans";

int32_t trim(const std::string& text, float box, int mode, uint16_t codePage = 1252) {
    return _pvTrimA(text.c_str(), kFace, kSize, 0, 0, box, 0, codePage, static_cast<int16_t>(mode), 0);
}

class Trimming : public ::testing::Test {
protected:
    // Characters 0-6: "one two", 7: the ellipsis (what byte 0x85 shows in 1252).
    static void SetUpTestSuite() { facts_ = new FontFacts(wraptest::readFacts("one two\xe2\x80\xa6")); }
    static void TearDownTestSuite() { delete facts_; }
    static float w(int from, int count) { return widthOf(*facts_, from, count, wraptest::tenfoldPpem(kSize)); }
    static float ellipsis() { return w(7, 1); }
    static FontFacts* facts_;
};
FontFacts* Trimming::facts_ = nullptr;

TEST_F(Trimming, CharacterModesCutAfterTheLastCharacterThatFits) {
    EXPECT_EQ(trim("one two", 100000, 1), 7);
    EXPECT_EQ(trim("one two", 100000, 2), 7);  // everything fits: the length, word modes too
    EXPECT_EQ(trim("one two", w(0, 6) + 0.5f, 0), 6);
    EXPECT_EQ(trim("one two", w(0, 6) + 0.5f, 1), 6);
    EXPECT_EQ(trim("one two", w(0, 6) + 0.5f, 9), 6);  // modes above 5 act as 1
    EXPECT_EQ(trim("one two", w(0, 6), 1), 6);          // exactly as wide still fits
    EXPECT_EQ(trim("", 1000, 1), 0);
}

TEST_F(Trimming, WordModesCutAfterTheLastBreak) {
    // 'one tw' fits of 'one two'.
    EXPECT_EQ(trim("one two", w(0, 6) + 0.5f, 2), 4);
    // A carriage return ends the line; one that fits counts.
    EXPECT_EQ(trim("one\rtwo", 100000, 1), 4);
    EXPECT_EQ(trim("one\rtwo", 100000, 2), 4);
    // No break in what fits: nothing.
    EXPECT_EQ(trim("onetwo", w(0, 2), 2), 0);
}

TEST_F(Trimming, EllipsisModesKeepRoomForTheEllipsis) {
    float box = w(0, 6) + 0.5f;
    // Room for 'one tw' minus the ellipsis.
    int expected = 0;
    for (int n = 1; n <= 7; ++n)
        if (w(0, n) <= box - ellipsis()) expected = n;
    EXPECT_EQ(trim("one two", box, 3), expected);
    EXPECT_EQ(trim("one two", box, 4), expected >= 4 ? 4 : 0);
    // A box narrower than the ellipsis leaves no room at all.
    EXPECT_EQ(trim("one two", ellipsis() - 1, 3), 0);
    EXPECT_EQ(trim("one two", ellipsis() - 1, 4), 0);
}

TEST_F(Trimming, BothEndsMode) {
    float e = ellipsis();
    EXPECT_EQ(trim("ab", e + 1, 5), -1);
    EXPECT_EQ(trim("ab", 100000, 5), -1);
    FontFacts f = wraptest::readFacts("abcdef");
    float a = widthOf(f, 0, 1, wraptest::tenfoldPpem(kSize));
    EXPECT_EQ(trim("abcdef", e + a / 2, 5), 100000);
    EXPECT_EQ(trim("abcdef", e, 5), 0);
    EXPECT_EQ(trim("", e + 1, 5), -1);
    EXPECT_EQ(trim("", e, 5), 0);
    // Wide enough for 'ab' + ellipsis + 'f': head steps and tail alternate.
    float box = widthOf(f, 0, 2, wraptest::tenfoldPpem(kSize)) + widthOf(f, 5, 1, wraptest::tenfoldPpem(kSize)) + e + 1;
    int32_t r = trim("abcdef", box, 5);
    ASSERT_GT(r, 0);
    int head = r / 100000, tail = r % 100000;
    EXPECT_LE(head + tail, 6);
    EXPECT_GE(tail, 1);
    // Only the first line counts.
    EXPECT_EQ(trim("ab\rcdefgh", 100000, 5), -1);
}

TEST_F(Trimming, Utf16TwinMeasuresUnits) {
    std::u16string units = u"one two";
    std::string le;
    for (char16_t u : units) {
        le += static_cast<char>(u & 0xFF);
        le += static_cast<char>(u >> 8);
    }
    le += std::string(2, '\0');
    float box = w(0, 6) + 0.5f;
    EXPECT_EQ(_pvTrimA(le.data(), kFace, kSize, 0, 0, box, 0, 1200, 2, 0), 4);
    EXPECT_EQ(_pvTrimW(le.data(), kFace, kSize, 0, 0, box, 0, 1200, 1, 0), 6);
    EXPECT_EQ(_pvTrimW("one two", kFace, kSize, 0, 0, box, 0, 1252, 1, 0), 6);
    EXPECT_EQ(_pvTrimA("one two", kFace, kSize, 0, 0, box, 0, 65001, 2, 0), 4);
    EXPECT_EQ(_pvTrimW(nullptr, kFace, kSize, 0, 0, box, 0, 1200, 1, 0), 0);
    EXPECT_EQ(_pvTrimA(nullptr, nullptr, kSize, 0, 0, box, 0, 1252, 1, 0), 0);
}

}  // namespace
