// The PNG writer read back through libpng: every tool fixture and frame
// capture depends on the channel order (0xXXRRGGBB in, R G B out).
#include <gtest/gtest.h>

#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/png_write.h"

namespace {

TEST(PngWrite, RgbFromOutputImagePixels) {
  const int w = 37, h = 23;  // odd sizes: no row padding may creep in
  std::vector<uint32_t> px(w * h);
  for (int i = 0; i < w * h; i++) px[i] = 0xAB000000u | (uint32_t)(i * 2654435761u >> 8);
  std::string path = "/tmp/vantrel_png_write_" + std::to_string(getpid()) + ".png";
  ASSERT_EQ(png_write_rgb(path.c_str(), px.data(), w, h), 1);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
  EXPECT_EQ(PNG_FORMAT_RGB, image.format);
  ASSERT_EQ((png_uint_32)w, image.width);
  ASSERT_EQ((png_uint_32)h, image.height);
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  for (int i = 0; i < w * h; i++) {
    ASSERT_EQ(rgb[3 * i], (uint8_t)(px[i] >> 16)) << i;  // red from bits 16..23
    ASSERT_EQ(rgb[3 * i + 1], (uint8_t)(px[i] >> 8)) << i;
    ASSERT_EQ(rgb[3 * i + 2], (uint8_t)px[i]) << i;  // blue from the low byte
  }
  remove(path.c_str());
}

}  // namespace
