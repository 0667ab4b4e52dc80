// The glyph set and the subset writer, TrueType and CFF outlines; fontTools
// reads every subset the tests write and checks it against the source,
// directory included.
#include <algorithm>
#include <set>

#include "truetype_test_util.h"

using namespace kdtest;

namespace {

const char* kAllTables = "OS/2,cmap,glyf,head,hhea,hmtx,loca,maxp,name";

// writeSubsetForCodes with the codes of `used` marked, code page 1252.
int32_t subsetOfCodes(FileFont& font, std::initializer_list<int> used, const std::string& out,
                      std::vector<uint16_t>& widths) {
    std::string mask(256, ' ');
    for (int c : used) mask[static_cast<size_t>(c)] = '!';
    widths.assign(258, 0xBEEF);
    return font->writeSubsetForCodes(mask.c_str(), 1252, out.c_str(), widths.data());
}

}  // namespace

TEST(Subset, MissingCodesAreReplacedBySpaceOrLeftOutOfSymbolFonts) {
    TempDir dir;
    FileFont plain(builtFont("plain"));
    const int32_t space = plain->unicodeMap().find(0x20);
    std::vector<uint16_t> widths;
    ASSERT_GT(subsetOfCodes(plain, {128, 65}, dir.file("p.ttf"), widths), 0);
    EXPECT_EQ(plain->missingCodeList(), std::vector<int32_t>{128});
    EXPECT_EQ(plain->glyphList(), (std::vector<int32_t>{space, plain->unicodeMap().find(0x41)}));
    EXPECT_EQ(widths[130], plain->advanceWidths().back());
    EXPECT_EQ(widths[2 + 32], plain->glyphWidth(space));  // the space was recorded under code 32
    EXPECT_TRUE(keptOk(builtFont("plain"), dir.file("p.ttf"), *plain.font));

    // A symbol font's codes go to U+F0xx. Code 5 is below 32 and not
    // examined; 90 has no glyph at U+F05A.
    FileFont symbol(builtFont("symbol"));
    ASSERT_GT(subsetOfCodes(symbol, {65, 5, 90}, dir.file("s.ttf"), widths), 0);
    EXPECT_EQ(symbol->missingCodeList(), std::vector<int32_t>{90});
    EXPECT_EQ(symbol->glyphList(),
              (std::vector<int32_t>{symbol->unicodeMap().find(0xF020), symbol->unicodeMap().find(0xF041)}));
    EXPECT_TRUE(keptOk(builtFont("symbol"), dir.file("s.ttf"), *symbol.font));
}

TEST(Subset, CodeMapBuildsFormat6MapAndWidthsWithGlyphNumbersOnRequest) {
    // Codes from 0 in the order of the characters. font_make.py's glyphs:
    // space 1, A 2, B 3, the last 5; glyph k advances 500 + 10 k. A missing
    // character takes the space's glyph and width, else the last advance and
    // glyph 65535. The width table: 0, N - 1, the widths, then the glyph
    // numbers on request; nothing after them.
    struct Case {
        std::vector<uint32_t> chars;
        bool glyphIds;
        std::vector<uint16_t> widths;
        std::vector<int32_t> missing;
        int32_t missingGlyph;
        const char* cmap6;
    } cases[] = {{{0x41, 0x42, 0x4E00}, false, {0, 2, 520, 530, 550, 0xBEEF}, {0x4E00}, 65535, "0:2,1:3"},
                 {{0x41, 0x42, 0x4E00, 0x20}, false, {0, 3, 520, 530, 510, 510, 0xBEEF}, {0x4E00}, 1, "0:2,1:3,2:1,3:1"},
                 {{0x41, 0x42, 0x4E00, 0x20}, true, {0, 3, 520, 530, 510, 510, 2, 3, 1, 1, 0xBEEF}, {0x4E00}, 1, nullptr},
                 {{}, false, {0, 0xFFFF, 0xBEEF}, {}, 0, ""}};  // N - 1 with N = 0; a 22-byte cmap
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.chars) + (c.glyphIds ? " glyph numbers" : ""));
        TempDir dir;
        FileFont font(builtFont("plain"));
        font->setCodeMapMode(true);
        font->setGlyphIdMode(c.glyphIds);
        kd::CharCodeMap map;
        for (uint32_t u : c.chars) map.insertIfAbsent(u, static_cast<uint16_t>(map.size()));
        std::vector<uint16_t> widths(514, 0xBEEF);
        std::string out = dir.file("s.ttf");
        const int32_t size = font->writeSubsetForCodeMap(map, out.c_str(), widths.data());
        EXPECT_EQ(size, static_cast<int32_t>(readFile(out).size()));
        EXPECT_EQ(std::vector<uint16_t>(widths.begin(), widths.begin() + static_cast<long>(c.widths.size())), c.widths);
        EXPECT_EQ(font->missingCodeList(), c.missing);
        for (const auto& e : font->codeGlyphEntries()) {
            if (e.unicode != 0x4E00) continue;
            EXPECT_EQ(e.code, 2);
            EXPECT_EQ(e.glyph, c.missingGlyph);
        }
        // cvt, fpgm and prep are never copied; no character map for glyph numbers.
        std::vector<std::string> options{"--tables", c.glyphIds ? "OS/2,glyf,head,hhea,hmtx,loca,maxp,name" : kAllTables};
        if (c.cmap6) options.insert(options.end(), {"--cmap6", c.cmap6});
        EXPECT_TRUE(keptOk(builtFont("plain"), out, *font.font, options));
    }
}

TEST(Subset, CharacterSubsetsDrawWhole) {
    // A two-level composite (Aring2 = aacute (= A + acute) + ring), DejaVu's
    // accented capitals, a directory in reverse order (kept); cvt, fpgm and
    // prep are never copied.
    struct Case {
        std::string font;
        std::set<uint32_t> chars;
        const char* draw;
        size_t glyphs;
        const char* tables;
    } cases[] = {
        {builtFont("composite"), {0xC5}, "Aring2", 5, kAllTables},
        {dejaVuPath("DejaVuSans-Bold.ttf"),
         {0xC5, 0xC9, 0xD6, 0x1EA4, 0x1EB6, 0x1EC6, 0x41},
         "Aring,Eacute,Odieresis,uni1EA4,uni1EB6,uni1EC6,A",
         0,
         kAllTables},
        {builtFont("outoforder"), {0x43}, "u0043", 0, "name,maxp,loca,hmtx,hhea,head,glyf,cmap,OS/2"},
        {builtFont("plain"), {0x41, 0x42}, "u0041,u0042", 2, kAllTables},
        // A character the font lacks takes the glyph of the smallest one.
        {builtFont("plain"), {0x42, 0x4E00, 0x43}, "u0042,u0043", 2, kAllTables},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.draw);
        TempDir dir;
        FileFont font(c.font);
        std::string out = dir.file("s.ttf");
        std::set<uint32_t> chars = c.chars;
        const int32_t size = font->writeSubsetForCharacters(chars, out.c_str());
        EXPECT_EQ(size, static_cast<int32_t>(readFile(out).size()));
        EXPECT_TRUE(chars.empty());
        EXPECT_TRUE(font->missingCodeList().empty());
        if (c.glyphs) {
            EXPECT_EQ(font->glyphList().size(), c.glyphs);
        }
        EXPECT_TRUE(keptOk(c.font, out, *font.font, {"--tables", c.tables, "--draw", c.draw}));
    }
}

TEST(UndefinedCodes, CodePageUndefinedCodesJoinTheMissingList) {
    struct Case {
        int codePage;
        std::initializer_list<int> used;
        std::vector<int32_t> missing;
    } cases[] = {
        {932, {}, {}},
        // Greek leaves its last code undefined.
        {1253, {}, {0, 127, 129, 136, 138, 140, 141, 142, 143, 144, 152, 154, 156, 157, 158, 159, 170, 210, 255}},
        // 129 is missing from the font (its table value 0 finds no glyph) and
        // undefined in 1252: listed twice, side by side.
        {1252, {129, 200}, {0, 127, 129, 129, 141, 143, 144, 157, 200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        TempDir dir;
        FileFont font(builtFont("plain"));
        std::vector<uint16_t> widths;
        if (c.used.size()) subsetOfCodes(font, c.used, dir.file("s.ttf"), widths);
        EXPECT_EQ(font->addUndefinedCodes(c.codePage), static_cast<int32_t>(c.missing.size()));
        EXPECT_EQ(font->missingCodeList(), c.missing);
    }
}

TEST(DiagnosticLog, TraceOnlyWhenEnabledAndNeverChangesResults) {
    // Off, on, and on towards a folder that does not exist.
    TempDir dir;
    std::vector<Bytes> subsets;
    ASSERT_FALSE(kd::DiagLog::developerSwitchOn());
    for (const std::string& log : {std::string(), dir.file("loud.log"), dir.file("no/such/dir/x.log")}) {
        kd::TrueTypeFont font("DejaVu Sans", dir.file("quiet.log"));
        if (!log.empty()) font.log().enable(log);
        FILE* f = std::fopen(dejaVuPath().c_str(), "rb");
        font.useFontFile(f);
        EXPECT_EQ(font.readTables(), 0);
        std::set<uint32_t> chars{0x41, 0xC5};
        font.writeSubsetForCharacters(chars, dir.file("s.ttf").c_str());
        std::fclose(f);
        subsets.push_back(readFile(dir.file("s.ttf")));
        EXPECT_EQ(subsets.back(), subsets.front());
    }
    EXPECT_FALSE(fileExists(dir.file("quiet.log")));
    std::string log = readText(dir.file("loud.log"));
    // The log is opened in text mode: Windows writes CR LF.
    log.erase(std::remove(log.begin(), log.end(), '\r'), log.end());
    for (const char* line : {"\n==Font:\n", "Single font file\n", "unitsPerEm: 2048\n", " CMAP tables: 5\n",
                             "WRITING TABLES DIRECTORY", "Table glyf\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

// Fonts with PostScript (CFF) outlines: kept glyphs draw as in the source,
// subroutines resolved.
TEST(CffSubset, BuiltFontsKeepWhatTheirGlyphsReach) {
    // Each set reaches other subroutines: nested local ones, a global one
    // calling a local one, a hint mask in a subroutine counting its caller's
    // stems, and (name-keyed) an accented glyph's components.
    for (const char* kind : {"cff", "cffcid"}) {
        for (const std::set<uint32_t>& set : {std::set<uint32_t>{0x41, 0xC1}, {0x42, 0x43}, {0x44}, {}}) {
            SCOPED_TRACE(std::string(kind) + " " + joined(set));
            TempDir dir;
            FileFont font(builtFont(kind));
            ASSERT_TRUE(font->cffOutlines());
            std::set<uint32_t> chars = set;
            std::string out = dir.file("s.otf");
            int32_t size = font->writeSubsetForCharacters(chars, out.c_str());
            Bytes bytes = readFile(out);
            EXPECT_EQ(size, static_cast<int32_t>(bytes.size()));
            EXPECT_EQ(be32(bytes, 0), kd::makeTag('O', 'T', 'T', 'O'));
            EXPECT_TRUE(
                keptOk(builtFont(kind), out, *font.font, {"--tables", "CFF ,OS/2,cmap,head,hhea,hmtx,maxp,name"}));
        }
    }
}

TEST(CffSubset, CjkCollectionMemberInGlyphNumberMode) {
    const std::string cjk = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";
    if (!fileExists(cjk)) GTEST_SKIP() << "fonts-noto-cjk is not installed";
    TempDir dir;
    FileFont font(cjk, "Noto Sans CJK SC");  // the third member
    font->setCodeMapMode(true);
    font->setGlyphIdMode(true);
    kd::CharCodeMap map;
    for (char16_t u : std::u16string(u"日本語のテキスト、中文文本 and Latin."))
        map.insertIfAbsent(u, static_cast<uint16_t>(map.size()));
    std::vector<uint16_t> widths(514);
    std::string out = dir.file("s.otf");
    ASSERT_GT(font->writeSubsetForCodeMap(map, out.c_str(), widths.data()), 0);
    EXPECT_TRUE(font->missingCodeList().empty());
    EXPECT_TRUE(keptOk(cjk + "#2", out, *font.font, {"--tables", "CFF ,OS/2,head,hhea,hmtx,maxp,name"}));
}
