#include "text/pdf_strings.h"

#include <array>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KD_PDF_STRING_SSE2 1
#endif

namespace kd {
namespace {

// Bytes that are not written as themselves.
constexpr std::array<uint8_t, 256> makeSpecial() {
    std::array<uint8_t, 256> s{};
    s['\b'] = s['\t'] = s['\n'] = s['\r'] = s['('] = s[')'] = s['\\'] = 1;
    return s;
}
constexpr std::array<uint8_t, 256> kSpecial = makeSpecial();

// The index of the first byte at or after i that is not written as itself,
// or len.
size_t plainRunEnd(const uint8_t* in, size_t i, size_t len) {
#ifdef KD_PDF_STRING_SSE2
    const __m128i backspace = _mm_set1_epi8('\b'), tab = _mm_set1_epi8('\t'), lineFeed = _mm_set1_epi8('\n'),
                  carriageReturn = _mm_set1_epi8('\r'), open = _mm_set1_epi8('('), close = _mm_set1_epi8(')'),
                  backslash = _mm_set1_epi8('\\');
    for (; i + 16 <= len; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, backspace), _mm_cmpeq_epi8(v, tab));
        hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(v, lineFeed), _mm_cmpeq_epi8(v, carriageReturn)));
        hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(v, open), _mm_cmpeq_epi8(v, close)));
        hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, backslash));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
        if (mask != 0) {
            unsigned bit = 0;
            while ((mask & (1u << bit)) == 0) ++bit;
            return i + bit;
        }
    }
#endif
    while (i < len && kSpecial[in[i]] == 0) ++i;
    return i;
}

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
        const size_t run = plainRunEnd(in, i, len);
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
