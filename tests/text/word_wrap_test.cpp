#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kdlib.h"
#include "text/wrap_font_facts.h"
#include "text/word_wrap.h"

using wraptest::FontFacts;
using wraptest::widthOf;

namespace {

constexpr float kSize = 10.0f;
const char* kFace = "DejaVu Sans";

struct Line {
    int first, last, width;
    bool operator==(const Line& o) const { return first == o.first && last == o.last && width == o.width; }
};

std::ostream& operator<<(std::ostream& os, const Line& l) {
    return os << "(" << l.first << "," << l.last << " w" << l.width << ")";
}

struct Wrapped {
    int32_t result = 0;
    std::vector<int32_t> metrics;
    std::vector<Line> lines;
};

Wrapped wrap8(const std::string& text, float maxWidth, int wordWrap, uint16_t codePage = 1252) {
    std::vector<int32_t> array(3 + 3 * (text.size() + 1), -7);
    Wrapped w;
    w.result = ww(text.c_str(), kFace, kSize, 0, 0, maxWidth, array.data(), static_cast<int16_t>(wordWrap),
                  codePage, 0);
    w.metrics.assign(array.begin(), array.begin() + 3);
    for (int k = 0; k < w.result; ++k) w.lines.push_back({array[3 + 3 * k], array[4 + 3 * k], array[5 + 3 * k]});
    return w;
}

int trunc(float v) { return static_cast<int>(v); }

class WordWrap : public ::testing::Test {
protected:
    static void SetUpTestSuite() { facts_ = new FontFacts(wraptest::readFacts("abcdefghijklmnop \xe2\x80\xa6")); }
    static void TearDownTestSuite() { delete facts_; }
    // Width of letters of "abcdefghijklmnop" (indices into the facts).
    static float letters(int from, int count) { return widthOf(*facts_, from, count, wraptest::tenfoldPpem(kSize)); }
    static float space() { return widthOf(*facts_, 16, 1, wraptest::tenfoldPpem(kSize)); }
    static FontFacts* facts_;
};
FontFacts* WordWrap::facts_ = nullptr;

TEST_F(WordWrap, MetricEntriesComeFromTheTenfoldFont) {
    Wrapped w = wrap8("", 1000, 0);
    EXPECT_EQ(w.result, 0);
    const FontFacts& f = *facts_;
    int ppem = wraptest::tenfoldPpem(kSize);
    long ascent = std::lround(static_cast<double>(f.winAscent) * ppem / f.upem);
    long descent = std::lround(static_cast<double>(f.winDescent) * ppem / f.upem);
    EXPECT_EQ(w.metrics[0], (ascent + descent) * 100 / 96);
    EXPECT_EQ(w.metrics[2], ascent * 100 / 96);
    long gap = std::lround(std::max(0, f.lineGap - ((f.winAscent + f.winDescent) - (f.hheaAscender - f.hheaDescender))) *
                           static_cast<double>(ppem) / f.upem);
    EXPECT_EQ(w.metrics[1], gap * 100 / 96);
}

TEST_F(WordWrap, CarriageReturnsEndLines) {
    Wrapped w = wrap8("ab\rcd", 100000, 0);
    ASSERT_EQ(w.result, 2);
    EXPECT_EQ(w.lines[0], (Line{1, 2, trunc(letters(0, 2))}));
    EXPECT_EQ(w.lines[1], (Line{4, 5, trunc(letters(2, 2))}));

    w = wrap8("\r", 100000, 0);
    ASSERT_EQ(w.result, 1);
    EXPECT_EQ(w.lines[0], (Line{1, 0, 0}));

    // A line feed is an ordinary character; a trailing CR adds no line.
    w = wrap8("ab\r\r", 100000, 1);
    ASSERT_EQ(w.result, 2);
    EXPECT_EQ(w.lines[1], (Line{4, 3, 0}));
}

TEST_F(WordWrap, WordlessTextIsCutBeforeTheCharacterThatDoesNotFit) {
    // "abcdefgh" with room for "abcd" and a little more.
    float max = letters(0, 4) + 10;
    Wrapped w = wrap8("abcdefgh", max, 0);
    ASSERT_GE(w.result, 2);
    EXPECT_EQ(w.lines[0], (Line{1, 4, trunc(letters(0, 4))}));
    // The character that caused the cut opens the next line.
    EXPECT_EQ(w.lines[1].first, 5);
    int covered = 0;
    for (const Line& l : w.lines) {
        EXPECT_EQ(l.first, covered + 1);
        EXPECT_LE(l.width, max);
        EXPECT_EQ(l.width, trunc(letters(l.first - 1, l.last - l.first + 1)));
        covered = l.last;
    }
    EXPECT_EQ(covered, 8);
}

TEST_F(WordWrap, WordWrapBreaksAtTheSpaceAndTheNewLineBeginsWithIt) {
    // "aaa bbb" where only "aaa b" fits.
    std::string text = "aaa bbb";
    FontFacts f = wraptest::readFacts(text);
    int ppem = wraptest::tenfoldPpem(kSize);
    float fits = widthOf(f, 0, 5, ppem);
    for (int mode : {1, 0}) {
        Wrapped w = wrap8(text, fits + 1, mode);
        ASSERT_EQ(w.result, 2) << "mode " << mode;
        EXPECT_EQ(w.lines[0], (Line{1, 3, trunc(widthOf(f, 0, 3, ppem))}));
        EXPECT_EQ(w.lines[1], (Line{4, 7, trunc(widthOf(f, 3, 4, ppem))}));
    }
}

TEST_F(WordWrap, LongParagraphLinesStayWithinTheMaximum) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += std::string("abcdefghij").substr(0, 1 + i % 9) + " ";
    FontFacts f = wraptest::readFacts(text);
    int ppem = wraptest::tenfoldPpem(kSize);
    float max = 1500;
    Wrapped w = wrap8(text, max, 1);
    ASSERT_GT(w.result, 3);
    int next = 1;
    for (const Line& l : w.lines) {
        EXPECT_EQ(l.first, next);
        EXPECT_LE(l.width, max);
        if (l.last < static_cast<int>(text.size())) {
            // Word breaks: every line but the last ends before a space.
            EXPECT_EQ(text[l.last], ' ') << l;
            // The reported width is that of the line without its trailing
            // space run.
            int end = l.last;
            while (end > l.first && text[end - 1] == ' ') --end;
            EXPECT_EQ(l.width, trunc(widthOf(f, l.first - 1, end - l.first + 1, ppem))) << l;
        }
        next = l.last + 1;
    }
    EXPECT_EQ(next, static_cast<int>(text.size()) + 1);
}

TEST_F(WordWrap, UnicodeCodePagesGoToTheUtf16Twin) {
    // Greek in 1253 and the same text in UTF-8 and UTF-16LE/BE.
    std::string greek1253 = "\xe1\xe2\xe3 \xe4\xe5";
    std::string utf8 = "\xce\xb1\xce\xb2\xce\xb3 \xce\xb4\xce\xb5";
    std::u16string units = u"\u03b1\u03b2\u03b3 \u03b4\u03b5";
    std::string le, be;
    for (char16_t u : units) {
        le += static_cast<char>(u & 0xFF);
        le += static_cast<char>(u >> 8);
        be += static_cast<char>(u >> 8);
        be += static_cast<char>(u & 0xFF);
    }
    le += std::string(2, '\0');
    be += std::string(2, '\0');
    FontFacts f = wraptest::readFacts(utf8);
    int ppem = wraptest::tenfoldPpem(kSize);
    float max = widthOf(f, 0, 4, ppem) + 1;

    auto run = [&](const std::string& text, uint16_t cp) {
        std::vector<int32_t> array(3 + 3 * 12, 0);
        int32_t n = ww(text.data(), kFace, kSize, 0, 0, max, array.data(), 1, cp, 0);
        array.resize(3 + 3 * std::max(0, n));
        return array;
    };
    std::vector<int32_t> expected = run(greek1253, 1253);
    ASSERT_EQ(expected.size(), 3u + 6u);
    EXPECT_EQ(expected[5], trunc(widthOf(f, 0, 3, ppem)));
    EXPECT_EQ(run(utf8, 65001), expected);
    EXPECT_EQ(run(le, 1200), expected);
    EXPECT_EQ(run(be, 1201), expected);
}

TEST(WordWrapFailures, NullPointersAndOddSizes) {
    std::vector<int32_t> array(12, 0);
    EXPECT_EQ(ww("abc", "DejaVu Sans", 10, 0, 0, 100, nullptr, 0, 1252, 0), -1);
    EXPECT_EQ(wwW("abc", "DejaVu Sans", 10, 0, 0, 100, nullptr, 0, 1252, 0), -1);
    EXPECT_EQ(ww(nullptr, "DejaVu Sans", 10, 0, 0, 100, array.data(), 0, 1252, 0), 0);
    EXPECT_GT(array[0], 0);
    EXPECT_EQ(ww("abc", nullptr, 10, 0, 0, 100000, array.data(), 0, 1252, 0), 1);
    EXPECT_EQ(ww("abc", "DejaVu Sans", 0, 0, 0, 100000, array.data(), 0, 1252, 0), 1);
    EXPECT_EQ(ww("abc", "DejaVu Sans", -5, 0, 0, 100000, array.data(), 0, 1252, 0), 1);
    // A size beyond the 16-bit range is saturated, not wrapped around.
    EXPECT_EQ(ww("abc", "DejaVu Sans", 1e30f, 0, 0, 1e9f, array.data(), 0, 1252, 0), 1);
    EXPECT_EQ(kd::tenfoldSize(1e30f), 32767);
    EXPECT_EQ(kd::tenfoldSize(12.34f), 123);
}

}  // namespace
