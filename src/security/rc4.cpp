#include "security/rc4.h"

#include <cstring>

namespace kd {

void rc4Init(Rc4State* state, const uint8_t* key, int keyLength) {
    if (keyLength < 1) keyLength = 1;
    if (keyLength > 256) keyLength = 256;
    uint8_t* s = state->permutation;
    for (int p = 0; p < 256; ++p) s[p] = static_cast<uint8_t>(p);
    unsigned j = 0;
    int k = 0;
    for (int p = 0; p < 256; ++p) {
        j = (j + s[p] + key[k]) & 0xFF;
        if (++k == keyLength) k = 0;
        const uint8_t t = s[p];
        s[p] = s[j];
        s[j] = t;
    }
    state->i = 0;
    state->j = 0;
}

namespace {

// One RC4 step on a permutation held in 32-bit cells: word-sized loads and
// stores avoid the partial-register and store-forwarding stalls that byte
// cells cause on the i/j dependency chain.
#define KD_RC4_STEP(out)               \
    i = (i + 1) & 0xFF;                \
    si = s[i];                         \
    j = (j + si) & 0xFF;               \
    sj = s[j];                         \
    s[i] = sj;                         \
    s[j] = si;                         \
    out = s[(si + sj) & 0xFF]

void cryptWide(Rc4State* state, const uint8_t* input, uint8_t* output, size_t count) {
    uint32_t s[256];
    for (int k = 0; k < 256; ++k) s[k] = state->permutation[k];
    uint32_t i = static_cast<uint32_t>(state->i) & 0xFF;
    uint32_t j = static_cast<uint32_t>(state->j) & 0xFF;
    uint32_t si, sj;
    size_t k = 0;
    // Eight keystream bytes at a time, applied as one 64-bit XOR.
    for (; k + 8 <= count; k += 8) {
        uint32_t b0, b1, b2, b3, b4, b5, b6, b7;
        KD_RC4_STEP(b0);
        KD_RC4_STEP(b1);
        KD_RC4_STEP(b2);
        KD_RC4_STEP(b3);
        KD_RC4_STEP(b4);
        KD_RC4_STEP(b5);
        KD_RC4_STEP(b6);
        KD_RC4_STEP(b7);
        const uint64_t stream = static_cast<uint64_t>(b0) | static_cast<uint64_t>(b1) << 8 |
                                static_cast<uint64_t>(b2) << 16 | static_cast<uint64_t>(b3) << 24 |
                                static_cast<uint64_t>(b4) << 32 | static_cast<uint64_t>(b5) << 40 |
                                static_cast<uint64_t>(b6) << 48 | static_cast<uint64_t>(b7) << 56;
        uint64_t in;
        std::memcpy(&in, input + k, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        in ^= __builtin_bswap64(stream);
#else
        in ^= stream;
#endif
        std::memcpy(output + k, &in, 8);
    }
    for (; k < count; ++k) {
        uint32_t b;
        KD_RC4_STEP(b);
        output[k] = static_cast<uint8_t>(input[k] ^ b);
    }
    for (int p = 0; p < 256; ++p) state->permutation[p] = static_cast<uint8_t>(s[p]);
    state->i = static_cast<int32_t>(i);
    state->j = static_cast<int32_t>(j);
}

#undef KD_RC4_STEP

}  // namespace

void rc4Crypt(Rc4State* state, const uint8_t* input, size_t start, size_t count, uint8_t* output) {
    input += start;
    output += start;
    // Long runs pay for widening the permutation once; short strings (most
    // PDF strings) stay on the byte cells.
    if (count >= 1024) {
        cryptWide(state, input, output, count);
        return;
    }
    uint8_t* s = state->permutation;
    uint8_t i = static_cast<uint8_t>(state->i);
    uint8_t j = static_cast<uint8_t>(state->j);
    for (size_t k = 0; k < count; ++k) {
        i = static_cast<uint8_t>(i + 1);
        const uint8_t si = s[i];
        j = static_cast<uint8_t>(j + si);
        const uint8_t sj = s[j];
        s[i] = sj;
        s[j] = si;
        output[k] = static_cast<uint8_t>(input[k] ^ s[static_cast<uint8_t>(si + sj)]);
    }
    state->i = i;
    state->j = j;
}

}  // namespace kd
