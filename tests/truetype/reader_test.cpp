// The font source, the window reader, the directory and the table readers,
// compared with what fontTools reads from the same fonts.
#include <algorithm>
#include <cstring>
#include <set>

#include "truetype/code_page_tables.h"
#include "truetype/font_source.h"
#include "truetype_test_util.h"

using namespace kdtest;

namespace {

std::string tagText(uint32_t tag) {
    std::string s{char(tag >> 24), char(tag >> 16), char(tag >> 8), char(tag)};
    std::replace(s.begin(), s.end(), ' ', '_');
    return s;
}

// A name field as fontTools' hex: its bytes up to the trailing zeros.
std::string nameHex(const uint8_t* name) {
    size_t end = 200;
    while (end > 0 && name[end - 1] == 0) --end;
    return hexOf(name, end + end % 2);
}

// Every value the readers keep, against fontTools: the engine's values
// written as the oracle's lines.
void expectMatchesFontTools(kd::TrueTypeFont& font, const std::string& path) {
    OracleAnswer info = runOracle("font_oracle.py", {"info", path});
    ASSERT_EQ(info.status, 0) << info.text;
    const kd::FontValues& v = font.values();
    auto line = [](const std::string& key, std::vector<long long> values) {
        std::string s = key;
        for (long long value : values) s += " " + std::to_string(value);
        return s;
    };
    // The directory keeps the tables the engine reads, in the file's order;
    // a missing English name is all zeros.
    const std::set<std::string> read{"dir cmap", "dir glyf", "dir head", "dir hhea", "dir hmtx",
                                     "dir loca", "dir maxp", "dir name", "dir post", "dir OS/2"};
    std::vector<std::string> expected, got;
    for (const auto& [key, value] : info.lines) {
        if (key != "dir" || read.count(key + " " + value.substr(0, 4))) expected.push_back(key + " " + value);
    }
    for (const kd::TableRecord& r : font.tableList()) {
        got.push_back(line("dir " + tagText(r.tag), {r.checkSum, r.offset, r.length}));
        EXPECT_EQ(r.newOffset + r.newLength, 0u);
    }
    got.push_back(line("head", {v.unitsPerEm, v.xMin, v.yMin, v.xMax, v.yMax, v.indexToLocFormat != 0}));
    got.push_back(line("hhea", {v.numberOfHMetrics}));
    for (size_t g = 0; g < font.advanceWidths().size(); ++g)
        got.push_back(line("adv", {long(g), font.advanceWidths()[g]}));
    for (size_t i = 0; i < font.locaOffsets().size(); ++i)
        got.push_back(line("loca", {long(i), font.locaOffsets()[i]}));
    got.push_back(line("os2", {v.os2Version, v.usWeightClass, v.usWidthClass, v.fsType, v.usFirstCharIndex,
                               v.usLastCharIndex, v.usWinAscent, v.usWinDescent, v.ulCodePageRange1, v.ulCodePageRange2,
                               v.sxHeight, v.sCapHeight, v.fsSelection}));
    got.push_back(line("panose", std::vector<long long>(v.panose, v.panose + 10)));
    got.push_back(line("post", {v.italicAngle}));
    // The last qualifying record wins, as in the reader; a name without one
    // stays empty.
    std::string names;
    for (const std::string& n : info.all("name")) {
        const bool full = n.rfind("full ", 0) == 0;
        names += full ? "full" : "family";
        got.push_back("name " + std::string(full ? "full " : "family ") +
                      nameHex(full ? v.fullNameEnglish : v.familyNameEnglish));
    }
    EXPECT_TRUE(names.find("full") != std::string::npos || nameHex(v.fullNameEnglish).empty());
    // fontTools leaves out the codes of a segment whose glyph is 0; the
    // engine keeps them (mapped to glyph 0).
    for (uint32_t u = 0; u < 0xFFFF; ++u)
        if (font.unicodeMap().find(u) > 0) got.push_back(line("cmap", {u, font.unicodeMap().find(u)}));
    std::vector<std::string> withoutZeroGlyphs;
    for (const std::string& l : expected)
        if (l.rfind("cmap ", 0) != 0 || numbers(l.substr(5)).at(1) != 0) withoutZeroGlyphs.push_back(l);
    EXPECT_EQ(got, withoutZeroGlyphs);
}

}  // namespace

TEST(WindowReader, ValuesStraddleTheWindowAndPastTheEndReadsZero) {
    TempDir dir;
    Bytes bytes(7000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    writeFile(dir.file("b.bin"), bytes);
    FILE* f = std::fopen(dir.file("b.bin").c_str(), "rb");
    ASSERT_TRUE(f);
    kd::FontSource source;
    source.useFontFile(f);
    ASSERT_TRUE(source.open(false));
    EXPECT_EQ(source.size(), 7000u);
    kd::WindowReader r(source);
    r.seekTo(1000);
    r.skip(1998);  // at 2998 = window position 1998 (base 1000)
    r.seekTo(2998);
    EXPECT_EQ(r.readUInt32(), be32(bytes, 2998));
    r.seekTo(0);
    r.skip(2999);
    EXPECT_EQ(r.readUInt16(), be16(bytes, 2999));  // bytes 2999 and 3000, across the refill
    EXPECT_EQ(r.position(), 3001u);
    r.seekTo(6998);
    EXPECT_EQ(r.readUInt32(), be16(bytes, 6998) << 16);
    r.seekTo(1u << 31);
    EXPECT_EQ(r.readUInt32(), 0u);
    EXPECT_EQ(r.remaining(), 0u);
    std::fclose(f);
}

TEST(ReadTables, FontsMatchFontTools) {
    // DejaVu; short loca, one long metric, OS/2 version 0, reversed
    // directory order (readers still see head/hhea/OS/2 first), the
    // 13-table directory, composites, a full name only in German.
    std::vector<std::string> paths{dejaVuPath(), dejaVuPath("DejaVuSans-Bold.ttf")};
    for (const char* kind : {"plain", "mono", "os2v0", "outoforder", "thirteen", "composite", "nameonly0407"})
        paths.push_back(builtFont(kind));
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        FileFont font(path);
        ASSERT_EQ(font.readResult, 0);
        EXPECT_FALSE(font->isCollection());
        EXPECT_TRUE(font->hasGlyf() && font->hasPost() && font->hasUnicodeCmap());
        EXPECT_FALSE(font->symbolFont());
        expectMatchesFontTools(*font.font, path);
    }
}

TEST(ReadTables, MonospacedFontGivesOneWidthToEveryGlyph) {
    FileFont font(builtFont("mono"));
    ASSERT_EQ(font->values().numberOfHMetrics, 1);
    for (int g : {-1, 0, 1, 5, 400}) EXPECT_EQ(font->glyphWidth(g), 600);
}

TEST(Collection, MemberChosenByEnglishFullNamePrefix) {
    struct Case {
        const char* request;
        int member;
    } cases[] = {{"Sample", 0}, {"Sample Math", 1}, {"Samp", 0}, {"Other", 2}, {"Nothing like it", 0}, {"", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request);
        FileFont font(builtFont("collection"), c.request);
        ASSERT_EQ(font.readResult, 0);
        EXPECT_TRUE(font->isCollection());
        expectMatchesFontTools(*font.font, builtFont("collection") + "#" + std::to_string(c.member));
    }
}

TEST(CharacterMaps, WindowsUnicodeSubtableIsPreferredAndSymbolDecided) {
    struct Case {
        const char* kind;
        bool unicode, symbolMap, symbolFont;
        int32_t a, f041;
    } cases[] = {
        {"cmap_30_31", true, true, false, 2, -1},      {"cmap_31_30", true, true, false, 2, -1},
        {"cmap_30", false, true, true, -1, 4},  // (3,0) only, first character U+F041
        {"cmap_31_fmt12", true, false, false, -1, -1}, {"symbol", false, true, true, -1, 3},
        {"symbol_low", false, true, false, -1, 3},  // usFirstCharIndex 32
        {"symbol_v0", false, true, true, -1, 3},    // OS/2 v0: code page range 1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        FileFont font(builtFont(c.kind));
        EXPECT_EQ(font->hasUnicodeCmap(), c.unicode);
        EXPECT_EQ(font->hasSymbolCmap(), c.symbolMap);
        EXPECT_EQ(font->symbolFont(), c.symbolFont);
        EXPECT_EQ(font->unicodeMap().find(0x41), c.a);
        EXPECT_EQ(font->unicodeMap().find(0xF041), c.f041);
        EXPECT_EQ(font->unicodeMap().find(0xFFFF), -1);
    }
}

TEST(ReadTables, TrueTypeOutlinesNeedGlyfLocaAndATrueTypeVersion) {
    EXPECT_TRUE(FileFont(builtFont("plain"))->hasTrueTypeOutlines());
    EXPECT_FALSE(FileFont(builtFont("noloca"))->hasTrueTypeOutlines());
    EXPECT_FALSE(FileFont(builtFont("otto"))->hasTrueTypeOutlines());
}

TEST(CodePageTables, EveryEntryAsPythonsCodecsWithZeroAtUndefinedCodes0And127) {
    for (int cp = 1250; cp <= 1257; ++cp) {
        std::vector<long long> expected =
            numbers(runOracle("font_oracle.py", {"codepage", std::to_string(cp)})["table"]);
        ASSERT_EQ(expected.size(), 256u) << cp;
        expected[0] = expected[127] = 0;
        const uint16_t* table = kd::codePageTable(cp);
        ASSERT_TRUE(table) << cp;
        EXPECT_EQ(std::vector<long long>(table, table + 256), expected) << cp;
    }
    EXPECT_EQ(kd::codePageTable(1258), nullptr);
    EXPECT_EQ(kd::codePageTable(932), nullptr);
}

TEST(ReadTables, UnreadableOrUnusableFontsGiveMinusOne) {
    TempDir dir;
    writeFile(dir.file("empty.ttf"), std::string());
    EXPECT_EQ(FileFont(dir.file("empty.ttf")).readResult, -1);
    kd::TrueTypeFont noSource("x", "unused.log");
    EXPECT_EQ(noSource.readTables(), -1);
    // unitsPerEm 0 in head.
    Bytes bytes = readFile(builtFont("plain"));
    FileFont plain(builtFont("plain"));
    for (const auto& r : plain->tableList())
        if (r.tag == kd::makeTag('h', 'e', 'a', 'd')) putBE(bytes, 0, 2, r.offset + 18);
    writeFile(dir.file("upem0.ttf"), bytes);
    EXPECT_EQ(FileFont(dir.file("upem0.ttf")).readResult, -1);
}
