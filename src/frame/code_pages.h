// Host text to UTF-16 under the library's one rule: the platform's
// multibyte conversion with MB_PRECOMPOSED, except for code pages 42
// (symbol) and 65001 (UTF-8), which take no flags.
#pragma once

#include <cstdint>
#include <string>

namespace kd {

constexpr unsigned kCodePageSymbol = 42;
constexpr unsigned kCodePageUtf8 = 65001;

uint32_t conversionFlags(unsigned codePage);

// Converts length bytes into at most room units; returns the units written,
// 0 when the conversion fails or there is nothing to convert.
int toUtf16(unsigned codePage, const char* text, int length, char16_t* output, int room);

// The same into a string sized from the input (one unit per byte at most);
// empty on failure.
std::u16string toUtf16(unsigned codePage, const char* text, int length);

}  // namespace kd
