#include "security/security_handler.h"

#include <cstring>

#include "codec/file_io.h"
#include "security/md5.h"
#include "security/rc4.h"

namespace kd {

namespace {

// The password padding string of the standard security handler.
const uint8_t kPasswordPad[32] = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E,
                                  0x56, 0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68,
                                  0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

void padPassword(const char* password, uint8_t out[32]) {
    size_t len = password ? std::strlen(password) : 0;
    if (len > 32) len = 32;
    if (len > 0) std::memcpy(out, password, len);
    std::memcpy(out + len, kPasswordPad, 32 - len);
}

// h = MD5(first n bytes of h), 50 times (revision 3).
void rehash50(uint8_t h[16], int n) {
    for (int round = 0; round < 50; ++round) md5(h, static_cast<size_t>(n), h);
}

void rc4Once(const uint8_t* key, int keyLength, uint8_t* data, size_t length) {
    Rc4State state;
    rc4Init(&state, key, keyLength);
    rc4Crypt(&state, data, 0, length, data);
}

// The revision-3 chain: encrypt again under the key XOR i for i = 1..19.
void rc4Chain19(const uint8_t* key, int keyLength, uint8_t* data, size_t length) {
    uint8_t derived[16];
    for (int i = 1; i <= 19; ++i) {
        for (int k = 0; k < keyLength; ++k) derived[k] = static_cast<uint8_t>(key[k] ^ i);
        rc4Once(derived, keyLength, data, length);
    }
}

}  // namespace

// "qivlet", a zero byte, then the padding string's first 25 bytes: a block
// that no typed password pads to, so no owner password is known for it.
const uint8_t kEmptyOwnerBlock[32] = {'q',  'i',  'v',  'l',  'e',  't',  0x00, 0x28, 0xBF, 0x4E, 0x5E,
                                      0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E, 0x56, 0xFF, 0xFA, 0x01,
                                      0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80, 0x2F};

int clampKeyLength(int32_t keyLength) {
    if (keyLength < 1) return 1;
    if (keyLength > 16) return 16;
    return keyLength;
}

SecurityKeys computeSecurityKeys(const char* ownerPassword, const char* userPassword, int32_t permissions,
                                 const uint8_t fileId[16], int32_t revision, int32_t keyLength) {
    SecurityKeys keys{};
    const int n = clampKeyLength(keyLength);
    const bool r3 = revision == 3;
    keys.keyLength = n;

    uint8_t paddedUser[32];
    padPassword(userPassword, paddedUser);
    uint8_t ownerBlock[32];
    if (ownerPassword && ownerPassword[0] != '\0')
        padPassword(ownerPassword, ownerBlock);
    else
        std::memcpy(ownerBlock, kEmptyOwnerBlock, 32);

    // O: the padded user password under a key from the owner block.
    uint8_t h[16];
    md5(ownerBlock, 32, h);
    if (r3) rehash50(h, n);
    std::memcpy(keys.o, paddedUser, 32);
    rc4Once(h, n, keys.o, 32);
    if (r3) rc4Chain19(h, n, keys.o, 32);

    // The document key.
    Md5Context context;
    md5Init(&context);
    md5Update(&context, paddedUser, 32);
    md5Update(&context, keys.o, 32);
    const uint32_t p = static_cast<uint32_t>(permissions);
    const uint8_t pBytes[4] = {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p >> 16),
                               static_cast<uint8_t>(p >> 24)};
    md5Update(&context, pBytes, 4);
    md5Update(&context, fileId, 16);
    md5Final(h, &context);
    if (r3) rehash50(h, n);
    std::memcpy(keys.key, h, static_cast<size_t>(n));

    // U: the padding string under the document key; revision 3 replaces its
    // first 16 bytes and keeps the rest as filler.
    std::memcpy(keys.u, kPasswordPad, 32);
    rc4Once(keys.key, n, keys.u, 32);
    if (r3) {
        uint8_t x[16];
        md5Init(&context);
        md5Update(&context, kPasswordPad, 32);
        md5Update(&context, fileId, 16);
        md5Final(x, &context);
        rc4Once(keys.key, n, x, 16);
        rc4Chain19(keys.key, n, x, 16);
        std::memcpy(keys.u, x, 16);
    }
    return keys;
}

int objectKey(const uint8_t* documentKey, int keyLength, int32_t objectNumber, int32_t generation,
              uint8_t out[16]) {
    const int n = clampKeyLength(keyLength);
    uint8_t material[16 + 5];
    std::memcpy(material, documentKey, static_cast<size_t>(n));
    const uint32_t object = static_cast<uint32_t>(objectNumber);
    const uint32_t gen = static_cast<uint32_t>(generation);
    material[n] = static_cast<uint8_t>(object);
    material[n + 1] = static_cast<uint8_t>(object >> 8);
    material[n + 2] = static_cast<uint8_t>(object >> 16);
    material[n + 3] = static_cast<uint8_t>(gen);
    material[n + 4] = static_cast<uint8_t>(gen >> 8);
    md5(material, static_cast<size_t>(n) + 5, out);
    return n + 5 > 16 ? 16 : n + 5;
}

void encryptObjectData(uint8_t* data, uint32_t length, int32_t objectNumber, int32_t generation,
                       const uint8_t* documentKey, int keyLength) {
    uint8_t key[16];
    const int keyBytes = objectKey(documentKey, keyLength, objectNumber, generation, key);
    Rc4State state;
    rc4Init(&state, key, keyBytes);
    rc4Crypt(&state, data, 0, length, data);
}

EncryptFileResult encryptObjectFile(const char* inPath, const char* outPath, int32_t objectNumber,
                                    int32_t generation, const uint8_t* documentKey, int keyLength) {
    // "wb" on the input itself would empty it before it is read.
    if (sameFile(inPath, outPath)) return EncryptFileResult::sameFile;
    FileHandle in = openInput(inPath);
    if (!in) return EncryptFileResult::inputUnreadable;
    FileHandle out = openOutput(outPath);
    if (!out) return EncryptFileResult::outputUnwritable;

    uint8_t key[16];
    const int keyBytes = objectKey(documentKey, keyLength, objectNumber, generation, key);
    Rc4State state;
    rc4Init(&state, key, keyBytes);

    // One buffer for the header lines and the body.
    char buffer[2000];
    static const char kStreamLine[] = "stream\r\n";
    while (!std::feof(in.get()) && !std::ferror(in.get())) {
        const size_t got = readLine(in.get(), buffer, sizeof buffer - 1);
        if (got == 0) break;
        std::fwrite(buffer, 1, got, out.get());
        if (got == 8 && std::memcmp(buffer, kStreamLine, 8) == 0) break;
    }
    uint8_t* bytes = reinterpret_cast<uint8_t*>(buffer);
    while (!std::feof(in.get()) && !std::ferror(in.get())) {
        const size_t got = std::fread(bytes, 1, sizeof buffer, in.get());
        rc4Crypt(&state, bytes, 0, got, bytes);
        std::fwrite(bytes, 1, got, out.get());
    }
    return EncryptFileResult::done;
}

}  // namespace kd
