// GetPicInfo and GetPicInfoIsGrayscale on arbitrary bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "kdlib.h"
#include "fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = kdfuzz::scratchPath("picinfo", "");
    if (!kdfuzz::writeInput(path, data, size)) return 0;
    int32_t kind, width, height, bits, effective, pages, grey;
    for (int32_t page : {1, 2}) {
        GetPicInfo(path.c_str(), &kind, &width, &height, &bits, &effective, page, &pages);
        GetPicInfoIsGrayscale(path.c_str(), &grey, page);
    }
    return 0;
}
