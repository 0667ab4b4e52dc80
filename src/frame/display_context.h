// The display device context and the font description every measuring
// function shares: a "DISPLAY" context in text mapping mode, a LOGFONT
// built from face name, size in points, style and code page, and RAII
// owners that release both on every path.
#pragma once

#include <cstdint>

#include "frame/platform/platform.h"

namespace kd {

// GDI character set of a code page (1 = default for any page not listed).
uint8_t charsetForCodePage(uint16_t codePage);

// Em height in device pixels of a size in points: size x dpi x 10 / 720,
// truncated toward zero.
int32_t pointsToPixels(int16_t size, int pixelsPerInch);

// CreateDC("DISPLAY") in mapping mode MM_TEXT; null when none can be made.
platform::DeviceContext createDisplayContext();

// Fills the five fields of a zero-filled LOGFONT: italic, weight (700 bold,
// else 100), face name (cut to 31 characters), height from LOGPIXELSY
// (size x LOGPIXELSY x 10 / 720, converted to logical units and made
// non-positive) and character set.
void buildLogFont(platform::DeviceContext dc, platform::LogFont& logFont, const char* faceName,
                  int16_t size, uint8_t italic, int16_t bold, uint16_t codePage);

// The exported getPar's answer for a request (-1 without a display).
int displayParameter(int request);

// Owns a display context for the length of a call.
class DisplayContext {
public:
    DisplayContext() : dc_(createDisplayContext()) {}
    ~DisplayContext() {
        if (dc_) platform::deleteDC(dc_);
    }
    DisplayContext(const DisplayContext&) = delete;
    DisplayContext& operator=(const DisplayContext&) = delete;

    explicit operator bool() const { return dc_ != nullptr; }
    platform::DeviceContext get() const { return dc_; }
    int caps(int index) const { return platform::getDeviceCaps(dc_, index); }

private:
    platform::DeviceContext dc_;
};

// Creates a font from a description and selects it into a context; on
// destruction puts the previous font back and deletes its own.
class SelectedFont {
public:
    SelectedFont(platform::DeviceContext dc, const platform::LogFont& logFont);
    ~SelectedFont();
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;

    explicit operator bool() const { return font_ != nullptr; }

private:
    platform::DeviceContext dc_;
    platform::Font font_;
    platform::Font previous_ = nullptr;
};

}  // namespace kd
