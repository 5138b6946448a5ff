// The SSE2 IDCT and colour conversion must give exactly the portable results:
// random blocks from sparse to dense, extreme coefficients that must fall back,
// and colour rows of every width around the vector size.
#include <gtest/gtest.h>
#include <string.h>

#include "image/jpeg_internal.h"

#if defined(JPEG_HAVE_SSE2)
namespace {

uint32_t next(uint32_t* seed) {
  *seed = *seed * 1664525u + 1013904223u;
  return *seed >> 8;
}

TEST(JpegSimd, IdctMatchesPortableVersion) {
  uint32_t seed = 42;
  int fell_back = 0, huge_fell_back = 0;
  for (int round = 0; round < 20000; ++round) {
    int16_t coef[64];
    uint16_t q[64];
    memset(coef, 0, sizeof coef);
    const bool huge = round % 10 == 9;
    const int qmax = round % 2 ? 255 : 16;
    for (int i = 0; i < 64; ++i) q[i] = (uint16_t)(1 + next(&seed) % qmax);
    // Real blocks dequantise to about ±1024; huge ones leave 16 bits.
    int range = huge ? 32767 : 1024 / qmax + 1;
    int nonzero = 1 + (int)(next(&seed) % 64);
    for (int i = 0; i < nonzero; ++i)
      coef[next(&seed) % 64] = (int16_t)((int)(next(&seed) % (2 * range + 1)) - range);
    uint8_t want[64], got[64];
    memset(got, 0xcd, sizeof got);
    jpeg_idct_scalar(coef, q, want, 8);
    if (!jpeg_idct_sse2(coef, q, got, 8)) {
      ++(huge ? huge_fell_back : fell_back);
      continue;
    }
    ASSERT_EQ(0, memcmp(want, got, 64)) << "round " << round;
  }
  // Only the blocks with huge coefficients may take the portable path.
  EXPECT_GT(huge_fell_back, 0);
  EXPECT_EQ(fell_back, 0);
}

TEST(JpegSimd, ColourRowsMatchPortableVersion) {
  uint32_t seed = 7;
  uint8_t y[70], cb[70], cr[70];
  for (int w = 1; w <= 70; ++w) {
    for (int i = 0; i < w; ++i) {
      y[i] = (uint8_t)next(&seed);
      cb[i] = (uint8_t)next(&seed);
      cr[i] = (uint8_t)next(&seed);
    }
    // Extremes, where the clamps matter.
    y[0] = 255, cb[0] = 255, cr[0] = 255;
    if (w > 1) y[1] = 0, cb[1] = 0, cr[1] = 0;
    for (int n : {3, 4}) {
      uint8_t want[280], got[280];
      jpeg_ycbcr_row_scalar(y, cb, cr, want, w, n);
      jpeg_ycbcr_row_sse2(y, cb, cr, got, w, n);
      ASSERT_EQ(0, memcmp(want, got, (size_t)w * n)) << "width " << w << " n " << n;
    }
  }
}

}  // namespace
#endif
