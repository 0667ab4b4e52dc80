// Right-to-left text: Arabic shaping into presentation forms and back, and
// the reordering of Hebrew and Arabic lines for display.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "kdlib.h"
#include "text/arabic_shaping.h"

namespace {

using Units = std::vector<uint16_t>;

// Runs a shaping export with room for `room` units and a guard unit after
// them: nothing is written past the room, and the units after the count
// are zero.
Units run(int32_t (*fn)(const uint16_t*, int32_t, uint16_t*, int32_t*), const Units& in, size_t room) {
    Units out(room + 1, 0xBEEF);
    int32_t count = static_cast<int32_t>(room);
    EXPECT_EQ(fn(in.data(), static_cast<int32_t>(in.size()), out.data(), &count), 0);
    EXPECT_EQ(out.back(), 0xBEEF) << "wrote past the room";
    EXPECT_TRUE(count >= 0 && static_cast<size_t>(count) <= room) << count;
    out.resize(room);
    for (size_t i = static_cast<size_t>(count); i < room; ++i) EXPECT_EQ(out[i], 0) << "tail at " << i;
    out.resize(static_cast<size_t>(count));
    return out;
}

Units toForms(const Units& in, bool ltr) { return run(ltr ? _arabic_toformsb_ltr : _arabic_toformsb_rtl, in, in.size()); }
Units fromForms(const Units& in, bool ltr) {
    return run(ltr ? _arabic_fromformsb_ltr : _arabic_fromformsb_rtl, in, 2 * in.size());
}

const uint16_t kBeh = 0x0628, kLam = 0x0644, kAlef = 0x0627, kTatweel = 0x0640, kFatha = 0x064E, kShadda = 0x0651;

// Hebrew letters alef, bet, gimel in code page 1255; alef, beh in 1256.
const std::string H1 = "\xE0", H2 = "\xE1", H3 = "\xE2";
const std::string A1 = "\xC7", A2 = "\xC8";

std::string bidi(const std::string& text, int32_t codePage = 1255) {
    std::string out(text.size() + 1, '~');
    EXPECT_EQ(formatBIDIString(text.data(), static_cast<int32_t>(text.size()), out.data(), codePage),
              static_cast<int32_t>(text.size()));
    EXPECT_EQ(out.back(), '~');
    out.resize(text.size());
    return out;
}

}  // namespace

TEST(ArabicShaping, WorkedExamplesInBothStorageOrders) {
    const struct {
        bool ltr;
        Units in, out;
    } cases[] = {
        // Marks are skipped when neighbours are sought.
        {true, {kBeh, kFatha, kBeh}, {0xFE91, kFatha, 0xFE90}},
        // Tatweel joins only as a following letter.
        {true, {kTatweel, kBeh}, {kTatweel, 0xFE8F}},
        {true, {kBeh, kTatweel}, {0xFE91, kTatweel}},
        // Latin text between letters breaks joining and is copied.
        {true, {kBeh, 'a', kBeh}, {0xFE8F, 'a', 0xFE8F}},
        // In display order the lam-alef ligature moves to the start.
        {false, {kAlef, kLam, kBeh}, {0xFEFC, 0xFE91}},
        // Lam, marks, alef: the marks are kept, the alef consumed.
        {true, {kBeh, kLam, kFatha, kShadda, kAlef, kBeh}, {0xFE91, 0xFEFC, kFatha, kShadda, 0xFE8F}},
        {false, {kBeh, kAlef, kShadda, kFatha, kLam, kBeh}, {0xFE8F, kShadda, kFatha, 0xFEFC, 0xFE91}},
    };
    for (const auto& c : cases) EXPECT_EQ(toForms(c.in, c.ltr), c.out) << ::testing::PrintToString(c.in);

    EXPECT_EQ(fromForms({0xFEFC}, false), (Units{kAlef, kLam}));
    EXPECT_EQ(fromForms({kTatweel, 0, kFatha, 0xFEFF, 0xFE70}, true), (Units{kTatweel, 0, kFatha, 0xFEFF, 0xFE70}));
}

TEST(ArabicShaping, CountsFillsAndBadArguments) {
    // n below 1: the count becomes 0 and only the zero fill happens.
    Units in{kBeh}, out{7, 7, 7};
    int32_t count = 9;
    _arabic_toformsb_ltr(in.data(), 0, out.data(), &count);
    EXPECT_EQ(std::make_pair(count, out), std::make_pair(0, Units{7, 7, 7}));
    count = 3;
    _arabic_fromformsb_rtl(in.data(), 0, out.data(), &count);
    EXPECT_EQ(std::make_pair(count, out), std::make_pair(0, Units{0, 0, 0}));
    // The room named on entry bounds what is written: a ligature that does
    // not fit is not split.
    Units lig{kBeh, 0xFEFB}, small(4, 7);
    count = 2;
    _arabic_fromformsb_ltr(lig.data(), 2, small.data(), &count);
    EXPECT_EQ(std::make_pair(count, small), std::make_pair(1, Units{kBeh, 0, 7, 7}));
    // Null pointers never fault.
    for (auto fn : {_arabic_toformsb_ltr, _arabic_toformsb_rtl, _arabic_fromformsb_ltr, _arabic_fromformsb_rtl}) {
        count = 3;
        fn(nullptr, 3, out.data(), &count);
        EXPECT_EQ(count, 0);
        fn(in.data(), 1, nullptr, &count);
        EXPECT_EQ(count, 0);
        fn(in.data(), 1, out.data(), nullptr);
    }
}

// Every letter's isolated, initial, medial and final contexts must give the
// character Python's Unicode database decomposes to <tag> letter (or fall
// back as the joining rules say when Unicode has no such form), and back.
TEST(ArabicShaping, FormsAgreeWithTheUnicodeDatabase) {
    std::string listing;
    ASSERT_EQ(kdtest::runPython("unicode_oracle.py", {"forms"}, &listing), 0);
    std::map<std::pair<unsigned, std::string>, uint16_t> formOf;  // (letter, tag) -> form
    std::istringstream lines(listing);
    std::string form, tag, base;
    while (lines >> form >> tag >> base) {
        if (lines.peek() == ' ') lines >> base, tag += "-lam";  // a lam-alef, under its alef
        formOf[{std::stoul(base, nullptr, 16), tag}] = static_cast<uint16_t>(std::stoul(form, nullptr, 16));
    }
    ASSERT_EQ(formOf.size(), 125u);

    const uint16_t joiner = 0x0647;  // heh: joins on both sides
    int letters = 0;
    for (uint16_t c = 0x0600; c <= 0x06FF; ++c) {
        if (!kd::arabic::isArabicLetter(c)) continue;
        ++letters;
        if (c == kTatweel) continue;
        auto has = [&](const char* t) { return formOf.count({c, t}) != 0; };
        ASSERT_TRUE(has("isolated")) << std::hex << c;
        const uint16_t isolated = formOf[{c, "isolated"}];
        const uint16_t final = has("final") ? formOf[{c, "final"}] : isolated;
        const uint16_t initial = has("initial") ? formOf[{c, "initial"}] : isolated;
        const uint16_t medial = has("medial") ? formOf[{c, "medial"}] : has("final") ? final : initial;
        EXPECT_EQ(toForms({c}, true), Units{isolated}) << std::hex << c;
        EXPECT_EQ(toForms({c, joiner}, true)[0], initial) << std::hex << c;
        EXPECT_EQ(toForms({joiner, c, joiner}, true)[1], medial) << std::hex << c;
        EXPECT_EQ(toForms({joiner, c}, true)[1], final) << std::hex << c;
        for (const char* t : {"isolated", "initial", "medial", "final"}) {
            if (!has(t)) continue;
            EXPECT_EQ(fromForms({formOf[{c, t}]}, true), Units{c});
            EXPECT_EQ(fromForms({formOf[{c, t}]}, false), Units{c});
        }
    }
    EXPECT_EQ(letters, 37);
    for (uint16_t alef : {0x0622, 0x0623, 0x0625, 0x0627}) {
        const uint16_t isolated = formOf[{alef, "isolated-lam"}], final = formOf[{alef, "final-lam"}];
        EXPECT_EQ(toForms({kLam, alef}, true), Units{isolated});
        EXPECT_EQ(toForms({joiner, kLam, alef}, true)[1], final);
        EXPECT_EQ(fromForms({final}, true), (Units{kLam, alef}));
    }
}

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
