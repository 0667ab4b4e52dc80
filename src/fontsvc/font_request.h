// getFParam: everything the host writes about one font into a PDF file —
// metrics, widths, symbolic flag, font descriptor values, glyph map and the
// embeddable (subset) font program with its compressed stream. Each call
// builds its own display context, GDI font and font engine object and
// releases them before it returns.
#pragma once

#include <cstdint>

namespace kd {

// Result codes besides 0 and counts.
constexpr int32_t kFontFailed = -1;        // no context/font, unreadable font file or data
constexpr int32_t kFontBadPointer = -2;    // a buffer the request writes is null
constexpr int32_t kFontNoEmbedding = -500; // no map for request 10/21, or embedding forbidden
constexpr int32_t kFontNothingToEmbed = -666;

// Request codes and flags of the 16-bit request word.
constexpr int kRequestMetrics = 1;
constexpr int kRequestSymbolic = 7;
constexpr int kRequestSubsetCodes = 8;
constexpr int kRequestWholeFont = 9;
constexpr int kRequestSubsetMap = 10;
constexpr int kRequestDescriptor = 20;
constexpr int kRequestGlyphMap = 21;
constexpr uint16_t kFlagGlyphIds = 0x200;
constexpr uint16_t kFlagFontFile = 0x400;

// Byte size of the font descriptor record (request 20).
constexpr int kDescriptorRecordSize = 756;

struct FontRequest {
    const char* fontStreamFile = nullptr;
    const char* faceName = nullptr;
    float size = 0;
    int16_t bold = 0;
    int16_t italic = 0;
    uint16_t request = 0;
    int32_t* record = nullptr;
    const char* usedCodeMask = nullptr;
    int32_t codePage = 0;
    const char* subsetFileName = nullptr;
    int32_t mapHandle = 0;
    uint16_t* widthTable = nullptr;
};

int32_t getFontParameters(const FontRequest& request);

// The face name as the library uses it everywhere: at most 31 characters.
void cutFaceName(const char* faceName, char (&out)[32]);

// The float point size as a 16-bit integer, truncated toward zero and
// saturated (NaN gives 0).
int16_t pointSize(float size);

}  // namespace kd
