// Arbitrary bytes as a "CFF " table: reading it, walking the charstrings
// of a spread of glyphs and writing the subset's table must neither crash,
// nor read outside their buffers, nor run away in time or memory; the table
// written is exactly as long as laid out.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "truetype/cff_subset.h"
#include "fuzz_files.h"

namespace {

const std::string tablePath = kdfuzz::scratchPath("cff", ".cff");
const std::string subsetPath = kdfuzz::scratchPath("cff", ".subset");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!kdfuzz::writeInput(tablePath, data, size)) return 0;
    FILE* f = std::fopen(tablePath.c_str(), "rb");
    if (!f) return 0;
    kd::FontSource source;
    source.useFontFile(f);
    kd::CffFont font(source);
    if (source.open(false) && font.read(0, static_cast<uint32_t>(size))) {
        kd::CffClosure closure(font);
        for (uint32_t g = 0; g < font.glyphCount(); g += 1 + g / 3) closure.addGlyph(g);
        kd::CffSubset subset(font, closure);
        if (FILE* out = std::fopen(subsetPath.c_str(), "wb")) {
            uint32_t written = 0;
            {
                kd::SfntOutput o(out);
                subset.write(o);
                written = o.count();
            }
            std::fclose(out);
            if (subset.size() != 0 && written != subset.size()) std::abort();
        }
    }
    std::fclose(f);
    std::remove(subsetPath.c_str());
    return 0;
}
