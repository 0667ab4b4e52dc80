#include "text/bidi.h"

#include <array>
#include <cstring>
#include <memory>

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

// Per-call work array: inline for the short lines hosts usually pass.
template <class T, size_t Inline>
class WorkArray {
public:
    explicit WorkArray(size_t count) {
        if (count > Inline) {
            heap_.reset(new T[count]);
            data_ = heap_.get();
        }
    }
    T* data() { return data_; }
    T& operator[](size_t i) { return data_[i]; }

private:
    T inline_[Inline];
    std::unique_ptr<T[]> heap_;
    T* data_ = inline_;
};

constexpr size_t kInlineLine = 512;

void reorder(const uint8_t* src, int64_t length, uint8_t* dst, const CodePageTable& table) {
    const size_t len = static_cast<size_t>(length);
    WorkArray<uint8_t, kInlineLine + 1> cls(len + 1);
    for (size_t i = 0; i < len; ++i) cls[i] = table.cls[src[i]];
    cls[len] = kBidiL;

    // Resolve every position to L or R (0 for digits that open the text),
    // flagging the positions that belong to numbers.
    uint8_t p = 0;
    for (size_t i = 0; i < len;) {
        const uint8_t c = cls[i];
        if (c == kBidiD) {
            cls[i] = static_cast<uint8_t>(kBidiNumber | p);
            ++i;
            continue;
        }
        if (c == kBidiL || c == kBidiR) {
            p = c;
            ++i;
            continue;
        }
        size_t stop = i + 1;
        while (cls[stop] == kBidiW || cls[stop] == kBidiN) ++stop;  // cls[len] is L
        const uint8_t stopClass = cls[stop];
        const uint8_t r = stopClass == kBidiD ? p : (stopClass == p ? p : kBidiL);
        for (size_t m = i; m < stop; ++m) {
            const bool joins = m > 0 && cls[m] == kBidiW && (cls[m - 1] & kBidiNumber) != 0 &&
                               (cls[m + 1] & kBidiNumber) != 0 && table.separator[src[m]] != 0;
            cls[m] = joins ? static_cast<uint8_t>(r | kBidiNumber) : r;
        }
        p = r;
        i = stop;
    }

    // Number runs: the entry at a run's end names its start and the entry at
    // its start names its end. Positions are as wide as the length.
    WorkArray<int64_t, kInlineLine> pair(len);
    bool numberOpen = false;
    size_t numberStart = 0;
    auto closeNumber = [&](size_t end) {
        pair[end] = static_cast<int64_t>(numberStart);
        pair[numberStart] = static_cast<int64_t>(end);
        numberOpen = false;
    };
    for (size_t i = 0; i < len; ++i) pair[i] = -1;

    size_t w = 0;
    auto writeRun = [&](size_t s, size_t e) {
        int64_t k = static_cast<int64_t>(e);
        const int64_t first = static_cast<int64_t>(s);
        while (k >= first) {
            const int64_t b = pair[static_cast<size_t>(k)];
            if (b >= first && b <= k && pair[static_cast<size_t>(b)] == k) {
                const size_t count = static_cast<size_t>(k - b + 1);
                std::memcpy(dst + w, src + b, count);
                w += count;
                k = b - 1;
            } else {
                dst[w++] = kMirror[src[k]];
                --k;
            }
        }
    };

    bool rtlOpen = false;
    size_t rtlStart = 0;
    size_t lastRtl = 0;
    for (size_t i = 0; i < len; ++i) {
        const uint8_t c = cls[i];
        if ((c & kBidiNumber) != 0) {
            if (!numberOpen) {
                numberOpen = true;
                numberStart = i;
            }
        } else if (numberOpen) {
            closeNumber(i - 1);
        }
        if ((c & 0x0F) == kBidiR) {
            lastRtl = i;
            if (!rtlOpen) {
                rtlOpen = true;
                rtlStart = i;
            }
        } else {
            if (rtlOpen) {
                writeRun(rtlStart, lastRtl);
                rtlOpen = false;
            }
            dst[w++] = src[i];
        }
    }
    if (numberOpen) closeNumber(len - 1);
    if (rtlOpen) writeRun(rtlStart, lastRtl);
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
    reorder(in, length, out, *table);
    return length;
}

}  // namespace kd
