// Helpers of the image tests: pattern images made by Pillow
// (tests/tools/img_tool.py), dobmp runs with their files split into
// dictionary and data, and poppler's rendering of those files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/bitmap_builder.h"
#include "common/test_support.h"

namespace imgtest {

using namespace kdtest;

// Pillow writes a pattern image (see img_tool.py gen).
void gen(const std::string& mode, int w, int h, const std::string& path, const std::vector<std::string>& opts = {});
// Pillow's decoding of an image as raw samples in `mode` ("RGB", "L", "A").
Bytes pillowSamples(const std::string& image, const std::string& mode);

// An image for a table row: Pillow's 12 x 6 pattern (mode and options) or
// bytes; write() puts it into the folder under `name`.
struct Source {
    Source(const char* mode, std::vector<std::string> opts = {}) : mode(mode), opts(std::move(opts)) {}
    Source(Bytes bytes) : bytes(std::move(bytes)) {}
    std::string write(const TempDir& dir, const std::string& name) const;
    std::string mode;
    std::vector<std::string> opts;
    Bytes bytes;
};

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

Output runDobmp(const TempDir& dir, const std::string& image, const DobmpCall& call = {});

// Wraps dobmp's files in a PDF, renders it with pdftoppm and returns the
// largest channel difference from `expected` (an image file; composited
// over white paper first when overWhite), or 999 when rendering failed.
int renderDifference(const TempDir& dir, const Output& out, int32_t lengthObj, int w, int h,
                     const std::string& expected, bool overWhite = false);

}  // namespace imgtest
