// Line breaking (ww) and trimming (_pvTrimA/_pvTrimW) of DejaVu Sans text,
// measured against the advances fontTools reads from the font.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "kdlib.h"
#include "text/wrap_font_facts.h"

namespace {

constexpr float kSize = 10.0f;
const char* kFace = "DejaVu Sans";

// first and last character (from 1), width
using Line = std::array<int32_t, 3>;

// ww's three metric entries and its lines.
std::pair<std::vector<int32_t>, std::vector<Line>> wrap(const std::string& text, float maxWidth, int wordWrap,
                                                        uint16_t codePage = 1252) {
    std::vector<int32_t> array(3 + 3 * (text.size() + 1), -7);
    const int32_t n = ww(text.c_str(), kFace, kSize, 0, 0, maxWidth, array.data(), static_cast<int16_t>(wordWrap),
                         codePage, 0);
    std::vector<Line> lines;
    for (int k = 0; k < n; ++k) lines.push_back({array[3 + 3 * k], array[4 + 3 * k], array[5 + 3 * k]});
    return {std::vector<int32_t>(array.begin(), array.begin() + 3), lines};
}

int32_t trim(const std::string& text, float box, int mode) {
    return _pvTrimA(text.c_str(), kFace, kSize, 0, 0, box, 0, 1252, static_cast<int16_t>(mode), 0);
}

class Wrap : public ::testing::Test {
protected:
    // The characters every test here measures.
    static void SetUpTestSuite() {
        facts_ = new wraptest::FontFacts(
            wraptest::readFacts("abcdefghijklmnopqrstuvwxyz \xE2\x80\xA6\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5"));
    }
    static void TearDownTestSuite() { delete facts_; }

    // Width in thousandths of an inch: whole pixels per character at the
    // tenfold size, summed.
    static float w(const std::u16string& text) {
        long pixels = 0;
        for (char16_t u : text) {
            const int index = u == ' ' ? 26 : u == 0x2026 ? 27 : u >= 0x03B1 ? 28 + (u - 0x03B1) : u - 'a';
            pixels += std::lround(double(facts_->advances.at(index)) * wraptest::tenfoldPpem(kSize) / facts_->upem);
        }
        return static_cast<float>(static_cast<double>(pixels) * 100.0 / 96);
    }
    static float w(const std::string& ascii) { return w(std::u16string(ascii.begin(), ascii.end())); }
    template <class Text>
    static int whole(const Text& text) { return static_cast<int>(w(text)); }

    static wraptest::FontFacts* facts_;
};
wraptest::FontFacts* Wrap::facts_ = nullptr;

TEST_F(Wrap, MetricEntriesComeFromTheTenfoldFont) {
    const auto [metrics, lines] = wrap("", 1000, 0);
    EXPECT_TRUE(lines.empty());
    const wraptest::FontFacts& f = *facts_;
    auto px = [&](int units) { return std::lround(static_cast<double>(units) * wraptest::tenfoldPpem(kSize) / f.upem); };
    const long ascent = px(f.winAscent), descent = px(f.winDescent);
    const long gap = px(std::max(0, f.lineGap - (f.winAscent + f.winDescent - f.hheaAscender + f.hheaDescender)));
    EXPECT_EQ(metrics, (std::vector<int32_t>{static_cast<int32_t>((ascent + descent) * 100 / 96),
                                             static_cast<int32_t>(gap * 100 / 96), static_cast<int32_t>(ascent * 100 / 96)}));
}

// Lines as (first, last, width): a carriage return ends a line; a word
// breaks before the character that does not fit, or at its space with word
// wrap, the new line beginning with the space; a line exactly as wide as
// the column stays whole.
TEST_F(Wrap, LinesBreakWhereTheColumnIsFull) {
    const struct {
        std::string text;
        float column;
        int wordWrap;
        std::vector<Line> lines;
    } cases[] = {
        {"ab\rcd", 100000, 0, {{1, 2, whole("ab")}, {4, 5, whole("cd")}}},
        {"\r", 100000, 0, {{1, 0, 0}}},
        {"abcdefgh", w("abcd"), 0, {{1, 4, whole("abcd")}, {5, 8, whole("efgh")}}},
        {"aaa bbb", w("aaa b") + 1, 1, {{1, 3, whole("aaa")}, {4, 7, whole(" bbb")}}},
        {"aaa bbb", w("aaa bbb"), 1, {{1, 7, whole("aaa bbb")}}},
        // Word wrap scans again from the space, so a second one opens the line.
        {"aaa  bbb", w("aaa b") + 1, 1, {{1, 3, whole("aaa")}, {5, 8, whole(" bbb")}}},
        {"aaa  bbbbbb", w("aaa b") + 1, 0, {{1, 3, whole("aaa")}, {4, 8, whole("  bbb")}, {9, 11, whole("bbb")}}},
    };
    for (const auto& c : cases) EXPECT_EQ(wrap(c.text, c.column, c.wordWrap).second, c.lines) << c.text << " in " << c.column;
}

// Greek in 1253 and the same text in UTF-8 and UTF-16BE (UTF-16LE: the
// trimming test).
TEST_F(Wrap, UnicodeCodePagesGoToTheUtf16Twin) {
    const std::u16string units = u"\u03b1\u03b2\u03b3 \u03b4\u03b5";
    std::string be;
    for (char16_t u : units + u'\0') be += {static_cast<char>(u >> 8), static_cast<char>(u & 0xFF)};
    const float column = w(units.substr(0, 4)) + 1;
    const auto expected = wrap("\xe1\xe2\xe3 \xe4\xe5", column, 1, 1253);
    EXPECT_EQ(expected.second, (std::vector<Line>{{1, 3, whole(u"\u03b1\u03b2\u03b3")}, {4, 6, whole(u" \u03b4\u03b5")}}));
    EXPECT_EQ(wrap("\xce\xb1\xce\xb2\xce\xb3 \xce\xb4\xce\xb5", column, 1, 65001), expected);
    EXPECT_EQ(wrap(be, column, 1, 1201), expected);
}

TEST(WrapFailures, NullPointersAndOddSizes) {
    std::vector<int32_t> array(12, 0);
    EXPECT_EQ(ww("abc", kFace, 10, 0, 0, 100, nullptr, 0, 1252, 0), -1);
    EXPECT_EQ(wwW("abc", kFace, 10, 0, 0, 100, nullptr, 0, 1252, 0), -1);
    EXPECT_EQ(ww(nullptr, kFace, 10, 0, 0, 100, array.data(), 0, 1252, 0), 0);
    EXPECT_GT(array[0], 0);
    EXPECT_EQ(ww("abc", nullptr, 10, 0, 0, 100000, array.data(), 0, 1252, 0), 1);
    EXPECT_EQ(ww("abc", kFace, -5, 0, 0, 100000, array.data(), 0, 1252, 0), 1);
    // A size beyond the 16-bit range is saturated, not wrapped around.
    EXPECT_EQ(ww("abc", kFace, 1e30f, 0, 0, 1e9f, array.data(), 0, 1252, 0), 1);
    EXPECT_EQ(_pvTrimW(nullptr, kFace, kSize, 0, 0, 100, 0, 1200, 1, 0), 0);
    EXPECT_EQ(_pvTrimA(nullptr, nullptr, kSize, 0, 0, 100, 0, 1252, 1, 0), 0);
}

// What fits of a line: modes 0 and 1 (and above 5) by character, 2 at the
// last break, 3 and 4 the same with room kept for the ellipsis, 5 from both
// ends around the ellipsis (head x 100000 + tail, -1 when all fits).
TEST_F(Wrap, TrimmingModes) {
    const float e = w(u"\u2026"), six = w("one tw") + 0.5f, eight = w("one two ") + 0.5f;
    int beside = 0;  // characters of "one two three" that fit beside the ellipsis in `eight`
    while (w(std::string("one two three").substr(0, beside + 1)) <= eight - e) ++beside;
    const struct {
        std::string text;
        float box;
        int mode, fits;
    } cases[] = {
        {"one two", 100000, 1, 7},
        {"one two", six, 1, 6},
        {"one two", w("one tw"), 1, 6},  // exactly as wide still fits
        {"one two", six, 2, 4},
        {"one\rtwo", 100000, 1, 4},  // a carriage return ends the line
        {"onetwo", w("on"), 2, 0},  // no break in what fits
        {"one two three", eight, 3, beside},
        {"one two three", eight, 4, 4},
        {"one two", e - 1, 4, 0},
        {"ab", e + 1, 5, -1},
        {"abcdef", e + w("a") / 2, 5, 100000},
        {"abcdef", e, 5, 0},
        {"ab\rcdefgh", 100000, 5, -1},  // only the first line counts
    };
    for (const auto& c : cases) EXPECT_EQ(trim(c.text, c.box, c.mode), c.fits) << c.text << " mode " << c.mode;
    EXPECT_LT(beside, 8);
    // _pvTrimW converts like _pvTrimA; on UTF-16LE text both measure units.
    const std::string le("o\0n\0e\0 \0t\0w\0o\0\0\0", 16);
    EXPECT_EQ(_pvTrimA("one two", kFace, kSize, 0, 0, six, 0, 65001, 2, 0), 4);
    EXPECT_EQ(_pvTrimA(le.data(), kFace, kSize, 0, 0, six, 0, 1200, 2, 0), 4);
    EXPECT_EQ(_pvTrimW(le.data(), kFace, kSize, 0, 0, six, 0, 1200, 1, 0), 6);
}

}  // namespace
