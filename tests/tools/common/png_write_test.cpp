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

struct Decoded {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> bytes;
};

Decoded read_with_libpng(const std::string& path) {
  Decoded d;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return d;
  d.channels = (image.format & PNG_FORMAT_FLAG_ALPHA) ? 4 : (image.format & PNG_FORMAT_FLAG_COLOR) ? 3 : 1;
  image.format = d.channels == 4 ? PNG_FORMAT_RGBA : d.channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  d.bytes.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, d.bytes.data(), 0, nullptr)) return Decoded{};
  d.width = (int)image.width;
  d.height = (int)image.height;
  return d;
}

std::string temp_path(const char* leaf) {
  return "/tmp/vantrel_png_write_" + std::to_string(getpid()) + "_" + leaf;
}

TEST(PngWrite, RgbFromOutputImagePixels) {
  const int w = 37, h = 23;  // odd sizes: no row padding may creep in
  std::vector<uint32_t> px(w * h);
  for (int i = 0; i < w * h; i++) px[i] = 0xAB000000u | (uint32_t)(i * 2654435761u >> 8);
  std::string path = temp_path("rgb.png");
  ASSERT_EQ(png_write_rgb(path.c_str(), px.data(), w, h), 1);
  Decoded d = read_with_libpng(path);
  ASSERT_EQ(d.width, w);
  ASSERT_EQ(d.height, h);
  ASSERT_EQ(d.channels, 3);
  for (int i = 0; i < w * h; i++) {
    ASSERT_EQ(d.bytes[3 * i], (uint8_t)(px[i] >> 16)) << i;  // red from bits 16..23
    ASSERT_EQ(d.bytes[3 * i + 1], (uint8_t)(px[i] >> 8)) << i;
    ASSERT_EQ(d.bytes[3 * i + 2], (uint8_t)px[i]) << i;  // blue from the low byte
  }
  remove(path.c_str());
}

}  // namespace
