#include "fso/fso.h"

#include <cstring>
#include <limits>
#include <vector>

#include "frame/code_pages.h"
#include "frame/platform/platform.h"
#include "fso/float_format.h"

namespace kd {

namespace {

constexpr int64_t kMaxSize = std::numeric_limits<int32_t>::max();
// The areas formatted pieces are written into; longer text is cut.
constexpr size_t kFormatArea = 400;
constexpr size_t kPieceArea = 112;

// Formats into a fixed area, '.' as decimal point in every locale; the
// text is cut to the area less its terminator. Returns the bytes kept, or
// -1 when the format is refused.
int formatPiece(char* area, size_t size, const char* format, std::initializer_list<double> values = {}) {
    const int n = formatFloats(area, size, format, values);
    if (n < 0) return -1;
    return static_cast<size_t>(n) >= size ? static_cast<int>(size - 1) : n;
}

}  // namespace

Fso::~Fso() { platform::freeLow(data_, static_cast<size_t>(capacity_)); }

int32_t Fso::appendBytes(const void* bytes, int32_t count) {
    if (count == 0) return 0;
    if (count < 0 || !bytes) return -1;
    const int64_t needed = static_cast<int64_t>(data_ ? length_ : 0) + count;
    // The result (new length + count) must fit as well as the size.
    if (needed + count > kMaxSize) return -1;
    if (!data_ || needed > capacity_) {
        const int64_t newCapacity = needed + growthStep_ - needed % growthStep_;
        if (newCapacity > kMaxSize) return -1;
        uint8_t* grown = static_cast<uint8_t*>(platform::allocateLow(static_cast<size_t>(newCapacity)));
        if (!grown) return -1;
        if (data_) {
            std::memcpy(grown, data_, static_cast<size_t>(length_));
            platform::freeLow(data_, static_cast<size_t>(capacity_));
        } else {
            length_ = 0;
        }
        data_ = grown;
        capacity_ = static_cast<int32_t>(newCapacity);
    }
    std::memcpy(data_ + length_, bytes, static_cast<size_t>(count));
    length_ += count;
    return length_ + count;
}

bool Fso::getInt(int32_t position, int32_t* value) const {
    if (position < 1 || static_cast<int64_t>(position) + 3 > length_) return false;
    const uint8_t* p = data_ + (position - 1);
    *value = static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                  static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
    return true;
}

bool Fso::substr(int32_t start, int32_t count, void* destination) const {
    if (start < 1 || count < 0 || static_cast<int64_t>(start) - 1 + count > length_) return false;
    if (count == 0) return true;
    if (!destination) return false;
    std::memcpy(destination, data_ + (start - 1), static_cast<size_t>(count));
    return true;
}

int32_t Fso::memoryAddress() const {
    return static_cast<int32_t>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(data_)));
}

int32_t Fso::appendUnicode(const char* text, int32_t count, int32_t codePage) {
    if (count <= 0 || !text) return 0;
    std::vector<char16_t> units(static_cast<size_t>(count));
    const int n = toUtf16(static_cast<unsigned>(codePage), text, count, units.data(), count);
    if (n <= 0) return 0;
    // Little-endian byte pairs whatever the machine's order.
    std::vector<uint8_t> bytes(static_cast<size_t>(n) * 2);
    for (int k = 0; k < n; ++k) {
        bytes[2 * k] = static_cast<uint8_t>(units[k]);
        bytes[2 * k + 1] = static_cast<uint8_t>(units[k] >> 8);
    }
    if (bytes.size() > static_cast<size_t>(kMaxSize)) return -1;
    return appendBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
}

int32_t Fso::appendFormatted(const char* format, float a, float b, float c, float d) {
    // Only floating-point conversions are accepted: anything else would
    // read the four doubles as other types (pointers for %s, a write
    // target for %n).
    char area[kFormatArea];
    const int n = formatPiece(area, sizeof area, format ? format : "",
                              {static_cast<double>(a), static_cast<double>(b), static_cast<double>(c),
                               static_cast<double>(d)});
    if (n < 0) return -1;
    return appendBytes(area, n);
}

int32_t Fso::writeColor(const char* op, int32_t red, int32_t green, int32_t blue) {
    const char first = op ? op[0] : '\0';
    char area[kPieceArea];
    int n;
    if (red != -1) {
        const double r = static_cast<double>(static_cast<float>(red)) / 255.0;
        const double g = static_cast<double>(static_cast<float>(green)) / 255.0;
        const double b = static_cast<double>(static_cast<float>(blue)) / 255.0;
        n = first == 'S' ? formatPiece(area, sizeof area, " %3.2f %3.2f %3.2f RG ", {r, g, b})
                         : formatPiece(area, sizeof area, " %3.2f %3.2f %3.2f rg ", {r, g, b});
    } else if (first == 'S') {
        n = formatPiece(area, sizeof area, " 0.0 0.0 0.0 RG ");
    } else if (first == 'n') {
        n = formatPiece(area, sizeof area, " 0.0 0.0 0.0 rg ");
    } else {
        n = formatPiece(area, sizeof area, " 1.0 1.0 1.0 rg ");
    }
    if (n < 0) return -1;
    return appendBytes(area, n);
}

int32_t Fso::writeBox(float x, float y, float width, float height, float lineWidth, int32_t fill, int32_t fillRed,
                      int32_t fillGreen, int32_t fillBlue, int32_t border, int32_t strokeRed, int32_t strokeGreen,
                      int32_t strokeBlue, int32_t noRect) {
    if (fill == 0 && border == 0) return 0;
    const int32_t before = data_ ? length_ : 0;
    // A box is appended whole or not at all.
    auto fail = [&]() {
        truncate(before);
        return -1;
    };
    auto text = [&](const char* s) { return appendBytes(s, static_cast<int32_t>(std::strlen(s))) >= 0; };

    if (!text("q")) return fail();
    static const char* const kDash[] = {nullptr, " [2.2] 0 d ", " [11 4] 0 d ", " [5 4 2 4] 0 d ",
                                        " [5 2 2 2 2 2] 0 d "};
    if (border >= 1 && border <= 4 && !text(kDash[border])) return fail();
    if (fill != 0 && writeColor("f", fillRed, fillGreen, fillBlue) < 0) return fail();
    if (border != 0 && writeColor("S", strokeRed, strokeGreen, strokeBlue) < 0) return fail();

    char area[kPieceArea];
    int n;
    if (noRect <= 0) {
        const float bottom = y - height;
        n = formatPiece(area, sizeof area, "%5.2f %5.2f %5.2f %5.2f re ",
                        {static_cast<double>(x), static_cast<double>(bottom), static_cast<double>(width),
                         static_cast<double>(height)});
        if (n < 0 || appendBytes(area, n) < 0) return fail();
    }
    const float width72 = lineWidth == 0.0f ? 0.12f : lineWidth * 0.72f;
    n = formatPiece(area, sizeof area, "%5.2f w h ", {static_cast<double>(width72)});
    if (n < 0 || appendBytes(area, n) < 0) return fail();

    const char* paint = fill != 0 && border != 0 ? "B " : (fill != 0 ? "f " : "S ");
    if (!text(paint) || !text("Q ")) return fail();
    return 0;
}

}  // namespace kd
