// Arbitrary bytes as a font file: readTables and each subset operation must
// neither crash, nor read outside their buffers, nor run away in time or
// memory.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

#include "truetype/truetype_font.h"
#include "fuzz_files.h"

namespace {

const std::string fontPath = kdfuzz::scratchPath("truetype", ".ttf");
const std::string subsetPath = kdfuzz::scratchPath("truetype", ".subset");

template <class Op>
void withFont(const char* faceName, Op op) {
    FILE* f = std::fopen(fontPath.c_str(), "rb");
    if (!f) return;
    {
        kd::TrueTypeFont font(faceName, "");
        font.useFontFile(f);
        if (font.readTables() == 0) op(font);
    }
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!kdfuzz::writeInput(fontPath, data, size)) return 0;

    std::string mask(256, ' ');
    for (size_t c = 0; c < 256; c += 3) mask[c] = '!';
    withFont("Sample", [&](kd::TrueTypeFont& font) {
        uint16_t widths[258];
        font.writeSubsetForCodes(mask.c_str(), 1252, subsetPath.c_str(), widths);
        font.addUndefinedCodes(1250);
        uint8_t chunk[512];
        font.readSubsetChunk(0, chunk, sizeof chunk, subsetPath.c_str());
        font.closeSubsetFile();
    });
    withFont("Sample Math", [&](kd::TrueTypeFont& font) {
        font.setCodeMapMode(true);
        font.setGlyphIdMode(size % 2 == 1);
        kd::CharCodeMap map;
        uint16_t code = 0;
        for (uint16_t u : {0x20, 0x41, 0x42, 0xE9, 0x4E00, 0xF041}) map.insertIfAbsent(u, code++);
        uint16_t widths[514];
        font.writeSubsetForCodeMap(map, subsetPath.c_str(), widths);
    });
    withFont("", [&](kd::TrueTypeFont& font) {
        std::set<uint32_t> chars{0x20, 0x41, 0xC5, 0xE9, 0x4E00};
        font.writeSubsetForCharacters(chars, subsetPath.c_str());
    });
    std::remove(subsetPath.c_str());
    return 0;
}
