#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "frame/handle_registry.h"
#include "kdlib.h"
#include "text/code_maps.h"

namespace {

// A host's view of one font: its two handles and its counter.
struct HostFont {
    int32_t chars = 0;
    int32_t glyphs = 0;
    int32_t next = 1;
    int32_t mode;

    explicit HostFont(int32_t m) : mode(m) { _kd_MUSInit(&chars, &glyphs, mode); }
    ~HostFont() { _kd_MUSRelease(chars, glyphs, mode); }

    // Encodes text; returns the digits and stores the result.
    std::string encode(const std::string& text, int32_t codePage, int32_t* result = nullptr) {
        std::string out(4 * text.size() + 8, '~');
        int32_t r = _kd_MakeUnicodeString(text.data(), static_cast<int32_t>(text.size()), &chars, &next, out.data(), 0,
                                          codePage, mode, &glyphs);
        if (result) *result = r;
        const size_t digits = static_cast<size_t>(r) * 2;
        EXPECT_LE(digits, 4 * text.size());
        EXPECT_EQ(out.substr(digits), std::string(out.size() - digits, '~')) << "beyond the result";
        return out.substr(0, digits);
    }

    kd::CharCodeMap& charMap() { return *kd::HandleRegistry::instance().find<kd::CharCodeMap>(chars); }
    kd::GlyphCodeMap& glyphMap() { return *kd::HandleRegistry::instance().find<kd::GlyphCodeMap>(glyphs); }
};

}  // namespace

TEST(Mus, OneByteCodesInFirstUseOrderAcrossCallsAndCodePages) {
    HostFont font(0);
    EXPECT_EQ(font.glyphs, 0);  // mode 0 leaves the glyph handle alone
    EXPECT_EQ(font.encode("ABA", 1252), "010201");
    EXPECT_EQ(font.encode("CA", 1252), "0301");
    // The same character through another code page keeps its code.
    EXPECT_EQ(font.encode("\xC4", 1252), "04");       // U+00C4
    EXPECT_EQ(font.encode("\xC3\x84", 65001), "04");  // the same character in UTF-8
    // A four-byte UTF-8 sequence: a surrogate pair, one code per unit.
    EXPECT_EQ(font.encode("\xF0\x9F\x98\x80", 65001), "0506");
    EXPECT_EQ(*font.charMap().find(0xDE00), 6);
    EXPECT_EQ(font.next, 7);
    // Code page 1256 text arrives in display order and is shaped: alef, lam
    // is one lam-alef; three behs are final, medial, initial.
    HostFont arabic(0);
    EXPECT_EQ(arabic.encode("\xC7\xE1", 1256), "01");
    EXPECT_EQ(arabic.encode("\xC8\xC8\xC8", 1256), "020304");
    const std::pair<uint16_t, uint16_t> codes[] = {{0xFEFB, 1}, {0xFE90, 2}, {0xFE92, 3}, {0xFE91, 4}};
    for (const auto& [form, code] : codes) EXPECT_EQ(*arabic.charMap().find(form), code) << std::hex << form;
}

TEST(Mus, TwoByteModeWritesGlyphNumbers) {
    HostFont font(1);
    font.glyphMap().insertIfAbsent(65, 36);
    font.glyphMap().insertIfAbsent(67, 0x1ABCD);  // only the low 16 bits fit four digits
    EXPECT_EQ(font.encode("AB", 1252), "00240000");
    EXPECT_EQ(font.encode("C", 1252), "ABCD");
    EXPECT_EQ(font.next, 4);
}

TEST(Mus, CounterKeepsSixteenBitsAndCodesTwoDigits) {
    HostFont font(0);
    font.next = 0x7FFFF;
    EXPECT_EQ(font.encode("AB", 777777), "");  // no such code page
    EXPECT_EQ(font.next, 0x7FFFF);
    // The low 16 bits are read and written back alone; they wrap.
    EXPECT_EQ(font.encode("AB", 1252), "FF00");
    EXPECT_EQ(font.next, 1);
    // Past 255 each unit still takes exactly two digits: the low byte.
    HostFont high(0);
    high.next = 0x1FE;
    EXPECT_EQ(high.encode("ABCD", 1252), "FEFF0001");
    EXPECT_EQ(*high.charMap().find(u'C'), 0x200);
}

TEST(Mus, NullArgumentsAndLiveMapsKept) {
    HostFont font(1);
    std::string out(16, '~');
    int32_t next = 1;
    EXPECT_EQ(_kd_MakeUnicodeString("AB", 2, &font.chars, &next, nullptr, 0, 1252, 0, nullptr), 0);
    EXPECT_EQ(_kd_MakeUnicodeString("AB", 2, &font.chars, &next, out.data(), 0, 1252, 1, nullptr), 0);
    EXPECT_EQ(_kd_MakeUnicodeString("AB", 2, &font.chars, &next, out.data(), 0, 1252, 2, &font.glyphs), 0);
    EXPECT_EQ(_kd_ToUnicode("AB", 2, nullptr, 1252), 0);
    EXPECT_EQ(out, std::string(16, '~'));
    EXPECT_EQ(next, 1);
    EXPECT_EQ(font.charMap().size(), 0u);
    // Live maps are kept by a second init.
    const int32_t chars = font.chars, glyphs = font.glyphs;
    _kd_MUSInit(&font.chars, &font.glyphs, 1);
    EXPECT_EQ(std::make_pair(font.chars, font.glyphs), std::make_pair(chars, glyphs));
}

// One-byte mode shapes Arabic code pages straight from the bytes, codes
// cached per byte and context; the same text in UTF-8 takes the general
// route (convert, shape, encode) and must give the same digits and map.
TEST(Mus, ArabicBytesAgreeWithTheGeneralRoute) {
    auto toUtf8 = [](const std::string& text) {
        std::vector<uint8_t> bigEndian(2 * text.size());
        EXPECT_EQ(_kd_ToUnicode(text.data(), static_cast<int32_t>(text.size()), bigEndian.data(), 1256),
                  static_cast<int32_t>(text.size()));
        std::string utf8;
        for (size_t i = 0; i < bigEndian.size(); i += 2) {
            const unsigned u = bigEndian[i] << 8 | bigEndian[i + 1];
            utf8 += u < 0x80    ? std::string(1, char(u))
                    : u < 0x800 ? std::string{char(0xC0 | u >> 6), char(0x80 | (u & 0x3F))}
                                : std::string{char(0xE0 | u >> 12), char(0x80 | (u >> 6 & 0x3F)), char(0x80 | (u & 0x3F))};
        }
        return utf8;
    };
    // Mostly letters (lam and alefs often), marks, spaces and digits; now
    // and then any byte but 0.
    const std::string pool = "\xC7\xC7\xE1\xE1\xC2\xC3\xC5\xC8\xC8\xCA\xD3\xDA\xE3\xED\xC1\xDC\xF0\xF3\xF6\xFA  1a";
    std::mt19937 rng(2024);
    HostFont bytes(0), general(0);
    for (int round = 0; round < 3000; ++round) {
        std::string text(1 + rng() % 90, '\0');
        for (char& c : text) c = rng() % 8 ? pool[rng() % pool.size()] : static_cast<char>(1 + rng() % 255);
        int32_t r1 = 0, r2 = 0;
        ASSERT_EQ(bytes.encode(text, 1256, &r1), general.encode(toUtf8(text), 65001, &r2)) << "round " << round;
        ASSERT_EQ(r1, r2);
        ASSERT_EQ(bytes.next, general.next);
    }
    ASSERT_EQ(bytes.charMap().size(), general.charMap().size());
    for (const auto& [unit, code] : bytes.charMap()) {
        const uint16_t* other = general.charMap().find(unit);
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(*other, code);
    }
}
