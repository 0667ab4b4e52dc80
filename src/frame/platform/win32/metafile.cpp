// A bitmap file drawn into a metafile file through GDI and USER.
#include "frame/platform/win32/objects.h"

namespace kd::platform {

int bitmapToMetafile(const char* bmpPath, const char* wmfPath) {
    if (!bmpPath || !wmfPath) return 0;
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (!display) return 0;
    HDC memory = CreateCompatibleDC(display);
    HDC recorder = CreateMetaFileA(wmfPath);
    HANDLE image = LoadImageA(nullptr, bmpPath, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    auto bitmap = static_cast<HBITMAP>(image);
    int result = 0;
    if (memory && recorder && bitmap) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BITMAP description{};
        if (GetObjectA(bitmap, sizeof description, &description))
            result = StretchBlt(recorder, 0, 0, description.bmWidth, description.bmHeight, memory, 0, 0,
                                description.bmWidth, description.bmHeight, SRCCOPY);
        if (previous) SelectObject(memory, previous);
    }
    if (recorder) {
        HMETAFILE metafile = CloseMetaFile(recorder);
        if (metafile) DeleteMetaFile(metafile);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    DeleteDC(display);
    return result;
}

}  // namespace kd::platform
