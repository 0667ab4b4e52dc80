// The table tags the engine keeps, as 32-bit values (first byte highest).
#pragma once

#include <cstdint>

namespace kd {

constexpr uint32_t makeTag(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) | uint8_t(d);
}

constexpr uint32_t kTagCmap = makeTag('c', 'm', 'a', 'p');
constexpr uint32_t kTagGlyf = makeTag('g', 'l', 'y', 'f');
constexpr uint32_t kTagHead = makeTag('h', 'e', 'a', 'd');
constexpr uint32_t kTagHhea = makeTag('h', 'h', 'e', 'a');
constexpr uint32_t kTagHmtx = makeTag('h', 'm', 't', 'x');
constexpr uint32_t kTagLoca = makeTag('l', 'o', 'c', 'a');
constexpr uint32_t kTagMaxp = makeTag('m', 'a', 'x', 'p');
constexpr uint32_t kTagName = makeTag('n', 'a', 'm', 'e');
constexpr uint32_t kTagPost = makeTag('p', 'o', 's', 't');
constexpr uint32_t kTagOs2 = makeTag('O', 'S', '/', '2');
constexpr uint32_t kTagCff = makeTag('C', 'F', 'F', ' ');

// The only tables that reach the table list (and so a subset); "CFF "
// holds the outlines of fonts without "glyf".
inline bool isWantedTag(uint32_t tag) {
    return tag == kTagCff || tag == kTagCmap || tag == kTagGlyf || tag == kTagHead || tag == kTagHhea || tag == kTagHmtx ||
           tag == kTagLoca || tag == kTagMaxp || tag == kTagName || tag == kTagPost || tag == kTagOs2;
}

}  // namespace kd
