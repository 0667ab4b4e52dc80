#include "codec/file_io.h"

#include <filesystem>
#include <system_error>

namespace kd {

namespace fs = std::filesystem;

FileHandle openInput(const char* path) {
    if (!path) return nullptr;
    std::error_code ec;
    if (fs::is_directory(fs::path(path), ec)) return nullptr;
    return FileHandle(std::fopen(path, "rb"));
}

FileHandle openOutput(const char* path) {
    if (!path) return nullptr;
    return FileHandle(std::fopen(path, "wb"));
}

bool sameFile(const char* a, const char* b) {
    if (!a || !b) return false;
    std::error_code ec;
    const bool same = fs::equivalent(fs::path(a), fs::path(b), ec);
    return !ec && same;
}

size_t readLine(std::FILE* file, char* buffer, size_t maxBytes) {
    size_t n = 0;
    while (n < maxBytes) {
        const int c = std::getc(file);
        if (c == EOF) break;
        buffer[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    return n;
}

FilePair openFilePair(const char* inPath, const char* outPath) {
    FilePair files;
    if (sameFile(inPath, outPath)) return files;
    files.in = openInput(inPath);
    if (!files.in) return files;
    files.out = openOutput(outPath);
    if (!files.out) files.in.reset();
    return files;
}

}  // namespace kd
