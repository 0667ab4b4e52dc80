// Helpers of the image tests: images made by Pillow or byte by byte, dobmp
// runs with their output files split into dictionary and data, zlib
// inflation and the rendering check with poppler.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace imgtest {

using Bytes = std::vector<uint8_t>;

// Pillow writes a pattern image (see tests/tools/img_tool.py gen).
void gen(const std::string& mode, int w, int h, const std::string& path, const std::vector<std::string>& opts = {});
// Pillow's decoding of an image as raw samples in `mode` ("RGB", "L", "A").
Bytes pillowSamples(const std::string& image, const std::string& mode);
using kdtest::inflateAll;

struct Output {
    int result = 0;
    int16_t width = -1, height = -1;
    int32_t smaskObj = 0;
    int32_t sideObj = -7;  // paletteObjOut, -7 while untouched
    std::string dataPath, maskPath, sidePath;
    std::string dict;  // data file up to and including "stream\r\n"
    Bytes data;        // what follows
    std::string maskDict;
    Bytes maskData;
};

struct DobmpCall {
    int32_t lengthObj = 12;
    int32_t smaskObj = 0;
    int32_t invertDecode = 0;
    std::string colourKeyMask;
    int32_t pdfVersion = 17;
    std::string maskKind = "SMask";
    std::string maskPath;  // default: <dir>/mask.bin
    int32_t jbig2Page = 1;
};

Output runDobmp(const kdtest::TempDir& dir, const std::string& image, const DobmpCall& call = {});

// Wraps dobmp's files in a PDF, renders it with pdftoppm and compares with
// `expected` (an image file). Returns the maximum channel difference, or
// 999 when rendering failed.
int renderDifference(const kdtest::TempDir& dir, const Output& out, int32_t lengthObj, int w, int h,
                     const std::string& expected, bool overWhite = false);

// Little-endian byte builders.
void put16(Bytes& b, uint32_t v);
void put32(Bytes& b, uint32_t v);
void putBE32(Bytes& b, uint32_t v);

// A bitmap file: 14-byte file header, the given info header bytes (whose
// first field is its size), palette (BGRA quads or BGR triples), pixel data.
Bytes bitmapFile(const Bytes& infoHeader, const Bytes& palette, const Bytes& pixels);
// A BITMAPINFOHEADER-style header of `size` bytes (40, 52, 56, 108, 124)
// with masks filled in when size allows.
Bytes infoHeader(uint32_t size, int32_t w, int32_t h, int bits, uint32_t compression,
                 uint32_t r = 0, uint32_t g = 0, uint32_t b = 0, uint32_t a = 0);

}  // namespace imgtest
