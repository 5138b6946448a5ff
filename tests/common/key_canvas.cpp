#include "common/key_canvas.h"

#include <stddef.h>

#include "assets/asset_pack.h"

std::vector<uint8_t> key_png_of_classes(int width, int height, const std::function<int(int, int)>& cls) {
  AssetImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize((size_t)width * height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) image.pixels[(size_t)y * width + x] = (uint8_t)cls(x, y);
  return asset_encode_png(image);
}
