// Small pieces of buffered file handling shared by the file-based exports:
// owned FILE pointers, an input opener that refuses folders (which the C
// runtime opens but cannot read), a same-file test so that no export
// truncates its own input, and a line reader that keeps zero bytes.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

namespace kd {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept {
        if (file) std::fclose(file);
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// fopen(path, "rb"); null for a null path, a missing file or a folder.
FileHandle openInput(const char* path);
// fopen(path, "wb"); null for a null path or when the file cannot be made.
FileHandle openOutput(const char* path);

// True when both names lead to one existing file (links included).
bool sameFile(const char* a, const char* b);

// An input opened "rb" and an output opened "wb" for a file-to-file
// conversion; both null when the names lead to one file (the output would
// truncate the input before it is read) or either cannot be opened.
struct FilePair {
    FileHandle in;
    FileHandle out;
    explicit operator bool() const { return in && out; }
};
FilePair openFilePair(const char* inPath, const char* outPath);

// Reads one line of at most maxBytes bytes (what fgets with a buffer of
// maxBytes + 1 would read, zero bytes included): stops after '\n', at
// maxBytes or at end of input. Returns the number of bytes stored.
size_t readLine(std::FILE* file, char* buffer, size_t maxBytes);

}  // namespace kd
