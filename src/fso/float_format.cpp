#include "fso/float_format.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kd {

namespace {

// Digits past these counts are zeros for every double: its exact decimal
// expansion has at most 767 significant and 1074 fractional digits, its
// hexadecimal form 13 fraction digits. Longer precisions are written as
// that many digits followed by zeros, so no text is ever built whole.
constexpr uint64_t kMaxDecimalDigits = 1100;
constexpr uint64_t kMaxHexDigits = 16;
// The longest digits text: 309 integer digits, the point and the fraction.
constexpr size_t kDigitArea = 1536;

// Writes into the caller's area up to its end and counts the whole text.
class Sink {
public:
    Sink(char* area, size_t size) : area_(area), size_(size), room_(size > 0 ? size - 1 : 0) {}
    void put(const char* text, size_t n) {
        const size_t k = std::min(n, room_ - used_);
        if (k > 0) std::memcpy(area_ + used_, text, k);
        used_ += k;
        length_ += n;
    }
    void fill(char c, uint64_t n) {
        const size_t k = static_cast<size_t>(std::min<uint64_t>(n, room_ - used_));
        if (k > 0) std::memset(area_ + used_, c, k);
        used_ += k;
        length_ += n;
    }
    void finish() {
        if (size_ > 0) area_[used_] = '\0';
    }
    uint64_t length() const { return length_; }

private:
    char* area_;
    size_t size_;
    size_t room_;
    size_t used_ = 0;
    uint64_t length_ = 0;
};

struct Conversion {
    bool left = false, plus = false, space = false, alternate = false, zero = false;
    uint64_t width = 0;
    bool hasPrecision = false;
    uint64_t precision = 0;
    char letter = 0;
};

// Decimal digits of a width or precision; false past INT_MAX, where printf
// fails too.
bool readNumber(const char*& p, uint64_t& value) {
    value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > INT_MAX) return false;
    }
    return true;
}

// The conversion after its '%'; p ends after the letter.
bool parseConversion(const char*& p, Conversion& c) {
    for (; *p != '\0' && std::strchr("-+ #0'", *p); ++p) {
        if (*p == '-') c.left = true;
        if (*p == '+') c.plus = true;
        if (*p == ' ') c.space = true;
        if (*p == '#') c.alternate = true;
        if (*p == '0') c.zero = true;
    }
    if (!readNumber(p, c.width)) return false;
    if (*p == '.') {
        ++p;
        c.hasPrecision = true;
        if (!readNumber(p, c.precision)) return false;
    }
    if (*p == 'l') ++p;
    if (*p == '\0' || !std::strchr("fFeEgGaA", *p)) return false;
    c.letter = *p++;
    return true;
}

// The text of a finite magnitude: text[0, split), `zeros` zeros, then
// text[split, length) (the exponent, if any).
struct Digits {
    char text[kDigitArea];
    size_t length = 0;
    size_t split = 0;
    uint64_t zeros = 0;

    void convert(double v, std::chars_format format, uint64_t precision, uint64_t most) {
        const uint64_t kept = std::min(precision, most);
        const auto r = std::to_chars(text, text + kDigitArea, v, format, static_cast<int>(kept));
        length = r.ec == std::errc() ? static_cast<size_t>(r.ptr - text) : 0;
        zeros = precision - kept;
        markExponent(format == std::chars_format::hex ? 'p' : 'e');
    }
    void markExponent(char marker) { split = static_cast<size_t>(std::find(text, text + length, marker) - text); }
    bool hasPoint() const { return std::find(text, text + split, '.') != text + split; }
    void insertAtSplit(char c) {
        std::memmove(text + split + 1, text + split, length - split);
        text[split] = c;
        ++split;
        ++length;
    }
    // %g without '#': no trailing zeros in the fraction, no lone point.
    void dropTrailingZeros() {
        zeros = 0;
        if (!hasPoint()) return;
        size_t end = split;
        while (text[end - 1] == '0') --end;
        if (text[end - 1] == '.') --end;
        std::memmove(text + end, text + split, length - split);
        length -= split - end;
        split = end;
    }
};

void convertFinite(double v, const Conversion& c, Digits& d) {
    const char kind = static_cast<char>(std::tolower(static_cast<unsigned char>(c.letter)));
    uint64_t precision = c.hasPrecision ? c.precision : 6;
    if (kind == 'f') {
        d.convert(v, std::chars_format::fixed, precision, kMaxDecimalDigits);
    } else if (kind == 'e') {
        d.convert(v, std::chars_format::scientific, precision, kMaxDecimalDigits);
    } else if (kind == 'g') {
        // The exponent X of the e-style text with P significant digits
        // chooses: f-style with P - 1 - X digits when P > X >= -4.
        if (precision == 0) precision = 1;
        d.convert(v, std::chars_format::scientific, precision - 1, kMaxDecimalDigits);
        long x = 0;
        if (d.split < d.length) {
            const char* e = d.text + d.split + 1;
            if (*e == '+') ++e;
            std::from_chars(e, d.text + d.length, x);
        }
        if (x >= -4 && static_cast<int64_t>(precision) > x)
            d.convert(v, std::chars_format::fixed, precision - 1 - static_cast<uint64_t>(x), kMaxDecimalDigits);
        if (!c.alternate) d.dropTrailingZeros();
    } else if (c.hasPrecision) {
        d.convert(v, std::chars_format::hex, precision, kMaxHexDigits);
    } else {
        const auto r = std::to_chars(d.text, d.text + kDigitArea, v, std::chars_format::hex);
        d.length = r.ec == std::errc() ? static_cast<size_t>(r.ptr - d.text) : 0;
        d.markExponent('p');
    }
    // '#': always a decimal point.
    if (c.alternate && !d.hasPoint()) d.insertAtSplit('.');
}

void writeConversion(Sink& out, const Conversion& c, double value) {
    const bool upper = std::isupper(static_cast<unsigned char>(c.letter)) != 0;
    const bool finite = std::isfinite(value);
    Digits d;
    if (finite) {
        convertFinite(std::fabs(value), c, d);
    } else {
        std::memcpy(d.text, std::isnan(value) ? "nan" : "inf", 3);
        d.length = d.split = 3;
    }
    if (upper)
        for (size_t i = 0; i < d.length; ++i) d.text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(d.text[i])));

    const char* sign = std::signbit(value) ? "-" : c.plus ? "+" : c.space ? " " : "";
    const char* prefix = finite && (c.letter == 'a' || c.letter == 'A') ? (upper ? "0X" : "0x") : "";
    const uint64_t length = std::strlen(sign) + std::strlen(prefix) + d.length + d.zeros;
    const uint64_t pad = c.width > length ? c.width - length : 0;
    // Zero padding goes after sign and prefix; infinity and NaN get blanks.
    const bool zeroPad = c.zero && !c.left && finite;
    if (!c.left && !zeroPad) out.fill(' ', pad);
    out.put(sign, std::strlen(sign));
    out.put(prefix, std::strlen(prefix));
    if (zeroPad) out.fill('0', pad);
    out.put(d.text, d.split);
    out.fill('0', d.zeros);
    out.put(d.text + d.split, d.length - d.split);
    if (c.left) out.fill(' ', pad);
}

}  // namespace

int formatFloats(char* area, size_t size, const char* format, std::initializer_list<double> values) {
    Sink out(area, size);
    const double* next = values.begin();
    for (const char* p = format; *p != '\0';) {
        if (*p != '%') {
            const char* end = std::strchr(p, '%');
            if (end == nullptr) end = p + std::strlen(p);
            out.put(p, static_cast<size_t>(end - p));
            p = end;
            continue;
        }
        ++p;
        if (*p == '%') {
            out.put("%", 1);
            ++p;
            continue;
        }
        Conversion c;
        if (!parseConversion(p, c) || next == values.end()) return -1;
        writeConversion(out, c, *next++);
        if (out.length() > INT_MAX) return -1;
    }
    out.finish();
    return out.length() > INT_MAX ? -1 : static_cast<int>(out.length());
}

}  // namespace kd
