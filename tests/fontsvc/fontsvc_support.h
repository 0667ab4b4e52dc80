// Shared pieces of the font-service tests: the fonts built by fontTools,
// the stand-in for the host's one-byte text encoding, stream parsing and
// the fontTools reports.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace fonttest {

// Folder with KdRestricted.ttf, KdPair.ttc and KdSymbol.ttf, made once per
// process and announced to the font matcher through KDLIB_FONT_DIRS.
const std::string& testFontDir();

// A CharCodeMap registered the way the re-encoding functions register it.
int32_t newCharCodeMap();
int32_t newGlyphCodeMap();
void releaseMaps(int32_t charMap, int32_t glyphMap);
// Gives every new UTF-16 unit of text (in codePage) the next code, as the
// one-byte mode of the re-encoding does.
void encodeOneByte(int32_t charMap, const std::string& text, int codePage, int32_t& nextCode);

using kdtest::inflateAll;
// What a stream file's zlib data inflate to.
inline std::vector<uint8_t> streamContent(const std::string& path) {
    return inflateAll(kdtest::splitStreamFile(path).data);
}

// fontsvc_subset_check.py's report: key -> rest of the line, several lines
// with one key joined by '\n'.
std::map<std::string, std::string> checkProgram(const std::string& program, const std::string& source,
                                                const std::string& utf8Text = "");
std::vector<int> numbers(const std::string& text);
// Every glyph the report's text needs (but `except`) has outline data in
// the program, unchanged from the source's (-1, absent from the source, is
// passed over).
void expectNeededInked(std::map<std::string, std::string>& report, int except = -2);

}  // namespace fonttest
