#include "text/pdf_strings.h"

#include <array>
#include <cstring>

namespace kd {
namespace {

// Bytes that are not written as themselves.
constexpr std::array<uint8_t, 256> makeSpecial() {
    std::array<uint8_t, 256> s{};
    s['\b'] = s['\t'] = s['\n'] = s['\r'] = s['('] = s[')'] = s['\\'] = 1;
    return s;
}
constexpr std::array<uint8_t, 256> kSpecial = makeSpecial();

}  // namespace

uint64_t escapedSizeBound(int64_t length, const char* lineBreak) {
    if (length < 1) return 0;
    const uint64_t replacement = lineBreak ? std::strlen(lineBreak) : 0;
    return static_cast<uint64_t>(length) * (replacement > 2 ? replacement : 2);
}

int64_t escapePdfString(const char* src, int64_t length, const char* lineBreak, char* dst, char* usedMap) {
    if (src == nullptr || dst == nullptr || length < 1) return 0;
    const auto* in = reinterpret_cast<const uint8_t*>(src);
    const size_t len = static_cast<size_t>(length);
    // Marking writes only '!', so the first byte decides for the whole call.
    if (usedMap != nullptr && usedMap[0] != 0) {
        for (size_t i = 0; i < len; ++i) usedMap[in[i]] = '!';
    }
    const size_t breakLength = lineBreak ? std::strlen(lineBreak) : 0;

    char* out = dst;
    size_t i = 0;
    while (i < len) {
        // Copy the run of bytes that stand for themselves in one go.
        size_t run = i;
        while (run < len && kSpecial[in[run]] == 0) ++run;
        if (run > i) {
            std::memcpy(out, in + i, run - i);
            out += run - i;
            i = run;
            if (i == len) break;
        }
        const uint8_t b = in[i++];
        switch (b) {
            case '\b':
                *out++ = '\\';
                *out++ = 'b';
                break;
            case '\t':
                *out++ = '\\';
                *out++ = 't';
                break;
            case '\n':
                if (breakLength == 0) {
                    *out++ = '\\';
                    *out++ = 'n';
                }
                break;
            case '\r':
                if (breakLength == 0) {
                    *out++ = '\\';
                    *out++ = 'r';
                } else {
                    std::memcpy(out, lineBreak, breakLength);
                    out += breakLength;
                }
                break;
            default:  // ( ) and backslash
                *out++ = '\\';
                *out++ = static_cast<char>(b);
                break;
        }
    }
    return out - dst;
}

int64_t convertNumberPicture(const char* src, int64_t length, char* dst) {
    if (src == nullptr || dst == nullptr || length < 1) return 0;
    bool beforePoint = true;
    for (int64_t i = 0; i < length; ++i) {
        const char c = src[i];
        if (c == '9' || c == '#') {
            dst[i] = beforePoint ? '#' : '0';
        } else if (c == '.') {
            if (i > 0 && dst[i - 1] == '#') dst[i - 1] = '0';
            dst[i] = '.';
            beforePoint = false;
        } else {
            dst[i] = c;
        }
    }
    return length;
}

}  // namespace kd
