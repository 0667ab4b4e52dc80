#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "kdlib.h"

namespace {

// Hebrew letters alef, bet, gimel in code page 1255; alef, beh, lam in 1256.
const std::string H1 = "\xE0", H2 = "\xE1", H3 = "\xE2";
const std::string A1 = "\xC7", A2 = "\xC8", A3 = "\xE1";

std::string bidi(const std::string& text, int32_t codePage = 1255) {
    std::string out(text.size() + 1, '~');
    EXPECT_EQ(formatBIDIString(text.data(), static_cast<int32_t>(text.size()), out.data(), codePage),
              static_cast<int32_t>(text.size()));
    EXPECT_EQ(out.back(), '~');
    out.resize(text.size());
    return out;
}

}  // namespace

TEST(Bidi, RightToLeftRunsAreReversedNumbersAndLatinKeepTheirOrder) {
    const struct {
        int32_t codePage;
        std::string text, shown;
    } cases[] = {
        {1255, H1 + H2 + H3, H3 + H2 + H1},
        {1255, "a " + H1 + H2 + " b", "a " + H2 + H1 + " b"},
        // Brackets inside a run are mirrored.
        {1255, H1 + "(" + H2 + ")" + H3, H3 + "(" + H2 + ")" + H1},
        // Digits joined by separators are one number, read left to right.
        {1255, H1 + " 12.5 " + H2, H2 + " 12.5 " + H1},
        {1255, H1 + " 1,,2", "2,,1 " + H1},
        {1255, H1 + " 1+2 " + H2, H2 + " 2+1 " + H1},  // "+" is no separator
        {1255, H1 + " 5\xA4" "3", "5\xA4" "3 " + H1},   // the new sheqel sign, in 1255 only
        {1256, A1 + " 3.14 " + A2, A2 + " 3.14 " + A1},
        {1256, A1 + " 1\xA1" "2", "1\xA1" "2 " + A1},  // the Arabic comma, in 1256 only
        {1256, "\xE0" + A2, "\xE0" + A2},              // E0 is a Latin letter in 1256
        // Other code pages are copied.
        {1252, H1 + H2 + " (1)", H1 + H2 + " (1)"},
    };
    for (const auto& c : cases) EXPECT_EQ(bidi(c.text, c.codePage), c.shown) << c.codePage << " " << c.text;
}

TEST(Bidi, BadArgumentsAndTheSameBufferBothWays) {
    char out[4] = {'~', '~', '~', '~'};
    for (int32_t length : {0, -5}) EXPECT_EQ(formatBIDIString("ab", length, out, 1255), 0);
    EXPECT_EQ(formatBIDIString(nullptr, 2, out, 1255), 0);
    EXPECT_EQ(formatBIDIString("ab", 2, nullptr, 1255), 0);
    EXPECT_EQ(std::string(out, 4), "~~~~");
    std::string inPlace = H1 + " 12 " + H2 + " x";
    EXPECT_EQ(formatBIDIString(inPlace.data(), static_cast<int32_t>(inPlace.size()), inPlace.data(), 1255),
              static_cast<int32_t>(inPlace.size()));
    EXPECT_EQ(inPlace, H2 + " 12 " + H1 + " x");
}

// Texts far past 32767 bytes: numbers near the end must come out exactly
// as in a short text.
TEST(Bidi, LongTextsKeepTheirNumbers) {
    // One right-to-left run over the whole text: the tokens come out in
    // reverse order, each number intact.
    std::mt19937 rng(99);
    std::string line = H1, reversed = H2;
    std::vector<std::string> tokens;
    while (line.size() < 70000) {
        tokens.push_back(rng() % 2 ? std::string(1, static_cast<char>(0xE0 + rng() % 27)) : std::to_string(rng() % 100000));
        line += " " + tokens.back();
    }
    for (auto it = tokens.rbegin(); it != tokens.rend(); ++it) reversed += " " + *it;
    EXPECT_EQ(bidi(line + " " + H2), reversed + " " + H1);
}
