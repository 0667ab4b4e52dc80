// What the wrap and trim tests know about DejaVu Sans, read by fontTools,
// and the widths the library must report for a text at a given size.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace wraptest {

struct FontFacts {
    int upem = 0;
    int winAscent = 0, winDescent = 0, hheaAscender = 0, hheaDescender = 0, lineGap = 0;
    std::vector<int> advances;  // per character of the text asked for
    std::vector<int> glyphs;    // glyph ids of those characters, -1 when missing
};

inline FontFacts readFacts(const std::string& utf8Text) {
    std::string out;
    int status = kdtest::runPython("font_oracle.py", {"advances", kdtest::dejaVuPath(), kdtest::hexOf(utf8Text)}, &out);
    EXPECT_EQ(status, 0);
    FontFacts f;
    std::istringstream in(out);
    std::string word;
    while (in >> word) {
        if (word == "upem") in >> f.upem;
        else if (word == "vertical")
            in >> f.winAscent >> f.winDescent >> f.hheaAscender >> f.hheaDescender >> f.lineGap;
        else if (word == "advances" || word == "glyphs") {
            std::string rest;
            std::getline(in, rest);
            std::istringstream values(rest);
            int v;
            while (values >> v) (word == "glyphs" ? f.glyphs : f.advances).push_back(v);
        }
    }
    return f;
}

// Pixels per em of the tenfold font on the 96-dpi display.
inline int tenfoldPpem(float size) { return static_cast<int>(size * 10) * 96 * 10 / 720; }

// A character's advance in whole pixels.
inline long pixels(const FontFacts& f, int index, int ppem) {
    return std::lround(static_cast<double>(f.advances.at(index)) * ppem / f.upem);
}

}  // namespace wraptest
