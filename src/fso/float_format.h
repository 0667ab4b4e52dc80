// printf-style formatting of floating-point numbers that never consults
// the locale: '.' is the decimal point and digits are never grouped,
// whatever locale the host has set (the C library's printf takes both from
// the process or thread locale, which belongs to the host and to all its
// threads). The digits come from std::to_chars, which the C++ standard
// defines as printf's conversions in the "C" locale, so the text is the
// "C" locale's text on every system.
#pragma once

#include <cstddef>
#include <initializer_list>

namespace kd {

// Formats `format`: plain text, "%%" and the conversions f F e E g G a A,
// each with flags from "-+ #0'" (the ' flag groups nothing, as in the "C"
// locale), an optional width and precision in digits and an optional 'l',
// taking the next of `values` in turn. Writes at most size - 1 bytes and a
// terminator into area (nothing when size is 0). Result: the length of the
// whole text, which may exceed size - 1; or -1, with the area's content
// unspecified, for a format with any other conversion, with more
// conversions than values, or for a text longer than INT_MAX bytes.
int formatFloats(char* area, size_t size, const char* format, std::initializer_list<double> values);

}  // namespace kd
