// Code-page conversion by the system.
#include "frame/platform/win32/objects.h"

namespace kd::platform {

int multiByteToWideChar(unsigned codePage, uint32_t flags, const char* text, int byteCount, char16_t* output,
                        int room) {
    if (!text || byteCount == 0 || room < 0 || (room > 0 && !output)) return 0;
    static_assert(sizeof(char16_t) == sizeof(WCHAR), "UTF-16 units");
    return MultiByteToWideChar(codePage, flags, text, byteCount, reinterpret_cast<LPWSTR>(output), room);
}

}  // namespace kd::platform
