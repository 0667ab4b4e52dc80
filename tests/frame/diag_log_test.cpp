#include <gtest/gtest.h>

#include <algorithm>

#include "common/test_support.h"
#include "frame/diag_log.h"
#include "frame/log_folder.h"

TEST(DiagLog, FileNameFormat) {
    EXPECT_EQ(kd::formatLogFileName("C:\\logs\\", "Sample", true, false, 1252), "C:\\logs\\Sample,B,1252.log");
    EXPECT_EQ(kd::formatLogFileName("", "Arial", true, true, 65001), "Arial,B,I,65001.log");
    EXPECT_EQ(kd::formatLogFileName(nullptr, nullptr, false, false, -1), ",-1.log");
    std::string folder(259, 'f');
    std::string face(31, 'a');
    EXPECT_EQ(kd::formatLogFileName(folder.c_str(), face.c_str(), true, true, 1252).size(), 271u);
}

TEST(DiagLog, InactiveWritesNothingActiveAppendsLines) {
    kdtest::TempDir dir;
    kd::DiagLog log;
    std::string name = dir.file("font.log");
    KD_TRACE(log, "unitsPerEm: %d\n", 2048);
    EXPECT_FALSE(kdtest::fileExists(name));
    log.enable(name);
    KD_TRACE(log, "unitsPerEm: %d\n", 2048);
    log.logText("Single font file\n");
    KD_TRACE(log, "Table %d: %s\n", 3, std::string(400, 'x').c_str());  // cut to its buffer
    log.disable();
    KD_TRACE(log, "never\n");
    std::string text = kdtest::readText(name);
#ifdef _WIN32
    // The log is opened in text mode ("a+"): Windows writes CR LF.
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
#endif
    EXPECT_EQ(text.substr(0, 34), "unitsPerEm: 2048\nSingle font file\n");
    EXPECT_EQ(text.size(), 34u + 207u);
    log.enable("/nonexistent-folder/x/y.log");  // nothing written, no failure
    KD_TRACE(log, "Version: %d\n", 1);
}
