#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "kdlib.h"
#include "text/bidi.h"

namespace {

// Hebrew letters alef, bet, gimel in code page 1255.
const std::string H1 = "\xE0", H2 = "\xE1", H3 = "\xE2";

std::string reference(const std::string& text, unsigned cp);

// Reorders through the export; the stepwise rules must give the same.
std::string bidi(const std::string& text, int32_t codePage = 1255) {
    std::string out(text.size() + 1, '~');
    const int32_t n = formatBIDIString(text.data(), static_cast<int32_t>(text.size()), out.data(), codePage);
    EXPECT_EQ(n, static_cast<int32_t>(text.size()));
    EXPECT_EQ(out.back(), '~');
    out.resize(text.size());
    if (codePage == 1255 || codePage == 1256) {
        EXPECT_EQ(out, reference(text, static_cast<unsigned>(codePage)));
    }
    return out;
}

// The reordering step by step, as the rules are written: classify, resolve
// directions into a work array, record number pairs, then emit with a
// right-to-left run buffer. The library derives a single pass from the same
// rules; both must agree on every input.
std::string reference(const std::string& text, unsigned cp) {
    const size_t len = text.size();
    const auto* src = reinterpret_cast<const uint8_t*>(text.data());
    auto isSeparator = [&](uint8_t b) {
        if (std::string("#$%,./:").find(static_cast<char>(b)) != std::string::npos) return true;
        if (cp == 1255) return b == 0xA0 || (b >= 0xA2 && b <= 0xA5) || (b >= 0xB0 && b <= 0xB3) || b == 0xB9 ||
                               (b >= 0xC0 && b <= 0xCD) || b == 0xCF || b == 0xD1 || b == 0xD2;
        return (b >= 0xA0 && b <= 0xA5) || (b >= 0xB0 && b <= 0xB3) || b == 0xB9;
    };
    std::vector<uint8_t> cls(len + 1);
    for (size_t i = 0; i < len; ++i) cls[i] = kd::bidiClass(cp, src[i]);
    cls[len] = kd::kBidiL;
    uint8_t p = 0;
    for (size_t i = 0; i < len;) {
        const uint8_t c = cls[i];
        if (c == kd::kBidiD) {
            cls[i++] = static_cast<uint8_t>(16 | p);
        } else if (c == kd::kBidiL || c == kd::kBidiR) {
            p = c;
            ++i;
        } else {
            size_t stop = i;
            while (cls[stop] == kd::kBidiW || cls[stop] == kd::kBidiN) ++stop;
            const uint8_t r = cls[stop] == kd::kBidiD ? p : (cls[stop] == p ? p : kd::kBidiL);
            for (size_t m = i; m < stop; ++m) {
                const bool wasW = cls[m] == kd::kBidiW;
                if (m > 0 && (cls[m - 1] & 16) && wasW && (cls[m + 1] & 16) && isSeparator(src[m])) {
                    cls[m] = static_cast<uint8_t>(r | 16);
                } else {
                    cls[m] = r;
                }
            }
            p = r;
            i = stop;
        }
    }
    std::vector<int64_t> pair(len, -1);
    std::string out;
    auto writeRun = [&](int64_t s, int64_t e) {
        for (int64_t k = e; k >= s;) {
            if (pair[static_cast<size_t>(k)] >= 0) {
                const int64_t b = pair[static_cast<size_t>(k)];
                out.append(text, static_cast<size_t>(b), static_cast<size_t>(pair[static_cast<size_t>(b)] - b + 1));
                k = b - 1;
            } else {
                char c = text[static_cast<size_t>(k)];
                const std::string from = "<>()[]", to = "><)(][";
                if (from.find(c) != std::string::npos) c = to[from.find(c)];
                out += c;
                --k;
            }
        }
    };
    int64_t numberStart = -1, rtlStart = -1, lastRtl = 0;
    for (size_t i = 0; i < len; ++i) {
        const int64_t at = static_cast<int64_t>(i);
        if (cls[i] & 16) {
            if (numberStart < 0) numberStart = at;
        } else if (numberStart >= 0) {
            pair[i - 1] = numberStart;
            pair[static_cast<size_t>(numberStart)] = at - 1;
            numberStart = -1;
        }
        if ((cls[i] & 15) == kd::kBidiR) {
            lastRtl = at;
            if (rtlStart < 0) rtlStart = at;
        } else {
            if (rtlStart >= 0) writeRun(rtlStart, lastRtl);
            rtlStart = -1;
            out += text[i];
        }
    }
    if (numberStart >= 0) {
        pair[len - 1] = numberStart;
        pair[static_cast<size_t>(numberStart)] = static_cast<int64_t>(len) - 1;
    }
    if (rtlStart >= 0) writeRun(rtlStart, lastRtl);
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

// Any bytes: the output is what the stepwise rules give, a permutation of
// the input with brackets mirrored; left-to-right-only text stays as it is.
TEST(Bidi, RandomBytesAgreeWithTheStepwiseRules) {
    std::mt19937 rng(5);
    // Bytes drawn mostly from the interesting ones: letters of both
    // directions, digits, separators, brackets, spaces.
    const std::string pool = "aZ \xE0\xE1\xC7\xC8\xFE" "0123456789.,:/#$%+-()<>[]\xA0\xA4\xA1\xB0\xC0\xF0";
    for (int round = 0; round < 20000; ++round) {
        std::string text(rng() % 60, '\0');
        for (char& c : text) c = rng() % 4 ? pool[rng() % pool.size()] : static_cast<char>(rng());
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
