// Random bytes through every text export. The first bytes choose the code
// page, mode and options; the rest is the text. Output buffers are exactly
// the size the interface promises to need, so the sanitizer sees any write
// past it; results are checked against those bounds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kdlib.h"
#include "text/pdf_strings.h"

namespace {

constexpr int32_t kCodePages[] = {0, 42, 874, 932, 936, 949, 950, 1250, 1252, 1253, 1255, 1256, 1258, 65001, 12345};

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const int32_t codePage = kCodePages[data[0] % (sizeof kCodePages / sizeof kCodePages[0])];
    const uint8_t options = data[1];
    const uint16_t counterStart = static_cast<uint16_t>(data[2] * 257u);
    const char* text = reinterpret_cast<const char*>(data + 3);
    const int32_t length = static_cast<int32_t>(size - 3);

    // Unicode re-encoding, both modes, twice on the same map.
    {
        const int32_t mode = options & 1;
        int32_t chars = 0, glyphs = 0, next = counterStart;
        _kd_MUSInit(&chars, &glyphs, mode);
        for (int call = 0; call < 2; ++call) {
            std::vector<char> out(4 * static_cast<size_t>(length) + (length == 0));
            const int32_t r =
                _kd_MakeUnicodeString(text, length, &chars, &next, out.data(), 0, codePage, mode, &glyphs);
            check(r >= 0 && 2 * static_cast<int64_t>(r) <= 4 * static_cast<int64_t>(length));
            check(next >= 0 && next <= 0xFFFF);
        }
        _kd_MUSRelease(chars, glyphs, mode);
        std::vector<char> wide(2 * static_cast<size_t>(length) + (length == 0));
        const int32_t units = _kd_ToUnicode(text, length, wide.data(), codePage);
        check(units >= 0 && units <= length);
    }

    // Arabic shaping on the bytes read as UTF-16 units.
    {
        const int32_t n = length / 2;
        std::vector<uint16_t> in(static_cast<size_t>(n) + 1);
        std::memcpy(in.data(), text, 2 * static_cast<size_t>(n));
        std::vector<uint16_t> forms(static_cast<size_t>(n) + 1);
        int32_t count = -1;
        auto toForms = options & 2 ? _arabic_toformsb_rtl : _arabic_toformsb_ltr;
        toForms(in.data(), n, forms.data(), &count);
        check(count >= 0 && count <= n);
        std::vector<uint16_t> letters(2 * static_cast<size_t>(count) + 1);
        int32_t room = 2 * count;
        auto fromForms = options & 4 ? _arabic_fromformsb_rtl : _arabic_fromformsb_ltr;
        fromForms(forms.data(), count, letters.data(), &room);
        check(room >= 0 && room <= 2 * count);
        // A room smaller than the need is honoured, never exceeded.
        int32_t small = count / 2;
        fromForms(forms.data(), count, letters.data(), &small);
        check(small >= 0 && small <= count / 2);
    }

    // Bidirectional reordering with the code page, or 1255/1256 directly.
    {
        const int32_t cp = options & 8 ? (options & 16 ? 1255 : 1256) : codePage;
        std::vector<char> out(static_cast<size_t>(length) + (length == 0));
        const int32_t r = formatBIDIString(text, length, out.data(), cp);
        check(r == length);
    }

    // PDF strings: the replacement is a prefix of the text up to 7 bytes.
    {
        char lineBreak[8] = {};
        const size_t breakLength = static_cast<size_t>(options >> 5);
        std::memcpy(lineBreak, text, breakLength < static_cast<size_t>(length) ? breakLength : length);
        const uint64_t bound = kd::escapedSizeBound(length, lineBreak);
        std::vector<char> out(bound + 1);
        std::vector<char> used(256, options & 1 ? '\0' : ' ');
        const int32_t r = mkPDFString(text, length, lineBreak, out.data(), used.data());
        check(r >= 0 && static_cast<uint64_t>(r) <= bound);
        std::vector<char> picture(static_cast<size_t>(length) + (length == 0));
        check(convertFormatString(text, length, picture.data()) == length);
    }
    return 0;
}
