#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/display_context.h"
#include "frame/log_folder.h"
#include "kdlib.h"

TEST(FrameExports, GetParOnTheDisplay) {
    const kd::DisplayContext dc;
    ASSERT_TRUE(dc);
    const int width = dc.caps(kd::platform::kHorzSize), height = dc.caps(kd::platform::kVertSize);
#ifndef _WIN32
    // The Linux backend's virtual display.
    EXPECT_EQ(std::vector<int>({width, height}), std::vector<int>({508, 286}));
    EXPECT_EQ(getPar(5), 20000);  // 508 mm in thousandths of an inch
#endif
    EXPECT_GT(width, 0);
    EXPECT_EQ(getPar(5), (width * 10000) / 254);
    EXPECT_EQ(std::vector<int>({getPar(1), getPar(2), getPar(3), getPar(4), getPar(0), getPar(6), getPar(-7)}),
              std::vector<int>({0, 0, (width * -10000) / 254, (height * -10000) / 254, 0, 0, 0}));
}

TEST(FrameExports, LogFolderIsCutAt259Characters) {
    std::string longFolder(400, 'x');
    SetLogFolder(longFolder.c_str());
    EXPECT_EQ(std::string(kd::logFolder()), std::string(259, 'x'));
    SetLogFolder(nullptr);
    EXPECT_STREQ(kd::logFolder(), "");
}
