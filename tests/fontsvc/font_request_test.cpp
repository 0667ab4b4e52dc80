// getFParam's requests: metrics, widths and the descriptor against
// fontTools, the glyph map, and embedding (whole fonts and subsets) with
// its refusals; the host's road from text to an embedded font; the font
// processor.
#include "fontsvc/font_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "fontsvc/font_processor.h"
#include "fontsvc/font_stream.h"
#include "fontsvc/fontsvc_support.h"
#include "text/wrap_font_facts.h"

using kdtest::numbers;

namespace {

const char* kFace = "DejaVu Sans";

int32_t request(uint16_t code, int32_t* record, const char* face = kFace, float size = 12, const char* file = nullptr) {
    return getFParam("", face, size, 0, 0, code, record, nullptr, 1252, file, 0, nullptr);
}

// An embedding request (8, 9, 10 with flags) writing `stream` and `program`.
int32_t embed(const std::string& stream, const char* face, uint16_t code, const std::string& program, int32_t map = 0,
              int32_t* record = nullptr, uint16_t* widths = nullptr, const char* mask = nullptr) {
    return getFParam(stream.c_str(), face, 12, 0, 0, code, record, mask, 1252, program.c_str(), map, widths);
}

TEST(FontRequest, MetricsAndWidthsAtSize72AreThousandthsOfTheEm) {
    // A, e acute, euro (0x80 in 1252) and y diaeresis, the last code (0xFF).
    wraptest::FontFacts f = wraptest::readFacts("A\xc3\xa9\xe2\x82\xac\xc3\xbf");
    // 72 points on a 96-dpi display: 96 pixels per em.
    auto thousandths = [&](int units) { return static_cast<int32_t>(std::lround(units * 96.0 / f.upem) * 1000 / 96); };
    int32_t record[5] = {};
    ASSERT_EQ(request(1, record, kFace, 72), 0);
    const long ascent = std::lround(f.winAscent * 96.0 / f.upem), descent = std::lround(f.winDescent * 96.0 / f.upem);
    // DejaVu's line gap is covered by its Windows metrics; codes 30 to 255.
    EXPECT_EQ(std::vector<int32_t>(record, record + 5),
              (std::vector<int32_t>{int32_t((ascent + descent) * 1000 / 96), 0, int32_t(ascent * 1000 / 96), 30, 255}));
    for (uint16_t code : {0, 2, 19, 0x200}) {
        std::vector<int32_t> widths(256, -9);
        ASSERT_EQ(request(code, widths.data(), kFace, 72), 0) << code;
        const std::vector<int32_t> got{widths[65 - 30], widths[0xE9 - 30], widths[0x80 - 30], widths[255 - 30],
                                       widths[256 - 30]};
        EXPECT_EQ(got, (std::vector<int32_t>{thousandths(f.advances[0]), thousandths(f.advances[1]),
                                             thousandths(f.advances[2]), thousandths(f.advances[3]), -9}))
            << code;
    }
}

TEST(FontRequest, SymbolicFlagFromTheDisplayFontOrTheFile) {
    const std::string symbolFile = fonttest::testFontDir() + "/KdSymbol.ttf";
    EXPECT_EQ(request(7, nullptr), 32);
    EXPECT_EQ(request(7, nullptr, "Kd Symbol"), 4);
    EXPECT_EQ(request(7 | 0x400, nullptr, kFace, 12, symbolFile.c_str()), 4);
    EXPECT_EQ(request(7 | 0x400, nullptr, kFace, 12, "/nonexistent/font.ttf"), -1);
}

TEST(FontRequest, DescriptorOfDisplayFontAndFontFilesAgainstFontTools) {
    // Font files: a reversed directory (the readers still see head, hhea and
    // OS/2 first), OS/2 version 0, a full name only in German, PostScript
    // outlines, a symbol map alone, and the members of a collection chosen
    // by (a prefix of) their English full name, the first one otherwise.
    const std::string made = fonttest::testFontDir() + "/";
    const std::string collection = made + "collection.ttc";
    struct Case {
        std::string file, face;
        int member;
    } cases[] = {{"", kFace, -1},
                 {kdtest::dejaVuPath("DejaVuSans-Bold.ttf"), "Anything", -1},
                 {made + "outoforder.ttf", "x", -1},
                 {made + "os2v0.ttf", "x", -1},
                 {made + "nameonly0407.ttf", "x", -1},
                 {made + "KdCff.otf", "x", -1},
                 {made + "KdCff2.otf", "x", -1},  // no glyf table: the host can tell it is not subset
                 {made + "cmap_30.ttf", "x", -1},
                 {collection, "Sample Math", 1},
                 {collection, "Samp", 0},
                 {collection, "Other", 2},
                 {collection, "Nothing like it", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + " " + c.face);
        const std::string source = c.file.empty() ? kdtest::dejaVuPath() : c.file;
        kdtest::OracleAnswer expected = kdtest::runOracle(
            "font_oracle.py", {"descriptor", c.member < 0 ? source : source + "#" + std::to_string(c.member)});
        ASSERT_EQ(expected.status, 0);
        EXPECT_EQ(expected.lines.size(), 37u);
        std::vector<uint8_t> bytes(kd::kDescriptorRecordSize + 8, 0xEE);
        auto* record = reinterpret_cast<int32_t*>(bytes.data());
        const uint16_t code = c.file.empty() ? 20 : 20 | 0x400;
        ASSERT_EQ(request(code, record, c.face.c_str(), 12, c.file.empty() ? nullptr : c.file.c_str()), 0);
        for (const auto& [key, value] : expected.lines) {
            if (key == "full" || key == "family") {
                std::string got = kdtest::hexOf(bytes.data() + (key == "full" ? 148 : 352), 200);
                EXPECT_EQ(got, value + std::string(400 - value.size(), '0')) << key;
            } else {
                EXPECT_EQ(record[std::stoi(key) / 4], std::stoll(value)) << "offset " << key;
            }
        }
        EXPECT_EQ(record[64 / 4], c.member >= 0);
        EXPECT_EQ(bytes[348] << 8 | bytes[756], 0xEEEE);  // gaps and what follows the record untouched
        // At 556 the display font's face name, or the file's full name again.
        if (c.file.empty()) {
            EXPECT_STREQ(reinterpret_cast<char*>(bytes.data() + 556), kFace);
        } else {
            EXPECT_TRUE(std::equal(bytes.begin() + 148, bytes.begin() + 348, bytes.begin() + 556));
        }
    }
}

TEST(FontRequest, UsedCodeMaskSubsetKeepsTheCharacterMapUnlessGlyphNumbersAreAsked) {
    kdtest::TempDir dir;
    std::string mask(256, ' ');
    mask[65] = mask[233] = '!';
    const std::string stream = dir.file("s8"), subset = dir.file("s8.ttf");
    wraptest::FontFacts facts = wraptest::readFacts("A\xc3\xa9");
    for (uint16_t flags : {0, 0x200}) {
        std::vector<int32_t> record(300, -9);
        std::vector<uint16_t> widths(260, 0xEEEE);
        ASSERT_GT(embed(stream, kFace, 8 | flags, subset, 0, record.data(), widths.data(), mask.c_str()), 0);
        EXPECT_EQ(fonttest::streamContent(stream), kdtest::readFile(subset));
        EXPECT_EQ(std::vector<int32_t>(record.begin(), record.begin() + 1 + record[0]),
                  (std::vector<int32_t>{7, 0, 127, 129, 141, 143, 144, 157}));
        // The other codes: the last hmtx advance, per fontTools' dump.
        EXPECT_EQ((std::vector<uint16_t>{widths[0], widths[1], widths[2 + 65], widths[2 + 233], widths[2 + 66],
                                         widths[2 + 255], widths[258]}),
                  (std::vector<uint16_t>{1, 255, uint16_t(facts.advances[0] * 1000 / facts.upem),
                                         uint16_t(facts.advances[1] * 1000 / facts.upem), 1508 * 1000 / 2048,
                                         1508 * 1000 / 2048, 0xEEEE}));
        // eacute is a composite: its components come along and it draws whole.
        auto report = fonttest::checkProgram(subset, kdtest::dejaVuPath(), "A\xc3\xa9", {"--draw", "A,eacute"});
        EXPECT_EQ(report["tables"],
                  flags ? "OS/2 glyf head hhea hmtx loca maxp name" : "OS/2 cmap glyf head hhea hmtx loca maxp name");
    }
}

TEST(FontRequest, WholeFontProgramWithAndWithoutAStream) {
    // A collection's member is written as a font of its own. DejaVu Sans
    // holds no accidental sync marker in its deflated data.
    struct Case {
        const char* face;
        std::string member;
    } cases[] = {{kFace, ""}, {"Kd Pair Two", fonttest::testFontDir() + "/KdPair.ttc#1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.face);
        kdtest::TempDir dir;
        const std::string stream = dir.file("s9"), program = dir.file("p9.ttf");
        const int32_t result = embed(stream, c.face, 9, program);
        ASSERT_GT(result, 0);
        const std::vector<uint8_t> font = kdtest::readFile(program);
        if (c.member.empty()) {
            EXPECT_EQ(font, kdtest::readFile(kdtest::dejaVuPath()));
        } else {
            EXPECT_EQ(fonttest::checkProgram(program, c.member, "0123456789")["family"], "Kd Pair Two");
        }
        kdtest::StreamFile s = kdtest::splitStreamFile(stream);
        EXPECT_EQ(s.header, "/Filter /FlateDecode\r\n/Length1 " + std::to_string(font.size()) + "\r\n>>\r\nstream\r\n");
        EXPECT_EQ(kdtest::inflateAll(s.data), font);
        EXPECT_EQ(result, static_cast<int32_t>(s.data.size()));
        // The program is deflated in chunks of 2000 bytes with a sync point
        // (an empty stored block, 00 00 FF FF) after each but the last.
        const uint8_t marker[4] = {0, 0, 0xFF, 0xFF};
        size_t markers = 0;
        for (auto at = s.data.begin(); (at = std::search(at, s.data.end(), marker, marker + 4)) != s.data.end(); ++at)
            ++markers;
        EXPECT_EQ(markers, (font.size() + 1999) / 2000 - 1);
        std::remove(program.c_str());
        EXPECT_EQ(embed("", c.face, 9, program), 0);
        EXPECT_EQ(kdtest::readFile(program), font);
    }
}

TEST(FontRequest, RestrictedLicenceAndOutlinesOfNoKnownKindAreNotSubset) {
    // Restricted licence: nothing embedded (-500), the metrics still there.
    // CFF2 outlines: a subset would be a program without glyphs, so requests
    // 8 and 10 and the font processor write nothing (-666).
    fonttest::testFontDir();
    kdtest::TempDir dir;
    const std::string stream = dir.file("s"), program = dir.file("p.ttf");
    fonttest::Maps maps;
    maps.add("AB");
    std::vector<int32_t> record(600, 0);
    std::vector<uint16_t> widths(600, 0);
    struct Case {
        const char* face;
        std::vector<uint16_t> codes;
        int32_t refusal;
    } cases[] = {{"Kd Restricted", {9, 10}, -500}, {"Kd Cff2", {8, 8 | 0x200, 10, 10 | 0x200}, -666}};
    for (const Case& c : cases) {
        for (uint16_t code : c.codes) {
            EXPECT_EQ(embed(stream, c.face, code, program, maps.charMap, record.data(), widths.data(), "  !"),
                      c.refusal)
                << c.face << " " << code;
            EXPECT_FALSE(kdtest::fileExists(stream) || kdtest::fileExists(program)) << c.face << " " << code;
        }
        EXPECT_EQ(request(1, record.data(), c.face) | request(0, record.data(), c.face), 0) << c.face;
    }
    int32_t h = _zo_fontProcessor_Init();
    EXPECT_EQ(_zo_fontProcessor_AddText(h, "AB", 1252, "Kd Cff2--000000"), 1);
    EXPECT_EQ(_zo_fontProcessor_WriteFontFiles(h, (dir.path() + "/").c_str()), 1);
    EXPECT_FALSE(kdtest::fileExists(dir.file("font1.ttf")));
    _zo_fontProcessor_Destroy(h);
}

TEST(FontRequest, FailuresAndHostMistakes) {
    kdtest::TempDir dir;
    const std::string stream = dir.file("s"), subset = dir.file("p.ttf"), missing = dir.file("no/such/folder/x");
    std::vector<int32_t> record(600, 0);
    std::vector<uint16_t> widths(600, 0);
    fonttest::Maps maps;
    maps.add("AB");
    struct Case {
        const char* what;
        int32_t result, expected;
    } cases[] = {
        {"request 10 without a map", embed(stream, kFace, 10, subset, 0, record.data(), widths.data()), -500},
        {"request 10 with a dead map", embed(stream, kFace, 10, subset, 987654, record.data(), widths.data()), -500},
        {"request 21 without a map", request(21, record.data()), -500},
        {"request 21 with a dead map",
         getFParam("", kFace, 12, 0, 0, 21, record.data(), nullptr, 1252, nullptr, 987654, nullptr), -500},
        {"null metrics record", request(1, nullptr), kd::kFontBadPointer},
        {"null width record", request(0, nullptr), kd::kFontBadPointer},
        {"null descriptor record", request(20, nullptr), kd::kFontBadPointer},
        {"null names", getFParam(nullptr, nullptr, 12, 0, 0, 1, record.data(), nullptr, 1252, nullptr, 0, nullptr), 0},
        {"null stream name", getFParam(nullptr, kFace, 12, 0, 0, 9, nullptr, nullptr, 1252, nullptr, 0, nullptr),
         kd::kOutputNotCreatable},
        {"size 0", request(1, record.data(), kFace, 0), 0},
        {"negative size", request(1, record.data(), kFace, -12), 0},
        {"huge size", request(1, record.data(), kFace, 1e9f), 0},
        {"size NaN", request(1, record.data(), kFace, NAN), 0},
        {"over-long face name", request(1, record.data(), (std::string(kFace) + std::string(40, 'x')).c_str()), 0},
        // Output files that cannot be created: nothing half-written left.
        {"stream not creatable", embed(missing, kFace, 9, subset), kd::kOutputNotCreatable},
        {"program not creatable", embed(stream, kFace, 9, missing), kd::kOutputNotCreatable},
        {"subset not writable", embed(stream, kFace, 10, missing, maps.charMap, record.data(), widths.data()), -666},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result, c.expected) << c.what;
    EXPECT_FALSE(kdtest::fileExists(stream) || kdtest::fileExists(subset));
}

TEST(FontRequest, CffFaceGivesAnOpenTypeSubset) {
    const std::string source = fonttest::testFontDir() + "/KdCff.otf";
    kdtest::TempDir dir;
    fonttest::Maps maps;
    maps.add("CA\xC1");
    std::vector<int32_t> record(300);
    std::vector<uint16_t> widths(514, 0xEEEE);
    const std::string stream = dir.file("font.stream"), program = dir.file("font.otf");
    ASSERT_GT(embed(stream, "Kd Cff", 10 | 0x200, program, maps.charMap, record.data(), widths.data()), 0);
    EXPECT_EQ(fonttest::streamContent(stream), kdtest::readFile(program));
    // Glyph numbers by the font's construction (font_make.py): C 4, A 2,
    // Aacute 7, built of A and acute (6); widths 500 + 10 x glyph.
    const int32_t n = record[0];
    ASSERT_EQ(record[n + 1], 3);
    std::map<int32_t, int32_t> glyphOf;
    for (int k = 0; k < 3; ++k) glyphOf[record[n + 3 + 2 * k]] = record[n + 2 + 2 * k];
    EXPECT_EQ(glyphOf, (std::map<int32_t, int32_t>{{'A', 2}, {'C', 4}, {0xC1, 7}}));
    EXPECT_EQ(std::vector<uint16_t>(widths.begin(), widths.begin() + 8),
              (std::vector<uint16_t>{0, 2, 540, 520, 570, 4, 2, 7}));
    fonttest::checkProgram(program, source, "",
                           {"--glyphs", "2,4,6,7", "--tables", "CFF ,OS/2,head,hhea,hmtx,maxp,name"});
}

// The road of one embedded font as the host drives it (the reference
// host's tests take the same road through the shared library): re-encode
// text, then request 10 (one-byte codes) or request 21 feeding the two-byte
// mode.
TEST(HostRoad, OneByteTextToEmbeddedSubset) {
    // Latin, Greek, Cyrillic in their code pages, and U+4E00 (not in DejaVu Sans) in UTF-8.
    fonttest::Maps maps;
    std::vector<int> codes;
    for (const auto& [text, codePage] : {std::pair<const char*, int>{"A\xe9 ", 1252}, {"\xe1\xe2", 1253},
                                         {"\xc6\xe6", 1251}, {"\xe4\xb8\x80", 65001}}) {
        for (int code : maps.add(text, codePage)) codes.push_back(code);
    }
    const char* utf8 = "A\xc3\xa9 \xce\xb1\xce\xb2\xd0\x96\xd0\xb6\xe4\xb8\x80";
    const char16_t units[8] = {u'A', 0xE9, u' ', 0x3B1, 0x3B2, 0x416, 0x436, 0x4E00};
    ASSERT_EQ(codes, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));

    kdtest::TempDir dir;
    const std::string stream = dir.file("stream"), subset = dir.file("subset.ttf");
    std::vector<int32_t> record(600, -9);
    std::vector<uint16_t> widths(600, 0xEEEE);
    ASSERT_GT(embed(stream, kFace, 10, subset, maps.charMap, record.data(), widths.data()), 0);
    // The stream's header and result follow the whole-font rules; its data inflate to the subset.
    EXPECT_EQ(fonttest::streamContent(stream), kdtest::readFile(subset));

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
    ASSERT_EQ(getFParam("", kFace, 12, 0, 0, 21, record, nullptr, 1252, nullptr, maps.glyphMap, nullptr), 0);
    EXPECT_EQ(record[0], maps.glyphMap);
    std::string text = "AB\xd0\x96\xe4\xb8\x80";  // A, B, Zhe, U+4E00 (absent: 0)
    std::vector<int> needed = wraptest::readFacts(text).glyphs;
    ASSERT_EQ(needed.size(), 4u);
    needed[3] = 0;
    EXPECT_EQ(maps.add(text, 65001), needed);
}

// The font processor: texts gathered per font key, one subset file per
// font.
TEST(FontProcessor, KeysNumbersAndStyles) {
    int32_t h = _zo_fontProcessor_Init();
    ASSERT_NE(h, 0);
    EXPECT_EQ(_zo_fontProcessor_AddText(h, "abc", 1252, "ArialB-000000"), 1);
    EXPECT_EQ(_zo_fontProcessor_AddText(h, "x", 1252, "Arial--000000"), 2);
    EXPECT_EQ(_zo_fontProcessor_AddText(h, "d", 1252, "ArialB-000000"), 1);
    EXPECT_EQ(_zo_fontProcessor_GetCount(h), 2);
    // Case matters; an empty text still makes the font.
    EXPECT_EQ(_zo_fontProcessor_AddText(h, "", 1252, "arialB-000000"), 3);
    EXPECT_EQ(_zo_fontProcessor_AddText(h, nullptr, 1252, "Other-I000000"), 4);
    EXPECT_EQ(_zo_fontProcessor_GetCount(h), 4);
    EXPECT_EQ(_zo_fontProcessor_Destroy(h), 0);

    // Outside the key format the whole key is the face name.
    struct Case {
        std::string key, face;
        bool bold, italic;
    } cases[] = {{"ArialB-000000", "Arial", true, false},
                 {"Arialb-000000", "Arial", false, false},
                 {"Times New Roman-I------", "Times New Roman", false, true},
                 {"short", "short", false, false},
                 {std::string(40, 'F') + "BI000000", std::string(31, 'F'), true, true}};
    for (const Case& c : cases) {
        kd::FontKeyParts p = kd::splitFontKey(c.key);
        EXPECT_EQ(p.faceName + std::to_string(p.bold) + std::to_string(p.italic),
                  c.face + std::to_string(c.bold) + std::to_string(c.italic));
    }
}

TEST(FontProcessor, WritesOneSubsetFilePerFont) {
    kdtest::TempDir dir;
    int32_t h = _zo_fontProcessor_Init();
    ASSERT_EQ(_zo_fontProcessor_AddText(h, "Hello", 1252, "DejaVu Sans--000000"), 1);
    ASSERT_EQ(_zo_fontProcessor_AddText(h, "\xc1\xe2\xe3", 1253, "DejaVu SansB-000000"), 2);
    ASSERT_EQ(_zo_fontProcessor_AddText(h, " world", 1252, "DejaVu Sans--000000"), 1);
    EXPECT_EQ(_zo_fontProcessor_WriteFontFiles(h, (dir.path() + "/").c_str()), 2);

    // fontTools finds the glyphs the text needs, and no more than a handful
    // of extras.
    auto regular = fonttest::checkProgram(dir.file("font1.ttf"), kdtest::dejaVuPath(), "Hello world");
    EXPECT_EQ(regular["family"], "DejaVu Sans");
    EXPECT_LE(numbers(regular["inked"]).size(), 10u);
    auto bold = fonttest::checkProgram(dir.file("font2.ttf"), kdtest::dejaVuPath("DejaVuSans-Bold.ttf"),
                                       "\xce\x91\xce\xb2\xce\xb3");
    EXPECT_EQ(bold["family"], "DejaVu Sans");

    EXPECT_EQ(_zo_fontProcessor_GetCount(h), 2);  // the fonts stay after writing
    _zo_fontProcessor_Destroy(h);
}

}  // namespace
