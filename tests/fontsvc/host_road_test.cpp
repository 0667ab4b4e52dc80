// The road of one embedded font as the host drives it through the exports
// (the reference host's tests take the same road through the shared
// library): re-encode text, then request 10 (one-byte codes) or request 21
// feeding the two-byte mode.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fontsvc/fontsvc_support.h"
#include "kdlib.h"
#include "text/wrap_font_facts.h"

using kdtest::numbers;

namespace {

std::vector<int> hexCodes(const std::string& digits, size_t width) {
    std::vector<int> codes;
    for (size_t i = 0; i + width <= digits.size(); i += width)
        codes.push_back(std::stoi(digits.substr(i, width), nullptr, 16));
    return codes;
}

TEST(HostRoad, OneByteTextToEmbeddedSubset) {
    // Latin, Greek, Cyrillic in their code pages, and U+4E00 (not in DejaVu Sans) in UTF-8.
    fonttest::Maps maps;
    std::string digits = maps.add("A\xe9 ");
    digits += maps.add("\xe1\xe2", 1253);
    digits += maps.add("\xc6\xe6", 1251);
    digits += maps.add("\xe4\xb8\x80", 65001);
    const char* utf8 = "A\xc3\xa9 \xce\xb1\xce\xb2\xd0\x96\xd0\xb6\xe4\xb8\x80";
    const char16_t units[8] = {u'A', 0xE9, u' ', 0x3B1, 0x3B2, 0x416, 0x436, 0x4E00};
    ASSERT_EQ(hexCodes(digits, 2), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));

    kdtest::TempDir dir;
    const std::string stream = dir.file("stream"), subset = dir.file("subset.ttf");
    std::vector<int32_t> record(600, -9);
    std::vector<uint16_t> widths(600, 0xEEEE);
    const int32_t result = getFParam(stream.c_str(), "DejaVu Sans", 12, 0, 0, 10, record.data(), nullptr, 1252,
                                     subset.c_str(), maps.charMap, widths.data());
    ASSERT_GT(result, 0);
    // The stream file: header, Length1 = the subset's size, data that
    // inflate to exactly the subset file.
    const std::vector<uint8_t> program = kdtest::readFile(subset);
    kdtest::StreamFile s = kdtest::splitStreamFile(stream);
    EXPECT_EQ(s.header, "/Filter /FlateDecode\r\n/Length1 " + std::to_string(program.size()) + "\r\n>>\r\nstream\r\n");
    EXPECT_EQ(result, static_cast<int32_t>(s.data.size()));
    EXPECT_EQ(kdtest::inflateAll(s.data), program);

    // fontTools opens the subset; the text's glyphs are there, unchanged.
    auto report = fonttest::checkProgram(subset, kdtest::dejaVuPath(), utf8);
    EXPECT_EQ(report["tables"], "OS/2 cmap glyf head hhea hmtx loca maxp name");
    std::vector<long long> needed = numbers(report["needed"]);
    ASSERT_EQ(needed.size(), 8u);
    EXPECT_EQ(needed[7], -1);
    needed[7] = needed[2];  // the missing U+4E00 becomes the space

    // The record: missing codes (U+4E00 and 1252's undefined codes,
    // sorted), then one (code, unicode) entry per character. What a reader
    // draws: each code goes through the subset's one-byte map to the source
    // font's glyph of the character; the width table follows the codes.
    const int32_t n = record[0];
    EXPECT_EQ(std::vector<int32_t>(record.begin() + 1, record.begin() + 1 + n),
              (std::vector<int32_t>{0, 127, 129, 141, 143, 144, 157, 0x4E00}));
    ASSERT_EQ(record[n + 1], 8);
    std::map<int, int> codeOf, glyphOfCode;
    for (int k = 0; k < 8; ++k) codeOf[record[n + 3 + 2 * k]] = record[n + 2 + 2 * k];
    std::vector<long long> cmap = numbers(report["cmap10"]);
    for (size_t i = 0; i + 1 < cmap.size(); i += 2) glyphOfCode[int(cmap[i])] = int(cmap[i + 1]);
    wraptest::FontFacts facts = wraptest::readFacts(utf8);
    EXPECT_EQ((std::vector<uint16_t>{widths[0], widths[1], widths[10]}), (std::vector<uint16_t>{0, 7, 0xEEEE}));
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(codeOf[units[i]], i);
        EXPECT_EQ(glyphOfCode[i], needed[i]) << i;
        EXPECT_EQ(widths[2 + i], facts.advances[i == 7 ? 2 : i] * 1000 / facts.upem) << i;
    }
}

TEST(HostRoad, GlyphMapFeedsTwoByteMode) {
    fonttest::Maps maps(1);
    ASSERT_NE(maps.glyphMap, 0);
    int32_t record[1] = {};
    ASSERT_EQ(getFParam("", "DejaVu Sans", 12, 0, 0, 21, record, nullptr, 1252, nullptr, maps.glyphMap, nullptr), 0);
    EXPECT_EQ(record[0], maps.glyphMap);
    std::string text = "AB\xd0\x96\xe4\xb8\x80";  // A, B, Zhe, U+4E00 (absent: 0)
    const std::string digits = maps.add(text, 65001);
    std::vector<int> needed = wraptest::readFacts(text).glyphs;
    ASSERT_EQ(needed.size(), 4u);
    needed[3] = 0;
    EXPECT_EQ(hexCodes(digits, 4), needed);
}

}  // namespace
