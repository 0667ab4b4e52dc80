#include "text/bidi.h"

#include <array>
#include <cstring>
#include <memory>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KD_BIDI_SSE2 1
#endif

namespace kd {
namespace {

struct Range {
    uint8_t first, last, cls;
};

constexpr Range kClasses1255[] = {
    {0x41, 0x5A, kBidiL}, {0x61, 0x7A, kBidiL}, {0x83, 0x83, kBidiL}, {0xB5, 0xB5, kBidiL}, {0xFD, 0xFD, kBidiL},
    {0xCE, 0xCE, kBidiR}, {0xD0, 0xD0, kBidiR}, {0xD3, 0xD8, kBidiR}, {0xE0, 0xFA, kBidiR}, {0xFE, 0xFE, kBidiR},
    {0x23, 0x25, kBidiW}, {0x2B, 0x2F, kBidiW}, {0x3A, 0x3A, kBidiW}, {0x80, 0x80, kBidiW}, {0x89, 0x89, kBidiW},
    {0xA0, 0xA0, kBidiW}, {0xA2, 0xA5, kBidiW}, {0xB0, 0xB3, kBidiW}, {0xB9, 0xB9, kBidiW}, {0xC0, 0xCD, kBidiW},
    {0xCF, 0xCF, kBidiW}, {0xD1, 0xD2, kBidiW}, {0xD9, 0xDF, kBidiW}, {0xFB, 0xFC, kBidiW}, {0xFF, 0xFF, kBidiW},
    {0x00, 0x22, kBidiN}, {0x26, 0x2A, kBidiN}, {0x3B, 0x40, kBidiN}, {0x5B, 0x60, kBidiN}, {0x7B, 0x7F, kBidiN},
    {0x81, 0x82, kBidiN}, {0x84, 0x88, kBidiN}, {0x8A, 0x9F, kBidiN}, {0xA1, 0xA1, kBidiN}, {0xA6, 0xAF, kBidiN},
    {0xB4, 0xB4, kBidiN}, {0xB6, 0xB8, kBidiN}, {0xBA, 0xBF, kBidiN},
    {0x30, 0x39, kBidiD},
};

constexpr Range kClasses1256[] = {
    {0x41, 0x5A, kBidiL}, {0x61, 0x7A, kBidiL}, {0x83, 0x83, kBidiL}, {0x8C, 0x8C, kBidiL}, {0x9C, 0x9C, kBidiL},
    {0xB5, 0xB5, kBidiL}, {0xE0, 0xE0, kBidiL}, {0xE2, 0xE2, kBidiL}, {0xE7, 0xEB, kBidiL}, {0xEE, 0xEF, kBidiL},
    {0xF4, 0xF4, kBidiL}, {0xF9, 0xF9, kBidiL}, {0xFB, 0xFD, kBidiL},
    {0xBF, 0xD6, kBidiR}, {0xD8, 0xDF, kBidiR}, {0xE1, 0xE1, kBidiR}, {0xE3, 0xE6, kBidiR}, {0xEC, 0xED, kBidiR},
    {0xFE, 0xFF, kBidiR},
    {0x23, 0x25, kBidiW}, {0x2B, 0x2F, kBidiW}, {0x3A, 0x3A, kBidiW}, {0x80, 0x81, kBidiW}, {0x89, 0x8A, kBidiW},
    {0x8D, 0x90, kBidiW}, {0x9F, 0xA5, kBidiW}, {0xAA, 0xAA, kBidiW}, {0xB0, 0xB3, kBidiW}, {0xB9, 0xBA, kBidiW},
    {0xF0, 0xF3, kBidiW}, {0xF5, 0xF6, kBidiW}, {0xF8, 0xF8, kBidiW}, {0xFA, 0xFA, kBidiW},
    {0x00, 0x22, kBidiN}, {0x26, 0x2A, kBidiN}, {0x3B, 0x40, kBidiN}, {0x5B, 0x60, kBidiN}, {0x7B, 0x7F, kBidiN},
    {0x82, 0x82, kBidiN}, {0x84, 0x88, kBidiN}, {0x8B, 0x8B, kBidiN}, {0x91, 0x9B, kBidiN}, {0x9D, 0x9E, kBidiN},
    {0xA6, 0xA9, kBidiN}, {0xAB, 0xAF, kBidiN}, {0xB4, 0xB4, kBidiN}, {0xB6, 0xB8, kBidiN}, {0xBB, 0xBE, kBidiN},
    {0xD7, 0xD7, kBidiN}, {0xF7, 0xF7, kBidiN},
    {0x30, 0x39, kBidiD},
};

// Separators that join the digits around them into one number.
constexpr Range kSeparatorsCommon[] = {
    {0x23, 0x25, 1}, {0x2C, 0x2C, 1}, {0x2E, 0x2F, 1}, {0x3A, 0x3A, 1},
};
constexpr Range kSeparators1255[] = {
    {0xA0, 0xA0, 1}, {0xA2, 0xA5, 1}, {0xB0, 0xB3, 1}, {0xB9, 0xB9, 1},
    {0xC0, 0xCD, 1}, {0xCF, 0xCF, 1}, {0xD1, 0xD2, 1},
};
constexpr Range kSeparators1256[] = {
    {0xA0, 0xA5, 1}, {0xB0, 0xB3, 1}, {0xB9, 0xB9, 1},
};

struct CodePageTable {
    std::array<uint8_t, 256> cls{};
    std::array<uint8_t, 256> separator{};
    bool complete = true;  // every byte has exactly one class

    template <size_t C, size_t S>
    constexpr CodePageTable(const Range (&classes)[C], const Range (&separators)[S]) {
        std::array<int, 256> seen{};
        for (const Range& r : classes) {
            for (unsigned b = r.first; b <= r.last; ++b) {
                cls[b] = r.cls;
                ++seen[b];
            }
        }
        for (int count : seen) complete = complete && count == 1;
        for (const Range& r : kSeparatorsCommon) {
            for (unsigned b = r.first; b <= r.last; ++b) separator[b] = 1;
        }
        for (const Range& r : separators) {
            for (unsigned b = r.first; b <= r.last; ++b) separator[b] = 1;
        }
    }
};

constexpr CodePageTable kTable1255(kClasses1255, kSeparators1255);
constexpr CodePageTable kTable1256(kClasses1256, kSeparators1256);
static_assert(kTable1255.complete && kTable1256.complete);

constexpr std::array<uint8_t, 256> makeMirror() {
    std::array<uint8_t, 256> m{};
    for (unsigned b = 0; b < 256; ++b) m[b] = static_cast<uint8_t>(b);
    m['<'] = '>';
    m['>'] = '<';
    m['('] = ')';
    m[')'] = '(';
    m['['] = ']';
    m[']'] = '[';
    return m;
}
constexpr std::array<uint8_t, 256> kMirror = makeMirror();

const CodePageTable* tableFor(unsigned codePage) {
    if (codePage == 1255) return &kTable1255;
    if (codePage == 1256) return &kTable1256;
    return nullptr;
}

bool isDigit(uint8_t b) { return b >= '0' && b <= '9'; }

// Per byte: bit 0 for an L letter, bit 1 for an R letter or a digit (the
// bytes that can end a right-to-left run), bit 2 for a digit.
struct ScanFlags {
    std::array<uint8_t, 256> flag{};
    constexpr explicit ScanFlags(const CodePageTable& table) {
        for (unsigned b = 0; b < 256; ++b) {
            const uint8_t c = table.cls[b];
            flag[b] = c == kBidiL ? 1 : c == kBidiR ? 2 : c == kBidiD ? 6 : 0;
        }
    }
};
constexpr ScanFlags kScan1255(kTable1255);
constexpr ScanFlags kScan1256(kTable1256);

// Writes the n bytes at src to dst in reverse order, brackets mirrored.
void reverseMirrored(const uint8_t* src, size_t n, uint8_t* dst) {
    size_t done = 0;
#ifdef KD_BIDI_SSE2
    // Sixteen bytes at a time: a run's bytes need no decisions here.
    const auto xorWhere = [](__m128i v, char a, char b, char bits) {
        const __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(a)), _mm_cmpeq_epi8(v, _mm_set1_epi8(b)));
        return _mm_and_si128(hit, _mm_set1_epi8(bits));
    };
    for (; done + 16 <= n; done += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - done - 16));
        v = _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));  // dwords reversed
        v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1)), _MM_SHUFFLE(2, 3, 0, 1));
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));  // bytes within words
        // Each bracket and its mirror differ in the bits given.
        const __m128i flip = _mm_or_si128(_mm_or_si128(xorWhere(v, '(', ')', 0x01), xorWhere(v, '<', '>', 0x02)),
                                          xorWhere(v, '[', ']', 0x06));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + done), _mm_xor_si128(v, flip));
    }
#endif
    for (; done < n; ++done) dst[done] = kMirror[src[n - 1 - done]];
}

#ifdef KD_BIDI_SSE2
// Indexes of the lowest and highest set bits of a non-zero mask.
unsigned lowestBit(unsigned mask) {
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctz(mask));
#else
    unsigned bit = 0;
    while ((mask & (1u << bit)) == 0) ++bit;
    return bit;
#endif
}

unsigned highestBit(unsigned mask) {
#if defined(__GNUC__)
    return 31u - static_cast<unsigned>(__builtin_clz(mask));
#else
    unsigned bit = 31;
    while ((mask & (1u << bit)) == 0) --bit;
    return bit;
#endif
}

// Classes of sixteen bytes by compares, as bit masks. ASCII bytes are told
// apart exactly (letters are L, digits D, the rest never L or R); of the
// upper half only the code page's main block of right-to-left letters is
// known, any other such byte is reported unknown and left to the tables.
struct BlockClasses {
    unsigned left, right, digit, unknown;
};

__m128i inRange(__m128i v, uint8_t first, uint8_t last) {
    const __m128i offset = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(first)));
    const __m128i beyond = _mm_subs_epu8(offset, _mm_set1_epi8(static_cast<char>(last - first)));
    return _mm_cmpeq_epi8(beyond, _mm_setzero_si128());
}

BlockClasses classify16(const uint8_t* p, uint8_t rightFirst, uint8_t rightLast) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned upper = static_cast<unsigned>(_mm_movemask_epi8(v));
    BlockClasses c;
    c.left = static_cast<unsigned>(_mm_movemask_epi8(inRange(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 'z')));
    c.digit = static_cast<unsigned>(_mm_movemask_epi8(inRange(v, '0', '9')));
    c.right = static_cast<unsigned>(_mm_movemask_epi8(inRange(v, rightFirst, rightLast))) & upper;
    c.unknown = upper & ~c.right;
    return c;
}
#endif

constexpr bool allRight(const CodePageTable& table, unsigned first, unsigned last) {
    for (unsigned b = first; b <= last; ++b) {
        if (table.cls[b] != kBidiR) return false;
    }
    return true;
}

// The code page's tables, read byte by byte, and its main block of
// right-to-left letters (all of class R), read sixteen bytes at a time.
struct Scanner {
    const CodePageTable& table;
    const ScanFlags& scan;
    uint8_t rightFirst, rightLast;

    // Position of the first R letter at or after i, or len.
    size_t findRight(const uint8_t* src, size_t i, size_t len) const {
#ifdef KD_BIDI_SSE2
        for (; i + 16 <= len; i += 16) {
            const BlockClasses c = classify16(src + i, rightFirst, rightLast);
            if (c.unknown != 0) {
                for (size_t j = i; j < i + 16; ++j) {
                    if (table.cls[src[j]] == kBidiR) return j;
                }
            } else if (c.right != 0) {
                return i + lowestBit(c.right);
            }
        }
#endif
        for (; i < len; ++i) {
            if (table.cls[src[i]] == kBidiR) return i;
        }
        return len;
    }

    // From i up to the next L letter (or len): moves end to the last R
    // letter or digit, and reports whether a digit was met.
    void scanRun(const uint8_t* src, size_t i, size_t len, size_t& end, bool& digits) const {
        unsigned any = 0;
        // Byte by byte from i to to; true at an L letter.
        auto bytewise = [&](size_t from, size_t to) {
            for (size_t j = from; j < to; ++j) {
                const unsigned f = scan.flag[src[j]];
                if (f & 1) return true;
                any |= f;
                if (f & 2) end = j;
            }
            return false;
        };
#ifdef KD_BIDI_SSE2
        for (; i + 16 <= len; i += 16) {
            const BlockClasses c = classify16(src + i, rightFirst, rightLast);
            if (c.unknown != 0) {
                if (bytewise(i, i + 16)) break;
                continue;
            }
            const unsigned before = c.left != 0 ? (1u << lowestBit(c.left)) - 1 : 0xFFFFu;
            const unsigned ends = (c.right | c.digit) & before;
            if (ends != 0) end = i + highestBit(ends);
            if ((c.digit & before) != 0) any |= 4;
            if (c.left != 0) {
                digits = (any & 4) != 0;
                return;
            }
        }
        if (i + 16 > len) bytewise(i, len);
#else
        bytewise(i, len);
#endif
        digits = (any & 4) != 0;
    }
};

// Position of the first digit in from..to, or to.
size_t findDigit(const uint8_t* src, size_t from, size_t to) {
#ifdef KD_BIDI_SSE2
    for (; from + 16 <= to; from += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + from));
        const unsigned digits = static_cast<unsigned>(_mm_movemask_epi8(inRange(v, '0', '9')));
        if (digits != 0) return from + lowestBit(digits);
    }
#endif
    while (from < to && !isDigit(src[from])) ++from;
    return from;
}

// The reordering, worked out from the resolution rules so that it needs no
// per-position work arrays:
// - Outside right-to-left context every byte resolves to L (or 0 for
//   digits that open the text) and is copied where it is.
// - A right-to-left letter opens the context. Neutral and weak runs, digits
//   and further right-to-left letters stay in it; an L letter, or a neutral
//   run that reaches an L letter or the end of the text, closes it. So the
//   reversed run spans from its first R letter to the last R letter or digit
//   before the next L letter (or the end); the neutrals after that resolve
//   to L and stay in place.
// - Inside the run a number is a maximal sequence of digits and of single
//   separators with a digit on each side; it keeps its order.
// Positions are size_t, so any length works. The scans go sixteen bytes at
// a time where they can: letters and neutrals alternate too irregularly for
// byte-wise branches.
void reorder(const uint8_t* src, size_t len, uint8_t* dst, const Scanner& scanner) {
    const uint8_t* cls = scanner.table.cls.data();
    const uint8_t* separator = scanner.table.separator.data();
    auto joinedSeparator = [&](size_t m) {
        return m > 0 && m + 1 < len && cls[src[m]] == kBidiW && separator[src[m]] != 0 && isDigit(src[m - 1]) &&
               isDigit(src[m + 1]);
    };
    size_t w = 0;
    size_t i = 0;
    while (i < len) {
        // Left-to-right context: copy up to the next right-to-left letter.
        const size_t s = scanner.findRight(src, i, len);
        std::memcpy(dst + w, src + i, s - i);
        w += s - i;
        if (s == len) break;

        // Right-to-left run from s to e.
        size_t e = s;
        bool anyDigit = false;
        scanner.scanRun(src, s + 1, len, e, anyDigit);

        // Reverse s..e as a whole, then put each number back over its
        // reversed image in its own order.
        const size_t runLength = e - s + 1;
        reverseMirrored(src + s, runLength, dst + w);
        if (anyDigit) {
            for (size_t j = findDigit(src, s, e + 1); j <= e; j = findDigit(src, j, e + 1)) {
                const size_t b = j;
                for (++j; j <= e && (isDigit(src[j]) || joinedSeparator(j));) ++j;
                std::memcpy(dst + w + (e + 1 - j), src + b, j - b);
            }
        }
        w += runLength;
        i = e + 1;
    }
}

}  // namespace

uint8_t bidiClass(unsigned codePage, uint8_t b) {
    const CodePageTable* table = tableFor(codePage);
    return table ? table->cls[b] : kBidiL;
}

int64_t formatBidi(const char* src, int64_t length, char* dst, unsigned codePage) {
    if (src == nullptr || dst == nullptr || length < 1) return 0;
    const CodePageTable* table = tableFor(codePage);
    if (table == nullptr) {
        std::memmove(dst, src, static_cast<size_t>(length));
        return length;
    }
    const auto* in = reinterpret_cast<const uint8_t*>(src);
    auto* out = reinterpret_cast<uint8_t*>(dst);
    const size_t len = static_cast<size_t>(length);
    // Bytes are read after earlier ones were written: work from a copy when
    // the host passes overlapping buffers.
    std::unique_ptr<uint8_t[]> copy;
    const auto inAt = reinterpret_cast<uintptr_t>(in);
    const auto outAt = reinterpret_cast<uintptr_t>(out);
    if (inAt < outAt + len && outAt < inAt + len) {
        copy.reset(new uint8_t[len]);
        std::memcpy(copy.get(), in, len);
        in = copy.get();
    }
    // Hebrew letters E0-FA; Arabic letters BF-D6 (the rest are spread out).
    static_assert(allRight(kTable1255, 0xE0, 0xFA) && allRight(kTable1256, 0xBF, 0xD6));
    const Scanner scanner = codePage == 1255 ? Scanner{kTable1255, kScan1255, 0xE0, 0xFA}
                                             : Scanner{kTable1256, kScan1256, 0xBF, 0xD6};
    reorder(in, len, out, scanner);
    return length;
}

}  // namespace kd
