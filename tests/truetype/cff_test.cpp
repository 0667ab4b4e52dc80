// Subsets of fonts with PostScript (CFF) outlines; fontTools reads each one
// and checks it against the source (ttf_check_subset.py, check_cff).
#include <set>

#include "truetype_test_util.h"

using namespace kdtest;

namespace {

const char* kCffTables = "CFF ,OS/2,cmap,head,hhea,hmtx,maxp,name";
const char* kNotoCjk = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";

}  // namespace

TEST(CffSubset, BuiltFontsKeepExactlyTheReachedSubroutines) {
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
            auto bytes = readFile(out);
            EXPECT_EQ(size, static_cast<int32_t>(bytes.size()));
            EXPECT_EQ(be32(bytes, 0), kd::makeTag('O', 'T', 'T', 'O'));
            EXPECT_EQ(checkSubset(builtFont(kind), out, {"--glyphs", joined(font->glyphList()), "--tables", kCffTables}),
                      "OK\n");
        }
    }
}

TEST(CffSubset, CodeMaskWidthsComeFromHmtx) {
    TempDir dir;
    FileFont font(builtFont("cff"));
    std::string mask(256, ' ');
    mask['C'] = mask[0xC1] = '!';
    std::vector<uint16_t> widths(258);
    ASSERT_GT(font->writeSubsetForCodes(mask.c_str(), 1252, dir.file("s.otf").c_str(), widths.data()), 0);
    // ttf_make.py gives glyph k the advance 500 + 10 k: C is 4, Aacute 7.
    EXPECT_EQ(widths[2 + 'C'], 540);
    EXPECT_EQ(widths[2 + 0xC1], 570);
    EXPECT_EQ(widths[2 + 'A'], 570);  // the default: the last advance
    EXPECT_EQ(checkSubset(builtFont("cff"), dir.file("s.otf"), {"--glyphs", joined(font->glyphList())}), "OK\n");
}

TEST(CffSubset, CjkCollectionMemberInGlyphNumberMode) {
    if (!fileExists(kNotoCjk)) GTEST_SKIP() << "fonts-noto-cjk is not installed";
    TempDir dir;
    FileFont font(kNotoCjk, "Noto Sans CJK SC");  // the third member
    font->setCodeMapMode(true);
    font->setGlyphIdMode(true);
    kd::CharCodeMap map;
    for (char16_t u : std::u16string(u"日本語のテキスト、中文文本 and Latin."))
        map.insertIfAbsent(u, static_cast<uint16_t>(map.size()));
    std::vector<uint16_t> widths(514);
    std::string out = dir.file("s.otf");
    ASSERT_GT(font->writeSubsetForCodeMap(map, out.c_str(), widths.data()), 0);
    EXPECT_TRUE(font->missingCodeList().empty());
    EXPECT_EQ(checkSubset(kNotoCjk, out,
                          {"--index", "2", "--glyphs", joined(font->glyphList()), "--tables",
                           "CFF ,OS/2,head,hhea,hmtx,maxp,name"}),
              "OK\n");
}
