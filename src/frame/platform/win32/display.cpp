// The display device context through GDI.
#include <new>

#include "frame/platform/win32/objects.h"

namespace kd::platform {

DeviceContext createDisplayDC() {
    auto* impl = new (std::nothrow) DeviceContextImpl;
    if (!impl) return nullptr;
    impl->dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (!impl->dc) {
        delete impl;
        return nullptr;
    }
    return impl;
}

void deleteDC(DeviceContext dc) {
    if (!dc) return;
    // A context is deleted with its original font in place, so that the
    // library's own font can be deleted afterwards in any order.
    if (dc->selected && dc->original) SelectObject(dc->dc, dc->original);
    DeleteDC(dc->dc);
    delete dc;
}

int setMapMode(DeviceContext dc, int mode) { return dc ? SetMapMode(dc->dc, mode) : 0; }

int getDeviceCaps(DeviceContext dc, int index) { return dc ? GetDeviceCaps(dc->dc, index) : 0; }

bool dpToLp(DeviceContext dc, Point* points, int count) {
    if (!dc || count < 0 || (count > 0 && !points)) return false;
    for (int i = 0; i < count; ++i) {
        POINT p{points[i].x, points[i].y};
        if (!DPtoLP(dc->dc, &p, 1)) return false;
        points[i].x = p.x;
        points[i].y = p.y;
    }
    return true;
}

Font selectFont(DeviceContext dc, Font font) {
    if (!dc) return nullptr;
    Font previous = dc->selected;
    if (font) {
        HGDIOBJ old = SelectObject(dc->dc, font->font);
        if (!old || old == HGDI_ERROR) return previous;
        if (!dc->selected) dc->original = old;
        dc->selected = font;
    } else if (dc->selected) {
        SelectObject(dc->dc, dc->original);
        dc->selected = nullptr;
    }
    return previous;
}

}  // namespace kd::platform
