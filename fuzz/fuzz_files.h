// The fuzz targets hand their input to the library as a file: one scratch
// name per target and process, in a memory-backed folder when there is one
// (every input is written and read back, often several times).
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace kdfuzz {

// <folder>/kdlib-fuzz-<target>-<pid><suffix>
inline std::string scratchPath(const char* target, const char* suffix) {
    static const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return folder + "/kdlib-fuzz-" + target + "-" + std::to_string(getpid()) + suffix;
}

// The input as the whole content of `path`; false when it cannot be written.
inline bool writeInput(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool whole = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && whole;
}

}  // namespace kdfuzz
