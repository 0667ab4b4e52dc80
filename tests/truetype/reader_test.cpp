// The font source, the window reader, the directory and the table readers,
// compared with what fontTools reads from the same fonts.
#include <algorithm>
#include <cstring>
#include <set>

#include "frame/display_context.h"
#include "truetype/code_page_tables.h"
#include "truetype/font_source.h"
#include "truetype_test_util.h"

using namespace kdtest;

namespace {

std::string tagText(uint32_t tag) {
    std::string s{static_cast<char>(tag >> 24), static_cast<char>(tag >> 16), static_cast<char>(tag >> 8),
                  static_cast<char>(tag)};
    for (char& c : s)
        if (c == ' ') c = '_';
    return s;
}

std::string hexName(const uint8_t* name) {
    static const char* digits = "0123456789abcdef";
    int end = 200;
    while (end > 0 && name[end - 1] == 0) --end;
    if (end % 2) ++end;
    std::string s;
    for (int i = 0; i < end; ++i) {
        s += digits[name[i] >> 4];
        s += digits[name[i] & 15];
    }
    return s;
}

// Every value the readers keep, against fontTools.
void expectMatchesFontTools(kd::TrueTypeFont& font, const std::string& path, int index = -1) {
    FontInfo info = fontInfo(path, index);
    const kd::FontValues& v = font.values();

    std::vector<std::string> wanted{"cmap", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "name", "post", "OS/2"};
    std::vector<std::vector<std::string>> expectedDir;
    for (const auto& d : info.all("dir")) {
        std::string tag = d[1];
        for (char& c : tag)
            if (c == '_') c = ' ';
        if (std::find(wanted.begin(), wanted.end(), tag) != wanted.end()) expectedDir.push_back(d);
    }
    ASSERT_EQ(font.tableList().size(), expectedDir.size());
    for (size_t i = 0; i < expectedDir.size(); ++i) {
        const kd::TableRecord& r = font.tableList()[i];
        EXPECT_EQ(tagText(r.tag), expectedDir[i][1]);
        EXPECT_EQ(r.checkSum, static_cast<uint32_t>(std::stoul(expectedDir[i][2])));
        EXPECT_EQ(r.offset, num(expectedDir[i][3]));
        EXPECT_EQ(r.length, num(expectedDir[i][4]));
        EXPECT_EQ(r.newOffset, 0u);
        EXPECT_EQ(r.newLength, 0u);
    }

    auto expectLine = [&](const char* key, std::vector<long long> got) {
        auto line = info.one(key);
        ASSERT_EQ(line.size(), got.size() + 1) << key;
        for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], std::stoll(line[i + 1])) << key << " field " << i;
    };
    expectLine("head", {v.unitsPerEm, v.xMin, v.yMin, v.xMax, v.yMax, v.indexToLocFormat != 0});
    EXPECT_EQ(v.numberOfHMetrics, num(info.one("hhea")[1]));

    auto adv = info.all("adv");
    ASSERT_EQ(font.advanceWidths().size(), adv.size());
    for (size_t g = 0; g < adv.size(); ++g)
        ASSERT_EQ(font.advanceWidths()[g], static_cast<uint16_t>(num(adv[g][2]) * 1000 / v.unitsPerEm)) << g;

    auto loca = info.all("loca");
    ASSERT_EQ(font.locaOffsets().size(), loca.size());
    for (size_t i = 0; i < loca.size(); ++i) ASSERT_EQ(font.locaOffsets()[i], num(loca[i][2])) << i;

    expectLine("os2", {v.os2Version, v.usWeightClass, v.usWidthClass, v.fsType, v.usFirstCharIndex, v.usLastCharIndex,
                       v.usWinAscent, v.usWinDescent, v.ulCodePageRange1, v.ulCodePageRange2, v.sxHeight, v.sCapHeight,
                       v.fsSelection});
    expectLine("panose", std::vector<long long>(v.panose, v.panose + 10));
    expectLine("post", {v.italicAngle});
    for (const auto& n : info.all("name")) {
        // The last qualifying record wins, as in the reader.
        if (n[1] == "full") {
            EXPECT_EQ(hexName(v.fullNameEnglish), n[2].substr(0, 400));
        }
        if (n[1] == "family") {
            EXPECT_EQ(hexName(v.familyNameEnglish), n[2].substr(0, 400));
        }
    }

    auto cmap = info.all("cmap");
    // fontTools leaves out the codes of a segment whose glyph is 0; the
    // engine keeps them (mapped to glyph 0).
    ASSERT_GE(font.unicodeMap().size(), cmap.size());
    std::set<long> listed;
    for (const auto& c : cmap) {
        ASSERT_EQ(font.unicodeMap().find(num(c[1])), num(c[2])) << c[1];
        listed.insert(num(c[1]));
    }
    for (auto e : font.unicodeMap()) {
        if (!listed.count(e.unicode)) {
            ASSERT_EQ(e.glyph, 0u) << e.unicode;
        }
    }
}

}  // namespace

TEST(WindowReader, ValuesStraddleTheWindowAndPastTheEndReadsZero) {
    TempDir dir;
    std::vector<uint8_t> bytes(7000);
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
    EXPECT_EQ(r.readUInt32(), (uint32_t{bytes[6998]} << 24) | (uint32_t{bytes[6999]} << 16));
    r.seekTo(1u << 31);
    EXPECT_EQ(r.readUInt32(), 0u);
    EXPECT_EQ(r.remaining(), 0u);
    std::fclose(f);
}

TEST(ReadTables, DejaVuSansMatchesFontTools) {
    for (const char* name : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"}) {
        SCOPED_TRACE(name);
        FileFont font(dejaVuPath(name));
        ASSERT_EQ(font.readResult, 0);
        EXPECT_FALSE(font->isCollection());
        EXPECT_TRUE(font->hasGlyf());
        EXPECT_TRUE(font->hasPost());
        EXPECT_TRUE(font->hasUnicodeCmap());
        EXPECT_FALSE(font->symbolFont());
        expectMatchesFontTools(*font.font, dejaVuPath(name));
    }
}

TEST(ReadTables, PlatformSourceReadsTheSameAsTheFile) {
    kd::DisplayContext dc;
    ASSERT_TRUE(dc);
    kd::platform::LogFont lf;
    kd::buildLogFont(dc.get(), lf, "DejaVu Sans", 12, 0, 0, 1252);
    kd::SelectedFont selected(dc.get(), lf);
    ASSERT_TRUE(selected);
    kd::TrueTypeFont font("DejaVu Sans", "unused.log");
    font.useDeviceContext(dc.get());
    ASSERT_EQ(font.readTables(), 0);
    EXPECT_FALSE(font.isCollection());
    FileFont file(dejaVuPath());
    ASSERT_EQ(font.tableList().size(), file->tableList().size());
    for (size_t i = 0; i < font.tableList().size(); ++i) {
        EXPECT_EQ(font.tableList()[i].offset, file->tableList()[i].offset);
        EXPECT_EQ(font.tableList()[i].length, file->tableList()[i].length);
    }
    EXPECT_EQ(font.unicodeMap().size(), file->unicodeMap().size());
    EXPECT_EQ(font.advanceWidths(), file->advanceWidths());
    EXPECT_EQ(font.locaOffsets(), file->locaOffsets());
    EXPECT_EQ(0, std::memcmp(font.values().fullNameEnglish, file->values().fullNameEnglish, 200));
}

TEST(ReadTables, BuiltFontsMatchFontTools) {
    // Short loca, one long metric, OS/2 version 0, reversed directory order
    // (readers still see head/hhea/OS/2 first), the 13-table directory.
    for (const char* kind : {"plain", "mono", "os2v0", "outoforder", "thirteen", "composite"}) {
        SCOPED_TRACE(kind);
        FileFont font(builtFont(kind));
        ASSERT_EQ(font.readResult, 0);
        expectMatchesFontTools(*font.font, builtFont(kind));
    }
}

TEST(ReadTables, MonospacedFontGivesOneWidthToEveryGlyph) {
    FileFont font(builtFont("mono"));
    ASSERT_EQ(font->values().numberOfHMetrics, 1);
    for (int g : {-1, 0, 1, 5, 400}) EXPECT_EQ(font->glyphWidth(g), 600);
}

TEST(ReadTables, FullNameOnlyInGermanStaysEmpty) {
    FileFont font(builtFont("nameonly0407"));
    for (uint8_t b : font->values().fullNameEnglish) ASSERT_EQ(b, 0);
    EXPECT_NE(font->values().familyNameEnglish[1], 0);
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
        expectMatchesFontTools(*font.font, builtFont("collection"), c.member);
    }
}

TEST(CharacterMaps, WindowsUnicodeSubtableIsPreferred) {
    struct Case {
        const char* kind;
        bool unicode, symbol;
        int32_t a, f041;
    } cases[] = {
        {"cmap_30_31", true, true, 2, -1},
        {"cmap_31_30", true, true, 2, -1},
        {"cmap_30", false, true, -1, 4},
        {"cmap_31_fmt12", true, false, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        FileFont font(builtFont(c.kind));
        EXPECT_EQ(font->hasUnicodeCmap(), c.unicode);
        EXPECT_EQ(font->hasSymbolCmap(), c.symbol);
        EXPECT_EQ(font->unicodeMap().find(0x41), c.a);
        EXPECT_EQ(font->unicodeMap().find(0xF041), c.f041);
        if (std::string(c.kind) == "cmap_31_fmt12") {
            EXPECT_EQ(font->unicodeMap().size(), 0u);
        }
        EXPECT_EQ(font->unicodeMap().find(0xFFFF), -1);
    }
}

TEST(CharacterMaps, SymbolDecision) {
    EXPECT_TRUE(FileFont(builtFont("symbol"))->symbolFont());
    EXPECT_FALSE(FileFont(builtFont("symbol_low"))->symbolFont());  // usFirstCharIndex 32
    EXPECT_TRUE(FileFont(builtFont("symbol_v0"))->symbolFont());    // OS/2 v0: range 1, (3,0) only
    // Only a (3,0) map whose first character is U+F041, code page range 0 or 1.
    EXPECT_TRUE(FileFont(builtFont("cmap_30"))->symbolFont());
    EXPECT_FALSE(FileFont(builtFont("cmap_30_31"))->symbolFont());  // has a (3,1) map
}

TEST(ReadTables, TrueTypeOutlinesNeedGlyfLocaAndATrueTypeVersion) {
    EXPECT_TRUE(FileFont(builtFont("plain"))->hasTrueTypeOutlines());
    EXPECT_FALSE(FileFont(builtFont("noloca"))->hasTrueTypeOutlines());
    EXPECT_FALSE(FileFont(builtFont("otto"))->hasTrueTypeOutlines());
}

TEST(CodePageTables, PublishedValuesWithZeroAtUndefinedAnd127) {
    const uint16_t* t = kd::codePageTable(1252);
    ASSERT_TRUE(t);
    EXPECT_EQ(t[128], 8364);
    EXPECT_EQ(t[129], 0);
    EXPECT_EQ(t[127], 0);
    EXPECT_EQ(t[233], 233);
    EXPECT_EQ(t[0], 0);
    for (int cp = 1250; cp <= 1257; ++cp) {
        const uint16_t* table = kd::codePageTable(cp);
        ASSERT_TRUE(table) << cp;
        EXPECT_EQ(table[127], 0);
        for (int c = 1; c < 127; ++c) ASSERT_EQ(table[c], c) << cp;
    }
    EXPECT_EQ(kd::codePageTable(1251)[0xC0], 0x0410);  // Cyrillic A
    EXPECT_EQ(kd::codePageTable(1255)[0xD9], 0);       // undefined in Hebrew
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
    std::vector<uint8_t> bytes = readFile(builtFont("plain"));
    FileFont plain(builtFont("plain"));
    uint32_t headOffset = 0;
    for (const auto& r : plain->tableList())
        if (r.tag == kd::makeTag('h', 'e', 'a', 'd')) headOffset = r.offset;
    bytes[headOffset + 18] = 0;
    bytes[headOffset + 19] = 0;
    writeFile(dir.file("upem0.ttf"), bytes);
    EXPECT_EQ(FileFont(dir.file("upem0.ttf")).readResult, -1);
}
