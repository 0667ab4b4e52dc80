// Every export that reads one named file and writes another, and the bad
// names each must survive without losing anything (run by
// tests/codec/codec_test.cpp).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/test_support.h"
#include "kdlib.h"

namespace kdtest {

struct FileExport {
    const char* name;
    std::string input;  // a file the export accepts; empty: a short PDF stream object
    int failure;
    std::function<int(const char* in, const char* out)> call;
};

inline const std::vector<FileExport>& fileExports() {
    static const uint8_t key[16] = {9, 8, 7, 6, 5}, none[1] = {0};
    static const std::string picture = KDLIB_SOURCE_DIR "/fuzz/corpus/dobmp/rgb.bmp";
    static const std::vector<FileExport> rows = {
        {"encryptFile", "", 0, [](const char* in, const char* out) { return encryptFile(in, out, 3, 0, key, 0, 2, 5); }},
        {"base64", "", 0, base64},
        {"esab64", "", 0, esab64},
        {"HEXFile", "", 0, [](const char* in, const char* out) { return HEXFile(in, out, 4); }},
        {"zipFile", "", 0,
         [](const char* in, const char* out) {
             int32_t length = 1234;
             const int r = zipFile(in, out, "FlateDecode", &length);
             return length == 1234 ? r : -9999;  // set only on success
         }},
        {"unzipFile", "", 0, unzipFile},
        // The picture is a real one: each bad name must fail before it is read.
        {"dobmp", picture, -500,
         [](const char* in, const char* out) {
             return dobmp(in, out, 1, nullptr, nullptr, 0, 0, "", "", nullptr, "", nullptr, 17, "", 1);
         }},
        {"ExtractFromBMP", picture, -500, ExtractFromBMP},
        {"CreatePNGDataFromFile", picture, 0,
         [](const char* in, const char* out) { return CreatePNGDataFromFile(in, out, none, 1, 0, 4, 1, 2, 0, 0, 0); }},
        {"CreatePNGAlphaDataFromFile", picture, 0,
         [](const char* in, const char* out) {
             return CreatePNGAlphaDataFromFile(in, in, out, 0, 0, none, 1, 0, 3, 3, 1, 1, 2, 1, 0, 0);
         }},
    };
    return rows;
}

// Calls the export with, in this order: a missing input, a folder as input,
// an output in a missing folder, the input as output, the input as output
// through a hard link (and on Linux a symbolic one), and null names. Each
// call must return the row's failure value, create no output and leave the
// input as it was. Returns what the calls wrote on standard error.
inline std::string expectBadNamesLoseNothing(const TempDir& dir, const FileExport& e) {
    const std::string in = dir.file("in"), content = e.input.empty() ? "<< /L 1 >>\r\nstream\r\nsome bytes" : readText(e.input);
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
        EXPECT_EQ(e.call(from.c_str(), to.c_str()), e.failure) << e.name << ": " << from << " -> " << to;
        EXPECT_FALSE(fileExists(dir.file("out"))) << e.name << ": " << from << " -> " << to;
        EXPECT_EQ(readText(in), content) << e.name << ": " << from << " -> " << to;
    }
    EXPECT_EQ(e.call(nullptr, nullptr), e.failure) << e.name;
    return testing::internal::GetCapturedStderr();
}

}  // namespace kdtest
