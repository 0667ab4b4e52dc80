// MD5 as RFC 1321 defines it, written by the library itself so that the
// security handler needs no cryptographic dependency.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kd {

struct Md5Context {
    uint32_t state[4];
    uint32_t count[2];  // bits processed, low word first
    uint8_t buffer[64];
};

void md5Init(Md5Context* context);
void md5Update(Md5Context* context, const void* bytes, uint32_t length);
// Writes the 16 digest bytes, then wipes the whole context.
void md5Final(uint8_t digest[16], Md5Context* context);

// One-shot digest of length bytes.
void md5(const void* bytes, size_t length, uint8_t digest[16]);

// Digest of a file's bytes, read through a 2000-byte buffer. False when the
// file cannot be opened, is a folder or fails while being read; the digest
// is then untouched.
bool md5File(const char* path, uint8_t digest[16]);

}  // namespace kd
