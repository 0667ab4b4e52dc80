// Font choice and measurement on the Linux platform layer, checked against
// what fontTools reads from the same files.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "frame/display_context.h"
#ifndef _WIN32
#include "frame/platform/posix/face_catalog.h"
#endif

using namespace kd;

namespace {

std::map<std::string, std::string> fontFacts(const std::string& path, const std::string& chars = "H") {
    std::string out;
    EXPECT_EQ(kdtest::runPython("font_facts.py", {path, "0", chars}, &out), 0);
    std::map<std::string, std::string> facts;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq != std::string::npos) facts[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return facts;
}

int fact(const std::map<std::string, std::string>& f, const std::string& key) {
    auto it = f.find(key);
    EXPECT_NE(it, f.end()) << key;
    return it == f.end() ? 0 : std::atoi(it->second.c_str());
}

// A display context with a font selected from a face name and style.
struct Selection {
    DisplayContext dc;
    platform::LogFont lf;
    std::unique_ptr<SelectedFont> font;
    Selection(const char* face, int16_t size, bool bold, bool italic, uint16_t codePage = 1252) {
        buildLogFont(dc.get(), lf, face, size, italic ? 1 : 0, bold ? 1 : 0, codePage);
        font = std::make_unique<SelectedFont>(dc.get(), lf);
    }
    std::string faceName() {
        platform::OutlineMetrics om;
        EXPECT_TRUE(platform::getOutlineMetrics(dc.get(), &om));
        return om.faceName;
    }
    std::vector<uint8_t> data(uint32_t table, uint32_t offset, uint32_t size) {
        std::vector<uint8_t> bytes(size);
        uint32_t n = platform::getFontData(dc.get(), table, offset, bytes.data(), size);
        if (n == platform::kFontDataError) return {};
        bytes.resize(n);
        return bytes;
    }
};

// KDLIB_FONT_DIRS names a fresh folder for the length of a test; on Linux
// the catalogue then looks for changed fonts at every selection.
struct FontFolder {
    kdtest::TempDir dir;
    const char* previous = std::getenv("KDLIB_FONT_DIRS");
    std::string saved = previous ? previous : "";
    FontFolder() {
        kdtest::setEnv("KDLIB_FONT_DIRS", dir.path());
#ifndef _WIN32
        platform::posix::setFontCheckInterval(std::chrono::milliseconds(0));
#endif
    }
    ~FontFolder() {
#ifndef _WIN32
        platform::posix::setFontCheckInterval(std::chrono::seconds(5));
#endif
        if (previous)
            kdtest::setEnv("KDLIB_FONT_DIRS", saved);
        else
            kdtest::unsetEnv("KDLIB_FONT_DIRS");
    }
};

}  // namespace

TEST(PlatformFonts, StylesChooseTheirOwnFiles) {
    struct Case {
        bool bold, italic;
        const char* file;
    } cases[] = {{false, false, "DejaVuSans.ttf"},
                 {true, false, "DejaVuSans-Bold.ttf"},
                 {false, true, "DejaVuSans-Oblique.ttf"},
                 {true, true, "DejaVuSans-BoldOblique.ttf"}};
    for (const auto& c : cases) {
        auto file = kdtest::readFile(kdtest::dejaVuPath(c.file));
        if (file.empty()) continue;  // fonts-dejavu-core ships regular and bold only
        Selection s("DejaVu Sans", 10, c.bold, c.italic);
        ASSERT_TRUE(*s.font) << c.file;
        // GDI's face name is the face's full name.
        EXPECT_EQ(s.faceName(), fontFacts(kdtest::dejaVuPath(c.file))["fullName"]) << c.file;
        // The whole file is what GetFontData's table 0 reads.
        uint32_t size = platform::getFontData(s.dc.get(), 0, 0, nullptr, 0);
        EXPECT_EQ(size, file.size()) << c.file;
        auto head = s.data(0, 0, 4);
        EXPECT_EQ(head, (std::vector<uint8_t>{0, 1, 0, 0}));
        auto middle = s.data(0, 1000, 64);
        EXPECT_TRUE(std::equal(middle.begin(), middle.end(), file.begin() + 1000)) << c.file;
        // A plain font is not in a collection.
        EXPECT_EQ(platform::getFontData(s.dc.get(), platform::kCollectionTable, 0, nullptr, 0), platform::kFontDataError);
    }
}

TEST(PlatformFonts, MetricsFollowTheFontTables) {
    for (const char* file : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"}) {
        auto f = fontFacts(kdtest::dejaVuPath(file), "Hi ");
        bool bold = std::string(file).find("Bold") != std::string::npos;
        for (int16_t points : {8, 10, 12, 72}) {
            Selection s("DejaVu Sans", points, bold, false);
            platform::TextMetrics tm;
            ASSERT_TRUE(platform::getTextMetrics(s.dc.get(), &tm));
            int ppem = -s.lf.lfHeight;
            double scale = static_cast<double>(ppem) / fact(f, "unitsPerEm");
            EXPECT_EQ(tm.tmAscent, std::lround(fact(f, "winAscent") * scale)) << file << " " << points;
            EXPECT_EQ(tm.tmDescent, std::lround(fact(f, "winDescent") * scale));
            EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
            int gap = fact(f, "lineGap") - ((fact(f, "winAscent") + fact(f, "winDescent")) -
                                            (fact(f, "ascender") - fact(f, "descender")));
            EXPECT_EQ(tm.tmExternalLeading, std::lround(std::max(0, gap) * scale));
            EXPECT_EQ(tm.tmFirstChar, fact(f, "firstChar") - 2);
            EXPECT_EQ(tm.tmLastChar, std::min(fact(f, "lastChar"), 255));

            // Extents: whole-pixel advances per character, summed.
            long expected = 0;
            for (char ch : std::string("Hi H")) expected += std::lround(fact(f, "advance_" + std::to_string(int(ch))) * scale);
            platform::Size size;
            ASSERT_TRUE(platform::getTextExtentA(s.dc.get(), "Hi H", 4, &size));
            EXPECT_EQ(size.cx, expected);
            platform::Size wide;
            ASSERT_TRUE(platform::getTextExtentW(s.dc.get(), u"Hi H", 4, &wide));
            EXPECT_EQ(wide.cx, expected);

            // ABC widths add up to the advance.
            platform::AbcWidth abc[1];
            ASSERT_TRUE(platform::getCharAbcWidths(s.dc.get(), 'H', 'H', abc));
            EXPECT_EQ(abc[0].abcA + static_cast<int>(abc[0].abcB) + abc[0].abcC,
                      std::lround(fact(f, "advance_72") * scale));
        }
    }
}

TEST(PlatformFonts, EmbeddingLicenceAndFaceNameFromTheFont) {
    auto f = fontFacts(kdtest::dejaVuPath());
    Selection s("DejaVu Sans", 10, false, false);
    platform::OutlineMetrics om;
    ASSERT_TRUE(platform::getOutlineMetrics(s.dc.get(), &om));
    EXPECT_EQ(static_cast<int>(om.otmfsType), fact(f, "fsType"));
    EXPECT_EQ(om.faceName, f["fullName"]);
    EXPECT_EQ(om.faceName, "DejaVu Sans");
    Selection bold("DejaVu Sans", 10, true, false);
    EXPECT_EQ(bold.faceName(), "DejaVu Sans Bold");
}

TEST(PlatformFonts, CollectionMembersReadThroughTtcfAndTableZero) {
    FontFolder folder;
    std::string ttc = folder.dir.file("pair.ttc");
    ASSERT_EQ(kdtest::runPython("make_collection.py", {ttc, kdtest::dejaVuPath("DejaVuSans.ttf"), "Kdtest Alpha",
                                                        kdtest::dejaVuPath("DejaVuSans-Bold.ttf"), "Kdtest Beta"}),
              0);
    auto file = kdtest::readFile(ttc);
    ASSERT_GT(file.size(), 20u);
    auto u32 = [&](size_t at) {
        return (uint32_t{file[at]} << 24) | (uint32_t{file[at + 1]} << 16) | (uint32_t{file[at + 2]} << 8) | file[at + 3];
    };
    for (int member = 0; member < 2; ++member) {
        Selection s(member == 0 ? "Kdtest Alpha" : "Kdtest Beta", 10, false, false);
        ASSERT_TRUE(*s.font);
        EXPECT_EQ(s.faceName(), member == 0 ? "Kdtest Alpha" : "Kdtest Beta");
        // "ttcf" reads the whole collection from its start.
        EXPECT_EQ(platform::getFontData(s.dc.get(), platform::kCollectionTable, 0, nullptr, 0), file.size());
        EXPECT_EQ(s.data(platform::kCollectionTable, 0, 4), (std::vector<uint8_t>{'t', 't', 'c', 'f'}));
        // Table 0 reads the member from its own offset table on.
        uint32_t memberOffset = u32(12 + 4 * member);
#ifdef _WIN32
        // Wine's size query for table 0 of a member counts the whole file.
        EXPECT_GE(platform::getFontData(s.dc.get(), 0, 0, nullptr, 0), file.size() - memberOffset);
#else
        EXPECT_EQ(platform::getFontData(s.dc.get(), 0, 0, nullptr, 0), file.size() - memberOffset);
#endif
        auto head = s.data(0, 0, 12);
        EXPECT_TRUE(std::equal(head.begin(), head.end(), file.begin() + memberOffset));
        EXPECT_EQ(head[0], 0);
        EXPECT_EQ(head[1], 1);
    }
}

TEST(PlatformFonts, UnknownFaceGivesAFontNoFontSelectedFailsCleanly) {
    Selection unknown("No Such Face Anywhere", 10, false, false);
    ASSERT_TRUE(*unknown.font);
    platform::TextMetrics tm;
    EXPECT_TRUE(platform::getTextMetrics(unknown.dc.get(), &tm));
    EXPECT_GT(tm.tmHeight, 0);
    DisplayContext dc;
    EXPECT_FALSE(platform::getTextMetrics(dc.get(), &tm));
    EXPECT_EQ(platform::getFontData(dc.get(), 0, 0, nullptr, 0), platform::kFontDataError);
    platform::Size size;
    EXPECT_FALSE(platform::getTextExtentA(dc.get(), "a", 1, &size));
    EXPECT_FALSE(platform::getTextExtentA(nullptr, "a", 1, &size));
}

#ifndef _WIN32
// The Linux catalogue over time: a bounded name cache, fonts installed while
// the process runs, font files cut short on disk after they were read.
namespace {

// A one-member collection of DejaVu Sans renamed to `family`.
void makeFont(const std::string& path, const std::string& family) {
    ASSERT_EQ(kdtest::runPython("make_collection.py", {path, kdtest::dejaVuPath(), family}), 0);
}

}  // namespace

TEST(PlatformFonts, ThousandsOfUnknownNamesStayBounded) {
    const std::string fallback = Selection("DejaVu Sans", 10, false, false).faceName();
    for (int i = 0; i < 1500; ++i)
        EXPECT_EQ(Selection(("Unknown Face " + std::to_string(i)).c_str(), 10, false, false).faceName(), fallback);
    EXPECT_LE(platform::posix::cachedFaceNames(), platform::posix::kFaceNameCapacity);
}

TEST(PlatformFonts, FontsInstalledWhileRunningAreFound) {
    FontFolder folder;
    EXPECT_NE(Selection("Kdtest Late", 10, false, false).faceName(), "Kdtest Late");
    makeFont(folder.dir.file("late.ttc"), "Kdtest Late");
    EXPECT_EQ(Selection("Kdtest Late", 10, false, false).faceName(), "Kdtest Late");
}

TEST(PlatformFonts, FontFileCutShortAfterReadingIsNoCrash) {
    FontFolder folder;
    const std::string path = folder.dir.file("cut.ttc");
    makeFont(path, "Kdtest Cut");
    Selection held("Kdtest Cut", 10, false, false);
    ASSERT_EQ(held.faceName(), "Kdtest Cut");
    const uint32_t size = platform::getFontData(held.dc.get(), platform::kCollectionTable, 0, nullptr, 0);
    std::filesystem::resize_file(path, 1000);
    // The selection made before still reads the whole font it was given.
    EXPECT_EQ(held.data(platform::kCollectionTable, 0, size).size(), size);
    platform::AbcWidth abc[256];
    EXPECT_TRUE(platform::getCharAbcWidths(held.dc.get(), 0, 255, abc));
    // A later selection sees the damaged file: a failure or another font,
    // read within the bytes it has.
    Selection later("Kdtest Cut", 10, false, false);
    if (*later.font) {
        later.data(0, 0, platform::getFontData(later.dc.get(), 0, 0, nullptr, 0));
        platform::getCharAbcWidths(later.dc.get(), 0, 255, abc);
    }
}
#endif
