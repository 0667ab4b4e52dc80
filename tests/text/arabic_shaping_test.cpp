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

Units toForms(const Units& in, bool ltr) {
    Units out(in.size() + 1, 0xBEEF);  // one guard unit
    int32_t count = -5;
    auto fn = ltr ? _arabic_toformsb_ltr : _arabic_toformsb_rtl;
    EXPECT_EQ(fn(in.data(), static_cast<int32_t>(in.size()), out.data(), &count), 0);
    EXPECT_EQ(out.back(), 0xBEEF) << "wrote past n units";
    EXPECT_GE(count, 0);
    for (size_t i = static_cast<size_t>(count); i < in.size(); ++i) EXPECT_EQ(out[i], 0) << "tail at " << i;
    out.resize(static_cast<size_t>(count));
    return out;
}

Units fromForms(const Units& in, bool ltr) {
    Units out(2 * in.size() + 1, 0xBEEF);
    int32_t count = static_cast<int32_t>(2 * in.size());
    auto fn = ltr ? _arabic_fromformsb_ltr : _arabic_fromformsb_rtl;
    EXPECT_EQ(fn(in.data(), static_cast<int32_t>(in.size()), out.data(), &count), 0);
    EXPECT_EQ(out.back(), 0xBEEF);
    out.resize(static_cast<size_t>(count));
    return out;
}

const uint16_t kBeh = 0x0628, kLam = 0x0644, kAlef = 0x0627, kTatweel = 0x0640, kFatha = 0x064E;

}  // namespace

TEST(ArabicShaping, JoiningInBothStorageOrders) {
    EXPECT_EQ(toForms({kBeh, kBeh, kBeh}, true), (Units{0xFE91, 0xFE92, 0xFE90}));
    EXPECT_EQ(toForms({kBeh, kBeh, kBeh}, false), (Units{0xFE90, 0xFE92, 0xFE91}));
    // Marks are skipped when neighbours are sought.
    EXPECT_EQ(toForms({kBeh, kFatha, kBeh}, true), (Units{0xFE91, kFatha, 0xFE90}));
    EXPECT_EQ(toForms({kBeh, kFatha, kBeh}, false), (Units{0xFE90, kFatha, 0xFE91}));
    // Tatweel joins only as a following letter.
    EXPECT_EQ(toForms({kTatweel, kBeh}, true), (Units{kTatweel, 0xFE8F}));
    EXPECT_EQ(toForms({kBeh, kTatweel}, true), (Units{0xFE91, kTatweel}));
    // Alef has no initial form and does not join forward.
    EXPECT_EQ(toForms({kAlef, kBeh}, true), (Units{0xFE8D, 0xFE8F}));
    // Latin text between letters breaks joining and is copied.
    EXPECT_EQ(toForms({kBeh, 'a', kBeh}, true), (Units{0xFE8F, 'a', 0xFE8F}));
}

TEST(ArabicShaping, LamAlefLigatures) {
    EXPECT_EQ(toForms({kLam, kAlef}, true), (Units{0xFEFB}));
    EXPECT_EQ(toForms({kBeh, kLam, kAlef}, true), (Units{0xFE91, 0xFEFC}));
    EXPECT_EQ(toForms({kAlef, kLam}, false), (Units{0xFEFB}));  // display order, moved to the start
    EXPECT_EQ(toForms({kAlef, kLam, kBeh}, false), (Units{0xFEFC, 0xFE91}));  // beh is read first
    EXPECT_EQ(toForms({0x0622, kLam}, false), (Units{0xFEF5}));
    EXPECT_EQ(toForms({kLam, 0x0623}, true), (Units{0xFEF7}));
    EXPECT_EQ(toForms({kLam, 0x0625}, true), (Units{0xFEF9}));
    // Lam before a letter that is not an alef takes its ordinary form.
    EXPECT_EQ(toForms({kLam, kBeh}, true), (Units{0xFEDF, 0xFE90}));
    // Two ligatures in a row.
    EXPECT_EQ(toForms({kLam, kAlef, kLam, kAlef}, true), (Units{0xFEFB, 0xFEFB}));
}

TEST(ArabicShaping, LamMarksAlefKeepsTheMarksAndConsumesTheAlef) {
    EXPECT_EQ(toForms({kLam, kFatha, kAlef}, true), (Units{0xFEFB, kFatha}));
    EXPECT_EQ(toForms({kBeh, kLam, kFatha, 0x0651, kAlef, kBeh}, true),
              (Units{0xFE91, 0xFEFC, kFatha, 0x0651, 0xFE8F}));
    EXPECT_EQ(toForms({kAlef, kFatha, kLam}, false), (Units{kFatha, 0xFEFB}));
    EXPECT_EQ(toForms({kBeh, kAlef, 0x0651, kFatha, kLam, kBeh}, false),
              (Units{0xFE8F, 0x0651, kFatha, 0xFEFC, 0xFE91}));
}

TEST(ArabicShaping, FromPresentationForms) {
    EXPECT_EQ(fromForms({0xFEFC}, true), (Units{kLam, kAlef}));
    EXPECT_EQ(fromForms({0xFEFC}, false), (Units{kAlef, kLam}));
    EXPECT_EQ(fromForms({0xFE91, 'A'}, true), (Units{kBeh, 'A'}));
    EXPECT_EQ(fromForms({kTatweel, 0, kFatha, 0xFEFF, 0xFE70}, true), (Units{kTatweel, 0, kFatha, 0xFEFF, 0xFE70}));
}

TEST(ArabicShaping, CountsFillsAndBadArguments) {
    // n below 1: the count becomes 0 and only the zero fill happens.
    Units in{kBeh};
    Units out{7, 7, 7};
    int32_t count = 9;
    _arabic_toformsb_ltr(in.data(), 0, out.data(), &count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(out, (Units{7, 7, 7}));
    count = 3;
    _arabic_fromformsb_rtl(in.data(), 0, out.data(), &count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(out, (Units{0, 0, 0}));
    // The room named on entry bounds what is written: a ligature that does
    // not fit is not split.
    Units lig{kBeh, 0xFEFB};
    Units small(4, 7);
    count = 2;
    _arabic_fromformsb_ltr(lig.data(), 2, small.data(), &count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(small, (Units{kBeh, 0, 7, 7}));
    // Null pointers never fault.
    _arabic_toformsb_ltr(nullptr, 3, out.data(), &count);
    EXPECT_EQ(count, 0);
    _arabic_toformsb_rtl(in.data(), 1, nullptr, &count);
    EXPECT_EQ(count, 0);
    _arabic_toformsb_rtl(in.data(), 1, out.data(), nullptr);
    _arabic_fromformsb_ltr(in.data(), 1, out.data(), nullptr);
    count = 3;
    _arabic_fromformsb_ltr(nullptr, 1, out.data(), &count);
    EXPECT_EQ(count, 0);
}

// Every form the table produces is checked against Python's Unicode
// database: the isolated, initial, medial and final contexts of each letter
// must give the character whose decomposition is <tag> letter, and a letter
// Unicode gives no such form falls back as the joining rules say.
TEST(ArabicShaping, FormsAgreeWithTheUnicodeDatabase) {
    std::string listing;
    ASSERT_EQ(kdtest::runPython("arabic_forms.py", {}, &listing), 0);
    std::map<std::pair<uint16_t, std::string>, uint16_t> formOf;  // (base, tag) -> form
    std::map<std::pair<uint16_t, std::string>, uint16_t> ligatureOf;  // (alef, tag) -> form
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string form, tag, base, second;
        fields >> form >> tag >> base >> second;
        const auto f = static_cast<uint16_t>(std::stoul(form, nullptr, 16));
        const auto b = static_cast<uint16_t>(std::stoul(base, nullptr, 16));
        if (second.empty()) {
            formOf[{b, tag}] = f;
        } else {
            ligatureOf[{static_cast<uint16_t>(std::stoul(second, nullptr, 16)), tag}] = f;
        }
    }
    ASSERT_EQ(formOf.size(), 117u);
    ASSERT_EQ(ligatureOf.size(), 8u);

    const uint16_t joiner = 0x0647;  // heh: joins on both sides
    int letters = 0;
    for (unsigned u = 0x0600; u <= 0x06FF; ++u) {
        const auto c = static_cast<uint16_t>(u);
        if (!kd::arabic::isArabicLetter(c)) continue;
        ++letters;
        if (c == kTatweel) continue;
        auto has = [&](const char* tag) { return formOf.count({c, tag}) != 0; };
        ASSERT_TRUE(has("isolated")) << std::hex << u;
        const uint16_t isolated = formOf[{c, "isolated"}];
        const uint16_t final = has("final") ? formOf[{c, "final"}] : isolated;
        const uint16_t initial = has("initial") ? formOf[{c, "initial"}] : isolated;
        const uint16_t medial = has("medial") ? formOf[{c, "medial"}] : has("final") ? final : initial;
        EXPECT_EQ(toForms({c}, true)[0], isolated) << std::hex << u;
        EXPECT_EQ(toForms({c, joiner}, true)[0], initial) << std::hex << u;
        EXPECT_EQ(toForms({joiner, c, joiner}, true)[1], medial) << std::hex << u;
        EXPECT_EQ(toForms({joiner, c}, true)[1], final) << std::hex << u;
        // And back, in both storage orders.
        for (const char* tag : {"isolated", "initial", "medial", "final"}) {
            if (!has(tag)) continue;
            EXPECT_EQ(fromForms({formOf[{c, tag}]}, true), Units{c});
            EXPECT_EQ(fromForms({formOf[{c, tag}]}, false), Units{c});
        }
    }
    EXPECT_EQ(letters, 37);
    for (uint16_t alef : {0x0622, 0x0623, 0x0625, 0x0627}) {
        const uint16_t isolated = ligatureOf[{alef, "isolated"}];
        const uint16_t final = ligatureOf[{alef, "final"}];
        EXPECT_EQ(toForms({kLam, alef}, true), Units{isolated});
        EXPECT_EQ(toForms({joiner, kLam, alef}, true)[1], final);
        EXPECT_EQ(fromForms({final}, true), (Units{kLam, alef}));
    }
}

TEST(ArabicShaping, TransparentMarks) {
    int marks = 0;
    for (unsigned u = 0; u <= 0xFFFF; ++u) marks += kd::arabic::isTransparentMark(static_cast<uint16_t>(u));
    EXPECT_EQ(marks, 39);
    EXPECT_TRUE(kd::arabic::isTransparentMark(0x0610));
    EXPECT_FALSE(kd::arabic::isTransparentMark(0x0611));
    EXPECT_TRUE(kd::arabic::isTransparentMark(0x06ED));
    EXPECT_FALSE(kd::arabic::isTransparentMark(0x06E9));
    EXPECT_FALSE(kd::arabic::isTransparentMark(0x0710));
}

// Shaping and unshaping give the letters again, ligatures included, in
// both storage orders (marks are kept out of lam-alef pairs, whose order the
// ligature changes).
TEST(ArabicShaping, RoundTripsOnRandomText) {
    std::mt19937 rng(1234);
    std::vector<uint16_t> alphabet{' ', 'a', '1', kTatweel, kFatha, 0x0651};
    for (unsigned u = 0x0621; u <= 0x063A; ++u) alphabet.push_back(static_cast<uint16_t>(u));
    for (unsigned u = 0x0641; u <= 0x064A; ++u) alphabet.push_back(static_cast<uint16_t>(u));
    for (int round = 0; round < 2000; ++round) {
        Units text(1 + rng() % 40);
        for (auto& u : text) u = alphabet[rng() % alphabet.size()];
        for (bool ltr : {true, false}) {
            Units shaped = toForms(text, ltr);
            Units back = fromForms(shaped, ltr);
            bool markInLigature = false;
            for (size_t i = 0; i + 2 < text.size(); ++i) {
                const uint16_t lamSide = ltr ? text[i] : text[i + 2];
                if (lamSide == kLam && kd::arabic::isTransparentMark(text[i + 1])) markInLigature = true;
            }
            if (markInLigature) continue;
            ASSERT_EQ(back, text) << "round " << round << (ltr ? " ltr" : " rtl");
        }
    }
}
