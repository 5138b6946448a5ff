// Every vector level must decode whole images exactly like the portable code.
#include <gtest/gtest.h>

#include <vector>

#include "decoded.h"
#include "image/image.h"
#include "image/jpeg_internal.h"
#include "jpeg_oracle.h"

#if defined(JPEG_HAVE_X86)
namespace {

// Whole images at every level: each sampling layout, odd sizes, a restart
// interval, and a file whose scan comes twice (decoded again into whole
// planes), which must give the pixels of the single scan.
TEST(JpegSimd, WholeImagesMatchAtEveryLevel) {
  const int layouts[][2] = {{2, 2}, {1, 1}, {2, 1}, {1, 2}};
  for (const auto& l : layouts) {
    JpegSpec spec{.width = 77, .height = 45, .h = {l[0], 1, 1}, .v = {l[1], 1, 1}, .restart_mcus = l[0] == 1 ? 3 : 0};
    std::vector<uint8_t> file = jpeg_oracle_encode(spec, jpeg_oracle_pixels(spec.width, spec.height, 3));
    std::vector<uint8_t> twice(file.begin(), file.end() - 2);
    size_t sos = 2;
    while (sos + 1 < file.size() && !(file[sos] == 0xff && file[sos + 1] == 0xda)) ++sos;
    twice.insert(twice.end(), file.begin() + (long)sos, file.end());
    for (int req : {1, 3, 4}) {
      jpeg_limit_vector(JPEG_VECTOR_NONE);
      std::vector<uint8_t> want = decode_bytes(file, req);
      ASSERT_FALSE(want.empty());
      for (int level = JPEG_VECTOR_NONE; level <= JPEG_VECTOR_AVX2; ++level) {
        if (jpeg_limit_vector(level) != level) continue;
        EXPECT_EQ(want, decode_bytes(file, req)) << "level " << level << " req " << req;
        EXPECT_EQ(want, decode_bytes(twice, req)) << "twice, level " << level << " req " << req;
      }
    }
  }
  jpeg_limit_vector(JPEG_VECTOR_AVX2);
}

}  // namespace
#endif
