#include "image/image_support.h"

#include <gtest/gtest.h>

#include "kdlib.h"

namespace imgtest {

using kdtest::runPython;

void gen(const std::string& mode, int w, int h, const std::string& path, const std::vector<std::string>& opts) {
    std::vector<std::string> args{"gen", mode, std::to_string(w), std::to_string(h), path};
    args.insert(args.end(), opts.begin(), opts.end());
    ASSERT_EQ(runPython("img_tool.py", args), 0) << "Pillow could not write " << path;
}

Bytes pillowSamples(const std::string& image, const std::string& mode) {
    std::string out = image + "." + mode + ".raw";
    EXPECT_EQ(runPython("img_tool.py", {"samples", image, mode, out}), 0);
    return kdtest::readFile(out);
}

Output runDobmp(const kdtest::TempDir& dir, const std::string& image, const DobmpCall& call) {
    Output o;
    o.dataPath = dir.file("data.bin");
    o.maskPath = call.maskPath.empty() ? dir.file("mask.bin") : call.maskPath;
    o.sidePath = dir.file("side.bin");
    o.smaskObj = call.smaskObj;
    o.result = dobmp(image.c_str(), o.dataPath.c_str(), call.lengthObj, &o.width, &o.height, 0, call.invertDecode,
                     call.colourKeyMask.c_str(), o.sidePath.c_str(), &o.sideObj, o.maskPath.c_str(), &o.smaskObj,
                     call.pdfVersion, call.maskKind.c_str(), call.jbig2Page);
    if (kdtest::fileExists(o.dataPath)) {
        kdtest::StreamFile s = kdtest::splitStreamFile(o.dataPath);
        o.dict = s.header, o.data = s.data;
    }
    if (kdtest::fileExists(o.maskPath)) {
        kdtest::StreamFile s = kdtest::splitStreamFile(o.maskPath);
        o.maskDict = s.header, o.maskData = s.data;
    }
    return o;
}

int renderDifference(const kdtest::TempDir& dir, const Output& out, int32_t lengthObj, int w, int h,
                     const std::string& expected, bool overWhite) {
    std::string png = dir.file("render.png");
    std::vector<std::string> args{"render", png, "data=" + out.dataPath, "length=" + std::to_string(out.result),
                                  "lengthobj=" + std::to_string(lengthObj), "width=" + std::to_string(w),
                                  "height=" + std::to_string(h)};
    if (out.smaskObj > 0 && out.dict.find("\r\n /SMask") != std::string::npos) args.push_back("mask=" + out.maskPath);
    if (out.sideObj != -7) {
        args.push_back("side=" + out.sidePath);
        args.push_back("sideobj=" + std::to_string(out.sideObj));
    }
    if (runPython("img_tool.py", args) != 0) return 999;
    std::string report;
    std::vector<std::string> cmp{"compare", png, expected, "0"};
    if (overWhite) cmp.push_back("white=1");
    runPython("img_tool.py", cmp, &report);
    int worst = 999;
    if (sscanf(report.c_str(), "max difference %d", &worst) != 1) return 999;
    return worst;
}

void put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void putBE32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

Bytes bitmapFile(const Bytes& info, const Bytes& palette, const Bytes& pixels) {
    Bytes b{'B', 'M'};
    uint32_t offset = uint32_t(14 + info.size() + palette.size());
    put32(b, uint32_t(offset + pixels.size()));
    put32(b, 0);
    put32(b, offset);
    b.insert(b.end(), info.begin(), info.end());
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

Bytes infoHeader(uint32_t size, int32_t w, int32_t h, int bits, uint32_t compression, uint32_t r, uint32_t g,
                 uint32_t bl, uint32_t a) {
    Bytes b;
    put32(b, size);
    put32(b, uint32_t(w));
    put32(b, uint32_t(h));
    put16(b, 1);
    put16(b, uint32_t(bits));
    put32(b, compression);
    for (int i = 0; i < 5; ++i) put32(b, 0);
    if (size >= 52) {
        put32(b, r);
        put32(b, g);
        put32(b, bl);
    }
    if (size >= 56) put32(b, a);
    while (b.size() < size) b.push_back(0);
    return b;
}

}  // namespace imgtest
