// Byte helpers every suite shares: integers of a given width in byte
// vectors, big- or little-endian, and hexadecimal digits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kdtest {

using Bytes = std::vector<uint8_t>;

// The `width`-byte integer at `at`.
inline uint32_t getBE(const Bytes& b, size_t at, int width) {
    uint32_t v = 0;
    for (int k = 0; k < width; ++k) v = v << 8 | b.at(at + static_cast<size_t>(k));
    return v;
}
inline uint32_t getLE(const Bytes& b, size_t at, int width) {
    uint32_t v = 0;
    for (int k = width - 1; k >= 0; --k) v = v << 8 | b.at(at + static_cast<size_t>(k));
    return v;
}
inline uint16_t be16(const Bytes& b, size_t at) { return static_cast<uint16_t>(getBE(b, at, 2)); }
inline uint32_t be32(const Bytes& b, size_t at) { return getBE(b, at, 4); }

// Writes v as a `width`-byte integer at `at`, or appended when at is npos.
inline void putBE(Bytes& b, uint32_t v, int width, size_t at = std::string::npos) {
    if (at == std::string::npos) at = b.size(), b.resize(b.size() + static_cast<size_t>(width));
    for (int k = 0; k < width; ++k) b.at(at + static_cast<size_t>(k)) = static_cast<uint8_t>(v >> 8 * (width - 1 - k));
}
inline void putLE(Bytes& b, uint32_t v, int width, size_t at = std::string::npos) {
    if (at == std::string::npos) at = b.size(), b.resize(b.size() + static_cast<size_t>(width));
    for (int k = 0; k < width; ++k) b.at(at + static_cast<size_t>(k)) = static_cast<uint8_t>(v >> 8 * k);
}

// Hexadecimal digits of bytes, lower or upper case.
inline std::string hexOf(const void* bytes, size_t size, bool upper = false) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    const auto* b = static_cast<const uint8_t*>(bytes);
    std::string s;
    for (size_t k = 0; k < size; ++k) s += {digits[b[k] >> 4], digits[b[k] & 15]};
    return s;
}
inline std::string hexOf(const std::string& text) { return hexOf(text.data(), text.size()); }

}  // namespace kdtest
