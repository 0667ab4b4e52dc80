#include "text/word_wrap.h"

#include <cmath>
#include <cstring>
#include <type_traits>

#include "frame/code_pages.h"
#include "frame/platform/platform.h"

namespace kd {

int16_t tenfoldSize(float size) {
    double tenfold = static_cast<double>(size) * 10.0;
    if (std::isnan(tenfold)) return 0;
    if (tenfold >= 32767.0) return 32767;
    if (tenfold <= -32768.0) return -32768;
    return static_cast<int16_t>(static_cast<int>(tenfold));
}

TenfoldFont::TenfoldFont(const WrapFont& font) {
    if (!dc_) return;
    platform::LogFont logFont;
    buildLogFont(dc_.get(), logFont, font.faceName ? font.faceName : "", tenfoldSize(font.size),
                 static_cast<uint8_t>(font.italic), font.bold, font.codePage);
    font_ = std::make_unique<SelectedFont>(dc_.get(), logFont);
    if (!*font_) return;
    logPixelsX_ = dc_.caps(platform::kLogPixelsX);
    logPixelsY_ = dc_.caps(platform::kLogPixelsY);
    // A device without a resolution cannot convert extents.
    if (logPixelsX_ <= 0 || logPixelsY_ <= 0) return;
    platform::getTextMetrics(dc_.get(), &metrics_);
    ok_ = true;
}

// The font must leave the context before the context goes.
TenfoldFont::~TenfoldFont() { font_.reset(); }

int32_t TenfoldFont::extent(const char* text, int count) const {
    platform::Size size;
    if (count <= 0 || !platform::getTextExtentA(dc_.get(), text, count, &size)) return 0;
    return size.cx;
}

int32_t TenfoldFont::extent(const char16_t* text, int count) const {
    platform::Size size;
    if (count <= 0 || !platform::getTextExtentW(dc_.get(), text, count, &size)) return 0;
    return size.cx;
}

std::u16string wrapTextToUtf16(const char* text, uint16_t codePage) {
    std::u16string out;
    if (text == nullptr) return out;
    if (codePage == 1200 || codePage == 1201) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(text);
        for (size_t i = 0;; i += 2) {
            char16_t unit = codePage == 1200 ? static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8))
                                             : static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1]);
            if (unit == 0) break;
            out.push_back(unit);
        }
        return out;
    }
    size_t length = std::strlen(text);
    if (length == 0 || length > 0x7FFFFFFF) return out;
    int n = static_cast<int>(length);
    out.assign(length, u'\0');
    int units = toUtf16(codePage, text, n, out.data(), n);
    if (units <= 0) units = platform::multiByteToWideChar(0, platform::kPrecomposed, text, n, out.data(), n);
    out.resize(units > 0 ? static_cast<size_t>(units) : 0);
    return out;
}

namespace {

// One emitted line: 1-based first and last position, width truncated.
class LineWriter {
public:
    LineWriter(int32_t* lines, int room) : lines_(lines), room_(room) {}
    void emit(int first, int last, float width) {
        if (count_ >= room_) return;  // never beyond the host's array
        int32_t* slot = lines_ + 3 + 3 * count_;
        slot[0] = first;
        slot[1] = last;
        slot[2] = static_cast<int32_t>(width);
        ++count_;
    }
    int32_t count() const { return count_; }

private:
    int32_t* lines_;
    int room_;
    int32_t count_ = 0;
};

template <class Unit>
int32_t wrapImpl(const Unit* text, int length, const WrapFont& font, float maxWidth, int32_t* lines,
                 int lineRoom, bool wordWrap) {
    TenfoldFont measure(font);
    if (!measure.ok()) return -1;
    const platform::TextMetrics& tm = measure.metrics();
    lines[0] = tm.tmHeight * 100 / measure.pixelsY();
    lines[1] = tm.tmExternalLeading * 100 / measure.pixelsY();
    lines[2] = tm.tmAscent * 100 / measure.pixelsY();
    if (text == nullptr || length <= 0) return 0;

    LineWriter out(lines, lineRoom);
    int lineStart = 0;
    int lastSpace = -1;
    float width = 0.0f;
    float widthAtSpace = 0.0f;
    bool inSpaceRun = false;
    bool atLineStart = true;

    for (int i = 0; i < length; ++i) {
        auto c = static_cast<uint32_t>(static_cast<std::make_unsigned_t<Unit>>(text[i]));
        if (c == 13) {
            out.emit(lineStart + 1, i, lineStart == i ? 0.0f : width);
            lineStart = i + 1;
            width = 0.0f;
            atLineStart = true;
            continue;
        }
        if (c == 32) {
            if (!inSpaceRun) {
                lastSpace = i;
                if (atLineStart && wordWrap) lineStart = i;
                widthAtSpace = width;
            }
            inSpaceRun = true;
            continue;
        }
        atLineStart = false;
        inSpaceRun = false;
        float w = measure.width(text + lineStart, i - lineStart + 1);
        if (!(w > maxWidth)) {
            width = w;
            continue;
        }
        if (lastSpace < lineStart) {
            // No space to break at: cut before this character, which opens
            // the next line.
            out.emit(lineStart + 1, i, width);
            lineStart = i;
            width = measure.width(text + i, 1);
            continue;
        }
        bool spaceAtStart = lastSpace == lineStart;
        int breakAt = spaceAtStart ? i : lastSpace;
        out.emit(lineStart + 1, breakAt, spaceAtStart ? width : widthAtSpace);
        if (wordWrap && !spaceAtStart) i = lastSpace;  // rescan the word on the new line
        int32_t extent = measure.extent(text + breakAt, i - breakAt + 1);
        width = static_cast<float>(int64_t{extent} * 100 / measure.pixelsX());
        lineStart = breakAt;
        atLineStart = true;
    }
    if (lineStart < length) out.emit(lineStart + 1, length, width);
    return out.count();
}

template <class Unit>
int32_t trimImpl(const Unit* text, int length, const WrapFont& font, float boxWidth, int mode) {
    TenfoldFont measure(font);
    if (!measure.ok()) return -1;
    const char ellipsisByte = static_cast<char>(0x85);
    const float ellipsis = measure.width(&ellipsisByte, 1);
    if (text == nullptr) length = 0;
    auto unit = [&](int i) { return static_cast<uint32_t>(static_cast<std::make_unsigned_t<Unit>>(text[i])); };

    if (mode == 5) {
        int end = 0;
        while (end < length && unit(end) != 13) ++end;
        int head = 0, tail = 0;
        float headWidth = 0.0f, tailWidth = 0.0f;
        int32_t result = 0;
        while (boxWidth > headWidth + tailWidth + ellipsis) {
            result = head * 100000 + tail;
            if (headWidth > tailWidth) {
                ++tail;
                tailWidth = measure.width(text + (end - tail), tail);
            } else {
                headWidth = head == 0 ? 0.0f : measure.width(text, head);
                ++head;
            }
            if (head + tail >= end) return -1;
        }
        return result;
    }

    float available = boxWidth;
    if (mode == 3 || mode == 4) available = boxWidth > ellipsis ? boxWidth - ellipsis : 0.0f;
    bool atBreak = mode == 2 || mode == 4;
    int32_t lastBreak = 0;
    int32_t result = 0;
    for (int n = 1; n <= length; ++n) {
        uint32_t c = unit(n - 1);
        if (c == 32 || c == 13) lastBreak = n;
        float w = measure.width(text, n);
        if (w > available || c == 13) {
            if (!(w > available)) result = n;
            if (atBreak) result = lastBreak;
            return result;
        }
        result = n;
    }
    return result;
}

}  // namespace

int32_t wrapLines(const char* text, int length, const WrapFont& font, float maxWidth, int32_t* lines,
                  int lineRoom, bool wordWrap) {
    return wrapImpl(text, length, font, maxWidth, lines, lineRoom, wordWrap);
}

int32_t wrapLines(const char16_t* text, int length, const WrapFont& font, float maxWidth,
                  int32_t* lines, int lineRoom, bool wordWrap) {
    return wrapImpl(text, length, font, maxWidth, lines, lineRoom, wordWrap);
}

int32_t trimLine(const char* text, int length, const WrapFont& font, float boxWidth, int mode) {
    return trimImpl(text, length, font, boxWidth, mode);
}

int32_t trimLine(const char16_t* text, int length, const WrapFont& font, float boxWidth, int mode) {
    return trimImpl(text, length, font, boxWidth, mode);
}

}  // namespace kd
