// The bad names every file-to-file export must survive without losing
// anything.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/test_support.h"

namespace kdtest {

// Calls the export with, in this order: a missing input, a folder as input,
// an output in a missing folder, the input as output, the input as output
// through a hard link (and on Linux a symbolic one), and null names. Each
// call must return `failure`, create no output and leave the input as it
// was. Returns what the calls wrote on standard error.
inline std::string expectBadNamesLoseNothing(const TempDir& dir, const std::function<int(const char*, const char*)>& call,
                                             int failure = 0) {
    const std::string in = dir.file("in"), content = "<< /L 1 >>\r\nstream\r\nsome bytes";
    writeFile(in, content);
    run("ln -f " + quote(in) + " " + quote(dir.file("hard")));
    std::vector<std::pair<std::string, std::string>> names{{dir.file("missing"), dir.file("out")},
                                                           {dir.path(), dir.file("out")},
                                                           {in, dir.file("no/dir/out")},
                                                           {in, in},
                                                           {in, dir.file("hard")}};
#ifndef _WIN32
    // (Under Wine such a link is not one file with its target.)
    run("ln -sf in " + quote(dir.file("soft")));
    names.emplace_back(in, dir.file("soft"));
#endif
    testing::internal::CaptureStderr();
    for (const auto& [from, to] : names) {
        EXPECT_EQ(call(from.c_str(), to.c_str()), failure) << from << " -> " << to;
        EXPECT_FALSE(fileExists(dir.file("out"))) << from << " -> " << to;
        EXPECT_EQ(readText(in), content) << from << " -> " << to;
    }
    EXPECT_EQ(call(nullptr, nullptr), failure);
    return testing::internal::GetCapturedStderr();
}

}  // namespace kdtest
