// dobmp (with its own soft mask planned) and ExtractFromBMP on arbitrary
// bytes, for an old and a new PDF version.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "kdlib.h"
#include "fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string image = kdfuzz::scratchPath("dobmp", ".img"), out = kdfuzz::scratchPath("dobmp", ".data"),
                             mask = kdfuzz::scratchPath("dobmp", ".mask"), side = kdfuzz::scratchPath("dobmp", ".side");
    if (!kdfuzz::writeInput(image, data, size)) return 0;
    for (int32_t version : {14, 17}) {
        int16_t w, h;
        int32_t smask = 0, sideObj = 0;
        dobmp(image.c_str(), out.c_str(), 10, &w, &h, 0, 0, "", side.c_str(), &sideObj, mask.c_str(), &smask, version,
              "SMask", version == 14 ? 1 : 2);
    }
    ExtractFromBMP(image.c_str(), side.c_str());
    std::remove(out.c_str());
    std::remove(mask.c_str());
    std::remove(side.c_str());
    return 0;
}
