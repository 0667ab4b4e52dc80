// Subsets of fonts with PostScript (CFF) outlines; fontTools reads each one
// and checks it against the source, subroutines included.
#include <set>

#include "truetype_test_util.h"

using namespace kdtest;

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
