#include "image/image_support.h"

#include <gtest/gtest.h>

#include "kdlib.h"

namespace imgtest {

void gen(const std::string& mode, int w, int h, const std::string& path, const std::vector<std::string>& opts) {
    std::vector<std::string> args{"gen", mode, std::to_string(w), std::to_string(h), path};
    args.insert(args.end(), opts.begin(), opts.end());
    ASSERT_EQ(runPython("img_tool.py", args), 0) << "Pillow could not write " << path;
}

Bytes pillowSamples(const std::string& image, const std::string& mode) {
    const std::string out = image + "." + mode + ".raw";
    EXPECT_EQ(runPython("img_tool.py", {"samples", image, mode, out}), 0);
    return readFile(out);
}

std::string Source::write(const TempDir& dir, const std::string& name) const {
    if (bytes.empty())
        gen(mode, 12, 6, dir.file(name), opts);
    else
        writeFile(dir.file(name), bytes);
    return dir.file(name);
}

Output runDobmp(const TempDir& dir, const std::string& image, const DobmpCall& call) {
    Output o;
    o.dataPath = dir.file("data.bin");
    o.maskPath = call.maskPath.empty() ? dir.file("mask.bin") : call.maskPath;
    o.sidePath = dir.file("side.bin");
    o.smaskObj = call.smaskObj;
    o.result = dobmp(image.c_str(), o.dataPath.c_str(), call.lengthObj, &o.width, &o.height, 0, call.invertDecode,
                     call.colourKeyMask.c_str(), o.sidePath.c_str(), &o.sideObj, o.maskPath.c_str(), &o.smaskObj,
                     call.pdfVersion, call.maskKind.c_str(), call.jbig2Page);
    if (fileExists(o.dataPath)) {
        StreamFile s = splitStreamFile(o.dataPath);
        o.dict = s.header, o.data = s.data;
    }
    if (fileExists(o.maskPath)) {
        StreamFile s = splitStreamFile(o.maskPath);
        o.maskDict = s.header, o.maskData = s.data;
    }
    return o;
}

int renderDifference(const TempDir& dir, const Output& out, int32_t lengthObj, int w, int h,
                     const std::string& expected, bool overWhite) {
    const std::string png = dir.file("render.png");
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
    runPython("img_tool.py", {"compare", png, expected, "0", overWhite ? "white=1" : "white=0"}, &report);
    int worst = 999;
    return sscanf(report.c_str(), "max difference %d", &worst) == 1 ? worst : 999;
}

}  // namespace imgtest
