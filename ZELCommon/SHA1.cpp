#include "ZELCommon/SHA1.h"

#include <cstring>

namespace {

inline unsigned Rotl(unsigned x, int n)
{
    return (x << n) | (x >> (32 - n));
}

void Transform(unsigned state[5], const unsigned char block[64])
{
    unsigned w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = (unsigned(block[4 * i]) << 24) | (unsigned(block[4 * i + 1]) << 16) |
               (unsigned(block[4 * i + 2]) << 8) | unsigned(block[4 * i + 3]);
    for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    unsigned a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        unsigned f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5a827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ed9eba1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8f1bbcdc;
        } else {
            f = b ^ c ^ d;
            k = 0xca62c1d6;
        }
        unsigned temp = Rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = Rotl(b, 30);
        b = a;
        a = temp;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

}  // namespace

void CSHA1::Hash(const void* data, unsigned int length, unsigned char* out)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (!out) return;
    if (!bytes) length = 0;

    unsigned state[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
    unsigned done = 0;
    for (; length - done >= 64; done += 64) Transform(state, bytes + done);

    // Padding: the rest, a one bit, zeros to 56 bytes mod 64, then the bit count (64-bit,
    // most significant byte first). One or two blocks.
    unsigned char tail[128] = {};
    unsigned rest = length - done;
    if (rest) std::memcpy(tail, bytes + done, rest);
    tail[rest] = 0x80;
    unsigned tailSize = rest < 56 ? 64 : 128;
    unsigned long long bits = (unsigned long long)length * 8;
    for (int i = 0; i < 8; ++i) tail[tailSize - 1 - i] = (unsigned char)(bits >> (8 * i));
    Transform(state, tail);
    if (tailSize == 128) Transform(state, tail + 64);

    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j) out[4 * i + j] = (unsigned char)(state[i] >> (24 - 8 * j));
}
