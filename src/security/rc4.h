// The RC4 stream cipher, the library's own code. Encryption and decryption
// are the same operation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kd {

struct Rc4State {
    uint8_t permutation[256];
    int32_t i;  // always reduced modulo 256
    int32_t j;
};

// Key schedule; keyLength 1 to 256 (a length outside is clamped so the key
// is never read past its end or divided by zero).
void rc4Init(Rc4State* state, const uint8_t* key, int keyLength);

// output[k] = input[k] XOR keystream for k in [start, start + count); input
// and output may be the same buffer.
void rc4Crypt(Rc4State* state, const uint8_t* input, size_t start, size_t count, uint8_t* output);

}  // namespace kd
