// Reordering of a line of 8-bit Hebrew (code page 1255) or Arabic (1256)
// text from reading order into display order for a left-to-right paragraph:
// right-to-left runs are reversed with their brackets mirrored, numbers
// inside them keep their digit order, everything else stays in place. A
// compact scheme of its own (one level, no embeddings), not the Unicode
// bidirectional algorithm.
#pragma once

#include <cstdint>

namespace kd {

// Direction classes of a byte; the number flag marks digits and the
// separators joined into a number.
constexpr uint8_t kBidiL = 1;
constexpr uint8_t kBidiR = 2;
constexpr uint8_t kBidiW = 4;
constexpr uint8_t kBidiN = 8;
constexpr uint8_t kBidiNumber = 16;
constexpr uint8_t kBidiD = kBidiNumber | kBidiW;

// The class of byte b in codePage (1255 or 1256); L for any other code page.
uint8_t bidiClass(unsigned codePage, uint8_t b);

// Writes length bytes of src in display order to dst (length bytes; no
// terminator) and returns length; 0 for a length below 1. Code pages other
// than 1255 and 1256 are copied unchanged. src and dst may overlap.
int64_t formatBidi(const char* src, int64_t length, char* dst, unsigned codePage);

}  // namespace kd
