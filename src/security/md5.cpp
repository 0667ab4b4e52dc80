#include "security/md5.h"

#include <cstring>

#include "codec/file_io.h"

namespace kd {

namespace {

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void store32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// The four rounds with the usual cheaper forms of F and G (same values as
// RFC 1321's definitions, fewer operations on the critical path).
#define KD_MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define KD_MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define KD_MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define KD_MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define KD_MD5_STEP(f, a, b, c, d, x, t, s) \
    (a) += f((b), (c), (d)) + (x) + (t);    \
    (a) = rotl((a), (s)) + (b)

// Processes count consecutive 64-byte blocks.
void md5Blocks(uint32_t state[4], const uint8_t* data, size_t count) {
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; count != 0; --count, data += 64) {
        uint32_t x[16];
        for (int k = 0; k < 16; ++k) x[k] = load32(data + 4 * k);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        KD_MD5_STEP(KD_MD5_F, a, b, c, d, x[0], 0xd76aa478, 7);
        KD_MD5_STEP(KD_MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12);
        KD_MD5_STEP(KD_MD5_F, c, d, a, b, x[2], 0x242070db, 17);
        KD_MD5_STEP(KD_MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22);
        KD_MD5_STEP(KD_MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7);
        KD_MD5_STEP(KD_MD5_F, d, a, b, c, x[5], 0x4787c62a, 12);
        KD_MD5_STEP(KD_MD5_F, c, d, a, b, x[6], 0xa8304613, 17);
        KD_MD5_STEP(KD_MD5_F, b, c, d, a, x[7], 0xfd469501, 22);
        KD_MD5_STEP(KD_MD5_F, a, b, c, d, x[8], 0x698098d8, 7);
        KD_MD5_STEP(KD_MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12);
        KD_MD5_STEP(KD_MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17);
        KD_MD5_STEP(KD_MD5_F, b, c, d, a, x[11], 0x895cd7be, 22);
        KD_MD5_STEP(KD_MD5_F, a, b, c, d, x[12], 0x6b901122, 7);
        KD_MD5_STEP(KD_MD5_F, d, a, b, c, x[13], 0xfd987193, 12);
        KD_MD5_STEP(KD_MD5_F, c, d, a, b, x[14], 0xa679438e, 17);
        KD_MD5_STEP(KD_MD5_F, b, c, d, a, x[15], 0x49b40821, 22);

        KD_MD5_STEP(KD_MD5_G, a, b, c, d, x[1], 0xf61e2562, 5);
        KD_MD5_STEP(KD_MD5_G, d, a, b, c, x[6], 0xc040b340, 9);
        KD_MD5_STEP(KD_MD5_G, c, d, a, b, x[11], 0x265e5a51, 14);
        KD_MD5_STEP(KD_MD5_G, b, c, d, a, x[0], 0xe9b6c7aa, 20);
        KD_MD5_STEP(KD_MD5_G, a, b, c, d, x[5], 0xd62f105d, 5);
        KD_MD5_STEP(KD_MD5_G, d, a, b, c, x[10], 0x02441453, 9);
        KD_MD5_STEP(KD_MD5_G, c, d, a, b, x[15], 0xd8a1e681, 14);
        KD_MD5_STEP(KD_MD5_G, b, c, d, a, x[4], 0xe7d3fbc8, 20);
        KD_MD5_STEP(KD_MD5_G, a, b, c, d, x[9], 0x21e1cde6, 5);
        KD_MD5_STEP(KD_MD5_G, d, a, b, c, x[14], 0xc33707d6, 9);
        KD_MD5_STEP(KD_MD5_G, c, d, a, b, x[3], 0xf4d50d87, 14);
        KD_MD5_STEP(KD_MD5_G, b, c, d, a, x[8], 0x455a14ed, 20);
        KD_MD5_STEP(KD_MD5_G, a, b, c, d, x[13], 0xa9e3e905, 5);
        KD_MD5_STEP(KD_MD5_G, d, a, b, c, x[2], 0xfcefa3f8, 9);
        KD_MD5_STEP(KD_MD5_G, c, d, a, b, x[7], 0x676f02d9, 14);
        KD_MD5_STEP(KD_MD5_G, b, c, d, a, x[12], 0x8d2a4c8a, 20);

        KD_MD5_STEP(KD_MD5_H, a, b, c, d, x[5], 0xfffa3942, 4);
        KD_MD5_STEP(KD_MD5_H, d, a, b, c, x[8], 0x8771f681, 11);
        KD_MD5_STEP(KD_MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16);
        KD_MD5_STEP(KD_MD5_H, b, c, d, a, x[14], 0xfde5380c, 23);
        KD_MD5_STEP(KD_MD5_H, a, b, c, d, x[1], 0xa4beea44, 4);
        KD_MD5_STEP(KD_MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11);
        KD_MD5_STEP(KD_MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16);
        KD_MD5_STEP(KD_MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23);
        KD_MD5_STEP(KD_MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4);
        KD_MD5_STEP(KD_MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11);
        KD_MD5_STEP(KD_MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16);
        KD_MD5_STEP(KD_MD5_H, b, c, d, a, x[6], 0x04881d05, 23);
        KD_MD5_STEP(KD_MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4);
        KD_MD5_STEP(KD_MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11);
        KD_MD5_STEP(KD_MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16);
        KD_MD5_STEP(KD_MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23);

        KD_MD5_STEP(KD_MD5_I, a, b, c, d, x[0], 0xf4292244, 6);
        KD_MD5_STEP(KD_MD5_I, d, a, b, c, x[7], 0x432aff97, 10);
        KD_MD5_STEP(KD_MD5_I, c, d, a, b, x[14], 0xab9423a7, 15);
        KD_MD5_STEP(KD_MD5_I, b, c, d, a, x[5], 0xfc93a039, 21);
        KD_MD5_STEP(KD_MD5_I, a, b, c, d, x[12], 0x655b59c3, 6);
        KD_MD5_STEP(KD_MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10);
        KD_MD5_STEP(KD_MD5_I, c, d, a, b, x[10], 0xffeff47d, 15);
        KD_MD5_STEP(KD_MD5_I, b, c, d, a, x[1], 0x85845dd1, 21);
        KD_MD5_STEP(KD_MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6);
        KD_MD5_STEP(KD_MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
        KD_MD5_STEP(KD_MD5_I, c, d, a, b, x[6], 0xa3014314, 15);
        KD_MD5_STEP(KD_MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21);
        KD_MD5_STEP(KD_MD5_I, a, b, c, d, x[4], 0xf7537e82, 6);
        KD_MD5_STEP(KD_MD5_I, d, a, b, c, x[11], 0xbd3af235, 10);
        KD_MD5_STEP(KD_MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
        KD_MD5_STEP(KD_MD5_I, b, c, d, a, x[9], 0xeb86d391, 21);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#undef KD_MD5_F
#undef KD_MD5_G
#undef KD_MD5_H
#undef KD_MD5_I
#undef KD_MD5_STEP

}  // namespace

void md5Init(Md5Context* context) {
    context->state[0] = 0x67452301;
    context->state[1] = 0xefcdab89;
    context->state[2] = 0x98badcfe;
    context->state[3] = 0x10325476;
    context->count[0] = 0;
    context->count[1] = 0;
}

void md5Update(Md5Context* context, const void* bytes, uint32_t length) {
    if (length == 0) return;
    const uint8_t* input = static_cast<const uint8_t*>(bytes);
    uint32_t used = (context->count[0] >> 3) & 63;

    const uint32_t bitsLow = length << 3;
    context->count[0] += bitsLow;
    if (context->count[0] < bitsLow) ++context->count[1];
    context->count[1] += length >> 29;

    if (used != 0) {
        const uint32_t room = 64 - used;
        if (length < room) {
            std::memcpy(context->buffer + used, input, length);
            return;
        }
        std::memcpy(context->buffer + used, input, room);
        md5Blocks(context->state, context->buffer, 1);
        input += room;
        length -= room;
    }
    // Whole blocks straight from the caller's bytes, no copy.
    if (length >= 64) {
        md5Blocks(context->state, input, length / 64);
        input += length & ~63u;
        length &= 63;
    }
    if (length != 0) std::memcpy(context->buffer, input, length);
}

void md5Final(uint8_t digest[16], Md5Context* context) {
    uint8_t bits[8];
    store32(bits, context->count[0]);
    store32(bits + 4, context->count[1]);

    static const uint8_t kPadding[64] = {0x80};
    const uint32_t used = (context->count[0] >> 3) & 63;
    const uint32_t padLength = used < 56 ? 56 - used : 120 - used;
    md5Update(context, kPadding, padLength);
    md5Update(context, bits, 8);

    for (int k = 0; k < 4; ++k) store32(digest + 4 * k, context->state[k]);
    // Volatile writes so that the wipe is not optimised away.
    volatile uint8_t* wipe = reinterpret_cast<volatile uint8_t*>(context);
    for (size_t k = 0; k < sizeof(*context); ++k) wipe[k] = 0;
}

void md5(const void* bytes, size_t length, uint8_t digest[16]) {
    Md5Context context;
    md5Init(&context);
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    while (length > 0) {
        const uint32_t piece = length > 0x40000000u ? 0x40000000u : static_cast<uint32_t>(length);
        md5Update(&context, p, piece);
        p += piece;
        length -= piece;
    }
    md5Final(digest, &context);
}

bool md5File(const char* path, uint8_t digest[16]) {
    FileHandle in = openInput(path);
    if (!in) return false;
    Md5Context context;
    md5Init(&context);
    uint8_t buffer[2000];
    // A read error ends the loop like end of file does, so a failing device
    // cannot keep it spinning.
    while (!std::feof(in.get()) && !std::ferror(in.get())) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, in.get());
        md5Update(&context, buffer, static_cast<uint32_t>(got));
    }
    uint8_t result[16];
    md5Final(result, &context);
    // A digest of a file that could not be read to its end would be a
    // digest of some other bytes: report it as unreadable instead.
    if (std::ferror(in.get())) return false;
    std::memcpy(digest, result, 16);
    return true;
}

}  // namespace kd
