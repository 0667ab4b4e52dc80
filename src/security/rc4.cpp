#include "security/rc4.h"

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

void rc4Crypt(Rc4State* state, const uint8_t* input, size_t start, size_t count, uint8_t* output) {
    uint8_t* s = state->permutation;
    // Indices live in registers for the loop; uint8_t arithmetic is the
    // reduction modulo 256.
    uint8_t i = static_cast<uint8_t>(state->i);
    uint8_t j = static_cast<uint8_t>(state->j);
    input += start;
    output += start;
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
