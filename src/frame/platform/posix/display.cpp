// The virtual display device context.
#include <new>

#include "frame/platform/posix/objects.h"

namespace kd::platform {

DeviceContext createDisplayDC() { return new (std::nothrow) DeviceContextImpl; }

void deleteDC(DeviceContext dc) { delete dc; }

int setMapMode(DeviceContext dc, int mode) {
    if (!dc) return 0;
    int previous = dc->mapMode;
    dc->mapMode = mode;
    return previous;
}

int getDeviceCaps(DeviceContext dc, int index) {
    if (!dc) return 0;
    switch (index) {
    case kHorzSize: return 508;
    case kVertSize: return 286;
    case kLogPixelsX:
    case kLogPixelsY: return 96;
    default: return 0;  // the PHYSICAL* capabilities exist for printers only
    }
}

// Only the text mapping mode is used: device points are logical points.
bool dpToLp(DeviceContext dc, Point* /*points*/, int count) { return dc != nullptr && count >= 0; }

Font selectFont(DeviceContext dc, Font font) {
    if (!dc) return nullptr;
    Font previous = dc->selected;
    dc->selected = font;
    return previous;
}

}  // namespace kd::platform
