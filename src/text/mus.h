// Re-encoding of host text into the hexadecimal digits of a PDF string for
// fonts whose encoding is built as the document is written.
//
// One-byte mode gives each distinct UTF-16 unit the next code of a counter,
// in order of first use, and writes two digits per unit; two-byte mode
// writes four digits per unit from a glyph map. Both record every unit used
// in the char-code map, which the font side later walks to build the subset.
#pragma once

#include <cstdint>

#include "text/code_maps.h"

namespace kd {

enum class MusMode { OneByte = 0, TwoByte = 1 };

// Converts length bytes with codePage, shapes Arabic in display order and
// writes the digits to output (4 x length bytes always suffice; no
// terminator). glyphs is read in two-byte mode only and may then not be
// null. counter advances once per new unit and wraps at 65536. Returns the
// code bytes produced (1 or 2 per unit); 0 and nothing touched when the
// conversion fails or the text is empty.
//
// One-byte codes above 255 cannot be represented by two digits: such a
// unit is written as the low byte of its code.
int makeUnicodeString(const char* text, int length, unsigned codePage, MusMode mode, CharCodeMap& chars,
                      uint16_t& counter, const GlyphCodeMap* glyphs, char* output);

// Converts length bytes with codePage into big-endian UTF-16 (no byte-order
// mark, no terminator) in output, which holds 2 x length bytes. Returns the
// units written, 0 when the conversion fails.
int toUnicodeBigEndian(const char* text, int length, unsigned codePage, char* output);

}  // namespace kd
