// Damaged and hostile fonts: every operation finishes, stays inside its
// buffers (the sanitizer build checks that) and writes a subset bounded by
// the source's size.
#include <algorithm>
#include <functional>
#include <set>

#include "truetype_test_util.h"

using namespace kdtest;

namespace {

// Runs readTables and the three subset operations on bytes; returns the
// largest subset written, -1 when none was (readTables refused the font or
// nothing was written).
long exercise(const Bytes& bytes, const TempDir& dir) {
    std::string path = dir.file("in.ttf"), out = dir.file("out.ttf");
    writeFile(path, bytes);
    long largest = -1;
    for (int op = 0; op < 3; ++op) {
        std::remove(out.c_str());
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
            for (uint16_t u : {0x20, 0x41, 0xC5, 0xE1, 0xF041})
                map.insertIfAbsent(u, static_cast<uint16_t>(map.size()));
            font->writeSubsetForCodeMap(map, out.c_str(), widths.data());
        } else {
            std::set<uint32_t> chars{0x20, 0x41, 0x42, 0xC5, 0xE1};
            font->writeSubsetForCharacters(chars, out.c_str());
        }
        if (fileExists(out)) largest = std::max(largest, static_cast<long>(readFile(out).size()));
    }
    return largest;
}

// Where a table starts: its directory entry and its data.
struct Table {
    size_t entry = 0;
    uint32_t offset = 0, length = 0;
};
Table table(const Bytes& b, const char* tag) {
    for (size_t i = 0; i < be16(b, 4); ++i) {
        const size_t at = 12 + 16 * i;
        if (std::equal(tag, tag + 4, b.begin() + static_cast<long>(at))) return {at, be32(b, at + 8), be32(b, at + 12)};
    }
    ADD_FAILURE() << "no table " << tag;
    return {};
}

// The offset of a glyph's data, from a long or short loca.
uint32_t glyphAt(const Bytes& b, uint16_t glyph) {
    const bool longLoca = be16(b, table(b, "head").offset + 50) != 0;
    const uint32_t loca = table(b, "loca").offset;
    return table(b, "glyf").offset + (longLoca ? be32(b, loca + 4u * glyph) : 2u * be16(b, loca + 2u * glyph));
}

// Puts a collection header claiming `count` fonts, the first at 16, before
// a font.
std::function<void(Bytes&)> inCollection(uint32_t count) {
    return [count](Bytes& b) {
        Bytes header;
        for (uint32_t v : {0x74746366u, 0x00010000u, count, 16u}) putBE(header, v, 4);
        b.insert(b.begin(), header.begin(), header.end());
    };
}

// What must come of a damaged font: any subset within the bound, a subset
// with glyphs, subsets of no table (12 bytes of directory) or no file.
enum Outcome { kBounded, kWrites, kNoTables, kRefused };

}  // namespace

TEST(BadInput, DamagedFontsEndBoundedOrAreRefused) {
    // Glyph numbers in font_make.py's composite font: aacute 6, Aring2 7.
    const auto aacuteComponent = [](Bytes& b) { return glyphAt(b, 6) + 12; };
    struct Case {
        const char* name;
        std::string font;
        std::function<void(Bytes&)> damage;
        Outcome outcome;
    } cases[] = {
        {"composite naming itself", builtFont("composite"), [&](Bytes& b) { putBE(b, 6, 2, aacuteComponent(b)); },
         kWrites},
        {"two composites naming each other", builtFont("composite"),
         [&](Bytes& b) { putBE(b, 7, 2, aacuteComponent(b)); }, kWrites},
        {"numTables 0x7FFF", builtFont("plain"), [](Bytes& b) { putBE(b, 0x7FFF, 2, 4); }, kBounded},
        {"numTables negative as a signed count", builtFont("plain"), [](Bytes& b) { putBE(b, 0x8000, 2, 4); },
         kNoTables},
        {"collection of 2^31 - 1 fonts", builtFont("plain"), inCollection(0x7FFFFFFF), kBounded},
        {"collection of a negative number of fonts", builtFont("plain"), inCollection(0xFFFFFFFF), kNoTables},
        {"numberOfHMetrics and name count 0xFFFF", builtFont("plain"),
         [](Bytes& b) {
             putBE(b, 0xFFFF, 2, table(b, "hhea").offset + 34);
             putBE(b, 0xFFFF, 2, table(b, "name").offset + 2);
         },
         kBounded},
        {"descending loca", dejaVuPath(),
         [](Bytes& b) {
             // Every odd glyph spans the whole glyf table, every even one runs backwards.
             const Table loca = table(b, "loca");
             for (uint32_t i = 0; i < loca.length / 4; ++i)
                 putBE(b, i % 2 ? table(b, "glyf").length : 0, 4, loca.offset + 4 * i);
         },
         kWrites},
        // Subroutine 4 (10 10 rlineto return), reached from C, calls itself twice.
        {"CFF subroutine recursion", builtFont("cff"),
         [](Bytes& b) {
             const uint8_t piece[] = {0x95, 0x95, 0x05, 0x0B}, loop[] = {0x24, 0x0A, 0x24, 0x0A};
             std::copy(std::begin(loop), std::end(loop), std::search(b.begin(), b.end(), piece, piece + 4));
         },
         kWrites},
        {"unitsPerEm 0", builtFont("plain"), [](Bytes& b) { putBE(b, 0, 2, table(b, "head").offset + 18); },
         kRefused},
        {"CFF table too short for its header", builtFont("cff"),
         [](Bytes& b) { putBE(b, 3, 4, table(b, "CFF ").entry + 12); }, kRefused},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = readFile(c.font);
        c.damage(bytes);
        const long largest = exercise(bytes, dir);
        EXPECT_LE(largest,
                  c.outcome == kRefused ? -1 : c.outcome == kNoTables ? 12 : static_cast<long>(2 * bytes.size()));
        if (c.outcome != kWrites) continue;
        EXPECT_GT(largest, 0);
        // The last subset, of characters with composites: a font fontTools reads.
        if (c.font == builtFont("composite")) fonttest::checkProgram(dir.file("out.ttf"), dir.file("in.ttf"));
    }
}

TEST(BadInput, TruncatedFonts) {
    TempDir dir;
    for (const char* kind : {"composite", "collection", "symbol", "cff", "cffcid"}) {
        const Bytes original = readFile(builtFont(kind));
        const long bound = static_cast<long>(4 * original.size() + 4096);
        for (size_t cut : {size_t{0}, size_t{3}, size_t{12}, size_t{40}, original.size() / 3, original.size() / 2,
                           original.size() - 1}) {
            EXPECT_LE(exercise(Bytes(original.begin(), original.begin() + static_cast<long>(cut)), dir), bound);
        }
    }
}
