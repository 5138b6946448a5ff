// The FFT-based inverse MDCT against the transform's definition summed
// directly in double precision, for the smallest, a typical and the largest
// block size.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "vorbis/vorbis_internal.h"

namespace {

TEST(VorbisMdct, MatchesDirectDefinition) {
  for (int n : {64, 256, 2048, 8192}) {
    VorbisDecoder* d = (VorbisDecoder*)calloc(1, sizeof(VorbisDecoder));
    VorbisBlockTables tables;
    ASSERT_TRUE(vorbis_build_block_tables(d, &tables, n));
    const int half = n / 2;
    std::vector<float> buffer(n), scratch(half);
    std::vector<double> x(half);
    uint32_t state = (uint32_t)n;
    for (int k = 0; k < half; ++k) {
      state = state * 1664525u + 1013904223u;
      x[k] = ((int)(state >> 9) % 2001 - 1000) / 1000.0;
      buffer[k] = (float)x[k];
    }
    vorbis_imdct(&tables, buffer.data(), scratch.data());
    // y[t] = sum_k X[k] cos(2*pi/n * (t + 1/2 + n/4) * (k + 1/2))
    double worst = 0, scale = 0;
    for (int t = 0; t < n; t += (n > 2048 ? 7 : 1)) {
      double y = 0;
      for (int k = 0; k < half; ++k)
        y += x[k] * cos(2 * M_PI / n * (t + 0.5 + n / 4.0) * (k + 0.5));
      worst = std::max(worst, fabs(y - buffer[t]));
      scale = std::max(scale, fabs(y));
    }
    EXPECT_LT(worst, scale * 2e-5) << "block size " << n;
    vorbis_close_decoder(d);
  }
}

}  // namespace
