// Damaged and hostile fonts: every operation finishes, stays inside its
// buffers (the sanitizer build checks that) and writes a subset bounded by
// the source's size.
#include <algorithm>
#include <random>
#include <set>

#include "truetype_test_util.h"

using namespace kdtest;

namespace {

// Runs readTables and the three subset operations on bytes; returns the
// largest subset written (0 when readTables refused the font).
size_t exercise(const std::vector<uint8_t>& bytes, const TempDir& dir) {
    std::string path = dir.file("in.ttf"), out = dir.file("out.ttf");
    writeFile(path, bytes);
    size_t largest = 0;
    for (int op = 0; op < 3; ++op) {
        FileFont font(path, "Sample");
        if (font.readResult != 0) continue;
        std::vector<uint16_t> widths(514);
        if (op == 0) {
            std::string mask(256, '!');
            font->writeSubsetForCodes(mask.c_str(), 1252, out.c_str(), widths.data());
            font->addUndefinedCodes(1257);
        } else if (op == 1) {
            font->setCodeMapMode(true);
            kd::CharCodeMap map;
            for (uint16_t u : {0x20, 0x41, 0xC5, 0xE1, 0xF041}) map.insertIfAbsent(u, static_cast<uint16_t>(map.size()));
            font->writeSubsetForCodeMap(map, out.c_str(), widths.data());
        } else {
            std::set<uint32_t> chars{0x20, 0x41, 0x42, 0xC5, 0xE1};
            font->writeSubsetForCharacters(chars, out.c_str());
        }
        largest = std::max(largest, readFile(out).size());
    }
    return largest;
}

uint32_t tableOffset(const std::string& path, char a, char b, char c, char d) {
    FileFont font(path);
    for (const auto& r : font->tableList())
        if (r.tag == kd::makeTag(a, b, c, d)) return r.offset;
    return 0;
}

void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}

}  // namespace

TEST(BadInput, CompositeCyclesEndAndKeepTheFontValid) {
    const std::string src = builtFont("composite");
    FileFont font(src);
    const int32_t aacute = font->unicodeMap().find(0xE1), aring = font->unicodeMap().find(0xC5);
    const uint32_t glyf = font->glyfOffset();
    const auto loca = font->locaOffsets();
    TempDir dir;
    // aacute's first component names aacute itself; Aring2 <-> aacute cycle.
    std::vector<uint8_t> bytes = readFile(src);
    put16(bytes, glyf + loca[aacute] + 12, static_cast<uint16_t>(aacute));
    EXPECT_GT(exercise(bytes, dir), 0u);
    put16(bytes, glyf + loca[aacute] + 12, static_cast<uint16_t>(aring));
    EXPECT_GT(exercise(bytes, dir), 0u);
    FileFont cyclic(dir.file("in.ttf"));
    std::set<uint32_t> chars{0xC5};
    ASSERT_GT(cyclic->writeSubsetForCharacters(chars, dir.file("c.ttf").c_str()), 0);
    EXPECT_EQ(checkSubset(dir.file("in.ttf"), dir.file("c.ttf"), {"--glyphs", joined(cyclic->glyphList())}), "OK\n");
}

TEST(BadInput, HugeCountsInSmallFiles) {
    TempDir dir;
    const std::string plain = builtFont("plain");
    const std::vector<uint8_t> original = readFile(plain);
    {
        auto b = original;
        put16(b, 4, 0x7FFF);  // numTables
        exercise(b, dir);
    }
    {
        auto b = original;
        put16(b, 4, 0x8000);  // negative as a signed count: no tables
        writeFile(dir.file("neg.ttf"), b);
        FileFont font(dir.file("neg.ttf"));
        EXPECT_TRUE(font->tableList().empty());
    }
    {
        // A collection header claiming 2^31 - 1 fonts, the first at 16.
        const uint8_t header[16] = {'t', 't', 'c', 'f', 0, 1, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 16};
        std::vector<uint8_t> b(16 + original.size());
        std::copy(header, header + 16, b.begin());
        std::copy(original.begin(), original.end(), b.begin() + 16);
        exercise(b, dir);
        b[8] = 0x80;  // numFonts negative: nothing to read
        writeFile(dir.file("ttc.ttf"), b);
        FileFont font(dir.file("ttc.ttf"));
        EXPECT_TRUE(font->isCollection());
        EXPECT_TRUE(font->tableList().empty());
    }
    {
        auto b = original;
        uint32_t hhea = tableOffset(plain, 'h', 'h', 'e', 'a');
        put16(b, hhea + 34, 0xFFFF);  // numberOfHMetrics
        uint32_t name = tableOffset(plain, 'n', 'a', 'm', 'e');
        put16(b, name + 2, 0xFFFF);  // name count
        exercise(b, dir);
    }
}

TEST(BadInput, DescendingLocaGivesBoundedSubsets) {
    TempDir dir;
    std::vector<uint8_t> bytes = readFile(dejaVuPath());
    FileFont font(dejaVuPath());
    uint32_t loca = tableOffset(dejaVuPath(), 'l', 'o', 'c', 'a');
    const size_t n = font->locaOffsets().size();
    // Every even glyph spans the whole glyf table, every odd one runs backwards.
    uint32_t glyfLength = 0;
    for (const auto& r : font->tableList())
        if (r.tag == kd::makeTag('g', 'l', 'y', 'f')) glyfLength = r.length;
    for (size_t i = 0; i < n; ++i) {
        uint32_t v = i % 2 ? glyfLength : 0;
        bytes[loca + 4 * i] = static_cast<uint8_t>(v >> 24);
        bytes[loca + 4 * i + 1] = static_cast<uint8_t>(v >> 16);
        bytes[loca + 4 * i + 2] = static_cast<uint8_t>(v >> 8);
        bytes[loca + 4 * i + 3] = static_cast<uint8_t>(v);
    }
    writeFile(dir.file("in.ttf"), bytes);
    FileFont bad(dir.file("in.ttf"));
    std::string mask(256, '!');
    std::vector<uint16_t> widths(258);
    int32_t size = bad->writeSubsetForCodes(mask.c_str(), 1252, dir.file("out.ttf").c_str(), widths.data());
    EXPECT_GT(size, 0);
    EXPECT_LE(static_cast<size_t>(size), 2 * bytes.size());
}

TEST(BadInput, TruncatedAndMutatedFonts) {
    TempDir dir;
    std::mt19937 random(12345);
    for (const std::string& path : {builtFont("composite"), builtFont("collection"), builtFont("symbol"),
                                    builtFont("cff"), builtFont("cffcid")}) {
        const std::vector<uint8_t> original = readFile(path);
        for (size_t cut : {size_t{0}, size_t{3}, size_t{12}, size_t{40}, original.size() / 3, original.size() / 2,
                           original.size() - 1}) {
            std::vector<uint8_t> b(original.begin(), original.begin() + static_cast<long>(cut));
            EXPECT_LE(exercise(b, dir), 4 * original.size() + 4096);
        }
        for (int round = 0; round < 60; ++round) {
            std::vector<uint8_t> b = original;
            int flips = 1 + static_cast<int>(random() % 8);
            for (int k = 0; k < flips; ++k) {
                size_t at = random() % b.size();
                b[at] = static_cast<uint8_t>(random() % 3 == 0 ? 0xFF : random());
            }
            EXPECT_LE(exercise(b, dir), 4 * original.size() + 4096);
        }
    }
}

TEST(BadInput, CffRecursionEndsAndAnUnreadableCffWritesNothing) {
    TempDir dir;
    std::vector<uint8_t> bytes = readFile(builtFont("cff"));
    // Subroutine 4 (10 10 rlineto return), reached from C, calls itself twice.
    const uint8_t piece[] = {0x95, 0x95, 0x05, 0x0B}, loop[] = {0x24, 0x0A, 0x24, 0x0A};
    auto at = std::search(bytes.begin(), bytes.end(), std::begin(piece), std::end(piece));
    ASSERT_NE(at, bytes.end());
    std::copy(std::begin(loop), std::end(loop), at);
    writeFile(dir.file("loop.otf"), bytes);
    std::set<uint32_t> chars{0x43};
    EXPECT_GT(FileFont(dir.file("loop.otf"))->writeSubsetForCharacters(chars, dir.file("a.otf").c_str()), 0);

    // A CFF table too short for its header: no subset, no file.
    bytes = readFile(builtFont("cff"));
    for (size_t i = 0; i < be16(bytes, 4); ++i)
        if (be32(bytes, 12 + 16 * i) == kd::kTagCff) put16(bytes, 12 + 16 * i + 14, 3);
    writeFile(dir.file("cut.otf"), bytes);
    chars = {0x43};
    EXPECT_EQ(FileFont(dir.file("cut.otf"))->writeSubsetForCharacters(chars, dir.file("b.otf").c_str()), 0);
    EXPECT_FALSE(fileExists(dir.file("b.otf")));
}
