#include <gtest/gtest.h>

#include <string>

#include "frame/display_context.h"
#include "frame/log_folder.h"
#include "kdlib.h"

TEST(FrameExports, VersionIsConstant) {
    EXPECT_EQ(getVersion(), 190);
    EXPECT_EQ(getVersion(), 190);
}

TEST(FrameExports, GetParOnTheVirtualDisplay) {
    EXPECT_EQ(getPar(5), 20000);  // 508 mm in thousandths of an inch
    EXPECT_EQ(getPar(1), 0);
    EXPECT_EQ(getPar(2), 0);
    EXPECT_EQ(getPar(3), -20000);
    EXPECT_EQ(getPar(4), (286 * -10000) / 254);
    EXPECT_EQ(getPar(0), 0);
    EXPECT_EQ(getPar(6), 0);
    EXPECT_EQ(getPar(-7), 0);
}

TEST(FrameExports, LogFolderIsCutAt259Characters) {
    std::string longFolder(400, 'x');
    SetLogFolder(longFolder.c_str());
    EXPECT_EQ(std::string(kd::logFolder()), std::string(259, 'x'));
    SetLogFolder("C:\\logs\\");
    EXPECT_STREQ(kd::logFolder(), "C:\\logs\\");
    SetLogFolder(nullptr);
    EXPECT_STREQ(kd::logFolder(), "");
}
