// Shared pieces of the TrueType engine tests: the fonts font_make.py builds,
// fonts opened from files, and fontTools' check of a written subset.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "fontsvc/fontsvc_support.h"
#include "truetype/tags.h"
#include "truetype/truetype_font.h"

namespace kdtest {

// The font of font_make.py's KIND.
inline std::string builtFont(const std::string& kind) {
    const char* ext = kind == "collection" ? ".ttc" : kind.rfind("cff", 0) == 0 ? ".otf" : ".ttf";
    return fonttest::testFontDir() + "/" + kind + ext;
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

// fontTools' check of a subset of the kept glyphs (none when `kept` is
// empty) against its source.
inline bool keptOk(const std::string& source, const std::string& subset, kd::TrueTypeFont& font,
                   std::vector<std::string> options = {}) {
    options.insert(options.end(), {"--glyphs", joined(font.glyphList())});
    return fonttest::checkProgram(subset, source, "", options).status == 0;
}

}  // namespace kdtest
