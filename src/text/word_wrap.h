// Line breaking and single-line trimming of report-field text, measured
// with the font the document uses. Fonts are selected at ten times the
// requested size so that extents in hundredths of an inch of the tenfold
// font are thousandths of an inch of the requested one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "frame/display_context.h"

namespace kd {

struct WrapFont {
    const char* faceName = "";
    float size = 0;  // points, as the host gives it
    int16_t italic = 0;
    int16_t bold = 0;
    uint16_t codePage = 0;
};

// A display context with the tenfold font selected, released on
// destruction. ok() is false when either could not be made.
class TenfoldFont {
public:
    explicit TenfoldFont(const WrapFont& font);
    ~TenfoldFont();
    TenfoldFont(const TenfoldFont&) = delete;
    TenfoldFont& operator=(const TenfoldFont&) = delete;

    bool ok() const { return ok_; }
    int pixelsX() const { return logPixelsX_; }
    int pixelsY() const { return logPixelsY_; }
    const platform::TextMetrics& metrics() const { return metrics_; }

    // Raw extents in device units (0 when the platform refuses).
    int32_t extent(const char* text, int count) const;
    int32_t extent(const char16_t* text, int count) const;
    // Extent in thousandths of an inch at the requested size:
    // extent x 100 / LOGPIXELSX in double precision, then single.
    template <class Unit>
    float width(const Unit* text, int count) const {
        return static_cast<float>(static_cast<double>(extent(text, count)) * 100.0 / logPixelsX_);
    }

private:
    DisplayContext dc_;
    std::unique_ptr<SelectedFont> font_;
    int logPixelsX_ = 0;
    int logPixelsY_ = 0;
    platform::TextMetrics metrics_;
    bool ok_ = false;
};

// The point size as the font builder takes it: size x 10, truncated,
// saturated to the 16-bit range (NaN gives 0).
int16_t tenfoldSize(float size);

// UTF-16 text of a wrap/trim call: 1200 is UTF-16LE and 1201 UTF-16BE up
// to a 16-bit zero; other code pages are converted from 8-bit text, with a
// retry in the system code page. Empty when there is nothing to convert.
std::u16string wrapTextToUtf16(const char* text, uint16_t codePage);

// True for the code pages whose 8-bit calls go to the UTF-16 twin.
inline bool isUnicodeCodePage(uint16_t codePage) {
    return codePage == 65001 || codePage == 1200 || codePage == 1201;
}

// Break text into lines no wider than maxWidth. lines receives the three
// metric entries and three integers per line; room for lineRoom lines is
// assumed (the host's contract is length + 1). Returns the number of lines
// written, -1 when no context or font could be made.
int32_t wrapLines(const char* text, int length, const WrapFont& font, float maxWidth,
                  int32_t* lines, int lineRoom, bool wordWrap);
int32_t wrapLines(const char16_t* text, int length, const WrapFont& font, float maxWidth,
                  int32_t* lines, int lineRoom, bool wordWrap);

// How much of one line fits boxWidth in trimming mode 0 to 5 (see the
// exports in kdlib.h); -1 when no context or font could be made.
int32_t trimLine(const char* text, int length, const WrapFont& font, float boxWidth, int mode);
int32_t trimLine(const char16_t* text, int length, const WrapFont& font, float boxWidth,
                 int mode);

}  // namespace kd
