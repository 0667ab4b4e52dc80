#include <gtest/gtest.h>

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
