// Shared pieces of the TrueType engine tests: the fonts font_make.py builds,
// fonts opened from files, and fontTools' check of a written subset.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "truetype/tags.h"
#include "truetype/truetype_font.h"

namespace kdtest {

// The font of font_make.py's KIND; all are built on first use (one
// Python start costs more than building them all).
inline std::string builtFont(const std::string& kind) {
    static TempDir dir;
    static const int status = runPython("font_make.py", {"kinds", dir.path()});
    EXPECT_EQ(status, 0) << "font_make.py kinds";
    return dir.file(kind + (kind == "collection" ? ".ttc" : kind.rfind("cff", 0) == 0 ? ".otf" : ".ttf"));
}

// A TrueTypeFont reading a file it keeps open for its lifetime.
struct FileFont {
    FILE* file = nullptr;
    std::unique_ptr<kd::TrueTypeFont> font;
    int32_t readResult = -2;

    explicit FileFont(const std::string& path, const char* faceName = "Test") {
        file = std::fopen(path.c_str(), "rb");
        font = std::make_unique<kd::TrueTypeFont>(faceName, "unused.log");
        if (file) font->useFontFile(file);
        readResult = font->readTables();
    }
    ~FileFont() {
        font.reset();
        if (file) std::fclose(file);
    }
    kd::TrueTypeFont* operator->() { return font.get(); }
};

template <class T>
std::string joined(const T& values) {
    std::string s;
    for (auto v : values) s += (s.empty() ? "" : ",") + std::to_string(v);
    return s;
}

// fontTools' check of a subset against its source (font_oracle.py check).
inline testing::AssertionResult subsetOk(const std::string& source, const std::string& subset,
                                         std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"check", source, subset});
    OracleAnswer answer = runOracle("font_oracle.py", options);
    if (answer.status == 0) return testing::AssertionSuccess();
    return testing::AssertionFailure() << answer.text;
}

// A subset of the kept glyphs (none when `kept` is empty): fontTools' check.
inline testing::AssertionResult keptOk(const std::string& source, const std::string& subset, kd::TrueTypeFont& font,
                                       std::vector<std::string> options = {}) {
    options.insert(options.end(), {"--glyphs", joined(font.glyphList())});
    return subsetOk(source, subset, options);
}

}  // namespace kdtest
