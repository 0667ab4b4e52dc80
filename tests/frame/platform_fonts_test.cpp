// Font choice and measurement on the Linux platform layer, checked against
// what fontTools reads from the same files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "frame/display_context.h"
#ifndef _WIN32
#include "frame/platform/posix/face_catalog.h"
#endif

using namespace kd;

namespace {

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

}  // namespace

TEST(PlatformFonts, StylesChooseTheirOwnFilesNamesAndLicence) {
    for (const char* file :
         {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf", "DejaVuSans-BoldOblique.ttf"}) {
        if (!kdtest::fileExists(kdtest::dejaVuPath(file))) continue;  // fonts-dejavu-core ships regular and bold only
        const std::string name = file;
        Selection s("DejaVu Sans", 10, name.find("Bold") != std::string::npos, name.find("Oblique") != std::string::npos);
        ASSERT_TRUE(*s.font) << file;
        // GDI's face name is the face's full name; the licence is the font's.
        const auto facts = kdtest::runOracle("font_oracle.py", {"facts", kdtest::dejaVuPath(file), "H"});
        ASSERT_EQ(facts.status, 0);
        platform::OutlineMetrics om;
        ASSERT_TRUE(platform::getOutlineMetrics(s.dc.get(), &om));
        EXPECT_EQ(om.faceName, facts["fullName"]) << file;
        EXPECT_EQ(std::to_string(om.otmfsType), facts["fsType"]);
    }
}

TEST(PlatformFonts, UnknownFacesGiveAFontNoFontSelectedFailsCleanly) {
    Selection unknown("No Such Face Anywhere", 10, false, false);
    ASSERT_TRUE(*unknown.font);
    platform::TextMetrics tm;
    EXPECT_TRUE(platform::getTextMetrics(unknown.dc.get(), &tm));
    EXPECT_GT(tm.tmHeight, 0);
#ifndef _WIN32
    // Thousands of unknown names: each the fallback, the name cache bounded.
    const std::string fallback = Selection("DejaVu Sans", 10, false, false).faceName();
    for (int i = 0; i < 1500; ++i)
        EXPECT_EQ(Selection(("Unknown Face " + std::to_string(i)).c_str(), 10, false, false).faceName(), fallback);
    EXPECT_LE(platform::posix::cachedFaceNames(), platform::posix::kFaceNameCapacity);
#endif
    DisplayContext dc;
    EXPECT_FALSE(platform::getTextMetrics(dc.get(), &tm));
    EXPECT_EQ(platform::getFontData(dc.get(), 0, 0, nullptr, 0), platform::kFontDataError);
    platform::Size size;
    EXPECT_FALSE(platform::getTextExtentA(dc.get(), "a", 1, &size));
    EXPECT_FALSE(platform::getTextExtentA(nullptr, "a", 1, &size));
}

#ifndef _WIN32
namespace {

// KDLIB_FONT_DIRS names a fresh folder for the length of a test; the
// catalogue then looks for changed fonts at every selection.
struct FontFolder {
    kdtest::TempDir dir;
    const char* previous = std::getenv("KDLIB_FONT_DIRS");
    std::string saved = previous ? previous : "";
    FontFolder() {
        kdtest::setEnv("KDLIB_FONT_DIRS", dir.path());
        platform::posix::setFontCheckInterval(std::chrono::milliseconds(0));
    }
    ~FontFolder() {
        platform::posix::setFontCheckInterval(std::chrono::seconds(5));
        previous ? kdtest::setEnv("KDLIB_FONT_DIRS", saved) : kdtest::unsetEnv("KDLIB_FONT_DIRS");
    }
};

}  // namespace

// The Linux catalogue over time: a font installed while the process runs is
// found; cut short on disk after it was read, it is no crash.
TEST(PlatformFonts, FontInstalledThenCutShortWhileRunning) {
    FontFolder folder;
    const std::string path = folder.dir.file("late.ttc");
    EXPECT_NE(Selection("Kdtest Late", 10, false, false).faceName(), "Kdtest Late");
    ASSERT_EQ(kdtest::runPython("font_make.py", {"collection", path, kdtest::dejaVuPath(), "Kdtest Late"}), 0);
    Selection held("Kdtest Late", 10, false, false);
    ASSERT_EQ(held.faceName(), "Kdtest Late");
    const uint32_t size = platform::getFontData(held.dc.get(), platform::kCollectionTable, 0, nullptr, 0);
    std::filesystem::resize_file(path, 1000);
    // The selection made before still reads the whole font it was given.
    EXPECT_EQ(held.data(platform::kCollectionTable, 0, size).size(), size);
    platform::AbcWidth abc[256];
    EXPECT_TRUE(platform::getCharAbcWidths(held.dc.get(), 0, 255, abc));
    // A later selection sees the damaged file: a failure or another font,
    // read within the bytes it has.
    Selection later("Kdtest Late", 10, false, false);
    if (*later.font) {
        later.data(0, 0, platform::getFontData(later.dc.get(), 0, 0, nullptr, 0));
        platform::getCharAbcWidths(later.dc.get(), 0, 255, abc);
    }
}
#endif
