// The Linux font catalogue over time: a bounded name cache, fonts installed
// while the process runs, font files cut short on disk after they were read.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/test_support.h"
#include "frame/display_context.h"
#include "frame/platform/posix/face_catalog.h"

using namespace kd;

namespace {

struct Selection {
    DisplayContext dc;
    std::unique_ptr<SelectedFont> font;
    explicit Selection(const std::string& face) {
        platform::LogFont lf;
        buildLogFont(dc.get(), lf, face.c_str(), 10, 0, 0, 1252);
        font = std::make_unique<SelectedFont>(dc.get(), lf);
    }
    std::string faceName() {
        platform::OutlineMetrics om;
        return platform::getOutlineMetrics(dc.get(), &om) ? om.faceName : "";
    }
};

// A one-member collection of DejaVu Sans renamed to `family`.
void makeFont(const std::string& path, const std::string& family) {
    ASSERT_EQ(kdtest::runPython("make_collection.py", {path, kdtest::dejaVuPath(), family}), 0);
}

// KDLIB_FONT_DIRS set for the length of a test, checked at every call.
struct FontFolder {
    kdtest::TempDir dir;
    std::string saved;
    bool had;
    FontFolder() {
        const char* previous = std::getenv("KDLIB_FONT_DIRS");
        had = previous != nullptr;
        saved = had ? previous : "";
        kdtest::setEnv("KDLIB_FONT_DIRS", dir.path());
        platform::posix::setFontCheckInterval(std::chrono::milliseconds(0));
    }
    ~FontFolder() {
        platform::posix::setFontCheckInterval(std::chrono::seconds(5));
        if (had)
            kdtest::setEnv("KDLIB_FONT_DIRS", saved);
        else
            kdtest::unsetEnv("KDLIB_FONT_DIRS");
    }
};

}  // namespace

TEST(FontCatalog, ThousandsOfUnknownNamesStayBounded) {
    const std::string reference = Selection("DejaVu Sans").faceName();
    for (int i = 0; i < 1500; ++i) {
        Selection s("Unknown Face " + std::to_string(i));
        ASSERT_TRUE(*s.font) << i;
        if (i % 300 == 0) {
            EXPECT_EQ(s.faceName(), reference);  // fontconfig's fallback, as before
        }
    }
    EXPECT_LE(platform::posix::cachedFaceNames(), platform::posix::kFaceNameCapacity);
    EXPECT_GE(platform::posix::cachedFaceNames(), platform::posix::kFaceNameCapacity / 2);
}

TEST(FontCatalog, FontsInstalledWhileRunningAreFound) {
    FontFolder folder;
    EXPECT_NE(Selection("Kdtest Late").faceName(), "Kdtest Late");
    makeFont(folder.dir.file("late.ttc"), "Kdtest Late");
    EXPECT_EQ(Selection("Kdtest Late").faceName(), "Kdtest Late");
}

TEST(FontCatalog, FontFileCutShortAfterReadingIsNoCrash) {
    FontFolder folder;
    const std::string path = folder.dir.file("cut.ttc");
    makeFont(path, "Kdtest Cut");
    Selection held("Kdtest Cut");
    ASSERT_EQ(held.faceName(), "Kdtest Cut");
    const uint32_t size = platform::getFontData(held.dc.get(), platform::kCollectionTable, 0, nullptr, 0);
    std::filesystem::resize_file(path, 1000);
    // The selection made before still reads the whole font it was given.
    std::vector<uint8_t> all(size);
    EXPECT_EQ(platform::getFontData(held.dc.get(), platform::kCollectionTable, 0, all.data(), size), size);
    platform::AbcWidth abc[256];
    EXPECT_TRUE(platform::getCharAbcWidths(held.dc.get(), 0, 255, abc));
    // A later selection sees the damaged file: a failure or another font,
    // whatever it reads stays within the bytes it has.
    Selection later("Kdtest Cut");
    if (*later.font) {
        uint32_t now = platform::getFontData(later.dc.get(), 0, 0, nullptr, 0);
        std::vector<uint8_t> bytes(now == platform::kFontDataError ? 0 : now);
        platform::getFontData(later.dc.get(), 0, 0, bytes.data(), now);
        EXPECT_TRUE(platform::getCharAbcWidths(later.dc.get(), 0, 255, abc));
    }
}
#endif
