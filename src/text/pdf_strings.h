// Byte-to-byte converters for content streams: escaping of PDF literal
// strings and number pictures to "#"/"0" patterns.
#pragma once

#include <cstdint>

namespace kd {

// Escapes length bytes of src for a PDF literal string into dst. A carriage
// return becomes lineBreak (when not empty) and a line feed then vanishes;
// "(", ")" and "\" get a backslash; backspace, tab and (without lineBreak)
// CR and LF are written as \b, \t, \r, \n. When usedMap is not null and its
// first byte is not 0, usedMap[b] is set to '!' for every byte b.
// dst needs max(2, strlen(lineBreak)) x length bytes. Returns bytes written.
int64_t escapePdfString(const char* src, int64_t length, const char* lineBreak, char* dst, char* usedMap);

// The most bytes escapePdfString can write for length bytes.
uint64_t escapedSizeBound(int64_t length, const char* lineBreak);

// '999,999.99' -> '###,##0.00': "9" and "#" become "#" before the point
// and "0" after it, the last "#" before the point becomes "0". Writes
// length bytes and returns length.
int64_t convertNumberPicture(const char* src, int64_t length, char* dst);

}  // namespace kd
