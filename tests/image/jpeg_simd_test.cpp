// Every vector level must decode whole images exactly like the portable code.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "image/image.h"
#include "image/jpeg_internal.h"
#include "jpeg_oracle.h"

#if defined(JPEG_HAVE_X86)
namespace {

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
