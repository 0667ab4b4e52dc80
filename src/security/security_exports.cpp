// Exports of the hashes and the standard security handler.
#include <cstring>

#include "kdlib.h"
#include "security/md5.h"
#include "security/security_handler.h"

namespace {

// The host's document key: n bytes when n > 0, zeros otherwise, never more
// than the 16 a key can have.
void copyHostKey(const uint8_t* hostKey, int32_t keyLength, uint8_t out[16]) {
    std::memset(out, 0, 16);
    if (hostKey && keyLength > 0) std::memcpy(out, hostKey, static_cast<size_t>(kd::clampKeyLength(keyLength)));
}

}  // namespace

extern "C" KDLIB_API int32_t MD5File(const char* path, uint8_t* digest) {
    if (!digest) return 0;
    try {
        return kd::md5File(path, digest) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

extern "C" KDLIB_API int32_t MD5String(const void* data, uint32_t length, uint8_t* digest) {
    if (!digest) return 0;
    if (!data) length = 0;
    kd::md5(data, length, digest);
    return 0;
}

extern "C" KDLIB_API int32_t computeKeys(const char* ownerPassword, const char* userPassword, int32_t permissions,
                                         const uint8_t* fileId, uint8_t* oOut, uint8_t* uOut, uint8_t* keyOut,
                                         int32_t /*ignored*/, int32_t revision, int32_t keyLength) {
    uint8_t id[16] = {};
    if (fileId) std::memcpy(id, fileId, 16);
    const kd::SecurityKeys keys = kd::computeSecurityKeys(ownerPassword, userPassword, permissions, id, revision,
                                                          keyLength);
    if (oOut) std::memcpy(oOut, keys.o, 32);
    if (uOut) std::memcpy(uOut, keys.u, 32);
    if (keyOut && keyLength > 0) std::memcpy(keyOut, keys.key, static_cast<size_t>(keys.keyLength));
    return 0;
}

extern "C" KDLIB_API int32_t encryptPDFContent(uint8_t* data, int32_t length, int32_t objectNumber,
                                               int32_t generation, const uint8_t* key, int32_t /*ignored*/,
                                               int32_t /*revision*/, int32_t keyLength) {
    if (!data || length <= 0) return 0;
    uint8_t documentKey[16];
    copyHostKey(key, keyLength, documentKey);
    kd::encryptObjectData(data, static_cast<uint32_t>(length), objectNumber, generation, documentKey, keyLength);
    return 0;
}

extern "C" KDLIB_API int32_t encryptFile(const char* inPath, const char* outPath, int32_t objectNumber,
                                         int32_t generation, const uint8_t* key, int32_t /*ignored*/,
                                         int32_t /*revision*/, int32_t keyLength) {
    uint8_t documentKey[16];
    copyHostKey(key, keyLength, documentKey);
    try {
        kd::encryptObjectFile(inPath, outPath, objectNumber, generation, documentKey, keyLength);
    } catch (...) {
    }
    return 0;
}
