// The table readers: character maps, symbol fonts, what counts as TrueType
// outlines and the code page tables. The values read from fonts are compared
// with fontTools through the font descriptor (fontsvc tests).

#include "truetype/code_page_tables.h"
#include "truetype_test_util.h"

using namespace kdtest;

TEST(ReadTables, MonospacedFontGivesOneWidthToEveryGlyph) {
    FileFont font(builtFont("mono"));
    ASSERT_EQ(font->values().numberOfHMetrics, 1);
    for (int g : {-1, 0, 1, 5, 400}) EXPECT_EQ(font->glyphWidth(g), 600);
}

TEST(CharacterMaps, UnicodeSubtablePreferredSymbolFontAndOutlineKindDecided) {
    // TrueType outlines need glyf, loca and a TrueType sfnt version.
    struct Case {
        const char* kind;
        bool unicode, symbolMap, symbolFont;
        int32_t a, f041;
        bool outlines = true;
    } cases[] = {
        {"plain", true, false, false, 2, -1},
        {"noloca", true, false, false, 2, -1, false},
        {"otto", true, false, false, 2, -1, false},
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
        EXPECT_EQ(font->hasTrueTypeOutlines(), c.outlines);
    }
}

TEST(CodePageTables, EveryEntryAsPythonsCodecsWithZeroAtUndefinedCodes0And127) {
    for (int cp = 1250; cp <= 1257; ++cp) {
        std::vector<long long> expected =
            numbers(runOracle("font_oracle.py", {"codepage", std::to_string(cp)})["table"]);
        expected[0] = expected[127] = 0;
        const uint16_t* table = kd::codePageTable(cp);
        ASSERT_TRUE(table) << cp;
        EXPECT_EQ(std::vector<long long>(table, table + 256), expected) << cp;
    }
    EXPECT_EQ(kd::codePageTable(1258), nullptr);
    EXPECT_EQ(kd::codePageTable(932), nullptr);
}
