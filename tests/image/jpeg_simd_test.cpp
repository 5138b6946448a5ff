// Every vector form of the IDCT, the colour conversion and the chroma
// upsampling must give exactly the portable results: random blocks from sparse
// to dense, extreme coefficients that must fall back, and rows of every width
// around the vector sizes.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "image/image.h"
#include "image/jpeg_internal.h"
#include "jpeg_oracle.h"

#if defined(JPEG_HAVE_X86)
namespace {

uint32_t next(uint32_t* seed) {
  *seed = *seed * 1664525u + 1013904223u;
  return *seed >> 8;
}

typedef bool (*IdctFn)(const int16_t*, const uint16_t*, uint8_t*, int);
typedef void (*YcbcrFn)(const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, int, int);

struct Level {
  const char* name;
  IdctFn idct;
  YcbcrFn ycbcr;
};

// The levels this machine runs.
std::vector<Level> levels() {
  std::vector<Level> v = {{"sse2", jpeg_idct_sse2, jpeg_ycbcr_row_sse2}};
  if (jpeg_avx2_supported()) v.push_back({"avx2", jpeg_idct_avx2, jpeg_ycbcr_row_avx2});
  return v;
}

TEST(JpegSimd, IdctMatchesPortableVersion) {
  for (const Level& level : levels()) {
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
      if (!level.idct(coef, q, got, 8)) {
        ++(huge ? huge_fell_back : fell_back);
        continue;
      }
      ASSERT_EQ(0, memcmp(want, got, 64)) << level.name << " round " << round;
    }
    // Only the blocks with huge coefficients may take the portable path.
    EXPECT_GT(huge_fell_back, 0) << level.name;
    EXPECT_EQ(fell_back, 0) << level.name;
  }
}

TEST(JpegSimd, ColourRowsMatchPortableVersion) {
  for (const Level& level : levels()) {
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
        // The canary after the row catches a store past its end.
        uint8_t want[281], got[281];
        got[w * n] = 0x5a;
        jpeg_ycbcr_row_scalar(y, cb, cr, want, w, n);
        level.ycbcr(y, cb, cr, got, w, n);
        ASSERT_EQ(0, memcmp(want, got, (size_t)w * n)) << level.name << " width " << w << " n " << n;
        ASSERT_EQ(0x5a, got[w * n]) << level.name << " width " << w << " n " << n;
      }
    }
  }
}

TEST(JpegSimd, UpsampledRowsMatchPortableVersion) {
  uint32_t seed = 9;
  uint8_t near[70], far[70];
  for (int w = 2; w <= 70; ++w) {
    for (int i = 0; i < w; ++i) {
      near[i] = (uint8_t)next(&seed);
      far[i] = (uint8_t)next(&seed);
    }
    near[w / 2] = 255, far[w / 2] = 255;  // the largest sums
    uint8_t want[141], got[141];
    got[2 * w] = 0x5a;
    jpeg_upsample_2x2_scalar(near, far, w, want);
    jpeg_upsample_2x2_sse2(near, far, w, got);
    ASSERT_EQ(0, memcmp(want, got, 2 * (size_t)w)) << "2x2 width " << w;
    jpeg_upsample_2x1_scalar(near, w, want);
    jpeg_upsample_2x1_sse2(near, w, got);
    ASSERT_EQ(0, memcmp(want, got, 2 * (size_t)w)) << "2x1 width " << w;
    ASSERT_EQ(0x5a, got[2 * w]) << "width " << w;
    got[w] = 0x5a;
    jpeg_upsample_1x2_scalar(near, far, w, want);
    jpeg_upsample_1x2_sse2(near, far, w, got);
    ASSERT_EQ(0, memcmp(want, got, (size_t)w)) << "1x2 width " << w;
    ASSERT_EQ(0x5a, got[w]) << "width " << w;
  }
}

std::vector<uint8_t> decode(const std::vector<uint8_t>& file, int req) {
  int32_t w, h, c;
  uint8_t* px = image_load_from_memory(file.data(), (int32_t)file.size(), &w, &h, &c, req);
  std::vector<uint8_t> v;
  if (px) v.assign(px, px + (size_t)w * h * (req ? req : c));
  free(px);
  return v;
}

// Whole images at every level: each sampling layout, odd sizes, a restart
// interval, and a file whose scan comes twice (decoded again into whole
// planes), which must give the pixels of the single scan.
TEST(JpegSimd, WholeImagesMatchAtEveryLevel) {
  const int layouts[][2] = {{2, 2}, {1, 1}, {2, 1}, {1, 2}};
  for (const auto& l : layouts) {
    JpegSpec spec;
    spec.width = 77;
    spec.height = 45;
    spec.h[0] = l[0];
    spec.v[0] = l[1];
    spec.restart_mcus = l[0] == 1 ? 3 : 0;
    std::vector<uint8_t> file = jpeg_oracle_encode(spec, jpeg_oracle_pixels(spec.width, spec.height, 3));
    std::vector<uint8_t> twice(file.begin(), file.end() - 2);
    for (size_t i = 0; i + 1 < file.size(); ++i) {
      if (file[i] == 0xff && file[i + 1] == 0xda) {
        twice.insert(twice.end(), file.begin() + (long)i, file.end());
        break;
      }
    }
    for (int req : {1, 3, 4}) {
      jpeg_limit_vector(JPEG_VECTOR_NONE);
      std::vector<uint8_t> want = decode(file, req);
      ASSERT_FALSE(want.empty());
      for (int level = JPEG_VECTOR_NONE; level <= JPEG_VECTOR_AVX2; ++level) {
        if (jpeg_limit_vector(level) != level) continue;
        EXPECT_EQ(want, decode(file, req)) << "level " << level << " req " << req;
        EXPECT_EQ(want, decode(twice, req)) << "twice, level " << level << " req " << req;
      }
    }
  }
  jpeg_limit_vector(JPEG_VECTOR_AVX2);
}

}  // namespace
#endif
