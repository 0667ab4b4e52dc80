#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "kdlib.h"
#include "text/bidi.h"

namespace {

// Hebrew letters alef, bet, gimel in code page 1255.
const std::string H1 = "\xE0", H2 = "\xE1", H3 = "\xE2";

std::string bidi(const std::string& text, int32_t codePage = 1255) {
    std::string out(text.size() + 1, '~');
    const int32_t n = formatBIDIString(text.data(), static_cast<int32_t>(text.size()), out.data(), codePage);
    EXPECT_EQ(n, static_cast<int32_t>(text.size()));
    EXPECT_EQ(out.back(), '~');
    out.resize(text.size());
    return out;
}

}  // namespace

TEST(Bidi, ReordersHebrewRuns) {
    EXPECT_EQ(bidi("abc"), "abc");
    EXPECT_EQ(bidi(H1 + H2 + H3), H3 + H2 + H1);
    EXPECT_EQ(bidi("a " + H1 + H2 + " b"), "a " + H2 + H1 + " b");
    EXPECT_EQ(bidi(H1 + "(" + H2 + ")" + H3), H3 + "(" + H2 + ")" + H1);
    EXPECT_EQ(bidi(H1 + "<[" + H2), H2 + "]>" + H1);
    EXPECT_EQ(bidi(H1 + " ("), H1 + " (");
    EXPECT_EQ(bidi(H1 + " " + H2), H2 + " " + H1);
}

TEST(Bidi, NumbersKeepTheirOrder) {
    EXPECT_EQ(bidi(H1 + " 123 " + H2), H2 + " 123 " + H1);
    EXPECT_EQ(bidi(H1 + " 12.5 " + H2), H2 + " 12.5 " + H1);
    EXPECT_EQ(bidi(H1 + " 12.5"), "12.5 " + H1);
    EXPECT_EQ(bidi(H1 + " 1,,2"), "2,,1 " + H1);
    EXPECT_EQ(bidi("12 " + H1 + H2), "12 " + H2 + H1);
    EXPECT_EQ(bidi(H1 + " 1/2:3 " + H2), H2 + " 1/2:3 " + H1);
    EXPECT_EQ(bidi(H1 + " 1+2 " + H2), H2 + " 2+1 " + H1);  // "+" is no separator
    // The new sheqel sign (A4) joins digits in 1255 only.
    EXPECT_EQ(bidi(H1 + " 5\xA4" "3"), "5\xA4" "3 " + H1);
    EXPECT_EQ(bidi("a 1.5 b"), "a 1.5 b");
}

TEST(Bidi, ArabicCodePage) {
    const std::string alef = "\xC7", beh = "\xC8", lam = "\xE1";
    EXPECT_EQ(bidi(alef + beh + lam, 1256), lam + beh + alef);
    EXPECT_EQ(bidi(alef + " 3.14 " + beh, 1256), beh + " 3.14 " + alef);
    // Arabic comma (A1) joins digits in 1256.
    EXPECT_EQ(bidi(alef + " 1\xA1" "2", 1256), "1\xA1" "2 " + alef);
    // E0 is a Latin letter in 1256 and a Hebrew one in 1255.
    EXPECT_EQ(bidi("\xE0" + beh, 1256), "\xE0" + beh);
}

TEST(Bidi, OtherCodePagesAndBadArguments) {
    const std::string text = H1 + H2 + " (1)";
    EXPECT_EQ(bidi(text, 1252), text);
    EXPECT_EQ(bidi(text, 0), text);
    char out[4] = {'~', '~', '~', '~'};
    EXPECT_EQ(formatBIDIString("ab", 0, out, 1255), 0);
    EXPECT_EQ(formatBIDIString("ab", -5, out, 1255), 0);
    EXPECT_EQ(formatBIDIString(nullptr, 2, out, 1255), 0);
    EXPECT_EQ(formatBIDIString("ab", 2, nullptr, 1255), 0);
    EXPECT_EQ(std::string(out, 4), "~~~~");
    // The same buffer as source and destination.
    std::string inPlace = H1 + " 12 " + H2 + " x";
    EXPECT_EQ(formatBIDIString(inPlace.data(), static_cast<int32_t>(inPlace.size()), inPlace.data(), 1255),
              static_cast<int32_t>(inPlace.size()));
    EXPECT_EQ(inPlace, H2 + " 12 " + H1 + " x");
}

TEST(Bidi, ClassTablesCoverEveryByte) {
    for (unsigned cp : {1255u, 1256u}) {
        int counts[32] = {};
        for (unsigned b = 0; b < 256; ++b) ++counts[kd::bidiClass(cp, static_cast<uint8_t>(b))];
        EXPECT_EQ(counts[kd::kBidiD], 10);
        EXPECT_EQ(counts[kd::kBidiL] + counts[kd::kBidiR] + counts[kd::kBidiW] + counts[kd::kBidiN] + 10, 256);
    }
    EXPECT_EQ(kd::bidiClass(1255, 0xFA), kd::kBidiR);
    EXPECT_EQ(kd::bidiClass(1255, 0xFD), kd::kBidiL);
    EXPECT_EQ(kd::bidiClass(1256, 0xD7), kd::kBidiN);
    EXPECT_EQ(kd::bidiClass(1256, 0xBF), kd::kBidiR);
    EXPECT_EQ(kd::bidiClass(1252, 0xE0), kd::kBidiL);
}

// Texts far past 32767 bytes: numbers near the end must come out exactly
// as in a short text.
TEST(Bidi, LongTextsKeepTheirNumbers) {
    // Independent segments: the Latin word ends each right-to-left run.
    const std::string segment = H1 + " 123 " + H2 + " 4.5 " + H3 + " abc ";
    const std::string segmentOut = H3 + " 4.5 " + H2 + " 123 " + H1 + " abc ";
    std::string text, expected;
    while (text.size() < 100000) {
        text += segment;
        expected += segmentOut;
    }
    EXPECT_EQ(bidi(text), expected);

    // One right-to-left run over the whole text: the tokens come out in
    // reverse order, each number intact.
    std::mt19937 rng(99);
    std::vector<std::string> tokens;
    std::string line;
    while (line.size() < 70000) {
        std::string token = rng() % 2 ? std::string(1, static_cast<char>(0xE0 + rng() % 27)) + " "
                                      : std::to_string(rng() % 100000) + " ";
        tokens.push_back(token);
        line += token;
    }
    line = H1 + " " + line + H2;
    std::string reversed = H2;
    for (auto it = tokens.rbegin(); it != tokens.rend(); ++it) {
        // Each token is "x " in reading order; reversed it shows " x".
        reversed += " " + it->substr(0, it->size() - 1);
    }
    reversed += " " + H1;
    EXPECT_EQ(bidi(line), reversed);
}

// Any bytes: the output is a permutation of the input with brackets
// mirrored, and left-to-right-only text stays as it is.
TEST(Bidi, RandomBytesArePermuted) {
    std::mt19937 rng(5);
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 200, '\0');
        for (char& c : text) c = static_cast<char>(rng());
        for (int32_t cp : {1255, 1256}) {
            std::string out = bidi(text, cp);
            auto fold = [](std::string s) {
                for (char& c : s) {
                    if (c == ')' || c == ']' || c == '>') c = static_cast<char>(c == ')' ? '(' : c == ']' ? '[' : '<');
                }
                std::sort(s.begin(), s.end());
                return s;
            };
            ASSERT_EQ(fold(out), fold(text));
            bool anyRtl = false;
            for (char c : text) anyRtl |= kd::bidiClass(static_cast<unsigned>(cp), static_cast<uint8_t>(c)) == kd::kBidiR;
            if (!anyRtl) {
                ASSERT_EQ(out, text);
            }
        }
    }
}
