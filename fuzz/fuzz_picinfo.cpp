// GetPicInfo and GetPicInfoIsGrayscale on arbitrary bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "kdlib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/kdlib-fuzz-picinfo-" + std::to_string(getpid());
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    int32_t kind, width, height, bits, effective, pages, grey;
    for (int32_t page : {1, 2}) {
        GetPicInfo(path.c_str(), &kind, &width, &height, &bits, &effective, page, &pages);
        GetPicInfoIsGrayscale(path.c_str(), &grey, page);
    }
    return 0;
}
