#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "frame/code_pages.h"
#include "frame/codepage_tables.h"
#include "frame/handle_registry.h"
#include "kdlib.h"
#include "text/code_maps.h"
#include "text/mus.h"

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
        for (size_t i = digits; i < out.size(); ++i) EXPECT_EQ(out[i], '~') << "byte " << i << " beyond the result";
        return out.substr(0, digits);
    }

    kd::CharCodeMap& charMap() { return *kd::HandleRegistry::instance().find<kd::CharCodeMap>(chars); }
};

}  // namespace

TEST(Mus, OneByteCodesContinueAcrossCalls) {
    HostFont font(0);
    EXPECT_NE(font.chars, 0);
    EXPECT_EQ(font.glyphs, 0);  // mode 0 leaves the glyph handle alone
    int32_t r = 0;
    EXPECT_EQ(font.encode("ABA", 1252, &r), "010201");
    EXPECT_EQ(r, 3);
    EXPECT_EQ(font.next, 3);
    EXPECT_EQ(font.encode("CA", 1252, &r), "0301");
    EXPECT_EQ(r, 2);
    EXPECT_EQ(font.next, 4);
    EXPECT_EQ(font.charMap().size(), 3u);
    EXPECT_EQ(*font.charMap().find(u'C'), 3);
    // A second map gives its own numbering; the same map through another
    // code page gives the same code for the same character.
    HostFont other(0);
    other.next = 0x20;
    EXPECT_EQ(other.encode("C", 1252), "20");
    EXPECT_EQ(font.encode("\xC4", 1252), "04");       // U+00C4
    EXPECT_EQ(font.encode("\xC3\x84", 65001), "04");  // the same character in UTF-8
    EXPECT_EQ(font.next, 5);
}

TEST(Mus, TwoByteModeWritesGlyphNumbers) {
    HostFont font(1);
    ASSERT_NE(font.glyphs, 0);
    auto* glyphs = kd::HandleRegistry::instance().find<kd::GlyphCodeMap>(font.glyphs);
    ASSERT_NE(glyphs, nullptr);
    glyphs->insertIfAbsent(65, 36);
    glyphs->insertIfAbsent(67, 0x1ABCD);  // only the low 16 bits fit four digits
    int32_t r = 0;
    EXPECT_EQ(font.encode("AB", 1252, &r), "00240000");
    EXPECT_EQ(r, 4);
    EXPECT_EQ(font.next, 3);
    EXPECT_EQ(font.charMap().size(), 2u);
    EXPECT_EQ(font.encode("C", 1252), "ABCD");
}

TEST(Mus, ConversionAndShaping) {
    HostFont font(0);
    int32_t r = 0;
    // A four-byte UTF-8 sequence: a surrogate pair, one code per unit.
    EXPECT_EQ(font.encode("\xF0\x9F\x98\x80", 65001, &r), "0102");
    EXPECT_EQ(*font.charMap().find(0xD83D), 1);
    EXPECT_EQ(*font.charMap().find(0xDE00), 2);
    // Code page 1256: alef then lam in display order is one lam-alef unit.
    HostFont arabic(0);
    EXPECT_EQ(arabic.encode("\xC7\xE1", 1256, &r), "01");
    EXPECT_EQ(r, 1);
    EXPECT_NE(arabic.charMap().find(0xFEFB), nullptr);
    // Lam then alef in memory: two isolated forms.
    EXPECT_EQ(arabic.encode("\xE1\xC7", 1256, &r), "0203");
    EXPECT_NE(arabic.charMap().find(0xFEDD), nullptr);
    EXPECT_NE(arabic.charMap().find(0xFE8D), nullptr);
    // Three behs in display order: final, medial, initial.
    EXPECT_EQ(arabic.encode("\xC8\xC8\xC8", 1256), "040506");
    EXPECT_EQ(*arabic.charMap().find(0xFE90), 4);
    EXPECT_EQ(*arabic.charMap().find(0xFE91), 6);
}

TEST(Mus, EmptyTextAndFailedConversionTouchNothing) {
    HostFont font(0);
    font.next = 0x70005;
    EXPECT_EQ(font.encode("", 1252), "");
    EXPECT_EQ(font.encode("AB", 777777), "");  // no such code page
    EXPECT_EQ(font.next, 0x70005);
    EXPECT_EQ(font.charMap().size(), 0u);
    // A successful call reads the low 16 bits and writes them back alone.
    EXPECT_EQ(font.encode("A", 1252), "05");
    EXPECT_EQ(font.next, 6);
}

TEST(Mus, CounterWrapsAndCodesAboveFFKeepTwoDigits) {
    HostFont font(0);
    font.next = 0xFFFF;
    EXPECT_EQ(font.encode("AB", 1252), "FF00");
    EXPECT_EQ(font.next, 1);
    EXPECT_EQ(*font.charMap().find(u'A'), 0xFFFF);
    // Past 255 each unit still takes exactly two digits: the low byte.
    HostFont high(0);
    high.next = 0x1FE;
    std::string text = "ABCDEFGH";
    int32_t r = 0;
    EXPECT_EQ(high.encode(text, 1252, &r), "FEFF000102030405");
    EXPECT_EQ(r, 8);
    EXPECT_EQ(high.next, 0x206);
    EXPECT_EQ(*high.charMap().find(u'C'), 0x200);
}

TEST(Mus, MissingMapsReturnZeroAndWriteNothing) {
    std::string out(16, '~');
    int32_t next = 1;
    int32_t none = 0;
    int32_t negative = -3;
    int32_t unknown = 0x7FFFFF00;
    for (int32_t* handle : {&none, &negative, &unknown}) {
        EXPECT_EQ(_kd_MakeUnicodeString("AB", 2, handle, &next, out.data(), 0, 1252, 0, nullptr), 0);
    }
    EXPECT_EQ(_kd_MakeUnicodeString("AB", 2, nullptr, &next, out.data(), 0, 1252, 0, nullptr), 0);

    HostFont font(0);
    EXPECT_EQ(_kd_MakeUnicodeString("AB", 2, &font.chars, nullptr, out.data(), 0, 1252, 0, nullptr), 0);
    EXPECT_EQ(_kd_MakeUnicodeString("AB", 2, &font.chars, &next, nullptr, 0, 1252, 0, nullptr), 0);
    EXPECT_EQ(_kd_MakeUnicodeString(nullptr, 2, &font.chars, &next, out.data(), 0, 1252, 0, nullptr), 0);
    // Mode 1 needs a live glyph map; modes other than 0 and 1 do nothing.
    EXPECT_EQ(_kd_MakeUnicodeString("AB", 2, &font.chars, &next, out.data(), 0, 1252, 1, &none), 0);
    EXPECT_EQ(_kd_MakeUnicodeString("AB", 2, &font.chars, &next, out.data(), 0, 1252, 1, nullptr), 0);
    EXPECT_EQ(_kd_MakeUnicodeString("AB", 2, &font.chars, &next, out.data(), 0, 1252, 2, &none), 0);
    EXPECT_EQ(next, 1);
    EXPECT_EQ(out, std::string(16, '~'));
    EXPECT_EQ(font.charMap().size(), 0u);

    // A released map is gone: the handle now counts as unknown.
    int32_t chars = 0, glyphs = 0;
    _kd_MUSInit(&chars, &glyphs, 1);
    ASSERT_NE(glyphs, 0);
    _kd_MUSRelease(chars, glyphs, 1);
    EXPECT_EQ(_kd_MakeUnicodeString("AB", 2, &chars, &next, out.data(), 0, 1252, 0, nullptr), 0);
    EXPECT_EQ(kd::HandleRegistry::instance().find<kd::GlyphCodeMap>(glyphs), nullptr);
    EXPECT_EQ(out, std::string(16, '~'));
    EXPECT_EQ(_kd_MUSRelease(0, 0, 1), 0);
    EXPECT_EQ(_kd_MUSRelease(chars, -1, 1), 0);  // twice: nothing happens
}

TEST(Mus, InitKeepsLiveMapsAndReplacesUnknownOnes) {
    int32_t chars = 0, glyphs = 0;
    EXPECT_EQ(_kd_MUSInit(&chars, &glyphs, 0), 0);
    EXPECT_NE(chars, 0);
    EXPECT_EQ(glyphs, 0);
    const int32_t first = chars;
    _kd_MUSInit(&chars, &glyphs, 1);
    EXPECT_EQ(chars, first);
    EXPECT_NE(glyphs, 0);
    const int32_t firstGlyphs = glyphs;
    _kd_MUSInit(&chars, &glyphs, 1);
    EXPECT_EQ(glyphs, firstGlyphs);
    _kd_MUSRelease(chars, glyphs, 0);  // mode 0 releases the char map only
    EXPECT_NE(kd::HandleRegistry::instance().find<kd::GlyphCodeMap>(glyphs), nullptr);
    int32_t stale = chars;
    _kd_MUSInit(&stale, nullptr, 0);
    EXPECT_NE(kd::HandleRegistry::instance().find<kd::CharCodeMap>(stale), nullptr);
    // A glyph-map handle is not a char-map handle.
    int32_t wrongType = glyphs;
    _kd_MUSInit(&wrongType, nullptr, 0);
    EXPECT_NE(wrongType, glyphs);
    _kd_MUSRelease(stale, glyphs, 1);
    _kd_MUSRelease(wrongType, 0, 0);
    EXPECT_EQ(_kd_MUSInit(nullptr, nullptr, 1), 0);
}

TEST(Mus, ToUnicodeIsBigEndianWithoutMark) {
    char out[16];
    std::memset(out, '~', sizeof out);
    EXPECT_EQ(_kd_ToUnicode("AB", 2, out, 1252), 2);
    EXPECT_EQ(std::string(out, 5), std::string("\0A\0B~", 5));
    EXPECT_EQ(_kd_ToUnicode("\xE2\x82\xAC\xF0\x9F\x98\x80", 7, out, 65001), 3);
    EXPECT_EQ(std::string(out, 6), std::string("\x20\xAC\xD8\x3D\xDE\x00", 6));
    EXPECT_EQ(_kd_ToUnicode("\x80", 1, out, 1252), 1);
    EXPECT_EQ(std::string(out, 2), "\x20\xAC");
    EXPECT_EQ(_kd_ToUnicode("AB", 0, out, 1252), 0);
    EXPECT_EQ(_kd_ToUnicode("AB", 2, out, 777777), 0);
    EXPECT_EQ(_kd_ToUnicode(nullptr, 2, out, 1252), 0);
    EXPECT_EQ(_kd_ToUnicode("AB", 2, nullptr, 1252), 0);
}

// The paged lookup and the walked hash map always agree, copies included.
TEST(Mus, CharCodeMapPagesAgreeWithItsEntries) {
    kd::CharCodeMap map;
    std::mt19937 rng(7);
    std::vector<int> expected(65536, -1);
    for (int i = 0; i < 5000; ++i) {
        const auto key = static_cast<uint16_t>(rng() % 3 == 0 ? rng() : rng() % 600);
        const auto value = static_cast<uint16_t>(rng());
        const bool added = map.insertIfAbsent(key, value);
        EXPECT_EQ(added, expected[key] < 0);
        if (added) expected[key] = value;
    }
    kd::CharCodeMap copy = map;
    size_t present = 0;
    for (unsigned k = 0; k < 65536; ++k) {
        const uint16_t* v = copy.find(static_cast<uint16_t>(k));
        ASSERT_EQ(v != nullptr, expected[k] >= 0) << k;
        if (v) {
            EXPECT_EQ(*v, expected[k]);
            ++present;
        }
    }
    EXPECT_EQ(copy.size(), present);
    for (const auto& [key, value] : copy) EXPECT_EQ(expected[key], value);
}

// Random bytes under every kind of code page: output stays within
// 4 x length, the counter moves exactly with the map, and each unit keeps
// the code it was first given.
TEST(Mus, RandomBytesKeepMapAndCounterInStep) {
    std::mt19937 rng(11);
    for (int32_t codePage : {0, 42, 874, 932, 1252, 1255, 1256, 65001}) {
        for (int32_t mode : {0, 1}) {
            HostFont font(mode);
            if (mode == 1) {
                auto* glyphs = kd::HandleRegistry::instance().find<kd::GlyphCodeMap>(font.glyphs);
                for (int32_t c = 0; c < 0x700; c += 3) glyphs->insertIfAbsent(c, c * 7);
            }
            size_t seen = 0;
            for (int round = 0; round < 200; ++round) {
                std::string text(rng() % 120, '\0');
                for (char& c : text) c = static_cast<char>(rng());
                int32_t r = 0;
                const int32_t before = font.next;
                std::string digits = font.encode(text, codePage, &r);
                ASSERT_EQ(digits.size(), static_cast<size_t>(r) * 2);
                const size_t grown = font.charMap().size() - seen;
                seen = font.charMap().size();
                ASSERT_EQ(static_cast<size_t>(font.next - before), grown) << codePage;
                ASSERT_EQ(digits.find_first_not_of("0123456789ABCDEF"), std::string::npos);
            }
        }
    }
}

// Single-byte code pages are converted through tables taken from the
// platform once; they must give what the platform gives for whole texts.
TEST(Mus, ByteTablesMatchThePlatformConversion) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    for (int32_t codePage : {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}) {
        const std::u16string expected = kd::toUtf16(static_cast<unsigned>(codePage), all.data(), 255);
        ASSERT_EQ(expected.size(), 255u) << codePage;
        std::string out(2 * all.size(), '\0');
        ASSERT_EQ(_kd_ToUnicode(all.data(), 255, out.data(), codePage), 255);
        for (size_t i = 0; i < expected.size(); ++i) {
            const auto unit = static_cast<char16_t>((static_cast<uint8_t>(out[2 * i]) << 8) | static_cast<uint8_t>(out[2 * i + 1]));
            ASSERT_EQ(unit, expected[i]) << codePage << " byte " << i + 1;
        }
    }
}

// One-byte mode shapes Arabic code pages straight from the bytes, codes
// cached per byte and context; the same text in UTF-8 takes the general
// route (convert, shape, encode) and must give the same digits and map.
TEST(Mus, ArabicBytesAgreeWithTheGeneralRoute) {
    const char16_t* units = kd::singleByteCodePage(1256);
    ASSERT_NE(units, nullptr);
    auto toUtf8 = [&](const std::string& text) {
        std::string utf8;
        for (unsigned char c : text) {
            const unsigned u = units[c];
            if (u < 0x80) {
                utf8 += static_cast<char>(u);
            } else if (u < 0x800) {
                utf8 += static_cast<char>(0xC0 | (u >> 6));
                utf8 += static_cast<char>(0x80 | (u & 0x3F));
            } else {
                utf8 += static_cast<char>(0xE0 | (u >> 12));
                utf8 += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
                utf8 += static_cast<char>(0x80 | (u & 0x3F));
            }
        }
        return utf8;
    };
    // Mostly letters (lam and alefs often), marks, spaces and digits; now
    // and then any byte.
    const std::string pool = "\xC7\xC7\xE1\xE1\xC2\xC3\xC5\xC8\xC8\xCA\xD3\xDA\xE3\xED\xC1\xDC\xF0\xF3\xF6\xFA  1a";
    std::mt19937 rng(2024);
    HostFont bytes(0), general(0);
    for (int round = 0; round < 3000; ++round) {
        std::string text(1 + rng() % 90, '\0');
        for (char& c : text) c = rng() % 8 ? pool[rng() % pool.size()] : static_cast<char>(rng());
        bool defined = true;
        for (unsigned char c : text) defined = defined && units[c] != kd::kUndefinedCode && units[c] != 0;
        if (!defined) continue;
        int32_t r1 = 0, r2 = 0;
        const std::string a = bytes.encode(text, 1256, &r1);
        const std::string b = general.encode(toUtf8(text), 65001, &r2);
        ASSERT_EQ(a, b) << "round " << round;
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
