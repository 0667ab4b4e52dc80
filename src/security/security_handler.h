// The PDF standard security handler, revisions 2 and 3 (RC4, 40 to 128
// bit keys): the O and U entries and the document key from the passwords,
// and the per-object encryption of strings, streams and object files.
#pragma once

#include <cstdint>

namespace kd {

// Key lengths outside 1..16 are clamped into that range, so no computation
// reads or writes past the 16-byte key.
int clampKeyLength(int32_t keyLength);

struct SecurityKeys {
    uint8_t o[32];
    uint8_t u[32];
    uint8_t key[16];  // the first keyLength bytes are meaningful
    int keyLength;
};

// The substitute owner block used for an empty owner password.
extern const uint8_t kEmptyOwnerBlock[32];

// Null passwords count as empty. revision 3 selects the revision-3
// algorithms, anything else revision 2.
SecurityKeys computeSecurityKeys(const char* ownerPassword, const char* userPassword, int32_t permissions,
                                 const uint8_t fileId[16], int32_t revision, int32_t keyLength);

// The RC4 key of one object: returns its length (keyLength + 5, at most 16).
int objectKey(const uint8_t* documentKey, int keyLength, int32_t objectNumber, int32_t generation,
              uint8_t out[16]);

// Encrypts (or decrypts) length bytes in place with the object's key.
void encryptObjectData(uint8_t* data, uint32_t length, int32_t objectNumber, int32_t generation,
                       const uint8_t* documentKey, int keyLength);

enum class EncryptFileResult { done, inputUnreadable, outputUnwritable, sameFile };

// Copies the object file, encrypting everything after its "stream\r\n"
// line. Refuses (without touching either file) an output that is the input.
EncryptFileResult encryptObjectFile(const char* inPath, const char* outPath, int32_t objectNumber,
                                    int32_t generation, const uint8_t* documentKey, int keyLength);

}  // namespace kd
