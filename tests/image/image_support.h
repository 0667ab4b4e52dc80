// Helpers of the image tests: pattern images made by Pillow
// (tests/tools/img_tool.py) and dobmp runs with their files split into
// dictionary and data.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "common/bitmap_builder.h"
#include "common/test_support.h"
#include "kdlib.h"

namespace imgtest {

using namespace kdtest;

// Pillow writes a pattern image (see img_tool.py gen).
inline void gen(const std::string& mode, int w, int h, const std::string& path,
                const std::vector<std::string>& opts = {}) {
    std::vector<std::string> args{"gen", mode, std::to_string(w), std::to_string(h), path};
    args.insert(args.end(), opts.begin(), opts.end());
    ASSERT_EQ(runPython("img_tool.py", args), 0) << "Pillow could not write " << path;
}

// Pillow's decoding of an image as raw samples in `mode` ("RGB", "L", "A").
inline Bytes pillowSamples(const std::string& image, const std::string& mode) {
    const std::string out = image + "." + mode + ".raw";
    EXPECT_EQ(runPython("img_tool.py", {"samples", image, mode, out}), 0);
    return readFile(out);
}

// An image for a table row: Pillow's pattern (mode and options) or bytes.
struct Source {
    Source(const char* mode, std::vector<std::string> opts = {}) : mode(mode), opts(std::move(opts)) {}
    Source(Bytes bytes) : bytes(std::move(bytes)) {}
    std::string mode;
    std::vector<std::string> opts;
    Bytes bytes;
};

// Writes the images of table rows (`name`, `image`) into the folder, the
// Pillow ones (w x h) with a single start of Python.
template <typename Rows>
void writeSources(const TempDir& dir, const Rows& rows, int w = 12, int h = 6) {
    std::string commands;
    for (const auto& row : rows) {
        if (!row.image.bytes.empty()) {
            writeFile(dir.file(row.name), row.image.bytes);
            continue;
        }
        commands += "gen\t" + row.image.mode + "\t" + std::to_string(w) + "\t" + std::to_string(h) + "\t";
        commands += dir.file(row.name);
        for (const std::string& opt : row.image.opts) commands += "\t" + opt;
        commands += "\n";
    }
    writeFile(dir.file("batch.txt"), commands);
    ASSERT_EQ(runPython("img_tool.py", {"batch", dir.file("batch.txt")}), 0);
}

// What dobmp is given besides the names (rows give them in this order).
struct DobmpCall {
    int32_t lengthObj = 12;
    int32_t smaskObj = 0;
    int32_t jbig2Page = 1;
    int32_t pdfVersion = 17;
    int32_t invertDecode = 0;
    std::string colourKeyMask = "";
    std::string maskKind = "SMask";
    std::string maskPath = "";  // default: <dir>/mask.bin
};

struct Output {
    int result = 0;
    int16_t width = -1, height = -1;
    int32_t smaskObj = 0;
    int32_t sideObj = -7;  // paletteObjOut, -7 while untouched
    std::string dataPath, maskPath, sidePath;
    std::string dict, maskDict;  // the files up to and including "stream\r\n"
    Bytes data, maskData;        // what follows
};

inline Output runDobmp(const TempDir& dir, const std::string& image, const DobmpCall& call = {}) {
    Output o;
    o.dataPath = dir.file("data.bin");
    o.maskPath = call.maskPath.empty() ? dir.file("mask.bin") : call.maskPath;
    o.sidePath = dir.file("side.bin");
    o.smaskObj = call.smaskObj;
    o.result = dobmp(image.c_str(), o.dataPath.c_str(), call.lengthObj, &o.width, &o.height, 0, call.invertDecode,
                     call.colourKeyMask.c_str(), o.sidePath.c_str(), &o.sideObj, o.maskPath.c_str(), &o.smaskObj,
                     call.pdfVersion, call.maskKind.c_str(), call.jbig2Page);
    for (auto [path, dict, data] : {std::tuple{o.dataPath, &o.dict, &o.data}, {o.maskPath, &o.maskDict, &o.maskData}}) {
        if (!fileExists(path)) continue;
        StreamFile s = splitStreamFile(path);
        *dict = s.header, *data = s.data;
    }
    return o;
}

// dobmp's files `o` wrapped in a PDF, rendered by poppler and compared by
// img_tool.py (`args`: render or tcheck and their own keys): the largest
// channel difference, or 999 when that failed.
inline int renderedDifference(const Output& o, std::vector<std::string> args, int32_t lengthObj = 12) {
    args.insert(args.end(), {"data=" + o.dataPath, "length=" + std::to_string(o.result),
                             "lengthobj=" + std::to_string(lengthObj)});
    if (o.smaskObj > 0 && o.dict.find("\r\n /SMask") != std::string::npos) args.push_back("mask=" + o.maskPath);
    if (o.sideObj != -7) args.insert(args.end(), {"side=" + o.sidePath, "sideobj=" + std::to_string(o.sideObj)});
    std::string report;
    runPython("img_tool.py", args, &report);
    int worst = 999;
    return std::sscanf(report.c_str(), "max difference %d", &worst) == 1 ? worst : 999;
}

}  // namespace imgtest
