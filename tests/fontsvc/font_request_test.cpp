#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fontsvc/font_request.h"
#include "fontsvc/font_stream.h"
#include "fontsvc/fontsvc_support.h"
#include "frame/handle_registry.h"
#include "kdlib.h"
#include "text/code_maps.h"
#include "text/wrap_font_facts.h"

using fonttest::numbers;

namespace {

const char* kFace = "DejaVu Sans";

int32_t request(uint16_t code, int32_t* record, const char* face = kFace, float size = 12,
                const char* subset = nullptr, int32_t codePage = 1252) {
    return getFParam("", face, size, 0, 0, code, record, nullptr, codePage, subset, 0, nullptr);
}

// An embedding request (8, 9, 10 with flags) writing `stream` and `program`.
int32_t embed(const std::string& stream, const char* face, uint16_t code, const std::string& program,
              int32_t charMap = 0, int32_t* record = nullptr, uint16_t* widths = nullptr, const char* mask = nullptr) {
    return getFParam(stream.c_str(), face, 12, 0, 0, code, record, mask, 1252, program.c_str(), charMap, widths);
}

TEST(FontRequest, MetricsAtSize72AreThousandthsOfTheEm) {
    wraptest::FontFacts f = wraptest::readFacts("");
    int32_t record[5] = {};
    ASSERT_EQ(request(1, record, kFace, 72), 0);
    // 72 points on a 96-dpi display: 96 pixels per em.
    long ascent = std::lround(f.winAscent * 96.0 / f.upem), descent = std::lround(f.winDescent * 96.0 / f.upem);
    EXPECT_EQ(record[0], (ascent + descent) * 1000 / 96);
    EXPECT_EQ(record[2], ascent * 1000 / 96);
    EXPECT_EQ(record[1], 0);  // DejaVu's line gap is covered by its Windows metrics
    EXPECT_EQ(record[3], 30);
    EXPECT_EQ(record[4], 255);
}

TEST(FontRequest, OtherCodesGiveTheWidthArray) {
    // Codes 30..255 of 1252; compare letters against hmtx.
    std::string probe = "A\xc3\xa9\xe2\x82\xac";  // A, e acute, euro (0x80 in 1252)
    wraptest::FontFacts f = wraptest::readFacts(probe);
    for (uint16_t code : {0, 2, 19, 0x200}) {
        std::vector<int32_t> record(256, -9);
        ASSERT_EQ(request(code, record.data(), kFace, 72), 0) << code;
        auto expected = [&](int i) { return static_cast<int32_t>(std::lround(f.advances[i] * 96.0 / f.upem) * 1000 / 96); };
        EXPECT_EQ(record[65 - 30], expected(0));
        EXPECT_EQ(record[0xE9 - 30], expected(1));
        EXPECT_EQ(record[0x80 - 30], expected(2));
        EXPECT_EQ(record[255 - 30 + 1], -9);  // 226 values, nothing beyond
    }
}

TEST(FontRequest, SymbolicFlag) {
    fonttest::testFontDir();
    EXPECT_EQ(request(7, nullptr), 32);
    EXPECT_EQ(request(7, nullptr, "Kd Symbol"), 4);
    // Read from the file instead of through the display font.
    std::string symbolFile = fonttest::testFontDir() + "/KdSymbol.ttf";
    EXPECT_EQ(request(7 | 0x400, nullptr, kFace, 12, symbolFile.c_str()), 4);
    EXPECT_EQ(request(7 | 0x400, nullptr, kFace, 12, "/nonexistent/font.ttf"), -1);
}

TEST(FontRequest, DescriptorAgainstFontTools) {
    std::string out;
    ASSERT_EQ(kdtest::runPython("fontsvc_descriptor.py", {kdtest::dejaVuPath()}, &out), 0);
    std::vector<uint8_t> bytes(kd::kDescriptorRecordSize + 8, 0xEE);
    auto* record = reinterpret_cast<int32_t*>(bytes.data());
    ASSERT_EQ(request(20, record), 0);
    std::istringstream in(out);
    std::string key;
    int checked = 0;
    while (in >> key) {
        std::string value;
        in >> value;
        if (key == "full" || key == "family") {
            std::vector<uint8_t> expected(200, 0);
            for (size_t i = 0; i + 1 < value.size(); i += 2)
                expected[i / 2] = static_cast<uint8_t>(std::stoi(value.substr(i, 2), nullptr, 16));
            size_t at = key == "full" ? 148 : 352;
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + static_cast<long>(at))) << key;
            continue;
        }
        int offset = std::stoi(key);
        EXPECT_EQ(record[offset / 4], std::stoll(value)) << "offset " << offset;
        ++checked;
    }
    EXPECT_EQ(checked, 35);
    EXPECT_EQ(record[64 / 4], 0);   // not a collection
    EXPECT_EQ(record[136 / 4], 0);  // not a symbol font
    EXPECT_STREQ(reinterpret_cast<char*>(bytes.data() + 556), "DejaVu Sans");
    EXPECT_EQ(bytes[348], 0xEE);  // gaps untouched
    EXPECT_EQ(bytes[756], 0xEE);  // nothing past the record

    // From the font file: the full name again at 556.
    std::fill(bytes.begin(), bytes.end(), 0xEE);
    std::string path = kdtest::dejaVuPath();
    ASSERT_EQ(request(20 | 0x400, record, "Anything", 12, path.c_str()), 0);
    EXPECT_TRUE(std::equal(bytes.begin() + 148, bytes.begin() + 348, bytes.begin() + 556));
}

TEST(FontRequest, GlyphMapFillsTheGlyphCodeMapOnce) {
    int32_t glyphMap = fonttest::newGlyphCodeMap();
    int32_t record[1] = {};
    ASSERT_EQ(getFParam("", kFace, 12, 0, 0, 21, record, nullptr, 1252, nullptr, glyphMap, nullptr), 0);
    EXPECT_EQ(record[0], glyphMap);
    auto* map = kd::HandleRegistry::instance().find<kd::GlyphCodeMap>(glyphMap);
    ASSERT_NE(map, nullptr);
    size_t size = map->size();
    EXPECT_GT(size, 3000u);
    ASSERT_NE(map->find(0x41), nullptr);
    EXPECT_EQ(*map->find(0x41), 36);  // fontTools: glyph of 'A'
    EXPECT_EQ(*map->find(0x20), 3);
    EXPECT_EQ(map->find(0x4E00), nullptr);
    ASSERT_EQ(getFParam("", kFace, 12, 0, 0, 21, record, nullptr, 1252, nullptr, glyphMap, nullptr), 0);
    EXPECT_EQ(map->size(), size);
    // No live map: the embedding request's answer.
    EXPECT_EQ(getFParam("", kFace, 12, 0, 0, 21, record, nullptr, 1252, nullptr, 0, nullptr), -500);
    fonttest::releaseMaps(0, glyphMap);
    EXPECT_EQ(getFParam("", kFace, 12, 0, 0, 21, record, nullptr, 1252, nullptr, glyphMap, nullptr), -500);
}

struct CodeMapRun {
    int32_t result = 0;
    std::vector<int32_t> record;
    std::vector<uint16_t> widths;
    std::string stream, subset;
};

// Latin (1252), Greek (1253), Cyrillic (1251) and a character DejaVu Sans
// lacks (U+4E00, in UTF-8), one-byte encoded, then request 10.
const char* kMixedUtf8 = "A\xc3\xa9 \xce\xb1\xce\xb2\xd0\x96\xd0\xb6\xe4\xb8\x80";

CodeMapRun runCodeMap(const kdtest::TempDir& dir, uint16_t flags, int32_t* charMapOut = nullptr) {
    int32_t charMap = fonttest::newCharCodeMap();
    int32_t next = 0;
    fonttest::encodeOneByte(charMap, "A\xe9 ", 1252, next);
    fonttest::encodeOneByte(charMap, "\xe1\xe2", 1253, next);
    fonttest::encodeOneByte(charMap, "\xc6\xe6", 1251, next);
    fonttest::encodeOneByte(charMap, "\xe4\xb8\x80", 65001, next);
    EXPECT_EQ(next, 8);
    CodeMapRun run;
    run.stream = dir.file("stream10");
    run.subset = dir.file("subset10.ttf");
    run.record.assign(600, -9);
    run.widths.assign(600, 0xEEEE);
    run.result = getFParam(run.stream.c_str(), kFace, 12, 0, 0, static_cast<uint16_t>(10 | flags), run.record.data(),
                           nullptr, 1252, run.subset.c_str(), charMap, run.widths.data());
    if (charMapOut)
        *charMapOut = charMap;
    else
        fonttest::releaseMaps(charMap, 0);
    return run;
}

TEST(FontRequest, CodeMapSubsetEndToEnd) {
    kdtest::TempDir dir;
    int32_t charMap = 0;
    CodeMapRun run = runCodeMap(dir, 0, &charMap);
    ASSERT_GT(run.result, 0);
    auto* map = kd::HandleRegistry::instance().find<kd::CharCodeMap>(charMap);

    // The stream file: header, Length1 = the subset's size, data inflates
    // to exactly the subset file.
    std::vector<uint8_t> program = kdtest::readFile(run.subset);
    kdtest::StreamFile s = kdtest::splitStreamFile(run.stream);
    EXPECT_EQ(s.header, "/Filter /FlateDecode\r\n/Length1 " + std::to_string(program.size()) + "\r\n>>\r\nstream\r\n");
    EXPECT_EQ(run.result, static_cast<int32_t>(s.data.size()));
    EXPECT_EQ(fonttest::inflateAll(s.data), program);

    // fontTools opens the subset; the text's glyphs are there, unchanged.
    auto report = fonttest::checkProgram(run.subset, kdtest::dejaVuPath(), kMixedUtf8);
    EXPECT_EQ(report["tables"], "OS/2 cmap glyf head hhea hmtx loca maxp name");
    std::vector<int> needed = numbers(report["needed"]);  // A é space α β Ж ж U+4E00
    ASSERT_EQ(needed.size(), 8u);
    EXPECT_EQ(needed[7], -1);
    EXPECT_EQ(needed[2], 3);  // the space has no outline
    fonttest::expectNeededInked(report, 3);

    // The record: missing codes (U+4E00 and 1252's undefined codes, sorted),
    // then one (code, unicode) entry per map entry.
    std::vector<int32_t>& r = run.record;
    int32_t n = r[0];
    std::vector<int32_t> missing(r.begin() + 1, r.begin() + 1 + n);
    EXPECT_EQ(missing, (std::vector<int32_t>{0, 127, 129, 141, 143, 144, 157, 0x4E00}));
    ASSERT_EQ(r[n + 1], 8);
    std::map<int, int> codeOf;  // unicode -> code
    for (int k = 0; k < 8; ++k) codeOf[r[n + 3 + 2 * k]] = r[n + 2 + 2 * k];
    for (const auto& [unit, code] : *map) EXPECT_EQ(codeOf[unit], code) << unit;

    // The subset's one-byte map and the width table follow the codes.
    std::vector<int> cmap = numbers(report["cmap10"]);
    std::map<int, int> glyphOfCode;
    for (size_t i = 0; i + 1 < cmap.size(); i += 2) glyphOfCode[cmap[i]] = cmap[i + 1];
    wraptest::FontFacts facts = wraptest::readFacts(kMixedUtf8);
    const char16_t units[8] = {u'A', 0xE9, u' ', 0x3B1, 0x3B2, 0x416, 0x436, 0x4E00};
    EXPECT_EQ(run.widths[0], 0);
    EXPECT_EQ(run.widths[1], 7);
    for (int i = 0; i < 8; ++i) {
        int code = *map->find(units[i]);
        int expectedGlyph = i == 7 ? 3 : needed[i];  // the missing one is drawn as the space
        EXPECT_EQ(glyphOfCode[code], expectedGlyph) << i;
        int advance = i == 7 ? facts.advances[2] : facts.advances[i];
        EXPECT_EQ(run.widths[2 + code], advance * 1000 / facts.upem) << i;
    }
    EXPECT_EQ(run.widths[10], 0xEEEE);
    fonttest::releaseMaps(charMap, 0);
}

TEST(FontRequest, CodeMapSubsetWithGlyphNumbers) {
    kdtest::TempDir dir;
    CodeMapRun plain = runCodeMap(dir, 0);
    CodeMapRun ids = runCodeMap(dir, 0x200);
    ASSERT_GT(ids.result, 0);
    auto report = fonttest::checkProgram(ids.subset, kdtest::dejaVuPath(), kMixedUtf8);
    EXPECT_EQ(report["tables"], "OS/2 glyf head hhea hmtx loca maxp name");  // no character map
    EXPECT_EQ(report.count("differs"), 0u);
    // Entries report glyph numbers; the width table carries them after the
    // widths.
    int32_t n = ids.record[0];
    std::vector<int> needed = numbers(report["needed"]);
    std::map<int, int> glyphOfUnicode;
    for (int k = 0; k < ids.record[n + 1]; ++k) glyphOfUnicode[ids.record[n + 3 + 2 * k]] = ids.record[n + 2 + 2 * k];
    EXPECT_EQ(glyphOfUnicode['A'], needed[0]);
    EXPECT_EQ(glyphOfUnicode[0x416], needed[5]);
    EXPECT_EQ(glyphOfUnicode[0x4E00], 3);
    for (int c = 0; c < 8; ++c) EXPECT_EQ(ids.widths[2 + c], plain.widths[2 + c]);
    std::set<int> tableGlyphs(ids.widths.begin() + 10, ids.widths.begin() + 18);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(tableGlyphs.count(needed[i]), 1u) << i;
}

TEST(FontRequest, UsedCodeMaskSubset) {
    kdtest::TempDir dir;
    std::string mask(256, ' ');
    mask[65] = '!';
    mask[233] = '!';
    std::vector<int32_t> record(300, -9);
    std::vector<uint16_t> widths(260, 0xEEEE);
    std::string stream = dir.file("s8"), subset = dir.file("s8.ttf");
    int32_t result = embed(stream, kFace, 8, subset, 0, record.data(), widths.data(), mask.c_str());
    ASSERT_GT(result, 0);
    EXPECT_EQ(fonttest::streamContent(stream), kdtest::readFile(subset));
    std::vector<int32_t> missing(record.begin() + 1, record.begin() + 1 + record[0]);
    EXPECT_EQ(missing, (std::vector<int32_t>{0, 127, 129, 141, 143, 144, 157}));
    wraptest::FontFacts facts = wraptest::readFacts("A\xc3\xa9");
    EXPECT_EQ(widths[0], 1);
    EXPECT_EQ(widths[1], 255);
    EXPECT_EQ(widths[2 + 65], facts.advances[0] * 1000 / facts.upem);
    EXPECT_EQ(widths[2 + 233], facts.advances[1] * 1000 / facts.upem);
    EXPECT_EQ(widths[2 + 66], 1508 * 1000 / facts.upem);  // the last hmtx advance, per fontTools' dump
    EXPECT_EQ(widths[258], 0xEEEE);
    auto report = fonttest::checkProgram(subset, kdtest::dejaVuPath(), "A\xc3\xa9");
    fonttest::expectNeededInked(report);
    // The source's character map is kept, unless glyph numbers are asked
    // for (still request 8).
    EXPECT_EQ(report["tables"], "OS/2 cmap glyf head hhea hmtx loca maxp name");
    ASSERT_GT(embed(stream, kFace, 8 | 0x200, subset, 0, record.data(), widths.data(), mask.c_str()), 0);
    EXPECT_EQ(fonttest::checkProgram(subset, kdtest::dejaVuPath())["tables"], "OS/2 glyf head hhea hmtx loca maxp name");
}

TEST(FontRequest, WholeFontProgram) {
    kdtest::TempDir dir;
    std::string stream = dir.file("s9"), program = dir.file("p9.ttf");
    int32_t result = embed(stream, kFace, 9, program);
    std::vector<uint8_t> font = kdtest::readFile(kdtest::dejaVuPath());
    ASSERT_GT(result, 0);
    EXPECT_EQ(kdtest::readFile(program), font);
    kdtest::StreamFile s = kdtest::splitStreamFile(stream);
    EXPECT_EQ(s.header, "/Filter /FlateDecode\r\n/Length1 " + std::to_string(font.size()) + "\r\n>>\r\nstream\r\n");
    EXPECT_EQ(fonttest::inflateAll(s.data), font);
    EXPECT_EQ(result, static_cast<int32_t>(s.data.size()));

    // Without a stream file: 0, and the program file still holds the font.
    std::remove(program.c_str());
    EXPECT_EQ(embed("", kFace, 9, program), 0);
    EXPECT_EQ(kdtest::readFile(program), font);
}

TEST(FontRequest, CollectionMemberIsEmbeddedAsAStandaloneFont) {
    std::string collection = fonttest::testFontDir() + "/KdPair.ttc";
    kdtest::TempDir dir;
    std::string stream = dir.file("s9"), program = dir.file("member.ttf");
    int32_t result = embed(stream, "Kd Pair Two", 9, program);
    ASSERT_GT(result, 0);
    EXPECT_EQ(fonttest::streamContent(stream), kdtest::readFile(program));
    std::vector<uint8_t> bytes = kdtest::readFile(program);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_NE(std::string(bytes.begin(), bytes.begin() + 4), "ttcf");
    auto report = fonttest::checkProgram(program, collection + "#1", "0123456789");
    EXPECT_EQ(report["family"], "Kd Pair Two");
    fonttest::expectNeededInked(report);
}

TEST(FontRequest, FontThatForbidsEmbedding) {
    fonttest::testFontDir();
    kdtest::TempDir dir;
    std::string stream = dir.file("s"), program = dir.file("p.ttf");
    EXPECT_EQ(embed(stream, "Kd Restricted", 9, program), -500);
    int32_t charMap = fonttest::newCharCodeMap();
    int32_t next = 0;
    fonttest::encodeOneByte(charMap, "AB", 1252, next);
    std::vector<int32_t> record(100, 0);
    std::vector<uint16_t> widths(100, 0);
    EXPECT_EQ(embed(stream, "Kd Restricted", 10, program, charMap, record.data(), widths.data()), -500);
    EXPECT_FALSE(kdtest::fileExists(stream));
    EXPECT_FALSE(kdtest::fileExists(program));
    // Its metrics are still available.
    EXPECT_EQ(getFParam("", "Kd Restricted", 12, 0, 0, 1, record.data(), nullptr, 1252, nullptr, 0, nullptr), 0);
    fonttest::releaseMaps(charMap, 0);
}

// Outlines of a kind the subset writer does not copy (CFF2): a subset would
// be a program without glyphs, so requests 8 and 10 and the font processor
// write nothing; the rest works.
TEST(FontRequest, FontWithoutOutlinesToSubsetIsRefused) {
    const std::string otf = fonttest::testFontDir() + "/KdCff2.otf";
    const char* face = "Kd Cff2";
    kdtest::TempDir dir;
    std::string stream = dir.file("s"), program = dir.file("p.ttf");
    int32_t charMap = fonttest::newCharCodeMap(), glyphMap = fonttest::newGlyphCodeMap(), next = 0;
    fonttest::encodeOneByte(charMap, "AB", 1252, next);
    std::vector<int32_t> record(600, 0);
    std::vector<uint16_t> widths(600, 0);
    for (uint16_t code : {8, 8 | 0x200, 10, 10 | 0x200}) {
        EXPECT_EQ(embed(stream, face, code, program, charMap, record.data(), widths.data(), "  !"), -666) << code;
        EXPECT_FALSE(kdtest::fileExists(stream) || kdtest::fileExists(program)) << code;
    }
    ASSERT_EQ(request(20, record.data(), face), 0);
    EXPECT_EQ(record[76 / 4], 0);  // no glyf table: the host can tell in advance
    EXPECT_EQ(request(7, nullptr, face), 32);
    EXPECT_EQ(request(1, record.data(), face) | request(0, record.data(), face), 0);
    EXPECT_EQ(getFParam("", face, 12, 0, 0, 21, record.data(), nullptr, 1252, nullptr, glyphMap, nullptr), 0);
    const int32_t* glyphOfA = kd::HandleRegistry::instance().find<kd::GlyphCodeMap>(glyphMap)->find('A');
    EXPECT_TRUE(glyphOfA && *glyphOfA == 34);  // .notdef, space, then '!' onwards
    EXPECT_EQ(ww("Some text", face, 12, 0, 0, 100000, record.data(), 1, 1252, 0), 1);
    ASSERT_GT(embed(stream, face, 9, program), 0);  // the whole font: an OpenType program of its own
    EXPECT_EQ(kdtest::readFile(program), kdtest::readFile(otf));
    EXPECT_EQ(fonttest::streamContent(stream), kdtest::readFile(otf));
    fonttest::releaseMaps(charMap, glyphMap);
    int32_t h = _zo_fontProcessor_Init();
    EXPECT_EQ(_zo_fontProcessor_AddText(h, "AB", 1252, "Kd Cff2--000000"), 1);
    EXPECT_EQ(_zo_fontProcessor_WriteFontFiles(h, (dir.path() + "/").c_str()), 1);
    EXPECT_FALSE(kdtest::fileExists(dir.file("font1.ttf")));
    _zo_fontProcessor_Destroy(h);
}

TEST(FontRequest, FailuresAndHostMistakes) {
    kdtest::TempDir dir;
    std::string stream = dir.file("s"), subset = dir.file("p.ttf");
    std::vector<int32_t> record(600, 0);
    std::vector<uint16_t> widths(600, 0);
    // Request 10 without a map writes nothing.
    for (int32_t deadMap : {0, 987654})
        EXPECT_EQ(embed(stream, kFace, 10, subset, deadMap, record.data(), widths.data()), -500) << deadMap;
    EXPECT_FALSE(kdtest::fileExists(stream));
    EXPECT_FALSE(kdtest::fileExists(subset));
    // Null record where one is written; null texts are empty.
    EXPECT_EQ(request(1, nullptr), kd::kFontBadPointer);
    EXPECT_EQ(request(0, nullptr), kd::kFontBadPointer);
    EXPECT_EQ(request(20, nullptr), kd::kFontBadPointer);
    EXPECT_EQ(getFParam(nullptr, nullptr, 12, 0, 0, 1, record.data(), nullptr, 1252, nullptr, 0, nullptr), 0);
    EXPECT_EQ(getFParam(nullptr, kFace, 12, 0, 0, 9, nullptr, nullptr, 1252, nullptr, 0, nullptr),
              kd::kOutputNotCreatable);
    // Odd sizes and an over-long face name.
    std::string longName = std::string(kFace) + std::string(40, 'x');
    for (float size : {0.0f, -12.0f, 1e9f, NAN}) EXPECT_EQ(request(1, record.data(), kFace, size), 0) << size;
    EXPECT_EQ(request(1, record.data(), longName.c_str()), 0);
    char face[32];
    kd::cutFaceName(longName.c_str(), face);
    EXPECT_EQ(std::strlen(face), 31u);
    // Output files that cannot be created: a documented failure, nothing
    // half-written left behind.
    std::string badStream = dir.file("no/such/folder/stream");
    EXPECT_EQ(embed(badStream, kFace, 9, subset), kd::kOutputNotCreatable);
    EXPECT_FALSE(kdtest::fileExists(subset));
    std::string badProgram = dir.file("no/such/folder/p.ttf");
    EXPECT_EQ(embed(stream, kFace, 9, badProgram), kd::kOutputNotCreatable);
    EXPECT_FALSE(kdtest::fileExists(stream));
    // A subset that cannot be written: nothing to embed.
    int32_t charMap = fonttest::newCharCodeMap();
    int32_t next = 0;
    fonttest::encodeOneByte(charMap, "AB", 1252, next);
    EXPECT_EQ(embed(stream, kFace, 10, badProgram, charMap, record.data(), widths.data()), -666);
    fonttest::releaseMaps(charMap, 0);
}

}  // namespace

TEST(FontRequest, CffFaceGivesAnOpenTypeSubset) {
    const std::string source = fonttest::testFontDir() + "/KdCff.otf";
    kdtest::TempDir dir;
    int32_t charMap = fonttest::newCharCodeMap(), next = 0;
    fonttest::encodeOneByte(charMap, "CA\xC1", 1252, next);
    std::vector<int32_t> record(300);
    std::vector<uint16_t> widths(514, 0xEEEE);
    const std::string stream = dir.file("font.stream"), program = dir.file("font.otf");
    int32_t result = embed(stream, "Kd Cff", 10 | 0x200, program, charMap, record.data(), widths.data());
    fonttest::releaseMaps(charMap, 0);
    ASSERT_GT(result, 0);
    EXPECT_EQ(fonttest::streamContent(stream), kdtest::readFile(program));
    // Glyph numbers by the font's construction (ttf_make.py): C 4, A 2,
    // Aacute 7, built of A and acute (6); widths 500 + 10 x glyph.
    const int32_t n = record[0];
    ASSERT_EQ(record[n + 1], 3);
    std::map<int32_t, int32_t> glyphOf;
    for (int k = 0; k < 3; ++k) glyphOf[record[n + 3 + 2 * k]] = record[n + 2 + 2 * k];
    EXPECT_EQ(glyphOf, (std::map<int32_t, int32_t>{{'A', 2}, {'C', 4}, {0xC1, 7}}));
    EXPECT_EQ(std::vector<uint16_t>(widths.begin(), widths.begin() + 8),
              (std::vector<uint16_t>{0, 2, 540, 520, 570, 4, 2, 7}));
    std::string out;
    EXPECT_EQ(kdtest::runPython("ttf_check_subset.py",
                                {source, program, "--glyphs", "2,4,6,7", "--tables", "CFF ,OS/2,head,hhea,hmtx,maxp,name"},
                                &out),
              0)
        << out;
}
