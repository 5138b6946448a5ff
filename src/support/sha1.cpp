// Whole 64-byte blocks are hashed straight from the input; the tail and the
// padding (0x80, zeros, the bit length big-endian) are built in a local buffer
// of one block, or two when fewer than 9 bytes of the last block are free.
#include "support/sha1.h"

#include <string.h>

static uint32_t rotl32(uint32_t x, int n) { return x << n | x >> (32 - n); }

static void sha1_block(uint32_t h[5], const uint8_t* block) {
  uint32_t w[80];
  for (int t = 0; t < 16; t++)
    w[t] = (uint32_t)block[4 * t] << 24 | (uint32_t)block[4 * t + 1] << 16 |
           (uint32_t)block[4 * t + 2] << 8 | block[4 * t + 3];
  for (int t = 16; t < 80; t++) w[t] = rotl32(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
  for (int t = 0; t < 80; t++) {
    uint32_t f, k;
    if (t < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (t < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (t < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    uint32_t temp = rotl32(a, 5) + f + e + w[t] + k;
    e = d;
    d = c;
    c = rotl32(b, 30);
    b = a;
    a = temp;
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
}

void sha1(uint8_t digest_out[20], const void* data, uint32_t length) {
  uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  const uint8_t* bytes = (const uint8_t*)data;
  uint32_t whole = length / 64 * 64;
  for (uint32_t i = 0; i < whole; i += 64) sha1_block(h, bytes + i);

  uint8_t tail[128];
  uint32_t rest = length - whole;  // 0..63
  memcpy(tail, bytes + whole, rest);
  tail[rest] = 0x80;
  uint32_t tail_len = rest + 9 <= 64 ? 64 : 128;
  memset(tail + rest + 1, 0, tail_len - rest - 1);
  uint64_t bits = (uint64_t)length * 8;
  for (int i = 0; i < 8; i++) tail[tail_len - 1 - i] = (uint8_t)(bits >> (8 * i));
  sha1_block(h, tail);
  if (tail_len == 128) sha1_block(h, tail + 64);

  for (int i = 0; i < 5; i++) {
    digest_out[4 * i] = (uint8_t)(h[i] >> 24);
    digest_out[4 * i + 1] = (uint8_t)(h[i] >> 16);
    digest_out[4 * i + 2] = (uint8_t)(h[i] >> 8);
    digest_out[4 * i + 3] = (uint8_t)h[i];
  }
}
