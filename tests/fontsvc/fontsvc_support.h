// Shared pieces of the font-service tests: the faces font_make.py builds,
// character maps filled by the library's own re-encoding, and fontTools'
// check of a written font program.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_support.h"
#include "kdlib.h"

namespace fonttest {

// Folder with font_make.py's fonts (KdRestricted.ttf, KdPair.ttc,
// KdSymbol.ttf, KdCff.otf, KdCff2.otf ...), made once per process (one
// Python start costs more than building them all) and announced to the
// font matcher through KDLIB_FONT_DIRS.
struct TestFonts {
    kdtest::TempDir dir;
    TestFonts() {
        EXPECT_EQ(kdtest::runPython("font_make.py", {"kinds", dir.path()}), 0);
        kdtest::setEnv("KDLIB_FONT_DIRS", dir.path());
    }
};
inline const std::string& testFontDir() {
    static const TestFonts fonts;
    return fonts.dir.path();
}

// The maps of the re-encoding: one-byte codes (mode 0) or glyph numbers
// (mode 1), released at the end.
struct Maps {
    int32_t charMap = 0, glyphMap = 0, next = 0, mode;
    explicit Maps(int32_t m = 0) : mode(m) { _kd_MUSInit(&charMap, &glyphMap, mode); }
    ~Maps() { _kd_MUSRelease(charMap, glyphMap, mode); }
    // Re-encodes text of a code page; returns the codes (written as two or,
    // for glyph numbers, four hex digits each).
    std::vector<int> add(const std::string& text, int codePage = 1252) {
        std::vector<char> out(4 * text.size() + 4, 0);
        int32_t n = _kd_MakeUnicodeString(text.data(), static_cast<int32_t>(text.size()), &charMap, &next, out.data(),
                                          0, codePage, mode, &glyphMap);
        std::vector<int> codes;
        for (int32_t i = 0; i < 2 * n; i += mode ? 4 : 2)
            codes.push_back(std::stoi(std::string(out.data() + i, mode ? 4 : 2), nullptr, 16));
        return codes;
    }
};

// What a stream file's zlib data inflate to.
inline std::vector<uint8_t> streamContent(const std::string& path) {
    return kdtest::inflateAll(kdtest::splitStreamFile(path).data);
}

// fontTools' check of a program against its source (font_oracle.py check):
// tables, family, needed (the source's glyphs of utf8Text), cmap10 ...; a
// failure is recorded unless it passes.
inline kdtest::OracleAnswer checkProgram(const std::string& program, const std::string& source,
                                         const std::string& utf8Text = "", std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"check", source, program, "--text", kdtest::hexOf(utf8Text)});
    kdtest::OracleAnswer answer = kdtest::runOracle("font_oracle.py", options);
    EXPECT_EQ(answer.status, 0) << answer.text;
    return answer;
}

}  // namespace fonttest
