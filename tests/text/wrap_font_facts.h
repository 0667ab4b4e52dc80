// What the wrap, trim and font request tests know about DejaVu Sans, read by
// fontTools.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
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
    const kdtest::OracleAnswer answer =
        kdtest::runOracle("font_oracle.py", {"advances", kdtest::dejaVuPath(), kdtest::hexOf(utf8Text)});
    EXPECT_EQ(answer.status, 0);
    auto ints = [&](const char* key) {
        const std::vector<long long> values = kdtest::numbers(answer[key]);
        return std::vector<int>(values.begin(), values.end());
    };
    const std::vector<int> v = ints("vertical");  // winAscent winDescent ascender descender lineGap
    return {std::atoi(answer["upem"].c_str()), v.at(0), v.at(1), v.at(2), v.at(3), v.at(4), ints("advances"),
            ints("glyphs")};
}

// Pixels per em of the tenfold font on the 96-dpi display.
inline int tenfoldPpem(float size) { return static_cast<int>(size * 10) * 96 * 10 / 720; }

}  // namespace wraptest
