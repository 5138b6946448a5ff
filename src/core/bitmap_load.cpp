// Image loading for the game: data file -> RGBA through the image decoder ->
// one class byte per pixel. Alpha is ignored: only the painting colour
// decides a pixel's class.
#include "core/bitmap_load.h"

#include <stdlib.h>
#include <string.h>

#include "core/archive.h"
#include "image/image.h"

DecodedImage* image_load_rgba(const char* name) {
  int size = 0;
  const uint8_t* data = load_data(name, &size);
  if (!data) return 0;
  int32_t width = 0, height = 0;
  uint8_t* pixels = image_load_from_memory(data, size, &width, &height, 0, 4);
  if (!pixels) return 0;
  DecodedImage* image = (DecodedImage*)malloc(sizeof(DecodedImage));
  if (!image) {
    free(pixels);
    return 0;
  }
  image->width = width;
  image->height = height;
  image->pixels = pixels;
  return image;
}

void decoded_image_free(DecodedImage* image) {
  if (!image) return;
  free(image->pixels);
  free(image);
}

Bitmap* bitmap_from_rgba(const DecodedImage* image) {
  Bitmap* bitmap = bitmap_new(image->width, image->height);
  if (!bitmap) return 0;
  size_t count = (size_t)image->width * (size_t)image->height;
  const uint8_t* p = image->pixels;
  for (size_t i = 0; i < count; i++, p += 4) {
    uint32_t word = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
    uint8_t cls = 0;
    for (int k = 0; k < BITMAP_CLASS_COUNT; k++) {
      if (BITMAP_KEY_COLOURS[k] == word) cls = (uint8_t)k;
    }
    bitmap->pixels[i] = cls;
  }
  return bitmap;
}

Bitmap* bitmap_load(const char* name) {
  DecodedImage* image = image_load_rgba(name);
  if (!image) return 0;
  Bitmap* bitmap = bitmap_from_rgba(image);
  decoded_image_free(image);
  return bitmap;
}

Bitmap* bitmap_half_mask(const Bitmap* bitmap, int cls) {
  int w = bitmap->width / 2, h = bitmap->height / 2;
  Bitmap* mask = bitmap_new(w, h);
  if (!mask) return 0;
  memset(mask->pixels, 0, (size_t)w * (size_t)h);
  // An odd last row or column has no mask pixel to land in; skip it.
  for (int y = 0; y < 2 * h; y++) {
    const uint8_t* row = bitmap->pixels + (size_t)y * (size_t)bitmap->width;
    uint8_t* out = mask->pixels + (size_t)(y / 2) * (size_t)w;
    for (int x = 0; x < 2 * w; x++) {
      if (row[x] == cls) out[x / 2] = 255;
    }
  }
  return mask;
}
