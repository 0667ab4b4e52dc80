// Exports of the text family: Arabic shaping, Unicode re-encoding,
// bidirectional reordering and PDF strings. Handles are read as 32-bit
// values widened with sign extension; an unknown one counts as 0.
#include <cstring>
#include <memory>

#include "frame/handle_registry.h"
#include "kdlib.h"
#include "text/arabic_shaping.h"
#include "text/bidi.h"
#include "text/code_maps.h"
#include "text/mus.h"
#include "text/pdf_strings.h"

namespace {

template <class Map>
Map* findMap(int32_t handle) {
    return kd::HandleRegistry::instance().find<Map>(static_cast<int64_t>(handle));
}

// Creates a map behind *handle unless it already names a live one.
template <class Map>
void ensureMap(int32_t* handle) {
    if (handle == nullptr || findMap<Map>(*handle) != nullptr) return;
    try {
        *handle = kd::HandleRegistry::instance().add(std::make_unique<Map>());
    } catch (...) {
        *handle = 0;
    }
}

int32_t toForms(const uint16_t* input, int32_t n, uint16_t* output, int32_t* countOut, kd::arabic::Order order) {
    int written = 0;
    if (output != nullptr && n > 0) {
        std::memset(output, 0, static_cast<size_t>(n) * sizeof(uint16_t));
        written = kd::arabic::toPresentationForms(input, n, output, order);
    }
    if (countOut != nullptr) *countOut = written;
    return 0;
}

int32_t fromForms(const uint16_t* input, int32_t n, uint16_t* output, int32_t* count, kd::arabic::Order order) {
    if (count == nullptr) return 0;
    const int32_t room = *count;
    int written = 0;
    if (output != nullptr && room > 0) {
        std::memset(output, 0, static_cast<size_t>(room) * sizeof(uint16_t));
        written = kd::arabic::fromPresentationForms(input, n, output, room, order);
    }
    *count = written;
    return 0;
}

}  // namespace

extern "C" {

KDLIB_API int32_t _arabic_toformsb_ltr(const uint16_t* input, int32_t n, uint16_t* output, int32_t* countOut) {
    return toForms(input, n, output, countOut, kd::arabic::Order::Logical);
}

KDLIB_API int32_t _arabic_toformsb_rtl(const uint16_t* input, int32_t n, uint16_t* output, int32_t* countOut) {
    return toForms(input, n, output, countOut, kd::arabic::Order::Display);
}

KDLIB_API int32_t _arabic_fromformsb_ltr(const uint16_t* input, int32_t n, uint16_t* output, int32_t* count) {
    return fromForms(input, n, output, count, kd::arabic::Order::Logical);
}

KDLIB_API int32_t _arabic_fromformsb_rtl(const uint16_t* input, int32_t n, uint16_t* output, int32_t* count) {
    return fromForms(input, n, output, count, kd::arabic::Order::Display);
}

KDLIB_API int32_t _kd_MUSInit(int32_t* charMap, int32_t* glyphMap, int32_t mode) {
    ensureMap<kd::CharCodeMap>(charMap);
    if (mode == 1) ensureMap<kd::GlyphCodeMap>(glyphMap);
    return 0;
}

KDLIB_API int32_t _kd_MUSRelease(int32_t charMap, int32_t glyphMap, int32_t mode) {
    auto& registry = kd::HandleRegistry::instance();
    registry.release<kd::CharCodeMap>(static_cast<int64_t>(charMap));
    if (mode == 1) registry.release<kd::GlyphCodeMap>(static_cast<int64_t>(glyphMap));
    return 0;
}

KDLIB_API int32_t _kd_MakeUnicodeString(const char* text, int32_t length, int32_t* charMap, int32_t* nextCode,
                                        char* output, intptr_t /*unused*/, int32_t codePage, int32_t mode,
                                        int32_t* glyphMap) {
    if (charMap == nullptr || nextCode == nullptr || output == nullptr) return 0;
    if (mode != 0 && mode != 1) return 0;
    kd::CharCodeMap* chars = findMap<kd::CharCodeMap>(*charMap);
    if (chars == nullptr) return 0;
    const kd::GlyphCodeMap* glyphs = nullptr;
    if (mode == 1) {
        glyphs = glyphMap != nullptr ? findMap<kd::GlyphCodeMap>(*glyphMap) : nullptr;
        if (glyphs == nullptr) return 0;
    }
    const uint16_t start = static_cast<uint16_t>(*nextCode & 0xFFFF);
    uint16_t counter = start;
    int32_t result = 0;
    try {
        result = kd::makeUnicodeString(text, length, static_cast<unsigned>(codePage),
                                       mode == 1 ? kd::MusMode::TwoByte : kd::MusMode::OneByte, *chars, counter,
                                       glyphs, output);
    } catch (...) {
        result = 0;  // the counter still matches the entries that were added
    }
    if (result > 0 || counter != start) *nextCode = counter;
    return result;
}

KDLIB_API int32_t _kd_ToUnicode(const char* text, int32_t length, void* output, int32_t codePage) {
    try {
        return kd::toUnicodeBigEndian(text, length, static_cast<unsigned>(codePage), static_cast<char*>(output));
    } catch (...) {
        return 0;
    }
}

KDLIB_API int32_t formatBIDIString(const char* src, int32_t length, char* dst, int32_t codePage) {
    try {
        return static_cast<int32_t>(kd::formatBidi(src, length, dst, static_cast<unsigned>(codePage)));
    } catch (...) {
        return 0;
    }
}

KDLIB_API int32_t mkPDFString(const char* src, int32_t length, const char* lineBreak, char* dst, char* usedMap) {
    return static_cast<int32_t>(kd::escapePdfString(src, length, lineBreak, dst, usedMap));
}

KDLIB_API int32_t convertFormatString(const char* src, int32_t length, char* dst) {
    return static_cast<int32_t>(kd::convertNumberPicture(src, length, dst));
}

}  // extern "C"
