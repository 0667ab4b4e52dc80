// What the Windows backend keeps behind the platform's opaque handles: the
// GDI device context with the font the library selected into it, and the
// GDI font.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "frame/platform/platform.h"

namespace kd::platform {

struct DeviceContextImpl {
    HDC dc = nullptr;
    // The font the library selected last (null: the context's own default,
    // which the library never measures), and the object GDI had selected
    // before the first selection, put back when the selection is undone.
    Font selected = nullptr;
    HGDIOBJ original = nullptr;
};

struct FontImpl {
    HFONT font = nullptr;
};

// The selected font's context, or null when the library selected none.
inline HDC measuringDC(DeviceContext dc) { return dc && dc->selected ? dc->dc : nullptr; }

}  // namespace kd::platform
