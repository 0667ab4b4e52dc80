// Exports of the font services: pointer and handle checks, and every
// exception turned into the family's failure value.
#include <memory>
#include <new>
#include <string>

#include "fontsvc/font_processor.h"
#include "fontsvc/font_request.h"
#include "frame/handle_registry.h"
#include "kdlib.h"

extern "C" KDLIB_API int32_t getFParam(const char* fontStreamFile, const char* faceName, float size, int16_t bold,
                                       int16_t italic, uint16_t request, int32_t* record, const char* usedCodeMask,
                                       int32_t codePage, const char* subsetFileName, int32_t mapHandle,
                                       uint16_t* widthTable) {
    try {
        kd::FontRequest r;
        r.fontStreamFile = fontStreamFile;
        r.faceName = faceName;
        r.size = size;
        r.bold = bold;
        r.italic = italic;
        r.request = request;
        r.record = record;
        r.usedCodeMask = usedCodeMask;
        r.codePage = codePage;
        r.subsetFileName = subsetFileName;
        r.mapHandle = mapHandle;
        r.widthTable = widthTable;
        return kd::getFontParameters(r);
    } catch (...) {
        return kd::kFontFailed;
    }
}

namespace {

kd::FontProcessor* processorOf(intptr_t handle) {
    return kd::HandleRegistry::instance().find<kd::FontProcessor>(static_cast<int64_t>(handle));
}

}  // namespace

extern "C" KDLIB_API int32_t _zo_fontProcessor_Init(void) {
    try {
        return kd::HandleRegistry::instance().add(std::make_unique<kd::FontProcessor>());
    } catch (...) {
        return 0;
    }
}

extern "C" KDLIB_API int32_t _zo_fontProcessor_AddText(intptr_t handle, const char* text, int32_t codePage,
                                                       const char* key) {
    kd::FontProcessor* p = processorOf(handle);
    if (p == nullptr) return 0;
    try {
        return p->addText(text, codePage, key ? key : "");
    } catch (...) {
        return 0;
    }
}

extern "C" KDLIB_API int32_t _zo_fontProcessor_GetCount(intptr_t handle) {
    kd::FontProcessor* p = processorOf(handle);
    return p ? p->count() : 0;
}

extern "C" KDLIB_API int32_t _zo_fontProcessor_WriteFontFiles(intptr_t handle, const char* folder) {
    kd::FontProcessor* p = processorOf(handle);
    if (p == nullptr) return 0;
    try {
        return p->writeFontFiles(folder ? folder : "");
    } catch (...) {
        return p->count();
    }
}

extern "C" KDLIB_API int32_t _zo_fontProcessor_Destroy(intptr_t handle) {
    kd::HandleRegistry::instance().release<kd::FontProcessor>(static_cast<int64_t>(handle));
    return 0;
}
