// Arbitrary bytes as the input file of the file codecs and of encryptFile:
// none may crash, read or write out of bounds, or loop forever.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kdlib.h"
#include "fuzz_files.h"

namespace {

const std::string& workDir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/kdlib-fuzz-codec-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string in = workDir() + "/in";
    const std::string out = workDir() + "/out";
    if (!kdfuzz::writeInput(in, data, size)) return 0;

    esab64(in.c_str(), out.c_str());
    unzipFile(in.c_str(), out.c_str());
    int32_t length = 0;
    zipFile(in.c_str(), out.c_str(), "FlateDecode", &length);
    zipFile(in.c_str(), out.c_str(), "", &length);
    const uint8_t key[16] = {1, 2, 3, 4, 5};
    encryptFile(in.c_str(), out.c_str(), 1, 0, key, 0, 2, 5);
    MD5File(in.c_str(), nullptr);
    uint8_t digest[16];
    MD5File(in.c_str(), digest);
    return 0;
}
