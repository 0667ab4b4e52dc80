// Exports of the library frame.
#include "kdlib.h"

#include "frame/display_context.h"
#include "frame/log_folder.h"

extern "C" KDLIB_API int32_t getVersion(void) { return 190; }

extern "C" KDLIB_API void SetLogFolder(const char* folder) { kd::setLogFolder(folder); }

KDLIB_API int getPar(int request) {
    try {
        return kd::displayParameter(request);
    } catch (...) {
        return -1;
    }
}
