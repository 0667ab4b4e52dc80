// Exports of the string builder. Handles arrive pointer-sized; values that
// do not fit a handle are unknown handles.
#include <memory>

#include "frame/handle_registry.h"
#include "fso/fso.h"
#include "kdlib.h"

namespace {

kd::Fso* findFso(intptr_t handle) { return kd::HandleRegistry::instance().find<kd::Fso>(handle); }

}  // namespace

extern "C" KDLIB_API int32_t _zoFSO_setup(int32_t growthStep) {
    // A step of 0 would divide by zero at the first append.
    if (growthStep <= 0) return 0;
    try {
        return kd::HandleRegistry::instance().add(std::make_unique<kd::Fso>(growthStep));
    } catch (...) {
        return 0;
    }
}

extern "C" KDLIB_API int32_t _zoFSO_Append(intptr_t handle, const void* bytes, int32_t count) {
    kd::Fso* fso = findFso(handle);
    if (!fso) return 0;
    return fso->appendBytes(bytes, count);
}

extern "C" KDLIB_API int32_t _zoFSO_Assign(intptr_t handle, const void* bytes, int32_t count) {
    kd::Fso* fso = findFso(handle);
    if (!fso) return 0;
    if (count < 0 || (count > 0 && !bytes)) return -1;
    fso->clear();
    return fso->appendBytes(bytes, count);
}

extern "C" KDLIB_API int32_t _zoFSO_AppendAsUnicode(intptr_t handle, const char* text, int32_t count,
                                                    int32_t codePage) {
    kd::Fso* fso = findFso(handle);
    if (!fso) return 0;
    try {
        const int32_t result = fso->appendUnicode(text, count, codePage);
        return result < 0 ? 0 : result;
    } catch (...) {
        return 0;
    }
}

extern "C" KDLIB_API int32_t _zoFSO_FormatString4Float(intptr_t handle, const char* format, float a, float b,
                                                       float c, float d) {
    kd::Fso* fso = findFso(handle);
    if (!fso) return -1;
    return fso->appendFormatted(format, a, b, c, d);
}

extern "C" KDLIB_API int32_t _zoFSO_SetColor(intptr_t handle, const char* op, int32_t red, int32_t green,
                                             int32_t blue) {
    kd::Fso* fso = findFso(handle);
    if (!fso) return -1;
    return fso->writeColor(op, red, green, blue);
}

extern "C" KDLIB_API int32_t _zoFSO_PDF_AddBox(intptr_t handle, float x, float y, float width, float height,
                                               float lineWidth, int32_t fill, int32_t fillRed, int32_t fillGreen,
                                               int32_t fillBlue, int32_t border, int32_t strokeRed,
                                               int32_t strokeGreen, int32_t strokeBlue, int32_t noRect) {
    kd::Fso* fso = findFso(handle);
    if (!fso) return -1;
    return fso->writeBox(x, y, width, height, lineWidth, fill, fillRed, fillGreen, fillBlue, border, strokeRed,
                         strokeGreen, strokeBlue, noRect);
}

extern "C" KDLIB_API int32_t _zoFSO_GetLength(intptr_t handle) {
    kd::Fso* fso = findFso(handle);
    return fso ? fso->length() : -1;
}

extern "C" KDLIB_API int32_t _zoFSO_GetMemoryPointer(intptr_t handle) {
    kd::Fso* fso = findFso(handle);
    return fso ? fso->memoryAddress() : -1;
}

extern "C" KDLIB_API int32_t _zoFSO_GetInt(intptr_t handle, int32_t position) {
    kd::Fso* fso = findFso(handle);
    int32_t value = -1;
    if (!fso || !fso->getInt(position, &value)) return -1;
    return value;
}

extern "C" KDLIB_API int32_t _zoFSO_Substr(intptr_t handle, int32_t start, int32_t count, void* dst) {
    kd::Fso* fso = findFso(handle);
    if (!fso || !fso->substr(start, count, dst)) return -1;
    return 0;
}

extern "C" KDLIB_API int32_t _zoFSO_Deallocate(intptr_t handle) {
    kd::HandleRegistry::instance().release<kd::Fso>(handle);
    return 0;
}
