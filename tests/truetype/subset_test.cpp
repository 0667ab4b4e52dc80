// The glyph set and the subset writer; fontTools reads every subset the
// tests write and compares it with the source.
#include <algorithm>
#include <cstring>
#include <random>
#include <set>

#include "truetype_test_util.h"

using namespace kdtest;

namespace {

// The directory of a written subset: tag -> (offset, length).
std::map<std::string, std::pair<uint32_t, uint32_t>> directoryOf(const std::vector<uint8_t>& b) {
    std::map<std::string, std::pair<uint32_t, uint32_t>> d;
    for (uint16_t i = 0; i < be16(b, 4); ++i) {
        size_t at = 12 + 16 * i;
        d[std::string(b.begin() + at, b.begin() + at + 4)] = {be32(b, at + 8), be32(b, at + 12)};
    }
    return d;
}

}  // namespace

TEST(Subset, CodesOfCodePage1252InDejaVuSans) {
    TempDir dir;
    FileFont font(dejaVuPath());
    const int32_t gA = font->unicodeMap().find(0x41), gE = font->unicodeMap().find(0xE9);
    ASSERT_GT(gA, 0);
    ASSERT_GT(gE, 0);
    std::string mask(256, ' ');
    mask[65] = mask[233] = '!';
    std::vector<uint16_t> widths(258, 0xBEEF);
    std::string out = dir.file("s.ttf");
    int32_t size = font->writeSubsetForCodes(mask.c_str(), 1252, out.c_str(), widths.data());
    EXPECT_EQ(size, static_cast<int32_t>(readFile(out).size()));
    EXPECT_TRUE(font->missingCodeList().empty());
    auto glyphs = font->glyphList();
    EXPECT_TRUE(std::count(glyphs.begin(), glyphs.end(), gA));
    EXPECT_TRUE(std::count(glyphs.begin(), glyphs.end(), gE));
    EXPECT_TRUE(std::is_sorted(glyphs.begin(), glyphs.end()));
    EXPECT_EQ(widths[0], 1);
    EXPECT_EQ(widths[1], 255);
    FileFont fresh(dejaVuPath());
    const uint16_t dflt = fresh->advanceWidths().back();
    for (int c = 0; c < 256; ++c) {
        uint16_t expected = c == 65 ? fresh->glyphWidth(gA) : c == 233 ? fresh->glyphWidth(gE) : dflt;
        ASSERT_EQ(widths[2 + c], expected) << c;
    }
    EXPECT_EQ(widths[67], 684);  // DejaVu Sans "A": 1401 / 2048 em
    // eacute is a composite: its components come along and it draws whole.
    EXPECT_EQ(checkSubset(dejaVuPath(), out,
                          {"--glyphs", joined(glyphs), "--tables", "OS/2,cmap,glyf,head,hhea,hmtx,loca,maxp,name",
                           "--draw", "A,eacute"}),
              "OK\n");
}

TEST(Subset, MissingCodeIsReplacedBySpace) {
    TempDir dir;
    FileFont font(builtFont("plain"));
    const int32_t space = font->unicodeMap().find(0x20);
    std::string mask(256, ' ');
    mask[128] = mask[65] = '!';
    std::vector<uint16_t> widths(258);
    ASSERT_GT(font->writeSubsetForCodes(mask.c_str(), 1252, dir.file("s.ttf").c_str(), widths.data()), 0);
    EXPECT_EQ(font->missingCodeList(), std::vector<int32_t>{128});
    auto glyphs = font->glyphList();
    EXPECT_TRUE(std::count(glyphs.begin(), glyphs.end(), space));
    EXPECT_EQ(widths[130], font->advanceWidths().back());
    EXPECT_EQ(widths[2 + 32], font->glyphWidth(space));  // the space was recorded under code 32
    EXPECT_EQ(checkSubset(builtFont("plain"), dir.file("s.ttf"), {"--glyphs", joined(glyphs)}), "OK\n");
}

TEST(Subset, SymbolFontCodesGoToThePrivateArea) {
    TempDir dir;
    FileFont font(builtFont("symbol"));
    ASSERT_TRUE(font->symbolFont());
    std::string mask(256, ' ');
    mask[65] = mask[5] = mask[90] = '!';
    std::vector<uint16_t> widths(258);
    ASSERT_GT(font->writeSubsetForCodes(mask.c_str(), 1252, dir.file("s.ttf").c_str(), widths.data()), 0);
    // Code 5 is below 32 and not examined; 90 has no glyph at U+F05A.
    EXPECT_EQ(font->missingCodeList(), std::vector<int32_t>{90});
    std::vector<int32_t> expected{font->unicodeMap().find(0xF020), font->unicodeMap().find(0xF041)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(font->glyphList(), expected);
    EXPECT_EQ(checkSubset(builtFont("symbol"), dir.file("s.ttf"), {"--glyphs", joined(expected)}), "OK\n");
}

TEST(Subset, CodeMapBuildsFormat6MapAndWidths) {
    for (bool withSpace : {false, true}) {
        SCOPED_TRACE(withSpace);
        TempDir dir;
        FileFont font(builtFont("plain"));
        font->setCodeMapMode(true);
        kd::CharCodeMap map;
        map.insertIfAbsent(0x41, 0);
        map.insertIfAbsent(0x42, 1);
        map.insertIfAbsent(0x4E00, 2);
        if (withSpace) map.insertIfAbsent(0x20, 3);
        std::vector<uint16_t> widths(514, 0xBEEF);
        std::string out = dir.file("s.ttf");
        int32_t size = font->writeSubsetForCodeMap(map, out.c_str(), widths.data());
        EXPECT_EQ(size, static_cast<int32_t>(readFile(out).size()));
        const int32_t gA = font->unicodeMap().find(0x41), gB = font->unicodeMap().find(0x42);
        const int32_t space = font->unicodeMap().find(0x20);
        const int n = withSpace ? 4 : 3;
        EXPECT_EQ(widths[0], 0);
        EXPECT_EQ(widths[1], n - 1);
        EXPECT_EQ(widths[2], font->glyphWidth(gA));
        EXPECT_EQ(widths[3], font->glyphWidth(gB));
        EXPECT_EQ(widths[4], withSpace ? font->glyphWidth(space) : font->advanceWidths().back());
        EXPECT_EQ(widths[2 + n], 0xBEEF);  // glyph indices only in glyph id mode
        EXPECT_EQ(font->missingCodeList(), std::vector<int32_t>{0x4E00});
        ASSERT_EQ(font->codeGlyphEntries().size(), static_cast<size_t>(n));
        for (const auto& e : font->codeGlyphEntries()) {
            if (e.unicode == 0x4E00) {
                EXPECT_EQ(e.code, 2);
                EXPECT_EQ(e.glyph, withSpace ? space : 65535);
            }
        }
        std::string cmap = "0:" + std::to_string(gA) + ",1:" + std::to_string(gB);
        if (withSpace) cmap += ",2:" + std::to_string(space) + ",3:" + std::to_string(space);
        EXPECT_EQ(checkSubset(builtFont("plain"), out, {"--cmap6", cmap, "--glyphs", joined(font->glyphList())}),
                  "OK\n");
        auto bytes = readFile(out);
        auto d = directoryOf(bytes);
        EXPECT_EQ(d["cmap"].second, 22u + 2 * n);
        EXPECT_EQ(be16(bytes, d["cmap"].first + 14), 10 + 2 * n);  // format 6 length
        EXPECT_EQ(be16(bytes, d["cmap"].first + 20), n);           // entryCount
    }
}

TEST(Subset, GlyphIdModeDropsCmapAndReportsGlyphs) {
    TempDir dir;
    FileFont font(builtFont("thirteen"));
    font->setCodeMapMode(true);
    font->setGlyphIdMode(true);
    kd::CharCodeMap map;
    map.insertIfAbsent(0x43, 0);
    std::vector<uint16_t> widths(514);
    std::string out = dir.file("s.ttf");
    ASSERT_GT(font->writeSubsetForCodeMap(map, out.c_str(), widths.data()), 0);
    EXPECT_EQ(widths[1], 0);
    EXPECT_EQ(widths[3], font->unicodeMap().find(0x43));
    auto bytes = readFile(out);
    EXPECT_EQ(be16(bytes, 4), 8);     // numTables
    EXPECT_EQ(be16(bytes, 6), 128);   // searchRange
    EXPECT_EQ(be16(bytes, 8), 3);     // entrySelector
    EXPECT_EQ(be16(bytes, 10), 0);    // rangeShift
    EXPECT_EQ(be32(bytes, 12 + 8), 140u);
    EXPECT_EQ(checkSubset(builtFont("thirteen"), out,
                          {"--tables", "OS/2,glyf,head,hhea,hmtx,loca,maxp,name", "--glyphs",
                           joined(font->glyphList())}),
              "OK\n");
}

TEST(Subset, ThirteenTableDirectoryKeepsNine) {
    TempDir dir;
    FileFont font(builtFont("thirteen"));
    ASSERT_EQ(font->tableList().size(), 10u);  // cvt, fpgm, prep never listed
    std::set<uint32_t> chars{0x41, 0x42};
    std::string out = dir.file("s.ttf");
    int32_t size = font->writeSubsetForCharacters(chars, out.c_str());
    EXPECT_TRUE(chars.empty());
    auto bytes = readFile(out);
    EXPECT_EQ(size, static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(be32(bytes, 0), 0x00010000u);
    EXPECT_EQ(be16(bytes, 4), 9);
    EXPECT_EQ(be16(bytes, 6), 128);
    EXPECT_EQ(be16(bytes, 8), 3);
    EXPECT_EQ(be16(bytes, 10), 16);
    // Every body starts 4-aligned right after the previous padded one.
    uint32_t expectedOffset = 156;
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(be32(bytes, 12 + 16 * i + 8), expectedOffset);
        expectedOffset += (be32(bytes, 12 + 16 * i + 12) + 3) & ~3u;
    }
    EXPECT_EQ(expectedOffset, bytes.size());
    EXPECT_EQ(checkSubset(builtFont("thirteen"), out,
                          {"--tables", "OS/2,cmap,glyf,head,hhea,hmtx,loca,maxp,name", "--glyphs",
                           joined(font->glyphList())}),
              "OK\n");
}

TEST(Subset, EmptyCodeMapGivesA22ByteCmapWithPadding) {
    TempDir dir;
    FileFont font(builtFont("plain"));
    kd::CharCodeMap empty;
    std::vector<uint16_t> widths(4);
    std::string out = dir.file("s.ttf");
    ASSERT_GT(font->writeSubsetForCodeMap(empty, out.c_str(), widths.data()), 0);
    EXPECT_EQ(widths[1], 0xFFFF);  // N - 1 with N = 0
    auto bytes = readFile(out);
    auto d = directoryOf(bytes);
    EXPECT_EQ(d["cmap"].second, 22u);
    EXPECT_EQ(be16(bytes, d["cmap"].first + 22), 0);  // padding
    EXPECT_EQ(checkSubset(builtFont("plain"), out, {"--glyphs", ""}), "OK\n");
}

TEST(Subset, CharacterSubsetsDrawWhole) {
    // A two-level composite (Aring2 = aacute (= A + acute) + ring), DejaVu's
    // accented capitals, and a directory with hmtx before head.
    struct Case {
        std::string font;
        std::set<uint32_t> chars;
        const char* draw;
        size_t glyphs;
    } cases[] = {
        {builtFont("composite"), {0xC5}, "Aring2", 5},
        {dejaVuPath("DejaVuSans-Bold.ttf"), {0xC5, 0xC9, 0xD6, 0x1EA4, 0x1EB6, 0x1EC6, 0x41},
         "Aring,Eacute,Odieresis,uni1EA4,uni1EB6,uni1EC6,A", 0},
        {builtFont("outoforder"), {0x43}, "u0043", 0},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.draw);
        TempDir dir;
        FileFont font(c.font);
        std::string out = dir.file("s.ttf");
        ASSERT_GT(font->writeSubsetForCharacters(c.chars, out.c_str()), 0);
        if (c.glyphs) {
            EXPECT_EQ(font->glyphList().size(), c.glyphs);
        }
        EXPECT_EQ(checkSubset(c.font, out, {"--glyphs", joined(font->glyphList()), "--draw", c.draw}), "OK\n");
    }
}

TEST(Subset, MissingCharacterTakesTheSmallestCharactersGlyph) {
    TempDir dir;
    FileFont font(builtFont("plain"));
    std::set<uint32_t> chars{0x42, 0x4E00, 0x43};
    ASSERT_GT(font->writeSubsetForCharacters(chars, dir.file("s.ttf").c_str()), 0);
    EXPECT_TRUE(font->missingCodeList().empty());
    std::vector<int32_t> expected{font->unicodeMap().find(0x42), font->unicodeMap().find(0x43)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(font->glyphList(), expected);
}

TEST(Subset, ReadBackInChunksAndUnwritableFile) {
    TempDir dir;
    FileFont font(dejaVuPath());
    std::set<uint32_t> chars{0x41, 0x42};
    std::string out = dir.file("s.ttf");
    int32_t size = font->writeSubsetForCharacters(chars, out.c_str());
    auto bytes = readFile(out);
    std::vector<uint8_t> back;
    uint8_t chunk[1000];
    for (uint32_t at = 0; at < static_cast<uint32_t>(size); at += sizeof chunk) {
        size_t n = font->readSubsetChunk(at, chunk, sizeof chunk, out.c_str());
        back.insert(back.end(), chunk, chunk + n);
    }
    font->closeSubsetFile();
    EXPECT_EQ(back, bytes);

    kd::TrueTypeFont other("x", "unused.log");
    std::memset(chunk, 0x5A, sizeof chunk);
    EXPECT_EQ(other.readSubsetChunk(0, chunk, 10, dir.file("missing.ttf").c_str()), 0u);
    EXPECT_EQ(chunk[0], 0x5A);

    FileFont second(dejaVuPath());
    std::set<uint32_t> more{0x41};
    EXPECT_EQ(second->writeSubsetForCharacters(more, dir.file("no/such/dir/s.ttf").c_str()), 0);
}

TEST(UndefinedCodes, CodePageUndefinedCodesJoinTheMissingList) {
    {
        FileFont font(builtFont("plain"));
        EXPECT_EQ(font->addUndefinedCodes(1252), 7);
        EXPECT_EQ(font->missingCodeList(), (std::vector<int32_t>{0, 127, 129, 141, 143, 144, 157}));
    }
    {
        FileFont font(builtFont("plain"));
        EXPECT_EQ(font->addUndefinedCodes(932), 0);
    }
    {
        // 129 is missing from the font (its table value 0 finds no glyph) and
        // undefined in 1252: listed twice, side by side.
        TempDir dir;
        FileFont font(builtFont("plain"));
        std::string mask(256, ' ');
        mask[129] = mask[200] = '!';
        std::vector<uint16_t> widths(258);
        font->writeSubsetForCodes(mask.c_str(), 1252, dir.file("s.ttf").c_str(), widths.data());
        EXPECT_EQ(font->addUndefinedCodes(1252), 9);
        EXPECT_EQ(font->missingCodeList(), (std::vector<int32_t>{0, 127, 129, 129, 141, 143, 144, 157, 200}));
    }
}

TEST(DiagnosticLog, TraceOnlyWhenEnabledAndNeverChangesResults) {
    TempDir dir;
    std::set<uint32_t> chars{0x41, 0xC5};
    auto runOnce = [&](kd::TrueTypeFont& font, const std::string& out) {
        FILE* f = std::fopen(dejaVuPath().c_str(), "rb");
        font.useFontFile(f);
        EXPECT_EQ(font.readTables(), 0);
        std::set<uint32_t> copy = chars;
        font.writeSubsetForCharacters(copy, out.c_str());
        std::fclose(f);
        return readFile(out);
    };
    kd::TrueTypeFont quiet("DejaVu Sans", dir.file("quiet.log"));
    ASSERT_FALSE(kd::DiagLog::developerSwitchOn());
    auto a = runOnce(quiet, dir.file("a.ttf"));
    EXPECT_FALSE(fileExists(dir.file("quiet.log")));

    kd::TrueTypeFont loud("DejaVu Sans", "");
    loud.log().enable(dir.file("loud.log"));
    auto b = runOnce(loud, dir.file("b.ttf"));
    EXPECT_EQ(a, b);
    std::string log = readText(dir.file("loud.log"));
#ifdef _WIN32
    // The log is opened in text mode ("a+"): Windows writes CR LF.
    log.erase(std::remove(log.begin(), log.end(), '\r'), log.end());
#endif
    for (const char* line : {"\n===========================\n==Font:\n", "Single font file\n", "=== head\n",
                             "unitsPerEm: 2048\n", "--------Reading tables - done ---\n", " CMAP tables: 5\n", "getFormat4 Start\n",
                             "\n===============WRITING TABLES DIRECTORY======================\n", "Table glyf\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;

    kd::TrueTypeFont broken("DejaVu Sans", "");
    broken.log().enable(dir.file("no/such/dir/x.log"));
    EXPECT_EQ(runOnce(broken, dir.file("c.ttf")), a);
}
