// SHA-1 against the FIPS 180-1 vectors and digests from an independent
// implementation at every padding boundary (55/56 bytes: the length no longer
// fits the last block; 64: an exact block plus a padding-only block).
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "support/sha1.h"

namespace {

std::string hex_digest(const void* data, uint32_t length) {
  uint8_t digest[20];
  sha1(digest, data, length);
  char text[41];
  for (int i = 0; i < 20; i++) snprintf(text + 2 * i, 3, "%02x", digest[i]);
  return text;
}

TEST(Sha1, FipsVectorsAndPaddingBoundaries) {
  const char* two_block = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  EXPECT_EQ(hex_digest("abc", 3), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(hex_digest(two_block, (uint32_t)strlen(two_block)),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  const struct {
    size_t letters;
    const char* digest;
  } cases[] = {
      {1000000, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
      {0, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {55, "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
      {56, "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
      {63, "03f09f5b158a7a8cdad920bddc29b81c18a551f5"},
      {64, "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
      {65, "11655326c708d70319be2610e8a57d9a5b959d3b"},
      {119, "ee971065aaa017e0632a8ca6c77bb3bf8b1dfc56"},
      {120, "f34c1488385346a55709ba056ddd08280dd4c6d6"},
  };
  for (const auto& c : cases) {
    std::string s(c.letters, 'a');
    EXPECT_EQ(hex_digest(s.data(), (uint32_t)s.size()), c.digest) << c.letters;
  }
  // Every byte value three times, read from an odd address: catches sign
  // extension of bytes >= 0x80 and any assumption of aligned word loads.
  std::vector<uint8_t> buffer(1 + 768);
  for (int i = 0; i < 768; i++) buffer[1 + i] = (uint8_t)i;
  EXPECT_EQ(hex_digest(buffer.data() + 1, 768), "ac2a264c8ec1f4232a40854e8239bc3a697ab1d2");
}

}  // namespace
