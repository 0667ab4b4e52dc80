// The Linux stand-ins for a GDI device context and font.
#pragma once

#include <memory>

#include "frame/platform/platform.h"
#include "frame/platform/posix/face_catalog.h"

namespace kd::platform {

// A virtual 1920 x 1080 display at 96 pixels per inch (508 x 286 mm).
struct DeviceContextImpl {
    int mapMode = kMapModeText;
    Font selected = nullptr;
};

struct FontImpl {
    std::shared_ptr<const posix::FaceData> face;
    LogFont logFont;
    int ppem = 16;              // pixels per em
    unsigned codePage = 1252;   // how 8-bit text is read, from the character set
    TextMetrics metrics;

    // Advance of a glyph in whole pixels.
    int advancePixels(uint16_t glyph) const;
    // Font units to pixels, rounded half away from zero.
    int toPixels(int fontUnits) const;
};

}  // namespace kd::platform
