#include "frame/display_context.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kd {

uint8_t charsetForCodePage(uint16_t codePage) {
    switch (codePage) {
    case 42: return 2;
    case 874: return 222;
    case 932: return 128;
    case 936: return 134;
    case 949: return 129;
    case 950: return 136;
    case 1250: return 238;
    case 1251: return 204;
    case 1252: return 0;
    case 1253: return 161;
    case 1254: return 162;
    case 1255: return 177;
    case 1256: return 178;
    case 1257: return 186;
    case 1258: return 163;
    case 1361: return 130;
    default: return 1;
    }
}

int32_t pointsToPixels(int16_t size, int pixelsPerInch) {
    return (int32_t{size} * pixelsPerInch * 10) / 720;
}

platform::DeviceContext createDisplayContext() {
    platform::DeviceContext dc = platform::createDisplayDC();
    if (dc) platform::setMapMode(dc, platform::kMapModeText);
    return dc;
}

void buildLogFont(platform::DeviceContext dc, platform::LogFont& logFont, const char* faceName,
                  int16_t size, uint8_t italic, int16_t bold, uint16_t codePage) {
    logFont.lfItalic = italic;
    logFont.lfWeight = bold != 0 ? 700 : 100;
    if (faceName == nullptr) faceName = "";
    size_t n = strnlen(faceName, sizeof logFont.lfFaceName - 1);
    std::memcpy(logFont.lfFaceName, faceName, n);
    logFont.lfFaceName[n] = '\0';

    int32_t h = pointsToPixels(size, platform::getDeviceCaps(dc, platform::kLogPixelsY));
    platform::Point points[2] = {{0, h}, {0, 0}};
    platform::dpToLp(dc, &points[0], 1);
    platform::dpToLp(dc, &points[1], 1);
    logFont.lfHeight = -std::abs(points[0].y - points[1].y);
    logFont.lfCharSet = charsetForCodePage(codePage);
}

int displayParameter(int request) {
    DisplayContext dc;
    if (!dc) return -1;
    using namespace platform;
    Point p;
    int term = 0;
    switch (request) {
    case 1: p.x = dc.caps(kPhysicalOffsetX); break;
    case 2: p.y = dc.caps(kPhysicalOffsetY); break;
    case 3:
        p.x = dc.caps(kPhysicalWidth) - dc.caps(kPhysicalOffsetX);
        term = (dc.caps(kHorzSize) * -10000) / 254;
        break;
    case 4:
        p.y = dc.caps(kPhysicalHeight) - dc.caps(kPhysicalOffsetY);
        term = (dc.caps(kVertSize) * -10000) / 254;
        break;
    case 5: return (dc.caps(kHorzSize) * 10000) / 254;
    default: break;
    }
    dpToLp(dc.get(), &p, 1);
    int extent = std::max(std::abs(p.x), std::abs(p.y));
    return request >= 1 && request <= 4 ? extent + term : 0;
}

SelectedFont::SelectedFont(platform::DeviceContext dc, const platform::LogFont& logFont)
    : dc_(dc), font_(platform::createFontIndirect(logFont)) {
    if (font_) previous_ = platform::selectFont(dc_, font_);
}

SelectedFont::~SelectedFont() {
    if (!font_) return;
    platform::selectFont(dc_, previous_);
    platform::deleteFont(font_);
}

}  // namespace kd
