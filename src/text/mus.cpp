#include "text/mus.h"

#include <array>
#include <cstring>
#include <memory>

#include "frame/code_pages.h"
#include "frame/codepage_tables.h"
#include "text/arabic_shaping.h"

namespace kd {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// "%02X" of every byte value.
struct HexPairs {
    char pair[256][2];
    constexpr HexPairs() : pair{} {
        for (int b = 0; b < 256; ++b) {
            pair[b][0] = kHexDigits[b >> 4];
            pair[b][1] = kHexDigits[b & 0xF];
        }
    }
};
constexpr HexPairs kHexPairs;

// Single-byte code pages convert byte by byte, so each one's conversion is
// asked of the platform once, for all 256 bytes, and reused.
struct ByteTable {
    char16_t unit[256];
    bool hasArabicLetter;  // whether shaping can change anything
    uint8_t joining[256];  // arabic::joiningFlags of each byte's unit
};

class ByteTables {
public:
    static const ByteTable* find(unsigned codePage) {
        size_t index;
        if (codePage == 874) {
            index = 0;
        } else if (codePage >= 1250 && codePage <= 1258) {
            index = codePage - 1249;
        } else {
            return nullptr;
        }
        static const ByteTables tables;
        return tables.tables_[index].get();
    }

private:
    static constexpr std::array<unsigned, 10> kCodePages = {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

    ByteTables() {
        for (size_t i = 0; i < kCodePages.size(); ++i) {
            if (singleByteCodePage(kCodePages[i]) == nullptr) continue;
            auto table = std::make_unique<ByteTable>();
            table->hasArabicLetter = false;
            bool complete = true;
            for (int b = 0; b < 256 && complete; ++b) {
                const char byte = static_cast<char>(b);
                complete = toUtf16(kCodePages[i], &byte, 1, &table->unit[b], 1) == 1;
                table->hasArabicLetter |= arabic::isArabicLetter(table->unit[b]);
                table->joining[b] = arabic::joiningFlags(table->unit[b]);
            }
            if (complete) tables_[i] = std::move(table);
        }
    }

    std::array<std::unique_ptr<ByteTable>, 10> tables_;
};

int convert(const ByteTable* table, unsigned codePage, const char* text, int length, char16_t* units) {
    if (table != nullptr) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(text);
        for (int i = 0; i < length; ++i) units[i] = table->unit[bytes[i]];
        return length;
    }
    return toUtf16(codePage, text, length, units, length);
}

// Writes the digits of n units, unitAt(i) giving unit i. Returns the code
// bytes produced.
template <class UnitAt>
int encodeUnits(UnitAt unitAt, int n, MusMode mode, CharCodeMap& chars, uint16_t& counter,
                const GlyphCodeMap* glyphs, char* output) {
    char* out = output;
    for (int i = 0; i < n; ++i) {
        const uint16_t u = unitAt(i);
        uint16_t code;
        if (const uint16_t* known = chars.find(u)) {
            code = *known;
        } else {
            code = counter;
            chars.insertIfAbsent(u, code);
            counter = static_cast<uint16_t>(counter + 1);
        }
        if (mode == MusMode::OneByte) {
            std::memcpy(out, kHexPairs.pair[code & 0xFF], 2);
            out += 2;
        } else {
            const int32_t* glyph = glyphs->find(static_cast<int32_t>(u));
            const uint32_t value = glyph ? static_cast<uint32_t>(*glyph) & 0xFFFFu : 0u;
            std::memcpy(out, kHexPairs.pair[value >> 8], 2);
            std::memcpy(out + 2, kHexPairs.pair[value & 0xFF], 2);
            out += 4;
        }
    }
    return mode == MusMode::OneByte ? n : 2 * n;
}

// The code of unit u, given the next one when u is new.
uint16_t codeOf(uint16_t u, CharCodeMap& chars, uint16_t& counter) {
    if (const uint16_t* existing = chars.find(u)) return *existing;
    const uint16_t code = counter;
    chars.insertIfAbsent(u, code);
    counter = static_cast<uint16_t>(counter + 1);
    return code;
}

// One-byte mode over a single-byte code page: each byte's code is looked up
// once per map and code page and then read from a 256-entry table.
int encodeBytes(const uint8_t* bytes, int length, const ByteTable& table, unsigned codePage, CharCodeMap& chars,
                uint16_t& counter, char* output) {
    int32_t* known = chars.byteCodes(codePage);
    for (int i = 0; i < length; ++i) {
        const uint8_t b = bytes[i];
        int32_t code = known[4 * b];
        if (code < 0) known[4 * b] = code = codeOf(table.unit[b], chars, counter);
        std::memcpy(output + 2 * i, kHexPairs.pair[code & 0xFF], 2);
    }
    return length;
}

// The same for a code page with Arabic letters: shaped in display order
// straight from the bytes, a byte's shaped form depending only on its
// context, so its code is cached per byte and context. Returns the units
// written (lam-alef ligatures make fewer than length).
int encodeShapedBytes(const uint8_t* bytes, int length, const ByteTable& table, unsigned codePage,
                      CharCodeMap& chars, uint16_t& counter, char* output) {
    int32_t* known = chars.byteCodes(codePage);
    char* out = output;
    arabic::walkShaping<arabic::Order::Display>(
        length, [&](int k) { return table.joining[bytes[k]]; },
        [&](int k, int context, int alefAt) {
            int32_t code;
            if (alefAt < 0) {
                int32_t& slot = known[4 * bytes[k] + context];
                if (slot < 0) slot = codeOf(arabic::formOf(table.unit[bytes[k]], context), chars, counter);
                code = slot;
            } else {
                const bool joined = (context & arabic::kJoinedBefore) != 0;
                code = codeOf(arabic::ligatureOf(table.unit[bytes[alefAt]], joined), chars, counter);
            }
            std::memcpy(out, kHexPairs.pair[code & 0xFF], 2);
            out += 2;
        });
    return static_cast<int>((out - output) / 2);
}

// A work area of UTF-16 units: on the stack for the short runs hosts pass
// most of the time, on the heap beyond that.
class WorkArea {
public:
    explicit WorkArea(size_t units) {
        if (units > kInline) {
            heap_.reset(new char16_t[units]);
            data_ = heap_.get();
        }
    }
    char16_t* data() { return data_; }

private:
    static constexpr size_t kInline = 512;
    char16_t inline_[kInline];
    std::unique_ptr<char16_t[]> heap_;
    char16_t* data_ = inline_;
};

bool hasArabicLetter(const char16_t* units, int n) {
    for (int i = 0; i < n; ++i) {
        if (units[i] >= 0x0621 && units[i] <= 0x064A) return true;
    }
    return false;
}

}  // namespace

int makeUnicodeString(const char* text, int length, unsigned codePage, MusMode mode, CharCodeMap& chars,
                      uint16_t& counter, const GlyphCodeMap* glyphs, char* output) {
    if (text == nullptr || length <= 0 || output == nullptr) return 0;
    if (mode == MusMode::TwoByte && glyphs == nullptr) return 0;

    const ByteTable* table = ByteTables::find(codePage);
    if (table != nullptr && table->hasArabicLetter && mode == MusMode::OneByte) {
        return encodeShapedBytes(reinterpret_cast<const uint8_t*>(text), length, *table, codePage, chars, counter,
                                 output);
    }
    if (table != nullptr && !table->hasArabicLetter) {
        // Nothing to shape: encode straight from the bytes.
        const auto* bytes = reinterpret_cast<const uint8_t*>(text);
        if (mode == MusMode::OneByte) return encodeBytes(bytes, length, *table, codePage, chars, counter, output);
        return encodeUnits([&](int i) { return table->unit[bytes[i]]; }, length, mode, chars, counter, glyphs,
                           output);
    }

    // Every byte gives at most one unit, so length units bound both areas
    // and 4 x length bytes bound the output.
    const size_t room = static_cast<size_t>(length);
    WorkArea converted(room);
    int n = convert(table, codePage, text, length, converted.data());
    if (n <= 0) return 0;

    const char16_t* units = converted.data();
    // Shaping only changes Arabic letters; text without them is used as is.
    const bool arabicText = hasArabicLetter(units, n);
    WorkArea shaped(arabicText ? room : 0);
    if (arabicText) {
        n = arabic::toPresentationForms(units, n, shaped.data(), arabic::Order::Display);
        units = shaped.data();
    }
    return encodeUnits([&](int i) { return units[i]; }, n, mode, chars, counter, glyphs, output);
}

int toUnicodeBigEndian(const char* text, int length, unsigned codePage, char* output) {
    if (text == nullptr || length <= 0 || output == nullptr) return 0;
    WorkArea converted(static_cast<size_t>(length));
    const int n = convert(ByteTables::find(codePage), codePage, text, length, converted.data());
    if (n < 1) return 0;
    const char16_t* units = converted.data();
    for (int i = 0; i < n; ++i) {
        output[2 * i] = static_cast<char>(units[i] >> 8);
        output[2 * i + 1] = static_cast<char>(units[i] & 0xFF);
    }
    return n;
}

}  // namespace kd
